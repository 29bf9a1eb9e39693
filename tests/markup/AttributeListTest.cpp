#include <markup/AttributeList.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace nimbolt;

namespace {

struct ListDeleter {
    void operator()(AttributeList* list) const { list->release(); }
};

MarkupText* text(const std::string& bytes)
{
    return MarkupText::create(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// Twenty entries a0 = v0 ... a19 = v19 (a5 without value), then a3 again: three chunks of 8.
std::unique_ptr<AttributeList, ListDeleter> makeList()
{
    std::unique_ptr<AttributeList, ListDeleter> list(AttributeList::create());
    for (int i = 0; i < 20; ++i) {
        std::string name = "a" + std::to_string(i);
        EXPECT_TRUE(list->addAttribute(name, i == 5 ? nullptr : text("v" + std::to_string(i))).ok());
    }
    EXPECT_TRUE(list->addAttribute("a3", text("again")).ok());
    return list;
}

TEST(AttributeList, NamesAndValuesAcrossChunks)
{
    auto list = makeList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->attributeCount(), 21);
    struct Case {
        const char* what;
        int32_t index;
        const char* name;
        const char* value; // null: valueless
    } const cases[] = {
        { "first entry", 0, "a0", "v0" },
        { "last entry of the first chunk", 7, "a7", "v7" },
        { "first entry of the second chunk", 8, "a8", "v8" },
        { "first entry of the third chunk", 16, "a16", "v16" },
        { "a valueless entry", 5, "a5", nullptr },
        { "a repeated name keeps its own entry", 20, "a3", "again" },
    };
    for (const Case& row : cases) {
        char name[8] = "#######";
        ASSERT_TRUE(list->attributeName(row.index, sizeof name, name).ok()) << row.what;
        EXPECT_STREQ(name, row.name) << row.what;
        MarkupText* value = reinterpret_cast<MarkupText*>(1);
        ASSERT_TRUE(list->attributeValue(row.index, value).ok()) << row.what;
        if (row.value) {
            ASSERT_TRUE(value) << row.what;
            EXPECT_EQ(value->view(), row.value) << row.what;
        } else {
            EXPECT_EQ(value, nullptr) << row.what;
        }
    }
}

TEST(AttributeList, Lookup)
{
    auto list = makeList();
    struct Case {
        const char* what;
        const char* name;
        int32_t status;
        const char* value;
    } const cases[] = {
        { "an entry of the first chunk", "a2", 0, "v2" },
        { "an entry of the last chunk", "a19", 0, "v19" },
        { "the first of two equal names", "a3", 0, "v3" },
        { "a valueless entry is found without value", "a5", 0, nullptr },
        { "a prefix of a name is not found", "a", -1, nullptr },
        { "a longer name is not found", "a190", -1, nullptr },
        { "names are case-sensitive", "A1", -1, nullptr },
    };
    for (const Case& row : cases) {
        MarkupText* value = reinterpret_cast<MarkupText*>(1);
        EXPECT_EQ(list->findAttribute(row.name, value).code(), row.status) << row.what;
        if (row.value) {
            ASSERT_TRUE(value) << row.what;
            EXPECT_EQ(value->view(), row.value) << row.what;
        } else {
            EXPECT_EQ(value, nullptr) << row.what;
        }
    }
}

TEST(AttributeList, NameCopiesAndRanges)
{
    auto list = makeList();
    struct Case {
        const char* what;
        int32_t index;
        int32_t capacity;
        int32_t status;
        const char* copied; // null: buffer untouched
    } const cases[] = {
        { "a name cut to capacity - 1", 15, 2, 0, "a" },
        { "a capacity of 1 copies the zero only", 15, 1, 0, "" },
        { "a capacity of length + 1 fits", 15, 4, 0, "a15" },
        { "a capacity of 0 writes nothing", 15, 0, 0, nullptr },
        { "an index of count is outside", 21, 8, -1, nullptr },
        { "a negative index is outside", -1, 8, -1, nullptr },
    };
    for (const Case& row : cases) {
        char buffer[8] = "#######";
        EXPECT_EQ(list->attributeName(row.index, row.capacity, buffer).code(), row.status) << row.what;
        EXPECT_STREQ(buffer, row.copied ? row.copied : "#######") << row.what;
    }
    MarkupText* value = reinterpret_cast<MarkupText*>(1);
    EXPECT_EQ(list->attributeValue(21, value).code(), -1);
    EXPECT_EQ(value, nullptr);
}

TEST(AttributeList, CountsAndEmptyList)
{
    AttributeList* list = AttributeList::create();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->attributeCount(), 0);
    MarkupText* value = nullptr;
    EXPECT_EQ(list->findAttribute("x", value).code(), -1);
    char buffer[4] = "###";
    EXPECT_EQ(list->attributeName(0, 4, buffer).code(), -1);

    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(list->addAttribute("x", text("exactly one chunk")).ok());
    EXPECT_EQ(list->addRef(), 2);
    EXPECT_EQ(list->release(), 1);
    EXPECT_EQ(list->release(), 0) << "the last release frees entries, values and both chunks";
}

}
