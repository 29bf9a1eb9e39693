# The image decoders behind loadImageFile. Needs the Qt parts of the build.
if(NIMBOLT_GUI)
    nimbolt_fuzzer(image-fuzzer ImageFuzzer.cpp nimbolt_imaging)
endif()
