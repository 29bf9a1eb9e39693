// Script functions and instances seen from the host: exact reference counts (a function nothing
// holds has count 1 and dies when a release brings it there), arguments that come back with the
// count they had, and callFunction with and without a this. What scripts may do with functions,
// instances and prototypes is checked by prototypes.ns and prototype_errors.ns.
//
// Lifetimes: a script can make its host let go of things that are still running: the runner (a
// document closed from inside a message box), the engine (the runner closed from a callback) or
// the very function being called (an interval cleared by its own callback). Each must stay alive
// until its run is over and go away right after.
#include <support/ScriptHarness.h>

#include <script/language/ScriptFunction.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace nimbolt::test {
namespace {

Status countingNative(ScriptObject*, int32_t argc, const ScriptValue*, ScriptValue* result)
{
    *result = ScriptValue::integer(argc);
    return Status::Ok;
}

// Arguments come back from every kind of call with the count they had. A Function value may hold
// any callable object, not only a script function: scripts call it through its own call.
TEST(ScriptFunction, ArgumentCountsAreUnchangedByCalls)
{
    ScriptHarness harness;
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    CountingObject* callable = CountingObject::create(log);
    ScriptString* string = createString("argument").leakRef();
    harness.defineGlobal("object", objectValue(object));
    harness.defineGlobal("string", makeStringValue(string));
    harness.defineGlobal("host", ScriptValue::native(countingNative));
    harness.defineGlobal("hostFunction", functionValue(callable));
    EXPECT_EQ(harness.run("function script(a, b) { var c = a; return 1; }\n"
                          "host(object, string); script(object, string);\n"
                          "Math.abs(string); Math.max(object, string);\n"
                          "for (i = 0; i < 3; i++) { host(string); script(object); }\n"
                          "r = hostFunction(object, string);"),
        Status::Ok);
    EXPECT_TRUE(harness.site().errors.empty());
    EXPECT_TRUE(log.calls == 1 && log.lastArgc == 2 && log.lastSelf == &harness.engine());
    EXPECT_EQ(harness.globalText("r"), "702");
    EXPECT_EQ(object->refCount(), 2);
    EXPECT_EQ(string->refCount(), 2);
    EXPECT_EQ(callable->refCount(), 2);
    EXPECT_EQ(harness.engine().topSlot(), 0);
    object->release();
    callable->release();
    string->release();
}

TEST(ScriptFunction, CountIsTwoWhileOneBindingHoldsIt)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("function f() { return 1; }"), Status::Ok);
    ScriptValue f = harness.global("f");
    ASSERT_EQ(f.tag, ValueTag::Function);
    // The binding, the self-reference and the copy just taken.
    EXPECT_EQ(f.payload.object->refCount(), 3);
    ScriptValue view = UndefinedValue;
    ASSERT_EQ(f.payload.object->invoke(fixedAtoms().prototype, InvokeOp::GetMember, 0, nullptr, &view), Status::Ok);
    ASSERT_EQ(view.tag, ValueTag::Object);
    EXPECT_EQ(f.payload.object->refCount(), 4) << "the prototype view counts on the function";
    EXPECT_EQ(view.payload.object->addRef(), 5) << "one count serves both interfaces";
    EXPECT_EQ(view.payload.object->release(), 4);
    releaseValue(view);
    EXPECT_EQ(f.payload.object->refCount(), 3);
    releaseValue(f);
}

TEST(ScriptFunction, FunctionNothingHoldsDiesWhenItsScopeCloses)
{
    ScriptHarness harness;
    ObjectLog log;
    CountingObject* probe = harness.defineProbe("probe", log);

    // The prototype member keeps the probe for as long as the function lives.
    EXPECT_EQ(harness.runInScope("function f() { } f.prototype.keep = probe; Echo(\"\" + f.prototype.keep);"),
        Status::Ok);
    EXPECT_EQ(harness.echoed(), "object ");
    EXPECT_EQ(probe->refCount(), 1) << "the function died when the scope closed";

    EXPECT_EQ(harness.run("function g() { } g.prototype.keep = probe;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2);
    EXPECT_EQ(harness.run("h = g; g = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2) << "another binding still holds it";
    EXPECT_EQ(harness.run("o = new h(); h = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2) << "an instance keeps its function alive";
    EXPECT_EQ(harness.run("p = new o(); o = 0;"), Status::Ok);
    EXPECT_EQ(probe->refCount(), 2) << "an instance of an instance keeps its parent alive";
    EXPECT_EQ(harness.run("Echo(\"\" + p.keep); p = 0;"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "object ");
    EXPECT_EQ(probe->refCount(), 1);
    EXPECT_EQ(log.destroyed, 0);
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(ScriptFunction, CallFunctionBindsTheEngineOrTheGivenThisAndHandsErrorsOn)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("marker = 7; function f(a) { return this.marker + a; }"), Status::Ok);
    ScriptValue f = harness.global("f");
    ASSERT_EQ(f.tag, ValueTag::Function);
    auto* function = static_cast<ScriptFunction*>(f.payload.object);
    ScriptValue args[] = { ScriptValue::integer(3) };
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(callFunction(*function, nullptr, 1, args, &result), Status::Ok);
    ASSERT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 10);
    EXPECT_TRUE(harness.balanced());

    // As an interval does: the function itself as this, no arguments.
    EXPECT_EQ(harness.run("function g(a) { return \"\" + a + \" \" + this; }"), Status::Ok);
    ScriptValue g = harness.global("g");
    auto* callback = static_cast<ScriptFunction*>(g.payload.object);
    EXPECT_EQ(callFunction(*callback, callback, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "undefined object") << "this is always held as an object";
    releaseValue(result);
    releaseValue(g);

    // A failing body hands its error to the caller.
    EXPECT_EQ(harness.run("function h(a) {\n  return a.b;\n}"), Status::Ok);
    ScriptValue h = harness.global("h");
    EXPECT_EQ(callFunction(*static_cast<ScriptFunction*>(h.payload.object), nullptr, 1, args, &result),
        Status::Failed);
    releaseValue(h);
    ASSERT_EQ(result.tag, ValueTag::Error);
    EXPECT_EQ(result.payload.error->code(), -1003);
    EXPECT_EQ(result.payload.error->line(), 2);
    result.payload.error->release();
    EXPECT_TRUE(harness.balanced());
    releaseValue(f);
}

TEST(ScriptFunction, FailingConstructorsHandTheirErrorOrTheInstanceOn)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("function F(a) {\n  this.x = a;\n  this.y = a.z;\n}\n"
                          "function G(a) { this.x = 1; a.missing; }\nfunction H(a) { this.x = a; }"),
        Status::Ok);
    ScriptValue f = harness.global("F");
    ScriptValue args[] = { ScriptValue::integer(1) };
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(f.payload.object->invoke(0, InvokeOp::Construct, 1, args, &result), Status::Failed);
    ASSERT_EQ(result.tag, ValueTag::Error);
    EXPECT_EQ(result.payload.error->code(), -1003);
    EXPECT_EQ(result.payload.error->line(), 3);
    result.payload.error->release();
    EXPECT_EQ(f.payload.object->refCount(), 3) << "the half-made instance let go of its function";
    releaseValue(f);

    f = harness.global("G");
    args[0] = makeStringValue(createString("s").releaseNonNull());
    // A string lacks the member: -1 without an Error value of its own.
    EXPECT_EQ(f.payload.object->invoke(0, InvokeOp::Construct, 1, args, &result).code(), -1);
    ASSERT_EQ(result.tag, ValueTag::Object);
    EXPECT_EQ(result.payload.object->refCount(), 1);
    releaseValue(result);
    releaseValue(args[0]);
    releaseValue(f);

    EXPECT_EQ(harness.run("o = new H(new Array());"), Status::Ok);
    ScriptValue object = harness.global("o");
    ASSERT_EQ(object.tag, ValueTag::Object);
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

    std::string text = "dropRunner(); Echo(\"still running\");";
    ScriptRunner* runner = s_heldRunner;
    EXPECT_TRUE(runner->runText(text.data(), static_cast<int32_t>(text.size())).ok());

    EXPECT_EQ(echo.take(), "still running ");
    EXPECT_TRUE(site->errors.empty());
    // The runner and its engine are gone now: only our reference on the site is left.
    EXPECT_EQ(site->refCount(), 1);
    site->release();
}

// A function defined by an evaluated text, kept only by the host (as an interval keeps its
// callback) and called directly with no this.
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
    // Closing drops every binding, so the rest of the body sees none of its names; it must still
    // run to its end on a live engine.
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
    // Open again so that the harness tears down a runner in its usual state.
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
