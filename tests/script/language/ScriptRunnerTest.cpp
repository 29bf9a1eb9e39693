// The runner's states and the ways a host runs text: a runner needs a site to become Ready,
// runText refuses to nest while evalString nests and puts the outer state back, errors are
// reported once through the site and never returned, and closing the runner releases every
// global.
#include <support/ScriptHarness.h>

#include <support/CountingObject.h>

#include <script/runtime/ScriptArray.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

TEST(ScriptRunner, WithoutASiteStaysClosedAndRefusesToRun)
{
    ScriptRunner* runner = createRunner();
    ASSERT_NE(runner, nullptr);
    EXPECT_EQ(runner->getState(), RunnerState::Closed);
    AtomTable* atoms = nullptr;
    EXPECT_EQ(runner->getAtomTable(atoms), Status::Failed);
    EXPECT_EQ(atoms, nullptr);
    EXPECT_EQ(runner->defineGlobal("x", ScriptValue::integer(1)), Status::Failed);

    EXPECT_EQ(runner->toggleOpen(), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Closed);
    ASSERT_NE(runner->engine(), nullptr);
    EXPECT_EQ(runner->runText("x = 1;", 6), Status::Failed);
    EXPECT_EQ(runner->runTextInScope("x = 1;", 6), Status::Failed);
    ScriptString* text = createString("1");
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(runner->evalString(nullptr, *text, &result), Status::Failed);
    text->release();
    ScriptValue x = UndefinedValue;
    (void)runner->engine()->invoke(runner->engine()->atomTable().intern("x"), InvokeOp::GetMember, 0, nullptr, &x);
    EXPECT_EQ(x.tag, ValueTag::Undefined) << "nothing ran";

    // A site given to the closed runner that has an engine makes it Ready.
    RecordingSite* site = RecordingSite::create();
    EXPECT_EQ(runner->setSite(site), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Ready);
    EXPECT_EQ(runner->runText("x = 1;", 6), Status::Ok);
    EXPECT_TRUE(site->errors.empty());

    // Taking the site away closes the runner again; giving one back reopens it.
    EXPECT_EQ(runner->setSite(nullptr), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Closed);
    EXPECT_EQ(runner->runText("x = 2;", 6), Status::Failed);
    EXPECT_EQ(runner->setSite(site), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Ready);
    runner->release();
    EXPECT_EQ(site->refCount(), 1) << "the runner released its site";
    site->release();
}

TEST(ScriptRunner, SiteIsKeptWithAReference)
{
    ScriptRunner* runner = createRunner();
    RecordingSite* site = RecordingSite::create();
    EXPECT_EQ(runner->getSite(), nullptr);
    EXPECT_EQ(runner->setSite(site), Status::Ok);
    EXPECT_EQ(site->refCount(), 2);
    EXPECT_EQ(runner->getState(), RunnerState::Closed) << "no engine yet";
    ScriptSite* got = runner->getSite();
    EXPECT_EQ(got, site);
    EXPECT_EQ(site->refCount(), 3);
    got->release();
    EXPECT_EQ(runner->toggleOpen(), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Ready);
    EXPECT_EQ(runner->engine()->site(), site);
    EXPECT_EQ(site->refCount(), 3) << "runner and engine hold one each";
    runner->release();
    EXPECT_EQ(site->refCount(), 1);
    site->release();
}

TEST(ScriptRunner, SyntaxErrorIsReportedOnceAndLaterTextsRun)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("x = 1;\ny = (2 + ;\n"), Status::Ok);
    ASSERT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.site().errors[0], (ReportedError { -1010, 2, "parse" }));
    EXPECT_EQ(harness.site().columns[0], 0);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
    EXPECT_EQ(harness.site().runBegins, 0) << "a text that does not parse is not run";
    EXPECT_EQ(harness.globalText("x"), "undefined");

    EXPECT_EQ(harness.run("Echo(\"later\");"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "later ");
    EXPECT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.site().runBegins, 1);
    EXPECT_EQ(harness.site().runEnds, 1);
}

TEST(ScriptRunner, RunTimeErrorIsReportedOnceAndNotReturned)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("a = 1;\n\nb = a.c;\nd = 2;"), Status::Ok);
    ASSERT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.site().errors[0], (ReportedError { -1003, 3, "not a object" }));
    EXPECT_EQ(harness.globalText("a"), "1") << "bindings made before the failure stay";
    EXPECT_EQ(harness.globalText("d"), "undefined");
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
    EXPECT_EQ(harness.site().runBegins, 1);
    EXPECT_EQ(harness.site().runEnds, 1);
    EXPECT_EQ(harness.engine().topSlot(), 0);
    EXPECT_EQ(harness.engine().frameBase(), 0);
}

TEST(ScriptRunner, FunctionOfTheFirstTextIsCallableFromTheSecond)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("function twice(x) { return x * 2; }"), Status::Ok);
    EXPECT_EQ(harness.run("Echo(twice(21));"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "42 ");
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(ScriptRunner, TextRunInScopeLeavesNoBindings)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.runInScope("var v = 1; w = 2; function f() { } Echo(v + w);"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "3 ");
    EXPECT_EQ(harness.globalText("v"), "undefined");
    EXPECT_EQ(harness.globalText("w"), "undefined");
    EXPECT_EQ(harness.globalText("f"), "undefined");
    EXPECT_EQ(harness.run("g = 5;"), Status::Ok);
    EXPECT_EQ(harness.runInScope("g = g + 1;"), Status::Ok);
    EXPECT_EQ(harness.globalText("g"), "6") << "an existing global is updated";
}

TEST(ScriptRunner, EvalStringGivesTheValueAndKeepsNoBindings)
{
    ScriptHarness harness;
    ScriptValue result;
    EXPECT_EQ(harness.eval(nullptr, "function tmp(a) { return a + 1; } v = tmp(2); v * 10;", result), Status::Ok);
    ASSERT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 30);
    EXPECT_EQ(harness.globalText("tmp"), "undefined");
    EXPECT_EQ(harness.globalText("v"), "undefined");
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);

    EXPECT_EQ(harness.eval(nullptr, "\"a single expression needs no semicolon\"", result), Status::Ok);
    EXPECT_EQ(textOf(result), "a single expression needs no semicolon");
    releaseValue(result);
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(ScriptRunner, EvalStringRunsWithTheGivenThis)
{
    ScriptHarness harness;
    ScriptValue arrayGlobal = harness.global("Array");
    ASSERT_EQ(arrayGlobal.tag, ValueTag::Object);
    ScriptArray* array = createArray(static_cast<ScriptArray*>(arrayGlobal.payload.object), nullptr);
    ScriptValue result;
    EXPECT_EQ(harness.eval(array, "this[0] = 5; this[1] = this.length; this[1] + 1;", result), Status::Ok);
    ASSERT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 2);
    ScriptValue item;
    ASSERT_EQ(array->getItem(0, nullptr, item), Status::Ok);
    EXPECT_EQ(item.payload.integer, 5);
    EXPECT_EQ(array->refCount(), 1) << "the run kept no reference on this";
    array->release();
    releaseValue(arrayGlobal);

    EXPECT_EQ(harness.eval(nullptr, "this.fromEval = 1; this == this;", result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 1);
    EXPECT_EQ(harness.globalText("fromEval"), "undefined") << "made in the evaluation's own scope";
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(ScriptRunner, EvalStringFailureGivesMinusOneAndUndefined)
{
    ScriptHarness harness;
    ScriptValue result;
    EXPECT_EQ(harness.eval(nullptr, "x = 1;\ny = x.z;", result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    ASSERT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.site().errors[0], (ReportedError { -1003, 2, "not a object" }));
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);

    EXPECT_EQ(harness.eval(nullptr, "x = (;", result), Status::Ok) << "a parse error is reported, not returned";
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    ASSERT_EQ(harness.site().errors.size(), 2u);
    EXPECT_EQ(harness.site().errors[1].message, "parse");

    EXPECT_EQ(harness.eval(nullptr, "missing();", result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    ASSERT_EQ(harness.site().errors.size(), 3u);
    EXPECT_EQ(harness.site().errors[2], (ReportedError { -1000, 0, "some error" }));
}

// A host function that runs text on the runner while a script is running, as an event handler
// does when it arrives while a message box of the script is open.
struct Reentry {
    ScriptHarness* harness { nullptr };
    RunnerState stateBefore { RunnerState::Closed };
    RunnerState stateAfter { RunnerState::Closed };
    Status evalStatus { Status::Failed };
    int32_t evalValue { 0 };
    Status runTextStatus { Status::Ok };
    Status runInScopeStatus { Status::Ok };
};
Reentry s_reentry;

Status reenterNative(ScriptObject*, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ScriptHarness& harness = *s_reentry.harness;
    s_reentry.stateBefore = harness.runner().getState();
    std::string text = argc > 0 ? textOf(args[0]) : "";
    ScriptValue value;
    s_reentry.evalStatus = harness.eval(nullptr, text, value);
    s_reentry.evalValue = value.tag == ValueTag::Integer ? value.payload.integer : -12345;
    releaseValue(value);
    s_reentry.runTextStatus = harness.run("Echo(\"runText ran\");");
    s_reentry.runInScopeStatus = harness.runInScope("Echo(\"runTextInScope ran\");");
    s_reentry.stateAfter = harness.runner().getState();
    *result = ScriptValue::integer(1);
    return Status::Ok;
}

TEST(ScriptRunner, EvalStringNestsInsideARunAndTheOuterRunContinues)
{
    ScriptHarness harness;
    s_reentry = {};
    s_reentry.harness = &harness;
    harness.defineGlobal("reenter", ScriptValue::native(reenterNative));
    EXPECT_EQ(harness.run("outer = 5;\n"
                          "function helper(a) { return a * 2; }\n"
                          "Echo(\"before\");\n"
                          "r = reenter(\"Echo(\\\"inner\\\"); helper(outer) + 1;\");\n"
                          "Echo(\"after\", r, outer);\n"),
        Status::Ok);
    EXPECT_EQ(s_reentry.stateBefore, RunnerState::Running);
    EXPECT_EQ(s_reentry.evalStatus, Status::Ok);
    EXPECT_EQ(s_reentry.evalValue, 11) << "the nested text sees the outer run's bindings";
    EXPECT_EQ(s_reentry.runTextStatus, Status::Failed);
    EXPECT_EQ(s_reentry.runInScopeStatus, Status::Failed);
    EXPECT_EQ(s_reentry.stateAfter, RunnerState::Running);
    EXPECT_EQ(harness.echoed(), "before inner after 1 5 ");
    EXPECT_TRUE(harness.site().errors.empty());
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
    EXPECT_EQ(harness.site().runBegins, 2);
    EXPECT_EQ(harness.site().runEnds, 2);
    EXPECT_EQ(harness.engine().topSlot(), 0);
}

TEST(ScriptRunner, FailingNestedEvalLeavesTheOuterRunGoing)
{
    ScriptHarness harness;
    s_reentry = {};
    s_reentry.harness = &harness;
    harness.defineGlobal("reenter", ScriptValue::native(reenterNative));
    EXPECT_EQ(harness.run("r = reenter(\"x = 1;\\ny = x.q;\");\nEcho(\"outer goes on\", r);"), Status::Ok);
    EXPECT_EQ(s_reentry.evalStatus, Status::Failed);
    EXPECT_EQ(s_reentry.stateAfter, RunnerState::Running);
    EXPECT_EQ(harness.echoed(), "outer goes on 1 ");
    ASSERT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.site().errors[0], (ReportedError { -1003, 2, "not a object" }));
}

TEST(ScriptRunner, ToggleOpenTwiceGivesFreshGlobals)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("x = 5; function f() { return 1; } Array[0] = \"held\";"), Status::Ok);
    ScriptEngine* first = &harness.engine();
    EXPECT_EQ(harness.runner().toggleOpen(), Status::Ok);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Closed);
    EXPECT_EQ(harness.runner().engine(), nullptr);
    EXPECT_EQ(harness.run("x = 1;"), Status::Failed);
    EXPECT_EQ(harness.runner().toggleOpen(), Status::Ok);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
    EXPECT_NE(harness.runner().engine(), nullptr);
    (void)first;
    EXPECT_EQ(harness.run("Echo(\"\" + x, \"\" + f, \"\" + Array, \"\" + Math);"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "undefined undefined undefined undefined ") << "Echo is back, the rest is gone";
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(ScriptRunner, ClosingReleasesEveryGlobal)
{
    ObjectLog log;
    int32_t stringsBefore = ScriptString::liveCount();
    {
        ScriptHarness harness;
        CountingObject* probe = CountingObject::create(log);
        harness.defineGlobal("probe", objectValue(probe));
        probe->release();
        AtomTable* atoms = nullptr;
        ASSERT_EQ(harness.runner().getAtomTable(atoms), Status::Ok);
        int32_t atomCount = atoms->refCount();
        EXPECT_EQ(harness.run("Array[0] = \"kept by the Array global\";"), Status::Ok);
        EXPECT_EQ(ScriptString::liveCount(), stringsBefore + 1);
        EXPECT_EQ(harness.runner().toggleOpen(), Status::Ok);
        EXPECT_EQ(log.destroyed, 1);
        EXPECT_EQ(ScriptString::liveCount(), stringsBefore) << "the Array global and its item are gone";
        // The engine and the Math object each held the atom table.
        EXPECT_EQ(atoms->refCount(), atomCount - 2);
        EXPECT_EQ(atoms->refCount(), 1);
        atoms->release();
    }
}

TEST(ScriptRunner, GlobalHoldingTheEngineDoesNotKeepItAlive)
{
    // var me = this at program level stores the engine in one of its own bindings.
    ObjectLog log;
    {
        ScriptHarness harness;
        CountingObject* probe = CountingObject::create(log);
        harness.defineGlobal("probe", objectValue(probe));
        probe->release();
        EXPECT_EQ(harness.run("var me = this; var alias = me; Echo(me.probe == probe);"), Status::Ok);
        EXPECT_EQ(harness.echoed(), "1 ");
        EXPECT_EQ(harness.runner().toggleOpen(), Status::Ok);
        EXPECT_EQ(log.destroyed, 1);
    }
    ObjectLog second;
    {
        ScriptHarness harness;
        CountingObject* probe = CountingObject::create(second);
        harness.defineGlobal("probe", objectValue(probe));
        probe->release();
        EXPECT_EQ(harness.run("var me = this;"), Status::Ok);
    }
    EXPECT_EQ(second.destroyed, 1) << "releasing the runner releases the globals too";
}

}
}
