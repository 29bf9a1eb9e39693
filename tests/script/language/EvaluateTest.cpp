// The operator entry hosts use, and how deep nested evaluations and deep input can go.
#include <support/ScriptHarness.h>

#include <script/language/Interpreter.h>
#include <script/language/TokenKind.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

// Scripts never reach applyOperator with two integers; hosts do.
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

// Each level takes 8 values: the call of f (its argument and 3), the host function's argument and
// the evaluated text's frame (3). Level k runs while 3 + 4 + 8 * (k - 1) <= 4095, so at level 512
// the host function's argument no longer fits.
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
    EXPECT_EQ(harness.takeErrors(), (std::vector<ReportedError> { { -1001, 4, "stack overflow" } }));
    EXPECT_EQ(harness.echoed(), "outer run goes on ");
    EXPECT_TRUE(harness.balanced());
    EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
}

// Text nested 100,000 deep: parentheses leave no nodes and run; every other tree is as deep as
// the text, and the native stack guard stops its evaluation.
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
