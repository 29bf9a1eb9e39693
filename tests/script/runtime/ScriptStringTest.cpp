// Strings from the host side: copies cut to a capacity, empty texts, and the process-wide member
// table that lives exactly as long as some string does. What the members answer and what they
// refuse is checked by the script tests.
#include <support/CountingObject.h>

#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <cstring>

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

    AtomTable* m_atoms { nullptr };
    Atom m_length { 0 };
    Atom m_charAt { 0 };
    Atom m_other { 0 };
};

// copyText writes at most capacity - 1 bytes and a zero; empty strings (a negative length too)
// have no bytes at all.
TEST_F(ScriptStringTest, CopyTextWithinCapacity)
{
    ScriptString* string = createString("hello");
    ScriptString* empty = createString("", 0);
    ScriptString* negative = createString("abc", -5);
    const struct {
        const char* name;
        ScriptString* string;
        int32_t capacity;
        int32_t expected;
        const char* text;
    } rows[] = {
        { "capacity 1 writes only the zero", string, 1, 0, "" },
        { "capacity 2 writes one byte", string, 2, 1, "h" },
        { "capacity equal to the length drops the last byte", string, 5, 4, "hell" },
        { "capacity length + 1 fits exactly", string, 6, 5, "hello" },
        { "larger capacity copies the whole text", string, 16, 5, "hello" },
        { "empty string", empty, 16, 0, "" },
        { "negative length", negative, 16, 0, "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        char buffer[20];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(row.string->copyText(buffer, row.capacity), row.expected);
        EXPECT_STREQ(buffer, row.text);
        EXPECT_EQ(buffer[row.expected + 1], 'X');
    }
    EXPECT_EQ(empty->bytes(), nullptr);
    EXPECT_EQ(negative->bytes(), nullptr);
    EXPECT_EQ(negative->length(), 0);
    for (ScriptString* s : { string, empty, negative })
        s->release();
}

// Scripts see every other use refused (array_errors.ns); an op outside the protocol does nothing
// and succeeds.
TEST_F(ScriptStringTest, AnOpOutsideTheProtocolDoesNothing)
{
    ScriptString* string = createString("abc");
    ScriptValue result = ScriptValue::integer(77);
    EXPECT_EQ(string->invoke(m_length, static_cast<InvokeOp>(9), 0, nullptr, &result), Status::Ok);
    EXPECT_TRUE(result.tag == ValueTag::Integer && result.payload.integer == 77);
    EXPECT_EQ(string->invoke(m_other, InvokeOp::GetMember, 0, nullptr, &result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
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
    EXPECT_TRUE(result.tag == ValueTag::Integer && result.payload.integer == 3);
    const ScriptValue index = ScriptValue::integer(1);
    EXPECT_EQ(third->invoke(m_charAt, InvokeOp::CallMember, 1, &index, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "y");
    EXPECT_EQ(ScriptString::liveCount(), 2);
    releaseValue(result);
    third->release();
}

}
}
