// Colour texts: long and short forms, ignored tails, wrong digits counting as 0, and the texts
// that are no colour at all.
#include <imaging/ColorText.h>

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

TEST(ColorText, ParsesTheLongAndTheShortForm)
{
    struct Row {
        std::string text;
        Color expected;
    };
    const Row rows[] = {
        { "#ff8000", 0x000080FF },
        { "#FF8000", 0x000080FF },
        { "#f80", 0x000088FF },
        { "#f80x", 0x000088FF },
        { "#f80xy", 0x000088FF },
        { "#12345", 0x00332211 },
        { "#ff000080", 0x000000FF },
        { "#000000", 0x00000000 },
        { "#ffffff", 0x00FFFFFF },
        { "#0000fF", 0x00FF0000 },
        { "#zz0000", 0 },
        { "#ab", NoColor },
        { "#", NoColor },
        { "ff8000", NoColor },
        { "red", NoColor },
        { "", NoColor },
        { " #ff8000", NoColor },
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseColor(row.text.data(), static_cast<int32_t>(row.text.size())), row.expected)
            << '"' << row.text << '"';
    EXPECT_EQ(parseColor(nullptr, 7), NoColor);
    EXPECT_EQ(NoColor, 0x80000000u);
}

TEST(ColorText, OnlyTheGivenLengthCounts)
{
    // The same bytes read as a short text: the length decides the form.
    const char* text = "#ff8000";
    // Four bytes are "#ff8": red ff, green ff, blue 88.
    EXPECT_EQ(parseColor(text, 4), 0x0088FFFFu);
    EXPECT_EQ(parseColor(text, 3), NoColor);
}

TEST(ColorText, HexDigitValues)
{
    struct Row {
        char c;
        int32_t value;
    };
    const Row rows[] = { { '0', 0 }, { '9', 9 }, { 'a', 10 }, { 'f', 15 }, { 'A', 10 }, { 'F', 15 },
        { 'g', 0 }, { 'G', 0 }, { ' ', 0 }, { '#', 0 }, { '\xff', 0 }, { '/', 0 }, { ':', 0 } };
    for (const Row& row : rows)
        EXPECT_EQ(hexDigitValue(row.c), row.value) << row.c;
}

}
}
