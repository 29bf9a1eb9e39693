// The parts of a markup tree: counted texts and attribute lists (chunks of 8, lookups, ranges).
#include <markup/AttributeList.h>

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace nimbolt;

namespace {

TEST(MarkupText, MadeCopiedAndCompared)
{
    EXPECT_EQ(MarkupText::create("ab\0c", 4)->view(), std::string_view("ab\0c", 4));
    OwnedMarkupText string = MarkupText::fromString("div");
    EXPECT_EQ(string->view(), "div");
    EXPECT_EQ(string->bytes()[3], 0) << "a text made from a string keeps its zero";
    EXPECT_EQ(MarkupText::fromString("").get(), MarkupText::sharedEmpty());
    EXPECT_EQ(MarkupText::fromString(nullptr).get(), MarkupText::sharedEmpty());
    MarkupText::destroy(MarkupText::sharedEmpty());
    EXPECT_EQ(MarkupText::sharedEmpty()->length(), 0) << "the shared empty text is never freed";
    OwnedMarkupText empty = MarkupText::create(nullptr, 0);
    EXPECT_TRUE(empty && empty.get() != MarkupText::sharedEmpty()) << "an empty token text is its own";
    EXPECT_EQ(MarkupText::create("x", -1), nullptr);

    // Copies: min(length, capacity - 1) bytes and a zero.
    struct Copy { const char* what; const MarkupText* text; int32_t capacity, copied; const char* buffer; };
    const Copy copies[] = {
        { "length + 2", string.get(), 5, 3, "div" }, { "length + 1", string.get(), 4, 3, "div" },
        { "capacity - 1", string.get(), 3, 2, "di" }, { "capacity 1: the zero", string.get(), 1, 0, "" },
        { "capacity 0: nothing", string.get(), 0, 0, "#########" }, { "null as empty", nullptr, 10, 0, "" },
    };
    for (const Copy& row : copies) {
        char buffer[10] = "#########";
        EXPECT_EQ(copyMarkupText(row.text, buffer, row.capacity), row.copied) << row.what;
        EXPECT_STREQ(buffer, row.buffer) << row.what;
    }

    // Comparisons: the difference of the lengths when the bytes agree over the shorter length,
    // memcmp's result (only its sign is checked) when they do not.
    struct Compare { const char* what; const char* text; const char* name; int32_t result; bool exact; };
    const Compare compares[] = {
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
    for (const Compare& row : compares) {
        OwnedMarkupText text = MarkupText::create(row.text, static_cast<int32_t>(std::strlen(row.text)));
        int32_t result = compareMarkupName(text.get(), row.name);
        EXPECT_EQ(row.exact ? result : (result > 0) - (result < 0), row.result) << row.what;
    }
    EXPECT_EQ(compareMarkupName(nullptr, "ab"), -2) << "a null text compares as empty";
    EXPECT_EQ(compareMarkupName(string.get(), nullptr), 3) << "and so does a null name";
}

std::string_view viewOf(const MarkupText* value)
{
    return value ? value->view() : "(none)";
}

TEST(AttributeList, EntriesAcrossChunksLookupsAndRanges)
{
    // Twenty entries a0 = v0 ... a19 = v19 (a5 without value), then a3 = again: three chunks of 8.
    RefPtr<AttributeList> list = AttributeList::create();
    MarkupText* found = nullptr;
    EXPECT_EQ(list->attributeCount(), 0);
    EXPECT_EQ(list->findAttribute("", found).code(), -1) << "an empty list holds not even the empty name";
    for (int i = 0; i < 21; ++i) {
        std::string name = "a" + std::to_string(i == 20 ? 3 : i);
        std::string value = i == 20 ? "again" : "v" + std::to_string(i);
        EXPECT_TRUE(list->addAttribute(name, i == 5 ? nullptr : MarkupText::fromString(value.c_str())).ok());
    }
    EXPECT_EQ(list->attributeCount(), 21);

    struct Entry { const char* what; int32_t index; const char* name; const char* value; };
    const Entry entries[] = {
        { "first entry", 0, "a0", "v0" }, { "last entry of the first chunk", 7, "a7", "v7" },
        { "first of the second chunk", 8, "a8", "v8" }, { "first of the third chunk", 16, "a16", "v16" },
        { "a valueless entry", 5, "a5", "(none)" }, { "a repeated name's own entry", 20, "a3", "again" },
    };
    for (const Entry& row : entries) {
        char name[8] = "#######";
        MarkupText* value = reinterpret_cast<MarkupText*>(1);
        EXPECT_TRUE(list->attributeName(row.index, sizeof name, name).ok()) << row.what;
        EXPECT_TRUE(list->attributeValue(row.index, value).ok()) << row.what;
        EXPECT_STREQ(name, row.name) << row.what;
        EXPECT_EQ(viewOf(value), row.value) << row.what;
    }

    struct Find { const char* what; const char* name; int32_t status; const char* value; };
    const Find finds[] = {
        { "an entry of the first chunk", "a2", 0, "v2" }, { "an entry of the last chunk", "a19", 0, "v19" },
        { "the first of two equal names", "a3", 0, "v3" }, { "a valueless entry", "a5", 0, "(none)" },
        { "a prefix of a name", "a", -1, "(none)" }, { "a longer name", "a190", -1, "(none)" },
        { "names are case-sensitive", "A1", -1, "(none)" },
    };
    for (const Find& row : finds) {
        MarkupText* value = reinterpret_cast<MarkupText*>(1);
        EXPECT_EQ(list->findAttribute(row.name, value).code(), row.status) << row.what;
        EXPECT_EQ(viewOf(value), row.value) << row.what;
    }

    struct Copy { const char* what; int32_t index, capacity, status; const char* copied; };
    const Copy copies[] = {
        { "capacity 1: the zero", 15, 1, 0, "" }, { "capacity 0: nothing", 15, 0, 0, "#######" },
        { "index = count", 21, 8, -1, "#######" }, { "a negative index", -1, 8, -1, "#######" },
    };
    for (const Copy& row : copies) {
        char buffer[8] = "#######";
        EXPECT_EQ(list->attributeName(row.index, row.capacity, buffer).code(), row.status) << row.what;
        EXPECT_STREQ(buffer, row.copied) << row.what;
    }
    MarkupText* value = reinterpret_cast<MarkupText*>(1);
    EXPECT_EQ(list->attributeValue(21, value).code(), -1);
    EXPECT_EQ(value, nullptr);

    // An empty name is a name. With 24 entries the fourth chunk is made ahead of need, and the
    // last release frees it too.
    for (const char* name : { "", "x", "x" })
        EXPECT_TRUE(list->addAttribute(name, MarkupText::fromString(*name ? "x" : "empty name")).ok());
    EXPECT_TRUE(list->findAttribute("", value).ok());
    EXPECT_EQ(viewOf(value), "empty name");
    EXPECT_EQ(list->addRef(), 2);
    EXPECT_EQ(list->release(), 1);
}

}
