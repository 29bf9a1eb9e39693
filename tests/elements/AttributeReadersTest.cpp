// Reading a node's attributes: texts cut to the buffer, integers as strtol with base 0 (saturated),
// colours as colour texts; an absent attribute leaves the caller's value alone.
#include <elements/AttributeReaders.h>

#include <script/runtime/ScriptString.h>

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace nimbolt::test {
namespace {

using Array = RefPtr<ScriptArray>;

// Stores the value under the name and lets go of the caller's reference.
void set(ScriptArray& array, std::string_view name, ScriptValue value)
{
    EXPECT_TRUE(array.setItem(static_cast<int32_t>(name.size()), name.data(), value).ok());
    releaseValue(value);
}

Array attributes(std::initializer_list<std::pair<std::string_view, std::string_view>> texts)
{
    Array array(createArray(nullptr, nullptr));
    for (auto [name, text] : texts)
        set(*array, name, makeStringValue(createString(text).releaseNonNull()));
    return array;
}

TEST(AttributeReaders, IntegersReadAsTheCLibraryReadsThemAndColoursAsColourTexts)
{
    struct Row { std::string_view text; int32_t expected; };
    const Row rows[] = { { "0x1f", 31 }, { "010", 8 }, { "09", 0 }, { "-5", -5 }, { " 7", 7 }, { "12px", 12 },
        { "auto", 0 }, { "2147483647", INT32_MAX }, { "2147483648", INT32_MAX }, { "-2147483648", INT32_MIN },
        { "-2147483649", INT32_MIN } };
    for (const Row& row : rows) {
        int32_t result = 1234;
        EXPECT_TRUE(readAttributeInt(*attributes({ { "left", row.text } }), "left", result).ok());
        EXPECT_EQ(result, row.expected) << '"' << row.text << '"';
    }
    Array array(createArray(nullptr, nullptr));
    set(*array, "width", ScriptValue::integer(-77));
    int32_t result = 0;
    EXPECT_TRUE(readAttributeInt(*array, "width", result).ok());
    EXPECT_EQ(result, -77) << "an integer value reads as its text";

    struct Colour { std::string_view text; Color expected; };
    const Colour colours[] = { { "#ff8000", 0x000080FF }, { "#f80", 0x000088FF }, { "red", NoColor } };
    for (const Colour& row : colours) {
        Color colour = 0x00123456;
        EXPECT_TRUE(readAttributeColor(*attributes({ { "bgcolor", row.text } }), "bgcolor", colour).ok());
        EXPECT_EQ(colour, row.expected) << '"' << row.text << '"';
    }
}

TEST(AttributeReaders, TextIsCutToTheBufferAndAbsentAttributesLeaveTheResultAlone)
{
    Array array = attributes({ { "background", "picture.bmp" }, { "left", "5" } });
    struct Row { const char* what; int32_t capacity; std::string expected; };
    const Row rows[] = { { "room for all", 64, "picture.bmp" }, { "exactly enough", 12, "picture.bmp" },
        { "one short", 11, "picture.bm" }, { "room for the zero only", 1, "" } };
    for (const Row& row : rows) {
        char buffer[80];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(readAttributeText(*array, "background", buffer, row.capacity).ok()) << row.what;
        EXPECT_EQ(std::string(buffer), row.expected) << row.what;
        EXPECT_EQ(buffer[row.capacity], 'x') << row.what << ": nothing written past the capacity";
    }
    EXPECT_TRUE(readAttributeText(*array, "background", nullptr, 0).ok()) << "present, nothing copied";
    EXPECT_TRUE(readAttributeText(*array, "background", nullptr, 16).ok()) << "no buffer, whatever its capacity";

    int32_t number = 1234;
    EXPECT_EQ(readAttributeInt(*array, "top", number).code(), -1);
    EXPECT_EQ(readAttributeInt(*array, "Left", number).code(), -1) << "names match case-sensitively";
    EXPECT_EQ(readAttributeInt(*array, "lef", number).code(), -1) << "and whole";
    EXPECT_EQ(number, 1234);
    Color color = 0x00ABCDEF;
    EXPECT_EQ(readAttributeColor(*array, "bgcolor", color).code(), -1);
    EXPECT_EQ(color, 0x00ABCDEFu);
    char buffer[8] = "keepme";
    EXPECT_EQ(readAttributeText(*array, "Background", buffer, sizeof buffer).code(), -1);
    EXPECT_EQ(readAttributeText(*array, nullptr, buffer, sizeof buffer).code(), -1);
    EXPECT_STREQ(buffer, "keepme");
}

}
}
