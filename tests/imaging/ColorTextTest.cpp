// Colour texts: the long or the short form chosen by the length, ignored tails, wrong digits
// counting as 0, and the texts that are no colour at all.
#include <imaging/ColorText.h>

#include <gtest/gtest.h>
#include <string_view>

namespace nimbolt::test {
namespace {

TEST(ColorText, ParsesTheLongAndTheShortForm)
{
    struct Row {
        std::string_view text;
        Color expected;
    };
    const Row rows[] = {
        { "#ff8000", 0x000080FF }, { "#FF8000", 0x000080FF }, { "#0000fF", 0x00FF0000 },
        { "#ffffff", 0x00FFFFFF },
        { "#ff000080", 0x000000FF }, // 7 bytes or more: the long form, the rest ignored
        { "#fz80g0", 0x000080F0 }, // a wrong digit counts as 0
        { "#12345", 0x00332211 }, // 4 to 6 bytes: the short form, each digit doubled
        { "#f80x", 0x000088FF }, { "#f80", 0x000088FF },
        { "#ab", NoColor }, { "#", NoColor }, { "", NoColor }, { "ff8000", NoColor }, { " #ff8000", NoColor },
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseColor(row.text.data(), static_cast<int32_t>(row.text.size())), row.expected)
            << '"' << row.text << '"';
    EXPECT_EQ(parseColor(nullptr, 7), NoColor);
    EXPECT_EQ(parseColor("#ff8000", 4), 0x0088FFFFu) << "only the given length counts: #ff8";
    EXPECT_EQ(parseColor("#ff8000", 3), NoColor);
}

TEST(ColorText, HexDigitValues)
{
    std::string_view digits = "0123456789abcdefABCDEF";
    for (size_t i = 0; i < digits.size(); ++i)
        EXPECT_EQ(hexDigitValue(digits[i]), static_cast<int32_t>(i < 16 ? i : i - 6)) << digits[i];
    for (char c : std::string_view("gG #/:@`\xff"))
        EXPECT_EQ(hexDigitValue(c), 0) << c;
}

}
}
