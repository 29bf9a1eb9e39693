// The engine on its own: value stack, frames, calls of a global by name, error texts.
#include <support/CountingObject.h>

#include <script/language/ErrorObject.h>
#include <script/language/ScriptEngine.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { m_engine = ScriptEngine::create().leakRef(); }
    void TearDown() override { m_engine->release(); }

    ScriptEngine& engine() { return *m_engine; }
    Atom atom(const char* name) { return m_engine->atomTable().intern(name); }
    ScriptEngine* m_engine { nullptr };
};

TEST_F(EngineTest, StackHoldsExactly4095ValuesAndMarksPopWhatTheyPushed)
{
    ScriptString* string = createString("kept").leakRef();
    {
        ValueStackMark outer(engine());
        ASSERT_EQ(outer.push(makeStringValue(string)), Status::Ok);
        EXPECT_EQ(string->refCount(), 2) << "a push retains";
        {
            ValueStackMark inner(engine());
            for (int32_t i = 2; i <= 4095; ++i)
                ASSERT_EQ(inner.push(ScriptValue::integer(i)), Status::Ok) << "push " << i;
            EXPECT_EQ(inner.push(ScriptValue::integer(4096)), Status::StackOverflow);
            ScriptValue moved = makeStringValue(string);
            string->addRef();
            EXPECT_EQ(inner.pushMoved(moved), Status::StackOverflow);
            EXPECT_EQ(moved.tag, ValueTag::String) << "a failed move leaves the value with its owner";
            releaseValue(moved);
            EXPECT_EQ(inner.count(), 4094);
            EXPECT_EQ(inner.values()[4093].payload.integer, 4095);
        }
        EXPECT_EQ(engine().topSlot(), 1) << "the inner mark popped only its own values";
        EXPECT_EQ(outer.values()[0].payload.object, string);
    }
    EXPECT_EQ(engine().topSlot(), 0);
    EXPECT_EQ(string->release(), 0) << "popping released";
}

TEST_F(EngineTest, FramesNestAndMakeThisReachable)
{
    ObjectLog outerLog;
    ObjectLog innerLog;
    CountingObject* outer = CountingObject::create(outerLog);
    CountingObject* inner = CountingObject::create(innerLog);
    EXPECT_EQ(engine().thisValue().tag, ValueTag::Undefined) << "no frame, no this";
    {
        CallFrame outerFrame(engine(), 0, outer);
        ASSERT_EQ(outerFrame.status(), Status::Ok);
        EXPECT_EQ(engine().frameBase(), 3);
        EXPECT_EQ(engine().thisValue().payload.object, outer);
        EXPECT_EQ(outer->refCount(), 2) << "a frame holds its this";
        ValueStackMark arguments(engine());
        ASSERT_EQ(arguments.push(ScriptValue::integer(7)), Status::Ok);
        {
            CallFrame innerFrame(engine(), 1, inner);
            EXPECT_EQ(engine().frameBase(), 7);
            EXPECT_EQ(engine().thisValue().payload.object, inner);
            CallFrame engineFrame(engine(), 0, nullptr);
            EXPECT_EQ(engine().thisValue().payload.object, &engine()) << "no this means the engine";
        }
        EXPECT_EQ(engine().frameBase(), 3);
        EXPECT_EQ(engine().topSlot(), 4);
        EXPECT_EQ(engine().thisValue().payload.object, outer);
    }
    EXPECT_TRUE(engine().frameBase() == 0 && engine().topSlot() == 0);
    EXPECT_EQ(engine().refCount(), 1) << "the engine as this is never counted";
    EXPECT_EQ(outer->release(), 0);
    EXPECT_EQ(inner->release(), 0);

    ValueStackMark full(engine());
    for (int32_t i = 1; i <= 4093; ++i)
        ASSERT_EQ(full.push(ScriptValue::integer(i)), Status::Ok);
    CallFrame refused(engine(), 0, nullptr);
    EXPECT_EQ(refused.status(), Status::StackOverflow) << "three slots do not fit into two";
    EXPECT_EQ(engine().topSlot(), 4093);
    EXPECT_EQ(engine().frameBase(), 0);
}

Status countArguments(ScriptObject* self, int32_t argc, const ScriptValue*, ScriptValue* result)
{
    *result = ScriptValue::integer(argc);
    return self ? Status { 5 } : Status::Failed;
}

// Hosts call a global by name through the engine (scripts reach their functions another way): an
// unbound name fails as calling undefined does, a bound one is called with the engine as this.
TEST_F(EngineTest, CallingANameThroughInvoke)
{
    Atom f = atom("f");
    ScriptValue args[] = { ScriptValue::integer(1), ScriptValue::integer(2) };
    ScriptValue result = ScriptValue::integer(9);
    EXPECT_EQ(engine().invoke(f, InvokeOp::CallMember, 2, args, &result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    ASSERT_EQ(engine().defineLocal(f, ScriptValue::native(countArguments)), Status::Ok);
    EXPECT_EQ(engine().invoke(f, InvokeOp::CallMember, 2, args, &result), Status { 5 });
    EXPECT_EQ(result.payload.integer, 2);
    // A put without a value binds undefined.
    EXPECT_EQ(engine().invoke(f, InvokeOp::PutMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(engine().invoke(f, InvokeOp::CallMember, 2, args, &result), Status::Failed);
}

// Every code outside the error table says "some error".
TEST(ErrorObject, EachCodeHasItsMessage)
{
    struct Row {
        int32_t code;
        const char* message;
    };
    const Row rows[] = {
        // No script makes this one; the script tests show the others.
        { -1002, "stack underflow" },
        // Codes outside the table.
        { -1, "some error" },
        { 0, "some error" },
        { -999, "some error" },
        { -1015, "some error" },
    };
    for (const Row& row : rows) {
        Ref<ErrorObject> error = makeError(12, 0, row.code).releaseNonNull();
        EXPECT_TRUE(error->code() == row.code && error->line() == 12) << row.code;
        EXPECT_EQ(std::string(error->message()), row.message) << row.code;
    }
}

}
}
