// The value of one hexadecimal digit, shared by colour texts and string escapes. Both read a
// byte that is not a digit as 0 rather than failing.
#pragma once

#include <cstdint>

namespace nimbolt {

// 0 ... 15 for "0"-"9", "a"-"f", "A"-"F"; 0 for every other byte.
constexpr int32_t hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

}
