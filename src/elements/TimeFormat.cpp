#include <elements/TimeFormat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

namespace nimbolt {

namespace {

struct LocaleNames {
    const char* shortDays[7];
    const char* longDays[7];
    const char* shortMonths[12];
    const char* longMonths[12];
    const char* am;
    const char* pm;
    const char* dateTime; // %c
    const char* date; // %x
    const char* time; // %X
};

const LocaleNames EnglishNames = {
    { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" },
    { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" },
    { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" },
    { "January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
        "November", "December" },
    "AM",
    "PM",
    "%m/%d/%y %H:%M:%S",
    "%m/%d/%y",
    "%H:%M:%S",
};

// Shift-JIS: the day names are the kanji of sun, moon, fire, water, wood, gold and earth (with
// "day of the week" for the long forms), months are numbered, and noon splits the day.
#define DAY_SUFFIX "\x97\x6A\x93\xFA"
#define MONTH_SUFFIX "\x8C\x8E"
const LocaleNames JapaneseNames = {
    { "\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85", "\x96\xD8", "\x8B\xE0", "\x93\x79" },
    { "\x93\xFA" DAY_SUFFIX, "\x8C\x8E" DAY_SUFFIX, "\x89\xCE" DAY_SUFFIX, "\x90\x85" DAY_SUFFIX,
        "\x96\xD8" DAY_SUFFIX, "\x8B\xE0" DAY_SUFFIX, "\x93\x79" DAY_SUFFIX },
    { "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12" },
    { "1" MONTH_SUFFIX, "2" MONTH_SUFFIX, "3" MONTH_SUFFIX, "4" MONTH_SUFFIX, "5" MONTH_SUFFIX, "6" MONTH_SUFFIX,
        "7" MONTH_SUFFIX, "8" MONTH_SUFFIX, "9" MONTH_SUFFIX, "10" MONTH_SUFFIX, "11" MONTH_SUFFIX,
        "12" MONTH_SUFFIX },
    "\x8C\xDF\x91\x4F",
    "\x8C\xDF\x8C\xE3",
    "%Y/%m/%d %H:%M:%S",
    "%Y/%m/%d",
    "%H:%M:%S",
};
#undef DAY_SUFFIX
#undef MONTH_SUFFIX

TimeLocale s_current = TimeLocale::C;

const LocaleNames& namesOf(TimeLocale locale)
{
    return locale == TimeLocale::Japanese ? JapaneseNames : EnglishNames;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Picks a name that is valid for the index (the fields of a broken-down time may be out of range).
const char* pick(const char* const* names, int32_t count, int32_t index)
{
    return index >= 0 && index < count ? names[index] : "?";
}

class TimeWriter {
public:
    TimeWriter(const std::tm& time, const LocaleNames& names)
        : m_time(time)
        , m_names(names)
    {
    }

    // The locale's composite patterns (%c, %D, ...) hold no composites themselves: only the
    // clock's own pattern expands them.
    enum class Level { Clock, Composite };

    void write(std::string_view pattern, Level level = Level::Clock)
    {
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] != '%' || i + 1 >= pattern.size()) {
                m_text += pattern[i];
                continue;
            }
            bool noPadding = false;
            size_t at = i + 1;
            if (pattern[at] == '#' && at + 1 < pattern.size()) {
                noPadding = true;
                ++at;
            }
            if (!conversion(pattern[at], noPadding, level)) {
                m_text.append(pattern.substr(i, at + 1 - i));
            }
            i = at;
        }
    }

    const std::string& text() const { return m_text; }

private:
    void number(int32_t value, int32_t width, bool noPadding, char pad = '0')
    {
        char digits[16];
        int length = std::snprintf(digits, sizeof digits, "%d", value);
        if (!noPadding)
            m_text.append(static_cast<size_t>(std::max(0, width - length)), pad);
        m_text.append(digits, static_cast<size_t>(std::max(0, length)));
    }

    // Week of the year, weeks starting on firstDay (0 Sunday, 1 Monday); days before the first
    // such day are week 0.
    int32_t weekOfYear(int32_t firstDay) const
    {
        int32_t weekday = (m_time.tm_wday + 7 - firstDay) % 7;
        return (m_time.tm_yday + 7 - weekday) / 7;
    }

    bool conversion(char c, bool noPadding, Level level)
    {
        const std::tm& t = m_time;
        switch (c) {
        case 'a': m_text += pick(m_names.shortDays, 7, t.tm_wday); return true;
        case 'A': m_text += pick(m_names.longDays, 7, t.tm_wday); return true;
        case 'b':
        case 'h': m_text += pick(m_names.shortMonths, 12, t.tm_mon); return true;
        case 'B': m_text += pick(m_names.longMonths, 12, t.tm_mon); return true;
        case 'c': return nested(m_names.dateTime, level);
        case 'C': number((t.tm_year + 1900) / 100, 2, noPadding); return true;
        case 'd': number(t.tm_mday, 2, noPadding); return true;
        case 'D': return nested("%m/%d/%y", level);
        case 'e': number(t.tm_mday, 2, noPadding, ' '); return true;
        case 'F': return nested("%Y-%m-%d", level);
        case 'H': number(t.tm_hour, 2, noPadding); return true;
        case 'I': number(t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12, 2, noPadding); return true;
        case 'j': number(t.tm_yday + 1, 3, noPadding); return true;
        case 'm': number(t.tm_mon + 1, 2, noPadding); return true;
        case 'M': number(t.tm_min, 2, noPadding); return true;
        case 'n': m_text += '\n'; return true;
        case 'p': m_text += t.tm_hour < 12 ? m_names.am : m_names.pm; return true;
        case 'R': return nested("%H:%M", level);
        case 'S': number(t.tm_sec, 2, noPadding); return true;
        case 't': m_text += '\t'; return true;
        case 'T': return nested("%H:%M:%S", level);
        case 'u': number(t.tm_wday == 0 ? 7 : t.tm_wday, 1, noPadding); return true;
        case 'U': number(weekOfYear(0), 2, noPadding); return true;
        case 'w': number(t.tm_wday, 1, noPadding); return true;
        case 'W': number(weekOfYear(1), 2, noPadding); return true;
        case 'x': return nested(m_names.date, level);
        case 'X': return nested(m_names.time, level);
        case 'y': number(((t.tm_year + 1900) % 100 + 100) % 100, 2, noPadding); return true;
        case 'Y': number(t.tm_year + 1900, 1, noPadding); return true;
        case 'z':
        case 'Z': {
            char zone[64];
            const char pattern[] = { '%', c, 0 };
            size_t length = std::strftime(zone, sizeof zone, pattern, &t);
            m_text.append(zone, length);
            return true;
        }
        case '%': m_text += '%'; return true;
        default: return false;
        }
    }

    bool nested(const char* pattern, Level level)
    {
        if (level == Level::Clock)
            write(pattern, Level::Composite);
        return true;
    }

    const std::tm& m_time;
    const LocaleNames& m_names;
    std::string m_text;
};

}

bool setTimeLocale(std::string_view name)
{
    if (name == "C" || name == "POSIX") {
        s_current = TimeLocale::C;
        return true;
    }
    if (startsWithIgnoringCase(name, "english") || startsWithIgnoringCase(name, "en_") || equalsIgnoringCase(name, "en")
        || equalsIgnoringCase(name, "eng") || equalsIgnoringCase(name, "american")) {
        s_current = TimeLocale::English;
        return true;
    }
    if (startsWithIgnoringCase(name, "japanese") || startsWithIgnoringCase(name, "ja_") || equalsIgnoringCase(name, "ja")
        || equalsIgnoringCase(name, "jpn")) {
        s_current = TimeLocale::Japanese;
        return true;
    }
    return false;
}

TimeLocale currentTimeLocale() { return s_current; }

int32_t formatTime(std::string_view pattern, const std::tm& time, TimeLocale locale, char* buffer, int32_t capacity)
{
    if (!buffer || capacity <= 0)
        return 0;
    TimeWriter writer(time, namesOf(locale));
    writer.write(pattern);
    const std::string& text = writer.text();
    size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
    text.copy(buffer, length);
    buffer[length] = 0;
    return static_cast<int32_t>(length);
}

}
