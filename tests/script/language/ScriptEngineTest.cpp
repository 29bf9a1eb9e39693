// The engine on its own: a value stack of 4095 values whose pushes and pops keep exact counts,
// frames of three slots that make this reachable, and one scope table in which newer bindings
// shadow older ones until their scope closes.
#include "script/runtime/CountingObject.h"

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

TEST_F(EngineTest, StackHoldsExactly4095Values)
{
    for (int32_t i = 1; i <= 4095; ++i)
        ASSERT_EQ(engine().pushValue(ScriptValue::integer(i)), Status::Ok) << "push " << i;
    EXPECT_EQ(engine().topSlot(), 4095);
    EXPECT_EQ(engine().pushValue(ScriptValue::integer(4096)), Status::StackOverflow);
    EXPECT_EQ(engine().topSlot(), 4095) << "a failed push changes nothing";
    ScriptValue top = UndefinedValue;
    engine().peekValue(top);
    EXPECT_EQ(top.payload.integer, 4095);
    for (int32_t i = 4095; i >= 1; --i)
        ASSERT_EQ(engine().popValue(), Status::Ok);
    EXPECT_EQ(engine().topSlot(), 0);
    EXPECT_EQ(engine().popValue(), Status::StackUnderflow);
    EXPECT_EQ(engine().topSlot(), 0);
}

TEST_F(EngineTest, PushRetainsAndPopReleases)
{
    ScriptString* string = createString("kept");
    ScriptValue value = makeStringValue(string);
    ASSERT_EQ(engine().pushValue(value), Status::Ok);
    ASSERT_EQ(engine().pushValue(value), Status::Ok);
    EXPECT_EQ(string->refCount(), 3);
    ScriptValue peeked = UndefinedValue;
    engine().peekValue(peeked);
    EXPECT_EQ(peeked.payload.object, string);
    EXPECT_EQ(string->refCount(), 4);
    releaseValue(peeked);
    EXPECT_EQ(engine().popValue(), Status::Ok);
    EXPECT_EQ(string->refCount(), 2);
    // A value left on the stack is released with the engine.
    string->release();
    EXPECT_EQ(string->refCount(), 1);
}

TEST_F(EngineTest, FramesNestAndMakeThisReachable)
{
    ObjectLog outerLog;
    ObjectLog innerLog;
    CountingObject* outer = CountingObject::create(outerLog);
    CountingObject* inner = CountingObject::create(innerLog);
    EXPECT_EQ(engine().frameBase(), 0);
    EXPECT_EQ(engine().thisValue().tag, ValueTag::Undefined) << "no frame, no this";

    ASSERT_EQ(engine().pushValue(ScriptValue::integer(0)), Status::Ok);
    ASSERT_EQ(engine().pushValue(objectValue(outer)), Status::Ok);
    ASSERT_EQ(engine().enterFrame(), Status::Ok);
    EXPECT_EQ(engine().frameBase(), 3);
    EXPECT_EQ(engine().thisValue().payload.object, outer);

    ASSERT_EQ(engine().pushValue(ScriptValue::integer(7)), Status::Ok); // an argument
    ASSERT_EQ(engine().pushValue(ScriptValue::integer(1)), Status::Ok);
    ASSERT_EQ(engine().pushValue(objectValue(inner)), Status::Ok);
    ASSERT_EQ(engine().enterFrame(), Status::Ok);
    EXPECT_EQ(engine().frameBase(), 7);
    EXPECT_EQ(engine().slots()[7].payload.integer, 3) << "the saved frame base";
    EXPECT_EQ(engine().thisValue().payload.object, inner);

    engine().leaveFrame();
    EXPECT_EQ(engine().frameBase(), 3);
    EXPECT_EQ(engine().topSlot(), 6);
    EXPECT_EQ(engine().thisValue().payload.object, outer);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(engine().popValue(), Status::Ok);
    engine().leaveFrame();
    EXPECT_EQ(engine().frameBase(), 0);
    ASSERT_EQ(engine().popValue(), Status::Ok);
    ASSERT_EQ(engine().popValue(), Status::Ok);
    EXPECT_EQ(outer->refCount(), 1);
    EXPECT_EQ(inner->refCount(), 1);
    outer->release();
    inner->release();
}

TEST_F(EngineTest, EnteringAFrameOnAFullStackFails)
{
    for (int32_t i = 1; i <= 4095; ++i)
        ASSERT_EQ(engine().pushValue(ScriptValue::integer(i)), Status::Ok);
    EXPECT_EQ(engine().enterFrame(), Status::StackOverflow);
    EXPECT_EQ(engine().frameBase(), 0);
    while (engine().topSlot() > 0)
        ASSERT_EQ(engine().popValue(), Status::Ok);
}

TEST_F(EngineTest, BindingsShadowAndScopesClose)
{
    Atom x = atom("x");
    Atom y = atom("y");
    ASSERT_EQ(engine().defineLocal(x, ScriptValue::integer(1)), Status::Ok);
    ASSERT_EQ(engine().openScope(), Status::Ok);
    ASSERT_EQ(engine().defineLocal(x, ScriptValue::integer(2)), Status::Ok);
    EXPECT_EQ(read(x), 2) << "the newest binding wins";
    ASSERT_EQ(engine().openScope(), Status::Ok);
    ScriptValue three = ScriptValue::integer(3);
    ScriptValue stored = UndefinedValue;
    ASSERT_EQ(engine().invoke(x, InvokeOp::PutMember, 1, &three, &stored), Status::Ok);
    EXPECT_EQ(stored.payload.integer, 3);
    ASSERT_EQ(engine().invoke(y, InvokeOp::PutMember, 1, &three, &stored), Status::Ok);
    EXPECT_EQ(read(y), 3) << "a new name is bound in the innermost scope";
    engine().closeScope();
    EXPECT_EQ(read(x), 3) << "assignment updated the shadowing binding";
    ScriptValue missing = ScriptValue::integer(5);
    ASSERT_EQ(engine().invoke(y, InvokeOp::GetMember, 0, nullptr, &missing), Status::Ok);
    EXPECT_EQ(missing.tag, ValueTag::Undefined) << "y went with its scope";
    engine().closeScope();
    EXPECT_EQ(read(x), 1) << "the outer binding shows again";
    engine().closeScope();
    EXPECT_EQ(engine().scopeTable().entryCount(), 0) << "closing without a marker stops at the empty table";
    engine().closeScope();
    EXPECT_EQ(engine().scopeTable().entryCount(), 0);
}

TEST_F(EngineTest, ClosingAScopeReleasesItsValues)
{
    ScriptString* string = createString("bound");
    ASSERT_EQ(engine().openScope(), Status::Ok);
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(engine().defineLocal(atom("s"), makeStringValue(string)), Status::Ok);
    EXPECT_EQ(string->refCount(), 41);
    engine().closeScope();
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
