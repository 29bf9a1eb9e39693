// Interning: atom = bucket + 16 x serial, bucket = signed byte sum mod 11, serial counting from
// 1 in each table. The expected atoms below are worked out by hand from the byte values.
#include <script/runtime/AtomTable.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

namespace nimbolt::test {
namespace {

struct AtomTableHolder {
    AtomTable* table { AtomTable::create() };
    ~AtomTableHolder() { table->release(); }
};

// prototype: 112+114+111+116+111+116+121+112+101 = 1014 = 11 x 92 + 2, serial 1 -> 18.
// length:    108+101+110+103+116+104 = 642 = 11 x 58 + 4, serial 2 -> 36.
// charAt:    99+104+97+114+65+116 = 595 = 11 x 54 + 1, serial 3 -> 49.
constexpr Atom PrototypeAtom = 18;
constexpr Atom LengthAtom = 36;
constexpr Atom CharAtAtom = 49;

TEST(AtomTableTest, FixedAtomsComeFirstInEveryTable)
{
    EXPECT_EQ(InitialFixedAtoms.prototype, PrototypeAtom);
    EXPECT_EQ(InitialFixedAtoms.length, LengthAtom);
    EXPECT_EQ(InitialFixedAtoms.charAt, CharAtAtom);

    for (int round = 0; round < 2; ++round) {
        AtomTableHolder holder;
        ASSERT_NE(holder.table, nullptr);
        EXPECT_EQ(holder.table->atomCount(), 0);
        ASSERT_TRUE(internFixedAtoms(*holder.table));
        EXPECT_EQ(holder.table->atomCount(), 3);
        EXPECT_EQ(fixedAtoms().prototype, PrototypeAtom);
        EXPECT_EQ(fixedAtoms().length, LengthAtom);
        EXPECT_EQ(fixedAtoms().charAt, CharAtAtom);
        EXPECT_EQ(holder.table->intern("prototype"), PrototypeAtom);
        EXPECT_EQ(holder.table->intern("length"), LengthAtom);
        EXPECT_EQ(holder.table->intern("charAt"), CharAtAtom);
        EXPECT_EQ(holder.table->atomCount(), 3);
    }
}

TEST(AtomTableTest, InterningSequence)
{
    AtomTableHolder holder;
    AtomTable& table = *holder.table;
    ASSERT_TRUE(internFixedAtoms(table));
    struct Row {
        const char* name;
        std::string text;
        Atom expected;
        int32_t countAfter;
    };
    const Row rows[] = {
        // 97 + 98 = 195 = 11 x 17 + 8, serial 4.
        { "first name of a sum", "ab", 8 + 16 * 4, 4 },
        { "same name, same atom", "ab", 8 + 16 * 4, 4 },
        // Same bytes in another order: same sum, same low bits, next serial.
        { "same byte sum gets the next serial", "ba", 8 + 16 * 5, 5 },
        // 120 = 11 x 10 + 10.
        { "single byte", "x", 10 + 16 * 6, 6 },
        // "ab" and "abc" differ in length only at the end: 195 + 99 = 294 = 11 x 26 + 8.
        { "longer name of the same prefix", "abc", 8 + 16 * 7, 7 },
        // 88 = 11 x 8 + 0.
        { "names are case-sensitive", "X", 0 + 16 * 8, 8 },
        { "the prefix still finds its atom", "ab", 8 + 16 * 4, 8 },
        // Shift-JIS full-width space 0x81 0x40: -127 + 64 = -63, which is 3 modulo 11.
        { "non-ASCII bytes land in a valid bucket", "\x81\x40", 3 + 16 * 9, 9 },
        { "fixed atoms stay put", "length", LengthAtom, 9 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Atom atom = table.intern(row.text);
        EXPECT_EQ(atom, row.expected);
        EXPECT_EQ(table.atomCount(), row.countAfter);
        char buffer[32];
        EXPECT_EQ(table.nameOf(atom, buffer, sizeof buffer), static_cast<int32_t>(row.text.size()));
        EXPECT_EQ(std::string(buffer), row.text);
    }
}

TEST(AtomTableTest, TablesCountTheirOwnSerials)
{
    AtomTableHolder first;
    AtomTableHolder second;
    EXPECT_EQ(first.table->intern("x"), 10 + 16);
    EXPECT_EQ(first.table->intern("ab"), 8 + 32);
    EXPECT_EQ(second.table->intern("ab"), 8 + 16);
    EXPECT_EQ(second.table->intern("x"), 10 + 32);
}

TEST(AtomTableTest, AnEmptyNameWithoutBytesIsAnAtomLikeAnyOther)
{
    AtomTableHolder holder;
    AtomTable& table = *holder.table;
    // The byte sum of no bytes is 0: bucket 0, serial 1.
    EXPECT_EQ(table.intern(std::string_view()), 16);
    EXPECT_EQ(table.intern(std::string_view()), 16);
    EXPECT_EQ(table.intern(""), 16);
    EXPECT_EQ(table.atomCount(), 1);
    char buffer[4] = "XXX";
    EXPECT_EQ(table.nameOf(16, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(AtomTableTest, NameOfCopiesWithinCapacity)
{
    AtomTableHolder holder;
    AtomTable& table = *holder.table;
    ASSERT_TRUE(internFixedAtoms(table));
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
        { "one short", PrototypeAtom, 9, 8, "prototyp" },
        { "room to spare", CharAtAtom, 20, 6, "charAt" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char buffer[24];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(table.nameOf(row.atom, buffer, row.capacity), row.expected);
        EXPECT_STREQ(buffer, row.text);
        EXPECT_EQ(buffer[row.expected + 1], 'X');
    }
}

TEST(AtomTableTest, NameOfAnUnknownAtomFails)
{
    AtomTableHolder holder;
    AtomTable& table = *holder.table;
    ASSERT_TRUE(internFixedAtoms(table));
    const Atom unknown[] = {
        0,
        PrototypeAtom + 16, // right bucket, serial never made with it
        PrototypeAtom + 16 * 10, // right bucket, serial beyond the count
        PrototypeAtom + 1, // serial 1 in a bucket that has no name of it
        15, // low bits name no bucket at all
        16 + 12,
        -1,
        -PrototypeAtom,
    };
    for (Atom atom : unknown) {
        SCOPED_TRACE(atom);
        char buffer[8] = "XXXXXXX";
        EXPECT_EQ(table.nameOf(atom, buffer, sizeof buffer), -1);
    }
}

}
}
