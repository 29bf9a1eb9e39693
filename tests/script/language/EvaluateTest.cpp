// Evaluation seen from below the script level: the value stack, frames and scopes balanced after
// every kind of failure, host statuses that count as success, the operator entry hosts use, and
// how deep hosts and scripts can go: evaluations nested through a host function end with "stack
// overflow" when the value stack is full (after exactly as many levels as its 4095 values allow),
// and input nested 100,000 deep either runs or fails with "stack overflow", never with a crash of
// the native stack. What the operators give scripts and how deep plain recursion goes are checked
// by the script tests.
#include <support/ScriptHarness.h>

#include <script/language/Interpreter.h>
#include <script/language/TokenKind.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

// Every text fails somewhere else: inside an argument list, inside a call, between pushes of an
// item assignment, in a nested block, or by running out of stack. Afterwards the value stack,
// the frames and the scope table are back where they were.
TEST(Evaluate, StacksAreBalancedAfterFailures)
{
    ScriptHarness harness;
    EXPECT_EQ(harness.run("function f(a, b, c) { return a.b; }\nfunction r(a) { r(a, a); }"), Status::Ok);
    const char* const texts[] = {
        "f(1, 2, 3 * \"a\");",
        "f(1, f(2, 3, 4), 5);",
        "x = new Missing(1, 2);",
        "a = new Array(); a[1 * \"x\"] = 2;",
        "a = new Array(); a[0] = 1 * \"x\";",
        "Math.max(1, Math.sin);",
        "{ var q = 1; { var w = 2; q.y; } }",
        "for (var i = 0; i < 3; i++) { var k = i; i.j; }",
        "r(1);",
        "o = new Array(); o.length = f(1, 2);",
        "missing(1, 2, 3);",
    };
    int32_t bindings = harness.engine().scopeTable().entryCount();
    for (const char* text : texts) {
        EXPECT_EQ(harness.runInScope(text), Status::Ok) << text;
        EXPECT_EQ(harness.takeErrors().size(), 1u) << text;
        EXPECT_TRUE(harness.balanced()) << text;
        EXPECT_EQ(harness.engine().scopeTable().entryCount(), bindings) << text;
    }
}

// Scripts never reach applyOperator with two integers (the evaluator takes a short way); hosts
// do, and an integer division by zero and its kin give -1000, an unknown operator -1.
TEST(Evaluate, ApplyOperatorOnTwoIntegers)
{
    const struct {
        int32_t kind;
        int32_t left;
        int32_t right;
        int32_t status;
        int32_t value;
    } rows[] = {
        { '/', -7, 2, 0, -3 },
        { TokenKind::ModuloAssign, -7, 2, 0, -1 },
        { '%', 7, 0, -1000, 0 },
        { TokenKind::DivideAssign, INT32_MIN, -1, -1000, 0 },
        { '?', 1, 2, -1, 0 },
    };
    for (const auto& row : rows) {
        ScriptValue left = ScriptValue::integer(row.left);
        ScriptValue right = ScriptValue::integer(row.right);
        ScriptValue result = UndefinedValue;
        EXPECT_EQ(applyOperator(row.kind, left, right, &result).code(), row.status) << row.kind;
        EXPECT_TRUE(row.status ? result.tag == ValueTag::Undefined : result.payload.integer == row.value) << row.kind;
    }
}

Status positiveNative(ScriptObject*, int32_t argc, const ScriptValue*, ScriptValue* result)
{
    *result = ScriptValue::integer(argc);
    return Status { 1 + argc };
}

// Success may come back from a host as a positive count; it must not end a statement list as
// if it were a break, continue or return.
TEST(Evaluate, PositiveHostStatusesAreSuccess)
{
    ScriptHarness harness;
    ObjectLog log;
    harness.defineProbe("callable", log, true);
    harness.defineGlobal("host", ScriptValue::native(positiveNative));
    EXPECT_EQ(harness.run("host();\n"
                          "host(1);\n"
                          "callable(1, 2);\n"
                          "for (i = 0; i < 2; i++) host(1, 2);\n"
                          "function f() { host(); return 9; }\n"
                          "Echo(\"after\", f(), host(1, 2, 3), callable());"),
        Status::Ok);
    EXPECT_TRUE(harness.site().errors.empty());
    EXPECT_EQ(harness.echoed(), "after 9 3 700 ");
}

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
    EXPECT_TRUE(harness.balanced());
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
        // The prefix operators share one way down; the parser tests cover each of them.
        { "prefix minus signs", "x = " + repeat("- ", Depth) + "1;", nullptr },
        { "parentheses", "x = " + repeat("(", Depth) + "7" + repeat(")", Depth) + ";", "7" },
        { "left-deep sum", "x = " + repeat("1 + ", Depth) + "1;", nullptr },
        { "right-deep assignment", repeat("x = ", Depth) + "1;", nullptr },
        { "nested calls", "function f(a) { return a; }\nx = " + repeat("f(", Depth) + "1" + repeat(")", Depth) + ";",
            nullptr },
        { "nested items", "a = new Array(0);\na[0] = 0;\nx = " + repeat("a[", Depth) + "0" + repeat("]", Depth) + ";",
            nullptr },
        { "nested blocks", repeat("{", Depth) + "x = 1;" + repeat("}", Depth), nullptr },
    };
    for (const Row& row : rows) {
        ScriptHarness harness;
        EXPECT_EQ(harness.run(row.text), Status::Ok) << row.what;
        if (row.value) {
            EXPECT_TRUE(harness.site().errors.empty()) << row.what;
            EXPECT_EQ(harness.globalText("x"), row.value) << row.what;
        } else {
            // The line depends on how much native stack the guard allows.
            ASSERT_EQ(harness.site().errors.size(), 1u) << row.what;
            EXPECT_EQ(harness.site().errors[0].message, "stack overflow") << row.what;
        }
        EXPECT_TRUE(harness.balanced()) << row.what;
        // The engine still runs ordinary text afterwards.
        EXPECT_EQ(harness.run("y = 1 + 2;"), Status::Ok) << row.what;
        EXPECT_EQ(harness.globalText("y"), "3") << row.what;
    }
}

}
}
