nimbolt_fuzzer(markup-fuzzer MarkupFuzzer.cpp nimbolt_markup)
