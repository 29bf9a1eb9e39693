// Conversions between the document's Shift-JIS bytes and UTF-8, for text that leaves the program
// (standard error, file names shown to people) or comes in from UTF-8 files.
#pragma once

#include <string>
#include <string_view>

namespace nimbolt {

std::string shiftJisToUtf8(std::string_view shiftJis);

}
