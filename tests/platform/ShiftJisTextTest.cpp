// Shift-JIS bytes become Unicode one character at a time; a two-byte character is never split.
#include <platform/ShiftJisText.h>

#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

TEST(ShiftJisText, DecodesEachKindOfCharacterAndKeepsCharacterBoundariesInBytes)
{
    struct Row { const char* what; std::string bytes; std::u16string expected; };
    const Row rows[] = {
        { "ASCII", "Az 09", u"Az 09" },
        { "two-byte kanji", "\x93\xfa\x96\x7b", u"\u65e5\u672c" },
        { "hiragana", "\x82\xa0", u"\u3042" },
        { "half-width katakana, first and last", "\xa1\xdf", u"\uff61\uff9f" },
        { "a backslash byte stays a backslash", "a\\b", u"a\\b" },
        { "trail byte 0x5C belongs to its character", "\x95\x5c\x83\x5c\\", u"\u8868\u30bd\\" },
    };
    for (const Row& row : rows) {
        QString text = ShiftJisText::decode(row.bytes.data(), static_cast<int32_t>(row.bytes.size()));
        EXPECT_EQ(text, QString::fromStdU16String(row.expected)) << row.what;
    }

    // 0x81-0x9F and 0xE0-0xFF lead a two-byte character when another byte follows; 0x80 and
    // 0xA0-0xDF do not; a lead byte at the end stands alone.
    const std::string bytes = "A\x93\xfa" "B\x95\x5c\x80" "A\x81" "A\x9f" "A\xa0" "A\xdf" "A\xe0" "A\xff" "A\x81";
    ShiftJisText text(bytes.data(), static_cast<int32_t>(bytes.size()));
    std::vector<std::pair<int32_t, int32_t>> boundaries;
    for (const ShiftJisText::Character& character : text.characters())
        boundaries.emplace_back(character.byteOffset, character.byteLength);
    using Boundaries = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(boundaries, (Boundaries { { 0, 1 }, { 1, 2 }, { 3, 1 }, { 4, 2 }, { 6, 1 }, { 7, 1 }, { 8, 2 },
                              { 10, 2 }, { 12, 1 }, { 13, 1 }, { 14, 1 }, { 15, 1 }, { 16, 2 }, { 18, 2 }, { 20, 1 } }));
    EXPECT_EQ(text.characterText(text.characters()[1]), QString::fromStdU16String(u"\u65e5"));
    EXPECT_EQ(ShiftJisText::characterCode(bytes.data(), text.characters()[3]), 0x955Cu);
    EXPECT_EQ(ShiftJisText::characterCode(bytes.data(), text.characters()[2]), uint32_t { 'B' });

    // 0x81 followed by a byte that cannot trail it: the pair is one damaged character, and the
    // next character is decoded on its own.
    ShiftJisText damaged("\x81\x20" "C", 3);
    ASSERT_EQ(damaged.characters().size(), 2u);
    EXPECT_EQ(damaged.characterText(damaged.characters()[1]), QStringLiteral("C"));

    EXPECT_TRUE(ShiftJisText(nullptr, 5).characters().empty());
    EXPECT_TRUE(ShiftJisText("abc", 0).characters().empty());
    EXPECT_TRUE(ShiftJisText("abc", -1).text().isEmpty());
}

}
}
