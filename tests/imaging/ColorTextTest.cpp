// Colour texts: the form chosen by the length, wrong digits as 0, and texts that are no colour.
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
        { "#09afAF", 0x00AFAF09 }, { "#/:@`gG", 0 }, // the digits' ends, and the bytes next to them
        { "#ab", NoColor }, { "#", NoColor }, { "", NoColor }, { "ff8000", NoColor }, { " #ff8000", NoColor },
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseColor(row.text.data(), static_cast<int32_t>(row.text.size())), row.expected)
            << '"' << row.text << '"';
    EXPECT_EQ(parseColor(nullptr, 7), NoColor);
    EXPECT_EQ(parseColor("#ff8000", 4), 0x0088FFFFu) << "only the given length counts: #ff8";
    EXPECT_EQ(parseColor("#ff8000", 3), NoColor);
}

}
}
