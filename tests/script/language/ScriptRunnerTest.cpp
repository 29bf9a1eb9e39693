// The runner's states and the ways a host runs text.
#include <support/ScriptHarness.h>

#include <script/runtime/ScriptArray.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

TEST(ScriptRunner, WithoutASiteStaysClosedAndRefusesToRun)
{
    ScriptRunner* runner = createRunner().leakRef();
    ASSERT_NE(runner, nullptr);
    EXPECT_EQ(runner->getState(), RunnerState::Closed);
    EXPECT_FALSE(runner->getSite());
    EXPECT_EQ(runner->getAtomTable().status(), Status::Failed);
    EXPECT_EQ(runner->defineGlobal("x", ScriptValue::integer(1)), Status::Failed);
    EXPECT_EQ(runner->toggleOpen(), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Closed);
    EXPECT_EQ(runner->runText("x = 1;", 6), Status::Failed);
    EXPECT_EQ(runner->runTextInScope("x = 1;", 6), Status::Failed);
    ScriptString* text = createString("x = 1;").leakRef();
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(runner->evalString(nullptr, *text, &result), Status::Failed);
    text->release();

    // A site makes the runner Ready, runner and engine holding one reference each; taking the site
    // away closes it again.
    RecordingSite* site = RecordingSite::create();
    EXPECT_EQ(runner->setSite(site), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Ready);
    EXPECT_EQ(runner->engine()->site(), site);
    EXPECT_EQ(site->refCount(), 3);
    ScriptSite* got = runner->getSite().leakRef();
    EXPECT_EQ(got, site);
    EXPECT_EQ(got->release(), 3) << "getSite hands out a reference";
    EXPECT_EQ(runner->runText("x = 1;", 6), Status::Ok);
    runner->setMemoryLimit(1 << 16);
    EXPECT_EQ(runner->engine()->memoryBudget().limit(), size_t { 1 } << 16) << "an open runner's limit is its engine's";
    EXPECT_EQ(runner->setSite(nullptr), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Closed);
    EXPECT_EQ(runner->runText("x = 2;", 6), Status::Failed);
    EXPECT_EQ(runner->setSite(site), Status::Ok);
    EXPECT_EQ(runner->getState(), RunnerState::Ready);
    EXPECT_TRUE(site->errors.empty());
    runner->release();
    EXPECT_EQ(site->refCount(), 1) << "the runner and its engine released the site";
    site->release();
    EXPECT_EQ(createRunner().leakRef()->release(), 0) << "a runner never opened has no engine to clear";
}

TEST(ScriptRunner, EvalStringGivesTheValueWithTheGivenThisAndKeepsNoBindings)
{
    ScriptHarness harness;
    ScriptValue result;
    EXPECT_EQ(harness.eval(nullptr, "function tmp(a) { return a + 1; } v = tmp(2); this.w = 1; v * 10;", result),
        Status::Ok);
    EXPECT_EQ(textOf(result), "30");
    for (const char* name : { "tmp", "v", "w" })
        EXPECT_EQ(harness.globalText(name), "undefined") << name;

    ScriptArray* array = createArray(nullptr, &harness.engine().atomTable()).leakRef();
    EXPECT_EQ(harness.eval(array, "this[0] = 5; this[1] = this.length; this[1] + this[0];", result), Status::Ok);
    EXPECT_EQ(textOf(result), "6");
    EXPECT_EQ(array->release(), 0) << "the run kept no reference on this";
    EXPECT_TRUE(harness.site().errors.empty());

    // A failure gives -1 and undefined; a parse error is reported, not returned.
    EXPECT_EQ(harness.eval(nullptr, "x = 1;\ny = x.z;", result), Status::Failed);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    EXPECT_EQ(harness.eval(nullptr, "x = (;", result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    EXPECT_EQ(harness.eval(nullptr, "missing();", result), Status::Failed);
    EXPECT_EQ(harness.site().errors,
        (std::vector<ReportedError> { { -1003, 2, "not a object" }, { -1010, 1, "parse" }, { -1000, 0, "some error" } }));
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
}

// Runs text on the runner from inside a run, as an event handler arriving during a message box.
struct Reentry {
    ScriptHarness* harness;
    RunnerState stateBefore;
    RunnerState stateAfter;
    std::vector<int32_t> statuses;
} s_reentry;

Status reenterNative(ScriptObject*, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ScriptHarness& harness = *s_reentry.harness;
    s_reentry.stateBefore = harness.runner().getState();
    ScriptValue value;
    s_reentry.statuses.push_back(harness.eval(nullptr, argc > 0 ? textOf(args[0]) : "", value).code());
    s_reentry.statuses.push_back(value.tag == ValueTag::Integer ? value.payload.integer : -12345);
    releaseValue(value);
    s_reentry.statuses.push_back(harness.run("Echo(\"runText ran\");").code());
    s_reentry.statuses.push_back(harness.runInScope("Echo(\"runTextInScope ran\");").code());
    s_reentry.stateAfter = harness.runner().getState();
    *result = ScriptValue::integer(1);
    return Status::Ok;
}

TEST(ScriptRunner, EvalStringNestsInsideARunAndTheOuterRunContinues)
{
    ScriptHarness harness;
    s_reentry = { &harness, RunnerState::Closed, RunnerState::Closed, {} };
    harness.defineGlobal("reenter", ScriptValue::native(reenterNative));
    EXPECT_EQ(harness.run("outer = 5;\n"
                          "function helper(a) { return a * 2; }\n"
                          "Echo(\"before\");\n"
                          "r = reenter(\"Echo(\\\"inner\\\"); helper(outer) + 1;\");\n"
                          "q = reenter(\"x = 1;\\ny = x.q;\");\n"
                          "Echo(\"after\", r, q, outer);\n"),
        Status::Ok);
    EXPECT_EQ(s_reentry.stateBefore, RunnerState::Running);
    EXPECT_EQ(s_reentry.stateAfter, RunnerState::Running);
    // The nested text sees the outer run's bindings; runText and runTextInScope refuse to nest.
    EXPECT_EQ(s_reentry.statuses, (std::vector<int32_t> { 0, 11, -1, -1, -1, -12345, -1, -1 }));
    EXPECT_EQ(harness.echoed(), "before inner after 1 1 5 ");
    EXPECT_EQ(harness.site().errors, (std::vector<ReportedError> { { -1003, 2, "not a object" } }));
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
    EXPECT_TRUE(harness.site().runBegins == 3 && harness.site().runEnds == 3);
    EXPECT_TRUE(harness.balanced());
}

TEST(ScriptRunner, ClosingGivesFreshGlobalsAndReleasesTheOldOnes)
{
    int32_t stringsBefore = ScriptString::liveCount();
    ScriptHarness harness;
    AtomTable* atoms = harness.runner().getAtomTable().releaseValue().leakRef();
    // var me = this at program level stores the engine in one of its own bindings.
    EXPECT_EQ(harness.run("x = 5; function f() { } Array[0] = \"kept by the Array global\"; var me = this;"),
        Status::Ok);
    EXPECT_EQ(harness.runner().toggleOpen(), Status::Ok);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Closed);
    EXPECT_EQ(harness.runner().engine(), nullptr);
    EXPECT_EQ(ScriptString::liveCount(), stringsBefore) << "the Array global and its item are gone";
    EXPECT_EQ(atoms->release(), 0) << "the engine and the Math object let go of the atom table";

    EXPECT_EQ(harness.runner().toggleOpen(), Status::Ok);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
    EXPECT_EQ(harness.run("Echo(\"\" + x, \"\" + f, \"\" + Array, \"\" + Math);"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "undefined undefined undefined undefined ") << "Echo is back, the rest is gone";

    // Releasing an open runner releases its globals too.
    ObjectLog log;
    {
        ScriptHarness other;
        other.defineProbe("kept", log);
        EXPECT_EQ(other.run("var me = this;"), Status::Ok);
    }
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_TRUE(harness.site().errors.empty());
}

// A run past its limit stops at the next pass of whichever loop spins, or at the next call of a
// recursion: the error names that line, and the stacks are balanced again.
TEST(ScriptRunner, RunsPastTheirLimitStopAtTheSpinningLoopOrCall)
{
    struct Row {
        const char* name;
        const char* text;
        int32_t line;
    };
    const Row rows[] = {
        { "a program's loop", "var i = 0;\nwhile (1) { i = i + 1; }", 2 },
        { "a loop inside a loop", "for (var i = 0; i < 3; i++) {\n  do { } while (1);\n}", 2 },
        { "a function's body", "function spin() {\n  for (;;) { }\n}\nspin();", 2 },
        { "recursion without a loop (fib(30) makes 2.7 million calls)",
            "function fib(n) {\n    if (n < 2)\n        return n;\n    return fib(n - 1) + fib(n - 2);\n}\nfib(30);", 4 },
        { "recursion through a method",
            "function walk(n) {\n    return n < 2 ? n : this.walk(n - 1) + this.walk(n - 2);\n}\n"
            "function Walker() { }\nWalker.prototype.walk = walk;\nvar w = new Walker();\nw.walk(30);",
            2 },
    };
    ScriptHarness harness;
    harness.engine().setRunLimit(20);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(harness.runInScope(row.text), Status::Ok);
        EXPECT_EQ(harness.takeErrors(), (std::vector<ReportedError> { { -1013, row.line, "script ran too long" } }));
        EXPECT_TRUE(harness.balanced());
    }

    // A host calling a script function directly is stopped the same way.
    EXPECT_EQ(harness.run("function spin(n) {\n  while (n) { }\n}"), Status::Ok);
    ScriptValue spin = harness.global("spin");
    const ScriptValue argument = ScriptValue::integer(1);
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(harness.runner().callFunction(spin, nullptr, 1, &argument, &result), Status::Failed);
    EXPECT_EQ(harness.takeErrors(), (std::vector<ReportedError> { { -1013, 2, "script ran too long" } }));
    EXPECT_TRUE(harness.balanced());

    // The next run and call have a deadline of their own.
    const ScriptValue zero = ScriptValue::integer(0);
    EXPECT_EQ(harness.runner().callFunction(spin, nullptr, 1, &zero, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    releaseValue(spin);
    EXPECT_EQ(harness.run("var n = 0;\nfor (var i = 0; i < 10000; i++) n = n + i;\nEcho(n);"), Status::Ok);
    EXPECT_EQ(harness.echoed(), "49995000 ");
    EXPECT_TRUE(harness.site().errors.empty());
}

}
}
