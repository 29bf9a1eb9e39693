# The document path, scripts run to their end, attribute readers and text conversions. Need the
# Qt parts of the build.
nimbolt_fuzzer(script-run-fuzzer ScriptRunFuzzer.cpp nimbolt_script_language)
if(NIMBOLT_GUI)
    nimbolt_fuzzer(document-fuzzer DocumentFuzzer.cpp nimbolt_document nimbolt_platform)
    nimbolt_fuzzer(attribute-fuzzer AttributeFuzzer.cpp nimbolt_elements)
    nimbolt_fuzzer(text-fuzzer TextFuzzer.cpp nimbolt_document nimbolt_platform)
endif()
