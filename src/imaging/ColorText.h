// Colour texts of attributes: "#" and six hexadecimal digits (#rrggbb) or three (#rgb, each digit
// doubled). Characters after the digits are ignored; characters that are not hexadecimal digits
// count as 0. Anything else is NoColor, which no well-formed text can produce.
#pragma once

#include <base/HexDigit.h>
#include <platform/Color.h>

#include <cstdint>

namespace nimbolt {

// The colour of a text of `length` bytes (7 or more: long form, 4 to 6: short form), or NoColor
// for no text, a first character other than "#" or a length of 3 or less.
Color parseColor(const char* text, int32_t length);

}
