# The document path, scripts run to their end, attribute readers and text conversions. Need the
# Qt parts of the build.
nimbolt_fuzzer(script-run-fuzzer ScriptRunFuzzer.cpp nimbolt_script_language)
if(NIMBOLT_GUI)
    nimbolt_fuzzer(document-fuzzer DocumentFuzzer.cpp nimbolt_headless nimbolt_platform)
    nimbolt_fuzzer(attribute-fuzzer AttributeFuzzer.cpp nimbolt_elements)
    # ShiftJisText hands out Qt strings, so this one links Qt itself.
    find_package(Qt6 REQUIRED COMPONENTS Core)
    nimbolt_fuzzer(text-fuzzer TextFuzzer.cpp nimbolt_headless nimbolt_platform Qt6::Core)
endif()
