// How deep hosts and scripts can go: evaluations nested through a host function end with "stack
// overflow" when the value stack is full (after exactly as many levels as its 4095 values allow),
// and input nested 100,000 deep either runs or fails with "stack overflow" or "parse"; never with
// a crash of the native stack. How deep plain recursion goes is checked by recursion.ns.
#include <support/ScriptHarness.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

struct Nesting {
    ScriptHarness* harness { nullptr };
    int32_t calls { 0 };
};
Nesting s_nesting;

Status evalNative(ScriptObject*, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ++s_nesting.calls;
    ScriptValue value;
    (void)s_nesting.harness->eval(nullptr, argc > 0 ? textOf(args[0]) : "", value);
    releaseValue(value);
    *result = UndefinedValue;
    return Status::Ok;
}

// Each level: the call of f (its argument and 3 values), the argument of the host function, and
// the frame of the evaluated text (3 values): 8 values, after the 3 of the program frame. The
// body of level k runs while 3 + 4 + 8 * (k - 1) <= 4095, so at level 512 the host function's
// argument no longer fits.
TEST(InterpreterDepth, EvalRecursionStopsWhenTheValueStackIsFull)
{
    ScriptHarness harness;
    s_nesting = { &harness, 0 };
    harness.defineGlobal("evaluate", ScriptValue::native(evalNative));
    EXPECT_EQ(harness.run("var depth = 0;\n"
                          "function f(n) {\n"
                          "  depth = n;\n"
                          "  evaluate(\"f(depth + 1)\");\n"
                          "}\n"
                          "f(1);\n"
                          "Echo(\"outer run goes on\");"),
        Status::Ok);
    EXPECT_EQ(harness.globalText("depth"), "512");
    EXPECT_EQ(s_nesting.calls, 511);
    ASSERT_EQ(harness.site().errors.size(), 1u) << "only the innermost evaluation failed";
    EXPECT_EQ(harness.site().errors[0], (ReportedError { -1001, 4, "stack overflow" }));
    EXPECT_EQ(harness.echoed(), "outer run goes on ");
    EXPECT_EQ(harness.engine().topSlot(), 0);
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
}

// Text nested 100,000 deep. Parentheses leave no nodes and run; everything else builds a tree as
// deep as the text, whose evaluation is stopped by the native stack guard.
TEST(InterpreterDepth, HundredThousandDeepInputDoesNotCrash)
{
    constexpr int32_t Depth = 100000;
    struct Row {
        const char* what;
        std::string text;
        const char* value;
    };
    const Row rows[] = {
        { "prefix minus signs", "x = " + repeat("- ", Depth) + "1;", nullptr },
        { "logical nots", "x = " + repeat("!", Depth) + "1;", nullptr },
        { "parentheses", "x = " + repeat("(", Depth) + "7" + repeat(")", Depth) + ";", "7" },
        { "left-deep sum", "x = " + repeat("1 + ", Depth) + "1;", nullptr },
        { "right-deep assignment", repeat("x = ", Depth) + "1;", nullptr },
        { "nested calls", "function f(a) { return a; }\nx = " + repeat("f(", Depth) + "1" + repeat(")", Depth) + ";",
            nullptr },
        { "nested items", "a = new Array(0);\na[0] = 0;\nx = " + repeat("a[", Depth) + "0" + repeat("]", Depth) + ";",
            nullptr },
        { "nested blocks", repeat("{", Depth) + "x = 1;" + repeat("}", Depth), nullptr },
        { "unbalanced parentheses", "x = " + repeat("(", Depth) + "1;", nullptr },
    };
    for (const Row& row : rows) {
        ScriptHarness harness;
        EXPECT_EQ(harness.run(row.text), Status::Ok) << row.what;
        if (row.value) {
            EXPECT_TRUE(harness.site().errors.empty()) << row.what;
            EXPECT_EQ(harness.globalText("x"), row.value) << row.what;
        } else {
            ASSERT_EQ(harness.site().errors.size(), 1u) << row.what;
            const std::string& message = harness.site().errors[0].message;
            EXPECT_TRUE(message == "stack overflow" || message == "parse") << row.what << ": " << message;
        }
        EXPECT_EQ(harness.engine().topSlot(), 0) << row.what;
        EXPECT_EQ(harness.engine().frameBase(), 0) << row.what;
        // The engine still runs ordinary text afterwards.
        EXPECT_EQ(harness.run("y = 1 + 2;"), Status::Ok) << row.what;
        EXPECT_EQ(harness.globalText("y"), "3") << row.what;
    }
}

}
}
