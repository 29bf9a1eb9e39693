// Reading a node's attributes: texts cut to the buffer, integers read as strtol with base 0 reads
// them, colours as colour texts; an absent attribute leaves the caller's value alone, and reading
// takes no reference away from the array.
#include <elements/AttributeReaders.h>

#include <script/runtime/ScriptString.h>

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace nimbolt::test {
namespace {

class Attributes {
public:
    Attributes(std::initializer_list<std::pair<std::string, std::string>> texts = {})
        : m_array(createArray(nullptr, nullptr))
    {
        for (const auto& [name, text] : texts) {
            ScriptValue value = makeStringValue(createString(text));
            EXPECT_TRUE(m_array->setItem(static_cast<int32_t>(name.size()), name.data(), value).ok());
            releaseValue(value);
        }
    }
    ~Attributes() { m_array->release(); }

    void set(const std::string& name, const ScriptValue& value)
    {
        EXPECT_TRUE(m_array->setItem(static_cast<int32_t>(name.size()), name.data(), value).ok());
    }
    const ScriptArray& array() const { return *m_array; }

private:
    ScriptArray* m_array;
};

TEST(AttributeReaders, IntegersReadAsTheCLibraryReadsThem)
{
    struct Row {
        std::string text;
        int32_t expected;
    };
    const Row rows[] = {
        { "0x10", 16 },
        { "0X1f", 31 },
        { "010", 8 },
        { "-5", -5 },
        { "+12", 12 },
        { " 7", 7 },
        { "\t\n 42", 42 },
        { "12px", 12 },
        { "auto", 0 },
        { "", 0 },
        { "0x", 0 },
        { "09", 0 },
        { "99999999999", INT32_MAX },
        { "-99999999999", INT32_MIN },
        { "2147483647", INT32_MAX },
    };
    for (const Row& row : rows) {
        Attributes attributes { { "left", row.text } };
        int32_t result = 1234;
        EXPECT_TRUE(readAttributeInt(attributes.array(), "left", result).ok()) << '"' << row.text << '"';
        EXPECT_EQ(result, row.expected) << '"' << row.text << '"';
    }
}

TEST(AttributeReaders, AnIntegerValueReadsAsItsText)
{
    Attributes attributes;
    attributes.set("width", ScriptValue::integer(-77));
    int32_t result = 0;
    EXPECT_TRUE(readAttributeInt(attributes.array(), "width", result).ok());
    EXPECT_EQ(result, -77);
}

TEST(AttributeReaders, ColoursReadAsColourTexts)
{
    struct Row {
        std::string text;
        Color expected;
    };
    const Row rows[] = {
        { "#ff8000", 0x000080FF },
        { "#f80", 0x000088FF },
        { "#zz0000", 0 },
        { "red", NoColor },
        { "00ff00", NoColor },
        { "#ab", NoColor },
        { "", NoColor },
    };
    for (const Row& row : rows) {
        Attributes attributes { { "bgcolor", row.text } };
        Color result = 0x00123456;
        EXPECT_TRUE(readAttributeColor(attributes.array(), "bgcolor", result).ok()) << row.text;
        EXPECT_EQ(result, row.expected) << '"' << row.text << '"';
    }
}

TEST(AttributeReaders, AbsentAttributesLeaveTheResultAlone)
{
    Attributes attributes { { "left", "5" }, { "color", "#fff" }, { "type", "mascot" } };
    int32_t number = 1234;
    EXPECT_EQ(readAttributeInt(attributes.array(), "top", number).code(), -1);
    EXPECT_EQ(readAttributeInt(attributes.array(), "Left", number).code(), -1)
        << "names match case-sensitively";
    EXPECT_EQ(readAttributeInt(attributes.array(), "lef", number).code(), -1) << "and whole";
    EXPECT_EQ(number, 1234);
    Color color = 0x00ABCDEF;
    EXPECT_EQ(readAttributeColor(attributes.array(), "bgcolor", color).code(), -1);
    EXPECT_EQ(color, 0x00ABCDEFu);
    char buffer[8] = "keepme";
    EXPECT_EQ(readAttributeText(attributes.array(), "Type", buffer, sizeof buffer).code(), -1);
    EXPECT_STREQ(buffer, "keepme");
}

TEST(AttributeReaders, TextIsCutToTheBuffer)
{
    Attributes attributes { { "background", "picture.bmp" } };
    struct Row {
        std::string name;
        int32_t capacity;
        std::string expected;
    };
    const Row rows[] = {
        { "room for all", 64, "picture.bmp" },
        { "exactly enough", 12, "picture.bmp" },
        { "one short", 11, "picture.bm" },
        { "room for the zero only", 1, "" },
    };
    for (const Row& row : rows) {
        char buffer[80];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(readAttributeText(attributes.array(), "background", buffer, row.capacity).ok())
            << row.name;
        EXPECT_EQ(std::string(buffer), row.expected) << row.name;
        EXPECT_EQ(buffer[row.capacity], 'x') << row.name << ": nothing written past the capacity";
    }
}

TEST(AttributeReaders, ReadingKeepsTheStoredValuesCount)
{
    Attributes attributes;
    ScriptString* text = createString(std::string_view("0x20"));
    ScriptValue value = makeStringValue(text);
    attributes.set("size", value);
    int32_t before = text->refCount();
    int32_t result = 0;
    EXPECT_TRUE(readAttributeInt(attributes.array(), "size", result).ok());
    EXPECT_EQ(result, 32);
    EXPECT_EQ(text->refCount(), before);
    releaseValue(value);
}

}
}
