// Strings from the host side; the script tests show their members.
#include <support/CountingObject.h>

#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <cstring>

namespace nimbolt::test {
namespace {

// Empty strings (a negative length too) have no bytes at all and copy only the zero.
TEST(ScriptStringTest, EmptyTexts)
{
    for (ScriptString* string : { createString("", 0).leakRef(), createString("abc", -5).leakRef() }) {
        EXPECT_EQ(string->bytes(), nullptr);
        EXPECT_EQ(string->length(), 0);
        char buffer[4] = "XXX";
        EXPECT_EQ(string->copyText(buffer, 4), 0);
        EXPECT_EQ(std::memcmp(buffer, "\0XX", 4), 0);
        string->release();
    }
}

// An op outside the protocol does nothing and succeeds; a name that is no member fails.
TEST(ScriptStringTest, AnOpOutsideTheProtocolDoesNothing)
{
    ScriptString* string = createString("abc").leakRef();
    ScriptValue result = ScriptValue::integer(77);
    EXPECT_EQ(string->invoke(InitialFixedAtoms.length, static_cast<InvokeOp>(9), 0, nullptr, &result), Status::Ok);
    EXPECT_TRUE(result.tag == ValueTag::Integer && result.payload.integer == 77);
    EXPECT_EQ(string->invoke(InitialFixedAtoms.length + 16, InvokeOp::GetMember, 0, nullptr, &result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    string->release();
}

TEST(ScriptStringTest, SharedMemberTableLivesWhileAnyStringDoes)
{
    ASSERT_EQ(ScriptString::liveCount(), 0) << "an earlier test leaked a string";
    EXPECT_EQ(ScriptString::sharedMemberTable(), nullptr);
    ScriptString* first = createString("one").leakRef();
    PropertyTable* table = ScriptString::sharedMemberTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->entryCount(), 2);
    ScriptString* second = createString("two!").leakRef();
    EXPECT_TRUE(ScriptString::liveCount() == 2 && ScriptString::sharedMemberTable() == table);
    first->addRef();
    EXPECT_EQ(first->release(), 1);
    EXPECT_EQ(first->release(), 0);
    EXPECT_TRUE(ScriptString::liveCount() == 1 && ScriptString::sharedMemberTable() != nullptr);
    EXPECT_EQ(second->release(), 0);
    EXPECT_TRUE(ScriptString::liveCount() == 0 && ScriptString::sharedMemberTable() == nullptr);

    // The next string rebuilds the table and both members work again.
    ScriptString* third = createString("xyz").leakRef();
    ScriptValue result;
    EXPECT_EQ(third->invoke(InitialFixedAtoms.length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "3");
    const ScriptValue index = ScriptValue::integer(1);
    EXPECT_EQ(third->invoke(InitialFixedAtoms.charAt, InvokeOp::CallMember, 1, &index, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "y");
    releaseValue(result);
    third->release();
    EXPECT_EQ(ScriptString::sharedMemberTable(), nullptr);
}
}
}
