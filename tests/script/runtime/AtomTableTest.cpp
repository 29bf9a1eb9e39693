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

// Thousands of names keep their atoms, the buckets worked out here from the signed byte sums:
// the empty name, bytes from 0x80 up, names that differ in case or order of bytes only, prefixes.
TEST(AtomTableTest, ThousandsOfNamesKeepTheirAtoms)
{
    EXPECT_TRUE(InitialFixedAtoms.prototype == PrototypeAtom && InitialFixedAtoms.length == LengthAtom);
    EXPECT_EQ(InitialFixedAtoms.charAt, CharAtAtom);
    AtomTable* table = AtomTable::create().leakRef();
    ASSERT_TRUE(internFixedAtoms(*table));
    EXPECT_EQ(fixedAtoms().length, LengthAtom);
    std::vector<std::string> names { "ab", "ba", "abc", "X", "x", "", "\x81\x40" };
    for (int32_t i = 0; names.size() < 20000; ++i)
        names.push_back((i % 3 ? "name" : "x_") + std::to_string(i * 7919 % 100003));
    const auto count = static_cast<int32_t>(names.size());
    auto expectedAtom = [](const std::string& name, int32_t serial) {
        int32_t sum = 0;
        for (char c : name)
            sum += static_cast<signed char>(c);
        return (sum % 11 + 11) % 11 + 16 * serial;
    };
    for (int32_t i = 0; i < count; ++i)
        ASSERT_EQ(table->intern(names[static_cast<size_t>(i)]), expectedAtom(names[static_cast<size_t>(i)], i + 4)) << i;
    for (int32_t i = count - 1; i >= 0; --i) {
        const std::string& name = names[static_cast<size_t>(i)];
        ASSERT_EQ(table->intern(name), expectedAtom(name, i + 4));
        char buffer[32];
        ASSERT_EQ(copiedOrCode(table->nameOf(table->intern(name), buffer, sizeof buffer)), static_cast<int32_t>(name.size()));
        ASSERT_EQ(std::string(buffer), name);
    }
    EXPECT_EQ(table->atomCount(), count + 3);
    EXPECT_EQ(table->intern("charAt"), CharAtAtom);
    EXPECT_EQ(table->intern(std::string_view()), 16 * 9) << "an empty name without bytes";
    table->release();

    // Every table counts its own serials: 97 + 98 = 195 = 11 x 17 + 8.
    AtomTable* other = AtomTable::create().leakRef();
    EXPECT_EQ(other->intern("ab"), 8 + 16);
    other->release();
}

}
}
