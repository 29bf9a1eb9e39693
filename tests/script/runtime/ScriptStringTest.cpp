// Strings: byte lengths and indexes over Shift-JIS text, the two shared members length and
// charAt, refusal of every other use, and the process-wide member table that lives exactly as
// long as some string does.
#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace nimbolt::test {
namespace {

class ScriptStringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ScriptString::liveCount(), 0) << "an earlier test leaked a string";
        m_atoms = AtomTable::create();
        ASSERT_TRUE(internFixedAtoms(*m_atoms));
        m_length = m_atoms->intern("length");
        m_charAt = m_atoms->intern("charAt");
        m_other = m_atoms->intern("substring");
    }
    void TearDown() override
    {
        m_atoms->release();
        EXPECT_EQ(ScriptString::liveCount(), 0);
        EXPECT_EQ(ScriptString::sharedMemberTable(), nullptr);
    }

    Status charAt(ScriptString* string, const ScriptValue& index, ScriptValue& result)
    {
        return string->invoke(m_charAt, InvokeOp::CallMember, 1, &index, &result);
    }

    AtomTable* m_atoms { nullptr };
    Atom m_length { 0 };
    Atom m_charAt { 0 };
    Atom m_other { 0 };
};

std::string textOf(const ScriptValue& value)
{
    EXPECT_EQ(value.tag, ValueTag::String);
    return value.tag == ValueTag::String ? std::string(stringOf(value)->view()) : std::string();
}

TEST_F(ScriptStringTest, LengthCountsBytesOfShiftJisText)
{
    // "あa": the two bytes of the hiragana letter, then one ASCII letter.
    ScriptString* string = createString("\x82\xa0" "a");
    ASSERT_NE(string, nullptr);
    EXPECT_EQ(string->length(), 3);

    ScriptValue result = ScriptValue::null();
    EXPECT_EQ(string->invoke(m_length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 3);

    const char* expected[] = { "\x82", "\xa0", "a" };
    for (int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(charAt(string, ScriptValue::integer(i), result), Status::Ok);
        EXPECT_EQ(textOf(result), expected[i]);
        releaseValue(result);
    }
    string->release();
}

TEST_F(ScriptStringTest, CharAtIndexes)
{
    ScriptString* string = createString("abc");
    ScriptString* one = createString("1");
    ScriptString* hex = createString("0x2");
    ScriptString* octal = createString("02");
    ScriptString* word = createString("b");
    struct Row {
        const char* name;
        ScriptValue index;
        const char* expected; // null for undefined
    };
    const Row rows[] = {
        { "first", ScriptValue::integer(0), "a" },
        { "last", ScriptValue::integer(2), "c" },
        { "minus one", ScriptValue::integer(-1), nullptr },
        { "the length itself", ScriptValue::integer(3), nullptr },
        { "far beyond", ScriptValue::integer(1000000), nullptr },
        { "the string 1", makeStringValue(one), "b" },
        { "a hexadecimal string", makeStringValue(hex), "c" },
        { "an octal string", makeStringValue(octal), "c" },
        { "a string with no digits is 0", makeStringValue(word), "a" },
        { "the real 1.9 truncates", ScriptValue::real(1.9), "b" },
        { "the real -0.5 truncates to 0", ScriptValue::real(-0.5), "a" },
        { "the real 4294967298 keeps the low word", ScriptValue::real(4294967298.0), "c" },
        { "null is 0", ScriptValue::null(), "a" },
        { "undefined is 0", ScriptValue::undefined(), "a" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptValue result = ScriptValue::integer(77);
        EXPECT_EQ(charAt(string, row.index, result), Status::Ok);
        if (row.expected) {
            EXPECT_EQ(textOf(result), row.expected);
        } else {
            EXPECT_EQ(result.tag, ValueTag::Undefined);
        }
        releaseValue(result);
        // The argument is read through a copy: its own reference stays.
        if (row.index.isCounted()) {
            EXPECT_EQ(row.index.payload.object->refCount(), 1);
        }
    }
    ScriptValue result = ScriptValue::integer(77);
    EXPECT_EQ(string->invoke(m_charAt, InvokeOp::CallMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Undefined);

    for (ScriptString* s : { string, one, hex, octal, word }) {
        EXPECT_EQ(s->release(), 0);
    }
}

TEST_F(ScriptStringTest, EmptyString)
{
    ScriptString* empty = createString("", 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->length(), 0);
    EXPECT_EQ(empty->bytes(), nullptr);

    ScriptValue result;
    EXPECT_EQ(empty->invoke(m_length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 0);
    for (int32_t index : { 0, 1, -1 }) {
        EXPECT_EQ(charAt(empty, ScriptValue::integer(index), result), Status::Ok);
        EXPECT_EQ(result.tag, ValueTag::Undefined);
    }

    char buffer[4] = "XXX";
    EXPECT_EQ(empty->copyText(buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 'X');

    // A negative length is taken as empty.
    ScriptString* negative = createString("abc", -5);
    ASSERT_NE(negative, nullptr);
    EXPECT_EQ(negative->length(), 0);
    EXPECT_EQ(negative->bytes(), nullptr);
    negative->release();
    empty->release();
}

TEST_F(ScriptStringTest, CopyTextWithinCapacity)
{
    ScriptString* string = createString("hello");
    struct Row {
        const char* name;
        int32_t capacity;
        int32_t expected;
        const char* text;
    };
    const Row rows[] = {
        { "capacity 1 writes only the zero", 1, 0, "" },
        { "capacity 2 writes one byte", 2, 1, "h" },
        { "capacity equal to the length drops the last byte", 5, 4, "hell" },
        { "capacity length + 1 fits exactly", 6, 5, "hello" },
        { "larger capacity copies the whole text", 16, 5, "hello" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char buffer[20];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(string->copyText(buffer, row.capacity), row.expected);
        EXPECT_STREQ(buffer, row.text);
        EXPECT_EQ(buffer[row.expected + 1], 'X');
    }
    string->release();
}

TEST_F(ScriptStringTest, EverythingElseIsRefused)
{
    ScriptString* string = createString("abc");
    const ScriptValue value = ScriptValue::integer(9);
    struct Row {
        const char* name;
        Atom atom;
        InvokeOp op;
        int32_t argc;
        Status expected;
        bool resultUndefined;
    };
    const Row rows[] = {
        { "reading another member", m_other, InvokeOp::GetMember, 0, Status::Failed, true },
        { "calling another member", m_other, InvokeOp::CallMember, 1, Status::Failed, true },
        { "assigning another member", m_other, InvokeOp::PutMember, 1, Status::Failed, true },
        { "an atom no table made", 12345, InvokeOp::GetMember, 0, Status::Failed, true },
        { "assigning length", m_length, InvokeOp::PutMember, 1, Status::Failed, false },
        { "calling length", m_length, InvokeOp::CallMember, 0, Status::Failed, false },
        { "reading charAt as a value", m_charAt, InvokeOp::GetMember, 0, Status::Failed, false },
        { "assigning charAt", m_charAt, InvokeOp::PutMember, 1, Status::Failed, false },
        { "storing an item", 0, InvokeOp::StoreItem, 2, Status::Failed, true },
        { "applying", 0, InvokeOp::Apply, 1, Status::Failed, true },
        { "constructing", 0, InvokeOp::Construct, 0, Status::Failed, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptValue args[2] = { value, value };
        ScriptValue result = ScriptValue::integer(77);
        EXPECT_EQ(string->invoke(row.atom, row.op, row.argc, args, &result), row.expected);
        EXPECT_NE(result.tag, ValueTag::MemberHandler);
        if (row.resultUndefined) {
            EXPECT_EQ(result.tag, ValueTag::Undefined);
        }
        EXPECT_NE(result.tag, ValueTag::String);
    }
    // An op outside the protocol does nothing and succeeds.
    ScriptValue result = ScriptValue::integer(77);
    EXPECT_EQ(string->invoke(m_length, static_cast<InvokeOp>(9), 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 77);
    EXPECT_EQ(string->length(), 3);
    string->release();
}

TEST_F(ScriptStringTest, SharedMemberTableLivesWhileAnyStringDoes)
{
    EXPECT_EQ(ScriptString::sharedMemberTable(), nullptr);
    ScriptString* first = createString("one");
    EXPECT_EQ(ScriptString::liveCount(), 1);
    PropertyTable* table = ScriptString::sharedMemberTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->entryCount(), 2);
    ScriptValue member;
    EXPECT_EQ(table->get(m_length, member), Status::Ok);
    EXPECT_EQ(member.tag, ValueTag::MemberHandler);
    EXPECT_EQ(table->get(m_charAt, member), Status::Ok);
    EXPECT_EQ(member.tag, ValueTag::MemberHandler);

    ScriptString* second = createString("two!");
    EXPECT_EQ(ScriptString::liveCount(), 2);
    EXPECT_EQ(ScriptString::sharedMemberTable(), table);

    first->addRef();
    EXPECT_EQ(first->release(), 1);
    EXPECT_EQ(ScriptString::liveCount(), 2);
    EXPECT_EQ(first->release(), 0);
    EXPECT_EQ(ScriptString::liveCount(), 1);
    EXPECT_NE(ScriptString::sharedMemberTable(), nullptr);
    EXPECT_EQ(second->release(), 0);
    EXPECT_EQ(ScriptString::liveCount(), 0);
    EXPECT_EQ(ScriptString::sharedMemberTable(), nullptr);

    // The next string rebuilds the table and both members work again.
    ScriptString* third = createString("xyz");
    EXPECT_NE(ScriptString::sharedMemberTable(), nullptr);
    EXPECT_EQ(ScriptString::liveCount(), 1);
    ScriptValue result;
    EXPECT_EQ(third->invoke(m_length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 3);
    const ScriptValue index = ScriptValue::integer(1);
    EXPECT_EQ(charAt(third, index, result), Status::Ok);
    EXPECT_EQ(textOf(result), "y");
    EXPECT_EQ(ScriptString::liveCount(), 2);
    releaseValue(result);
    third->release();
}

TEST_F(ScriptStringTest, LongStringsAndFilledBuffers)
{
    const int32_t length = 1 << 20;
    std::vector<char> bytes(static_cast<size_t>(length));
    for (int32_t i = 0; i < length; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>('a' + i % 26);
    ScriptString* string = createString(bytes.data(), length);
    ASSERT_NE(string, nullptr);
    EXPECT_EQ(string->length(), length);
    EXPECT_EQ(std::memcmp(string->bytes(), bytes.data(), bytes.size()), 0);

    std::vector<char> copy(bytes.size() + 1, 'X');
    EXPECT_EQ(string->copyText(copy.data(), static_cast<int32_t>(copy.size())), length);
    EXPECT_EQ(copy.back(), 0);

    ScriptValue result;
    // (2^20 - 1) mod 26 = 1048575 - 26 x 40329 = 21, the letter v.
    EXPECT_EQ(charAt(string, ScriptValue::integer(length - 1), result), Status::Ok);
    EXPECT_EQ(textOf(result), "v");
    releaseValue(result);
    string->release();

    char* text = nullptr;
    ScriptString* filled = createStringBuffer(4, &text);
    ASSERT_NE(filled, nullptr);
    ASSERT_NE(text, nullptr);
    std::memcpy(text, "fill", 4);
    EXPECT_EQ(filled->view(), "fill");
    EXPECT_EQ(filled->length(), 4);
    filled->release();
}

}
}
