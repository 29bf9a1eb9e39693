// Evaluation seen from below the script level: the value stack, frames and scopes balanced after
// every kind of failure, host statuses that count as success, and the operator entry hosts use.
// What the operators give scripts is checked by the script tests.
#include <support/ScriptHarness.h>

#include <script/language/Interpreter.h>
#include <script/language/TokenKind.h>

#include <gtest/gtest.h>

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
        size_t errors = harness.site().errors.size();
        EXPECT_EQ(harness.runInScope(text), Status::Ok) << text;
        EXPECT_EQ(harness.site().errors.size(), errors + 1) << text;
        EXPECT_EQ(harness.engine().topSlot(), 0) << text;
        EXPECT_EQ(harness.engine().frameBase(), 0) << text;
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
    CountingObject* callable = CountingObject::create(log);
    harness.defineGlobal("callable", functionValue(callable));
    callable->release();
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

// An item read or a call of an object reaches the host object as Apply with the atom 0 and the
// arguments in order.
TEST(Evaluate, ItemReadsReachHostObjectsAsApply)
{
    ScriptHarness harness;
    ObjectLog log;
    CountingObject* probe = CountingObject::create(log);
    harness.defineGlobal("probe", objectValue(probe));
    probe->release();
    EXPECT_EQ(harness.run("x = probe[7];"), Status::Ok);
    EXPECT_TRUE(log.invokes == 1 && log.lastOp == InvokeOp::Apply && log.lastAtom == 0 && log.lastArgc == 1);
    EXPECT_EQ(harness.globalText("x"), "501");
}

}
}
