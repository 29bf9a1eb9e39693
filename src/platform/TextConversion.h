// Conversions between the document's Shift-JIS bytes and UTF-8, for text that leaves the program
// (standard error, file names shown to people) or comes in from UTF-8 files.
#pragma once

#include <string>
#include <string_view>

namespace nimbolt {

std::string shiftJisToUtf8(std::string_view shiftJis);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// UTF-8 text as Shift-JIS bytes; a character Shift-JIS cannot hold becomes "?" and sets lost.
std::string utf8ToShiftJis(std::string_view utf8, bool& lost);

}
