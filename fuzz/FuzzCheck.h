// A property a fuzz target expects of every input: when it does not hold, the target stops at
// once, so that libFuzzer keeps the input as a crash.
#pragma once

namespace nimbolt {

inline void fuzzCheck(bool condition)
{
    if (!condition)
        __builtin_trap();
}

}
