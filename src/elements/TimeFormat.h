// The clock's time texts: strftime patterns formatted with the names of a time locale that the
// program carries itself, so a clock shows the same text on every machine, whatever locales the
// system has installed. The locale is process-wide, as the C library's time locale is: a clock
// sets it before it formats, and a name that is not known leaves the one in force.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

namespace nimbolt {

enum class TimeLocale : int32_t {
    C, // English names, numeric dates
    English,
    Japanese, // Shift-JIS names
};

// Makes the named locale the current one ("C", "POSIX", "english", "japanese" and their usual
// spellings, letter case ignored); false, and the current one stays, for any other name.
bool setTimeLocale(std::string_view name);
TimeLocale currentTimeLocale();

// Formats the time with the pattern and the locale into buffer: at most capacity - 1 bytes and a
// terminating zero (a longer text is cut). Returns the bytes written. Conversions: %a %A %b %B %c
// %C %d %D %e %F %h %H %I %j %m %M %n %p %R %S %t %T %u %U %w %W %x %X %y %Y %z %Z %%; a "#"
// after the "%" drops leading zeros; anything else is copied as it stands.
int32_t formatTime(std::string_view pattern, const std::tm& time, TimeLocale locale, char* buffer, int32_t capacity);

}
