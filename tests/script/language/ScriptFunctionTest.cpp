// Script functions seen from the host: exact counts, callFunction, lifetimes during a run.
#include <support/ScriptHarness.h>

#include <script/language/ScriptFunction.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace nimbolt::test {
namespace {

Status positiveNative(ScriptObject*, int32_t argc, const ScriptValue*, ScriptValue* result)
{
    *result = ScriptValue::integer(argc);
    return Status { 1 + argc };
}

// Arguments come back from every kind of call with the count they had; a Function value holding
// a host object is called through that object's call; a positive host status is success, never a
// break, continue or return.
TEST(ScriptFunction, ArgumentCountsAndHostStatuses)
{
    ScriptHarness harness;
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    CountingObject* callable = CountingObject::create(log);
    ScriptString* string = createString("argument").leakRef();
    harness.defineGlobal("object", objectValue(object));
    harness.defineGlobal("string", makeStringValue(string));
    harness.defineGlobal("host", ScriptValue::native(positiveNative));
    harness.defineGlobal("hostFunction", functionValue(callable));
    EXPECT_EQ(harness.run("function script(a, b) { var c = a; return 1; }\n"
                          "host(object, string); script(object, string);\n"
                          "Math.abs(string); Math.max(object, string);\n"
                          "for (i = 0; i < 3; i++) { host(string); script(object); }\n"
                          "r = hostFunction(object, string);\n"
                          "function f() { host(); return 9; }\n"
                          "Echo(\"after\", f(), host(1, 2, 3), i, r);"),
        Status::Ok);
    EXPECT_TRUE(harness.site().errors.empty());
    EXPECT_EQ(harness.echoed(), "after 9 3 3 702 ");
    EXPECT_TRUE(log.calls == 1 && log.lastArgc == 2 && log.lastSelf == &harness.engine());
    EXPECT_EQ(object->refCount(), 2);
    EXPECT_EQ(string->refCount(), 2);
    EXPECT_EQ(callable->refCount(), 2);
    EXPECT_TRUE(harness.balanced());
    object->release();
    callable->release();
    string->release();
}

// A function's count is two while one binding holds it; it dies when nothing does.
TEST(ScriptFunction, FunctionNothingHoldsDiesWhenItsScopeCloses)
{
    ScriptHarness harness;
    ObjectLog log;
    CountingObject* probe = harness.defineProbe("probe", log);

    // The prototype member keeps the probe for as long as the function lives.
    EXPECT_EQ(harness.runInScope("function f() { } f.prototype.keep = probe;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 1) << "the function died when the scope closed";

    EXPECT_EQ(harness.run("function g() { } g.prototype.keep = probe;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2);
    ScriptFunction& g = harness.function("g");
    EXPECT_EQ(g.refCount(), 2) << "the binding and the self-reference";
    ScriptValue view = UndefinedValue;
    ASSERT_EQ(g.invoke(fixedAtoms().prototype, InvokeOp::GetMember, 0, nullptr, &view), Status::Ok);
    ASSERT_EQ(view.tag, ValueTag::Object);
    EXPECT_EQ(g.refCount(), 3) << "the prototype view counts on the function";
    EXPECT_EQ(view.payload.object->addRef(), 4) << "one count serves both interfaces";
    EXPECT_EQ(view.payload.object->release(), 3);
    releaseValue(view);
    EXPECT_EQ(harness.run("h = g; g = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2) << "another binding still holds it";
    EXPECT_EQ(harness.run("o = new h(); h = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2) << "an instance keeps its function alive";
    EXPECT_EQ(harness.run("p = new o(); o = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2) << "an instance of an instance keeps its parent alive";
    EXPECT_EQ(harness.run("p = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 1);
    EXPECT_EQ(log.destroyed, 0);
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(ScriptFunction, CallFunctionBindsTheEngineOrTheGivenThisAndHandsErrorsOn)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("marker = 7; function f(a) { return this.marker + a; }\n"
                          "function g(a) { return \"\" + a + \" \" + this; }\n"
                          "function h(a) {\n  return a.b;\n}"),
        Status::Ok);
    ScriptValue args[] = { ScriptValue::integer(3) };
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(callFunction(harness.function("f"), nullptr, 1, args, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "10");
    // As an interval does: the function itself as this, no arguments.
    ScriptFunction& g = harness.function("g");
    EXPECT_EQ(callFunction(g, &g, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "undefined object") << "this is always held as an object";
    releaseValue(result);

    EXPECT_EQ(callFunction(harness.function("h"), nullptr, 1, args, &result), Status::Failed);
    ASSERT_EQ(result.tag, ValueTag::Error);
    EXPECT_TRUE(result.payload.error->code() == -1003 && result.payload.error->line() == 4);
    result.payload.error->release();
    EXPECT_TRUE(harness.balanced());
}

TEST(ScriptFunction, FailingConstructorsHandTheirErrorOrTheInstanceOn)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("function F(a) {\n  this.x = a;\n  this.y = a.z;\n}\n"
                          "function G(a) { this.x = 1; a.missing; }\nfunction H(a) { this.x = a; }"),
        Status::Ok);
    ScriptFunction& f = harness.function("F");
    ScriptValue args[] = { ScriptValue::integer(1) };
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(f.invoke(0, InvokeOp::Construct, 1, args, &result), Status::Failed);
    ASSERT_EQ(result.tag, ValueTag::Error);
    EXPECT_TRUE(result.payload.error->code() == -1003 && result.payload.error->line() == 3);
    result.payload.error->release();
    EXPECT_EQ(f.refCount(), 2) << "the half-made instance let go of its function";

    args[0] = makeStringValue(createString("s").releaseNonNull());
    // A string lacks the member: -1 without an Error value of its own.
    EXPECT_EQ(harness.function("G").invoke(0, InvokeOp::Construct, 1, args, &result).code(), -1);
    ASSERT_EQ(result.tag, ValueTag::Object);
    EXPECT_EQ(result.payload.object->refCount(), 1);
    releaseValue(result);
    releaseValue(args[0]);

    EXPECT_EQ(harness.run("o = new H(new Array());"), Status::Ok);
    ScriptValue object = harness.global("o");
    EXPECT_EQ(object.payload.object->refCount(), 2) << "the binding and the copy";
    releaseValue(object);
}

// What the natives below act on; set by each test.
ScriptRunner* s_heldRunner = nullptr;
ScriptValue s_heldFunction = UndefinedValue;

// A native that does what the test asks and gives undefined.
template<void (*Act)()>
Status actNative(ScriptObject*, int32_t, const ScriptValue*, ScriptValue* result)
{
    Act();
    *result = UndefinedValue;
    return Status::Ok;
}
void dropRunner() { std::exchange(s_heldRunner, nullptr)->release(); }
void closeRunner() { (void)s_heldRunner->toggleOpen(); }
void dropFunction() { releaseValue(s_heldFunction); }

TEST(Lifetime, RunnerReleasedByItsOwnScriptLivesUntilTheRunEnds)
{
    EchoCapture echo;
    RecordingSite* site = RecordingSite::create();
    s_heldRunner = createRunner().leakRef();
    ASSERT_TRUE(s_heldRunner->setSite(site).ok());
    ASSERT_TRUE(s_heldRunner->toggleOpen().ok());
    ASSERT_TRUE(s_heldRunner->defineGlobal("dropRunner", ScriptValue::native(actNative<dropRunner>)).ok());
    ASSERT_EQ(site->refCount(), 3); // ours, the runner's and the engine's
    EXPECT_TRUE(s_heldRunner->runText("dropRunner(); Echo(\"still running\");", 36).ok());
    EXPECT_EQ(echo.take(), "still running ");
    EXPECT_TRUE(site->errors.empty());
    EXPECT_EQ(site->refCount(), 1) << "the runner and its engine are gone";
    site->release();
}

// A function kept only by the host, as an interval keeps its callback.
static ScriptValue keptFunction(ScriptHarness& harness, const char* body)
{
    ScriptValue result;
    std::string text = std::string("function kept() { ") + body + " } kept;";
    EXPECT_TRUE(harness.eval(nullptr, text, result).ok());
    EXPECT_EQ(result.tag, ValueTag::Function);
    return result;
}

TEST(Lifetime, FunctionDroppedByItsOwnCallLivesUntilTheCallEnds)
{
    ScriptHarness harness;
    harness.defineGlobal("dropFunction", ScriptValue::native(actNative<dropFunction>));
    s_heldFunction = keptFunction(harness, "dropFunction(); Echo(\"after drop\"); return 5;");
    auto* function = static_cast<ScriptFunction*>(s_heldFunction.payload.object);
    ASSERT_EQ(function->refCount(), 2); // the host's value and the self-reference

    ScriptValue result = UndefinedValue;
    EXPECT_TRUE(callFunction(*function, nullptr, 0, nullptr, &result).ok());
    EXPECT_TRUE(result.tag == ValueTag::Integer && result.payload.integer == 5);
    EXPECT_EQ(harness.echoed(), "after drop ");
    EXPECT_EQ(s_heldFunction.tag, ValueTag::Undefined);
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(Lifetime, EngineClosedByACallbackLivesUntilTheCallEnds)
{
    ScriptHarness harness;
    s_heldRunner = &harness.runner();
    harness.defineGlobal("closeRunner", ScriptValue::native(actNative<closeRunner>));
    // Closing drops every binding; the rest of the body must still run on a live engine.
    ScriptValue function = keptFunction(harness, "var local = 1; closeRunner(); return 6 + 1;");

    ScriptValue result = UndefinedValue;
    EXPECT_TRUE(callFunction(*static_cast<ScriptFunction*>(function.payload.object), nullptr, 0, nullptr, &result).ok());
    EXPECT_TRUE(result.tag == ValueTag::Integer && result.payload.integer == 7);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Closed);
    releaseValue(function);
    // Closed from inside evalString, the runner stays closed when the evaluation ends.
    ASSERT_TRUE(harness.runner().toggleOpen().ok());
    harness.defineGlobal("closeRunner", ScriptValue::native(actNative<closeRunner>));
    ScriptValue evaluated = UndefinedValue;
    (void)harness.eval(nullptr, "closeRunner(); 1;", evaluated);
    releaseValue(evaluated);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Closed);
    s_heldRunner = nullptr;
    ASSERT_TRUE(harness.runner().toggleOpen().ok());
}

TEST(Lifetime, FunctionKeptPastItsEngineIsRefusedInsteadOfRun)
{
    ScriptHarness harness;
    ScriptValue function = keptFunction(harness, "Echo(\"ran\"); return 1;");
    // Closing the runner frees the engine; the host still holds the function.
    ASSERT_TRUE(harness.runner().toggleOpen().ok());
    auto* script = static_cast<ScriptFunction*>(function.payload.object);
    EXPECT_EQ(script->engine(), nullptr);

    ScriptValue result = ScriptValue::integer(99);
    EXPECT_EQ(callFunction(*script, nullptr, 0, nullptr, &result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    ScriptValue constructed = ScriptValue::integer(99);
    EXPECT_EQ(script->invoke(0, InvokeOp::Construct, 0, nullptr, &constructed), Status::Failed);
    EXPECT_EQ(constructed.tag, ValueTag::Undefined);
    EXPECT_EQ(harness.echoed(), "");
    releaseValue(function);
    ASSERT_TRUE(harness.runner().toggleOpen().ok());
}

}
}
