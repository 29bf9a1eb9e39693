// Shift-JIS bytes become Unicode one character at a time, and the character boundaries in bytes
// are kept.
#include <platform/ShiftJisText.h>

#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

TEST(ShiftJisText, DecodesEachKindOfCharacter)
{
    struct Row {
        std::string name;
        std::string bytes;
        std::u16string expected;
    };
    const Row rows[] = {
        { "ASCII", "Az 09", u"Az 09" },
        { "two-byte kanji", "\x93\xfa\x96\x7b", u"\u65e5\u672c" },
        { "hiragana", "\x82\xa0", u"\u3042" },
        { "half-width katakana", "\xb1\xdf", u"\uff71\uff9f" },
        { "backslash byte stays a backslash", "a\\b", u"a\\b" },
    };
    for (const Row& row : rows) {
        QString text = ShiftJisText::decode(row.bytes.data(), static_cast<int32_t>(row.bytes.size()));
        EXPECT_EQ(text, QString::fromStdU16String(row.expected)) << row.name;
    }
}

TEST(ShiftJisText, KeepsCharacterBoundariesInBytes)
{
    const std::string bytes = "A\x93\xfa"
                              "B\x81";
    ShiftJisText text(bytes.data(), static_cast<int32_t>(bytes.size()));
    const auto& characters = text.characters();
    ASSERT_EQ(characters.size(), 4u);
    struct Expected {
        int32_t byteOffset;
        int32_t byteLength;
    };
    const Expected expected[] = { { 0, 1 }, { 1, 2 }, { 3, 1 }, { 4, 1 } };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(characters[i].byteOffset, expected[i].byteOffset) << i;
        EXPECT_EQ(characters[i].byteLength, expected[i].byteLength)
            << i << ": a lead byte at the end stands alone";
    }
    EXPECT_EQ(text.characterText(characters[1]), QString::fromStdU16String(u"\u65e5"));
}

TEST(ShiftJisText, ADamagedPairDoesNotSwallowTheNextCharacter)
{
    // 0x81 followed by a byte that cannot trail it: the pair is one damaged character, and the
    // next character is decoded on its own.
    const std::string bytes = "\x81\x20"
                              "C";
    ShiftJisText text(bytes.data(), static_cast<int32_t>(bytes.size()));
    ASSERT_EQ(text.characters().size(), 2u);
    EXPECT_EQ(text.characterText(text.characters()[1]), QStringLiteral("C"));
}

TEST(ShiftJisText, EmptyAndMissingTextsHaveNoCharacters)
{
    EXPECT_TRUE(ShiftJisText(nullptr, 5).characters().empty());
    EXPECT_TRUE(ShiftJisText("abc", 0).characters().empty());
    EXPECT_TRUE(ShiftJisText("abc", -1).text().isEmpty());
}

}
}
