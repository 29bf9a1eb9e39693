// A script can make its host let go of things that are still running: the runner (a document
// closed from inside a message box), the engine (the runner closed from a callback) or the very
// function being called (an interval cleared by its own callback). Each must stay alive until
// its run is over and go away right after.
#include <support/ScriptHarness.h>

#include <script/language/ScriptFunction.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

// What the natives below act on; set by each test.
ScriptRunner* s_heldRunner = nullptr;
ScriptValue s_heldFunction = UndefinedValue;

Status dropRunner(ScriptObject*, int32_t, const ScriptValue*, ScriptValue* result)
{
    if (s_heldRunner)
        s_heldRunner->release();
    s_heldRunner = nullptr;
    *result = UndefinedValue;
    return Status::Ok;
}

Status closeRunner(ScriptObject*, int32_t, const ScriptValue*, ScriptValue* result)
{
    (void)s_heldRunner->toggleOpen();
    *result = UndefinedValue;
    return Status::Ok;
}

Status dropFunction(ScriptObject*, int32_t, const ScriptValue*, ScriptValue* result)
{
    releaseValue(s_heldFunction);
    *result = UndefinedValue;
    return Status::Ok;
}

TEST(Lifetime, RunnerReleasedByItsOwnScriptLivesUntilTheRunEnds)
{
    EchoCapture echo;
    RecordingSite* site = RecordingSite::create();
    s_heldRunner = createRunner();
    ASSERT_TRUE(s_heldRunner->setSite(site).ok());
    ASSERT_TRUE(s_heldRunner->toggleOpen().ok());
    ASSERT_TRUE(s_heldRunner->defineGlobal("dropRunner", ScriptValue::native(dropRunner)).ok());
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
    ASSERT_TRUE(harness.runner().defineGlobal("dropFunction", ScriptValue::native(dropFunction)).ok());
    s_heldFunction = keptFunction(harness, "dropFunction(); Echo(\"after drop\"); return 5;");
    auto* function = static_cast<ScriptFunction*>(s_heldFunction.payload.object);
    ASSERT_EQ(function->refCount(), 2); // the host's value and the self-reference

    ScriptValue result = UndefinedValue;
    EXPECT_TRUE(callFunction(*function, nullptr, 0, nullptr, &result).ok());
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 5);
    EXPECT_EQ(harness.echoed(), "after drop ");
    EXPECT_EQ(s_heldFunction.tag, ValueTag::Undefined);
    EXPECT_TRUE(harness.site().errors.empty());
}

TEST(Lifetime, EngineClosedByACallbackLivesUntilTheCallEnds)
{
    ScriptHarness harness;
    s_heldRunner = &harness.runner();
    ASSERT_TRUE(harness.runner().defineGlobal("closeRunner", ScriptValue::native(closeRunner)).ok());
    // Closing drops every binding, so the rest of the body sees none of its names; it must still
    // run to its end on a live engine.
    ScriptValue function = keptFunction(harness, "var local = 1; closeRunner(); return 6 + 1;");

    ScriptValue result = UndefinedValue;
    EXPECT_TRUE(callFunction(*static_cast<ScriptFunction*>(function.payload.object), nullptr, 0, nullptr, &result).ok());
    EXPECT_EQ(result.tag, ValueTag::Integer);
    EXPECT_EQ(result.payload.integer, 7);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Closed);
    releaseValue(function);
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
