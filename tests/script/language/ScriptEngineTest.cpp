// The engine on its own: a value stack of 4095 values whose marks keep exact counts, frames of
// three slots that make this reachable, and one scope table in which newer bindings shadow older
// ones until their scope closes.
#include <support/CountingObject.h>

#include <script/language/Natives.h>
#include <script/language/ScriptEngine.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { m_engine = ScriptEngine::create(); }
    void TearDown() override { m_engine->release(); }

    ScriptEngine& engine() { return *m_engine; }
    Atom atom(const char* name) { return m_engine->atomTable().intern(name); }
    int32_t read(Atom name)
    {
        ScriptValue value = UndefinedValue;
        EXPECT_EQ(engine().invoke(name, InvokeOp::GetMember, 0, nullptr, &value), Status::Ok);
        return value.tag == ValueTag::Integer ? value.payload.integer : -999;
    }

    ScriptEngine* m_engine { nullptr };
};

TEST_F(EngineTest, FixedAtomsComeFirst)
{
    EXPECT_EQ(engine().atomTable().atomCount(), 3);
    EXPECT_EQ(atom("prototype"), fixedAtoms().prototype);
    EXPECT_EQ(atom("length"), fixedAtoms().length);
    EXPECT_EQ(atom("charAt"), fixedAtoms().charAt);
    // Serials 1, 2 and 3 sit above the 4 bits of the bucket.
    EXPECT_EQ(fixedAtoms().prototype >> 4, 1);
    EXPECT_EQ(fixedAtoms().length >> 4, 2);
    EXPECT_EQ(fixedAtoms().charAt >> 4, 3);
}

TEST_F(EngineTest, StackHoldsExactly4095ValuesAndMarksPopWhatTheyPushed)
{
    ScriptString* string = createString("kept");
    {
        ValueStackMark outer(engine());
        ASSERT_EQ(outer.push(makeStringValue(string)), Status::Ok);
        EXPECT_EQ(string->refCount(), 2) << "a push retains";
        {
            ValueStackMark inner(engine());
            for (int32_t i = 2; i <= 4095; ++i)
                ASSERT_EQ(inner.push(ScriptValue::integer(i)), Status::Ok) << "push " << i;
            EXPECT_EQ(engine().topSlot(), 4095);
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
    EXPECT_EQ(string->refCount(), 1) << "popping released";
    string->release();
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
    EXPECT_EQ(engine().frameBase(), 0);
    EXPECT_EQ(engine().topSlot(), 0);
    EXPECT_EQ(outer->refCount(), 1);
    EXPECT_EQ(inner->refCount(), 1);
    EXPECT_EQ(engine().refCount(), 1) << "the engine as this is never counted";
    outer->release();
    inner->release();

    ValueStackMark full(engine());
    for (int32_t i = 1; i <= 4093; ++i)
        ASSERT_EQ(full.push(ScriptValue::integer(i)), Status::Ok);
    CallFrame refused(engine(), 0, nullptr);
    EXPECT_EQ(refused.status(), Status::StackOverflow) << "three slots do not fit into two";
    EXPECT_EQ(engine().topSlot(), 4093);
    EXPECT_EQ(engine().frameBase(), 0);
}

TEST_F(EngineTest, BindingsShadowAndScopesClose)
{
    Atom x = atom("x");
    Atom y = atom("y");
    ASSERT_EQ(engine().defineLocal(x, ScriptValue::integer(1)), Status::Ok);
    {
        BindingScope outer(engine());
        ASSERT_EQ(engine().defineLocal(x, ScriptValue::integer(2)), Status::Ok);
        EXPECT_EQ(read(x), 2) << "the newest binding wins";
        {
            BindingScope inner(engine());
            ScriptValue three = ScriptValue::integer(3);
            ScriptValue stored = UndefinedValue;
            ASSERT_EQ(engine().invoke(x, InvokeOp::PutMember, 1, &three, &stored), Status::Ok);
            EXPECT_EQ(stored.payload.integer, 3);
            ASSERT_EQ(engine().invoke(y, InvokeOp::PutMember, 1, &three, &stored), Status::Ok);
            EXPECT_EQ(read(y), 3) << "a new name is bound in the innermost scope";
        }
        EXPECT_EQ(read(x), 3) << "assignment updated the shadowing binding";
        ScriptValue missing = ScriptValue::integer(5);
        ASSERT_EQ(engine().invoke(y, InvokeOp::GetMember, 0, nullptr, &missing), Status::Ok);
        EXPECT_EQ(missing.tag, ValueTag::Undefined) << "y went with its scope";
    }
    EXPECT_EQ(read(x), 1) << "the outer binding shows again";
    EXPECT_EQ(engine().scopeTable().entryCount(), 1);
}

TEST_F(EngineTest, ClosingAScopeReleasesItsValues)
{
    ScriptString* string = createString("bound");
    {
        BindingScope scope(engine());
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(engine().defineLocal(atom("s"), makeStringValue(string)), Status::Ok);
        EXPECT_EQ(string->refCount(), 41);
    }
    EXPECT_EQ(string->refCount(), 1);
    ASSERT_EQ(engine().defineLocal(atom("s"), makeStringValue(string)), Status::Ok);
    engine().clearBindings();
    EXPECT_EQ(string->refCount(), 1);
    EXPECT_EQ(engine().scopeTable().entryCount(), 0);
    string->release();
}

Status recordThis(ScriptObject* self, int32_t argc, const ScriptValue*, ScriptValue* result)
{
    *result = ScriptValue::integer(argc);
    return self ? Status::Ok : Status::Failed;
}

TEST_F(EngineTest, NameAccessThroughInvoke)
{
    Atom f = atom("f");
    ScriptValue callResult = ScriptValue::integer(9);
    ScriptValue args[] = { ScriptValue::integer(1), ScriptValue::integer(2) };
    EXPECT_EQ(engine().invoke(f, InvokeOp::CallMember, 2, args, &callResult), Status::Failed)
        << "calling an unbound name fails as callValue of undefined does";
    EXPECT_EQ(callResult.tag, ValueTag::Undefined);
    ScriptValue native = ScriptValue::native(recordThis);
    ScriptValue stored = UndefinedValue;
    ASSERT_EQ(engine().invoke(f, InvokeOp::PutMember, 1, &native, &stored), Status::Ok);
    EXPECT_EQ(engine().invoke(f, InvokeOp::CallMember, 2, args, &callResult), Status::Ok) << "the engine is this";
    EXPECT_EQ(callResult.payload.integer, 2);
    ScriptValue unchanged = ScriptValue::integer(4);
    EXPECT_EQ(engine().invoke(f, InvokeOp::Apply, 1, args, &unchanged), Status::Failed);
    EXPECT_EQ(engine().invoke(f, InvokeOp::StoreItem, 2, args, &unchanged), Status::Failed);
    EXPECT_EQ(engine().invoke(0, InvokeOp::Construct, 0, nullptr, &unchanged), Status::Failed);
    EXPECT_EQ(unchanged.payload.integer, 4);
}

TEST_F(EngineTest, NativesAreTheFirstBinding)
{
    ASSERT_EQ(installNatives(engine()), Status::Ok);
    EXPECT_EQ(engine().scopeTable().entryCount(), 1);
    ScriptValue echo = UndefinedValue;
    ASSERT_EQ(engine().invoke(atom("Echo"), InvokeOp::GetMember, 0, nullptr, &echo), Status::Ok);
    ASSERT_EQ(echo.tag, ValueTag::NativeFunction);
    EXPECT_EQ(echo.payload.native, echoFunction);
}

}
}
