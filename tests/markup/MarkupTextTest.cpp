#include <markup/MarkupText.h>

#include <cstring>
#include <gtest/gtest.h>

using namespace nimbolt;

namespace {

TEST(MarkupText, MadeFromBytesAndStrings)
{
    OwnedMarkupText bytes(MarkupText::create("ab\0c", 4));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->view(), std::string_view("ab\0c", 4));

    OwnedMarkupText string(MarkupText::fromString("div"));
    ASSERT_TRUE(string);
    EXPECT_EQ(string->length(), 3);
    EXPECT_EQ(string->bytes()[3], 0) << "a text made from a string keeps its zero";

    EXPECT_EQ(MarkupText::fromString(""), MarkupText::sharedEmpty());
    EXPECT_EQ(MarkupText::fromString(nullptr), MarkupText::sharedEmpty());
    EXPECT_EQ(MarkupText::sharedEmpty()->length(), 0);
    MarkupText::destroy(MarkupText::sharedEmpty());
    EXPECT_EQ(MarkupText::sharedEmpty()->length(), 0) << "the shared empty text is never freed";

    OwnedMarkupText empty(MarkupText::create(nullptr, 0));
    ASSERT_TRUE(empty);
    EXPECT_NE(empty.get(), MarkupText::sharedEmpty()) << "an empty token text is its own";
}

TEST(MarkupText, CopyMarkupText)
{
    OwnedMarkupText text(MarkupText::create("abcd", 4));
    struct Case {
        const char* what;
        const MarkupText* text;
        int32_t capacity;
        int32_t copied;
        const char* buffer;
    } const cases[] = {
        { "all bytes and the zero", text.get(), 10, 4, "abcd" },
        { "capacity of length + 1", text.get(), 5, 4, "abcd" },
        { "capacity - 1 bytes", text.get(), 3, 2, "ab" },
        { "capacity 1: the zero only", text.get(), 1, 0, "" },
        { "capacity 0: nothing written", text.get(), 0, 0, "#########" },
        { "a null text copies as empty", nullptr, 10, 0, "" },
    };
    for (const Case& row : cases) {
        char buffer[10] = "#########";
        EXPECT_EQ(copyMarkupText(row.text, buffer, row.capacity), row.copied) << row.what;
        EXPECT_STREQ(buffer, row.buffer) << row.what;
    }
}

int sign(int32_t value)
{
    return (value > 0) - (value < 0);
}

TEST(MarkupText, CompareMarkupName)
{
    struct Case {
        const char* what;
        const char* text;
        const char* name;
        int32_t result; // exact when the bytes agree over the shorter length
        bool exact;
    } const cases[] = {
        { "equal", "div", "div", 0, true },
        { "a shorter text: lengths decide", "di", "div", -1, true },
        { "a longer text: lengths decide", "divs", "div", 1, true },
        { "an empty text against a name", "", "abc", -3, true },
        { "a text against an empty name", "ab", "", 2, true },
        { "a byte that differs", "abc", "abd", -1, false },
        { "bytes decide before lengths", "abz", "abcd", 1, false },
        { "names are case-sensitive", "Div", "div", -1, false },
        { "bytes compare unsigned", "\x82", "a", 1, false },
    };
    for (const Case& row : cases) {
        OwnedMarkupText text(MarkupText::create(row.text, static_cast<int32_t>(std::strlen(row.text))));
        int32_t result = compareMarkupName(text.get(), row.name);
        if (row.exact)
            EXPECT_EQ(result, row.result) << row.what;
        else
            EXPECT_EQ(sign(result), row.result) << row.what;
    }
}

}
