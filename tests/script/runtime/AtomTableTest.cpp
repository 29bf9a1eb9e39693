// Atom = bucket + 16 x serial, bucket = signed byte sum mod 11, serials from 1 in each table.
#include <script/runtime/AtomTable.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace nimbolt::test {
namespace {

// prototype: 112+114+111+116+111+116+121+112+101 = 1014 = 11 x 92 + 2, serial 1 -> 18.
// length:    108+101+110+103+116+104 = 642 = 11 x 58 + 4, serial 2 -> 36.
// charAt:    99+104+97+114+65+116 = 595 = 11 x 54 + 1, serial 3 -> 49.
constexpr Atom PrototypeAtom = 18;
constexpr Atom LengthAtom = 36;
constexpr Atom CharAtAtom = 49;

// The count nameOf copied, or its failure code.
int32_t copiedOrCode(StatusOr<int32_t> copied)
{
    return copied.ok() ? copied.value() : copied.status().code();
}

TEST(AtomTableTest, InterningSequence)
{
    EXPECT_EQ(InitialFixedAtoms.prototype, PrototypeAtom);
    EXPECT_EQ(InitialFixedAtoms.length, LengthAtom);
    EXPECT_EQ(InitialFixedAtoms.charAt, CharAtAtom);
    AtomTable* table = AtomTable::create().leakRef();
    ASSERT_TRUE(table && internFixedAtoms(*table));
    EXPECT_EQ(fixedAtoms().length, LengthAtom);
    struct Row {
        const char* name;
        std::string text;
        Atom expected;
        int32_t countAfter;
    };
    const Row rows[] = {
        { "fixed atoms come first", "charAt", CharAtAtom, 3 },
        // 97 + 98 = 195 = 11 x 17 + 8, serial 4.
        { "first name of a sum", "ab", 8 + 16 * 4, 4 },
        { "same name, same atom", "ab", 8 + 16 * 4, 4 },
        { "same byte sum gets the next serial", "ba", 8 + 16 * 5, 5 },
        // 195 + 99 = 294 = 11 x 26 + 8.
        { "longer name of the same prefix", "abc", 8 + 16 * 6, 6 },
        // 88 = 11 x 8 + 0.
        { "names are case-sensitive", "X", 0 + 16 * 7, 7 },
        // Shift-JIS full-width space 0x81 0x40: -127 + 64 = -63, which is 3 modulo 11.
        { "non-ASCII bytes land in a valid bucket", "\x81\x40", 3 + 16 * 8, 8 },
        // No bytes sum to 0: bucket 0.
        { "the empty name is an atom like any other", "", 0 + 16 * 9, 9 },
        { "the prefix still finds its atom", "ab", 8 + 16 * 4, 9 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Atom atom = table->intern(row.text);
        EXPECT_EQ(atom, row.expected);
        EXPECT_EQ(table->atomCount(), row.countAfter);
        char buffer[32];
        EXPECT_EQ(copiedOrCode(table->nameOf(atom, buffer, sizeof buffer)), static_cast<int32_t>(row.text.size()));
        EXPECT_EQ(std::string(buffer), row.text);
    }
    EXPECT_EQ(table->intern(std::string_view()), 16 * 9) << "an empty name without bytes";
    table->release();

    // Every table counts its own serials.
    AtomTable* other = AtomTable::create().leakRef();
    EXPECT_EQ(other->intern("ab"), 8 + 16);
    other->release();
}

TEST(AtomTableTest, NameOfCopiesWithinCapacityAndKnowsOnlyItsOwnAtoms)
{
    AtomTable* table = AtomTable::create().leakRef();
    ASSERT_TRUE(internFixedAtoms(*table));
    struct Row {
        const char* name;
        Atom atom;
        int32_t capacity;
        int32_t expected;
        const char* text;
    };
    const Row rows[] = {
        { "capacity 4 gives three bytes", PrototypeAtom, 4, 3, "pro" },
        { "capacity 1 gives only the zero", PrototypeAtom, 1, 0, "" },
        { "exact fit", PrototypeAtom, 10, 9, "prototype" },
        { "room to spare", CharAtAtom, 20, 6, "charAt" },
        { "capacity 0", PrototypeAtom, 0, -1, "XXX" },
        { "right bucket, serial never made with it", PrototypeAtom + 16, 8, -1, "XXX" },
        { "right bucket, serial beyond the count", PrototypeAtom + 16 * 10, 8, -1, "XXX" },
        { "serial 1 in a bucket that has no name of it", PrototypeAtom + 1, 8, -1, "XXX" },
        { "low bits 11 name no bucket", 16 + 11, 8, -1, "XXX" },
        { "zero", 0, 8, -1, "XXX" },
        { "negative", -PrototypeAtom, 8, -1, "XXX" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char buffer[24];
        std::memset(buffer, 'X', sizeof buffer);
        buffer[3] = 0;
        EXPECT_EQ(copiedOrCode(table->nameOf(row.atom, buffer, row.capacity)), row.expected);
        EXPECT_STREQ(buffer, row.text);
        if (row.expected >= 0) {
            EXPECT_EQ(buffer[row.expected + 1], 'X');
        }
    }
    table->release();
}

// Thousands of names keep their atoms, the buckets worked out here from the byte sums.
TEST(AtomTableTest, ThousandsOfNamesKeepTheirAtoms)
{
    AtomTable* table = AtomTable::create().leakRef();
    ASSERT_TRUE(internFixedAtoms(*table));
    constexpr int32_t Count = 20000;
    std::vector<std::string> names;
    for (int32_t i = 0; i < Count; ++i)
        names.push_back((i % 3 ? "name" : "x_") + std::to_string(i * 7919 % 100003));
    auto expectedAtom = [](const std::string& name, int32_t serial) {
        int32_t sum = 0;
        for (char c : name)
            sum += c;
        return sum % 11 + 16 * serial;
    };
    for (int32_t i = 0; i < Count; ++i)
        ASSERT_EQ(table->intern(names[static_cast<size_t>(i)]), expectedAtom(names[static_cast<size_t>(i)], i + 4)) << i;
    for (int32_t i = Count - 1; i >= 0; --i) {
        const std::string& name = names[static_cast<size_t>(i)];
        ASSERT_EQ(table->intern(name), expectedAtom(name, i + 4));
        char buffer[32];
        ASSERT_EQ(copiedOrCode(table->nameOf(table->intern(name), buffer, sizeof buffer)), static_cast<int32_t>(name.size()));
        ASSERT_EQ(std::string(buffer), name);
    }
    EXPECT_EQ(table->atomCount(), Count + 3);
    EXPECT_EQ(table->intern("charAt"), CharAtAtom);
    table->release();
}

}
}
