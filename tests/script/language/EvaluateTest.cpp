// Operators and evaluation seen from below the script level: applyOperator on every kind of
// operand pair with results computed by hand, the value stack and scopes balanced after every
// kind of failure, and host statuses that count as success.
#include <support/ScriptHarness.h>

#include <support/CountingObject.h>

#include <script/language/Interpreter.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace nimbolt::test {
namespace {

enum class Expect { Integer, Real, Text, Failure };

struct OperatorRow {
    const char* what;
    int32_t kind;
    ScriptValue (*left)();
    ScriptValue (*right)();
    Expect expect;
    int32_t integer;
    double real;
    const char* text;
    int32_t status;
};

ScriptValue integer(int32_t value) { return ScriptValue::integer(value); }
ScriptValue text(const char* bytes) { return makeStringValue(createString(bytes)); }

#define INT(v) [] { return integer(v); }
#define REAL(v) [] { return ScriptValue::real(v); }
#define TEXT(v) [] { return text(v); }

const double NaN = std::numeric_limits<double>::quiet_NaN();

const OperatorRow operatorRows[] = {
    { "integer division truncates toward zero", '/', INT(-7), INT(2), Expect::Integer, -3, 0, nullptr, 0 },
    { "remainder takes the left sign", '%', INT(-7), INT(2), Expect::Integer, -1, 0, nullptr, 0 },
    { "remainder ignores the right sign", '%', INT(7), INT(-2), Expect::Integer, 1, 0, nullptr, 0 },
    { "division by zero fails", '/', INT(1), INT(0), Expect::Failure, 0, 0, nullptr, -1000 },
    { "remainder by zero fails", '%', INT(1), INT(0), Expect::Failure, 0, 0, nullptr, -1000 },
    { "smallest integer over -1 fails", '/', INT(INT_MIN), INT(-1), Expect::Failure, 0, 0, nullptr, -1000 },
    { "smallest integer remainder -1 fails", '%', INT(INT_MIN), INT(-1), Expect::Failure, 0, 0, nullptr, -1000 },
    { "real remainder by a divisor below 1 fails", '%', REAL(5.5), REAL(0.5), Expect::Failure, 0, 0, nullptr, -1000 },
    { "real remainder truncates both operands", '%', REAL(7.5), INT(2), Expect::Real, 0, 1.0, nullptr, 0 },
    { "real remainder keeps the left sign", '%', REAL(-7.9), REAL(2.9), Expect::Real, 0, -1.0, nullptr, 0 },
    { "addition wraps", '+', INT(INT_MAX), INT(1), Expect::Integer, INT_MIN, 0, nullptr, 0 },
    { "subtraction wraps", '-', INT(INT_MIN), INT(1), Expect::Integer, INT_MAX, 0, nullptr, 0 },
    { "multiplication wraps", '*', INT(65537), INT(65537), Expect::Integer, 131073, 0, nullptr, 0 },
    { "shift count is taken modulo 32", TokenKind::ShiftLeft, INT(1), INT(33), Expect::Integer, 2, 0, nullptr, 0 },
    { "shift by -1 is a shift by 31", TokenKind::ShiftLeft, INT(1), INT(-1), Expect::Integer, INT_MIN, 0, nullptr, 0 },
    { ">> copies the sign", TokenKind::ShiftRight, INT(-8), INT(1), Expect::Integer, -4, 0, nullptr, 0 },
    { ">>> shifts in zeros", TokenKind::UnsignedShiftRight, INT(-1), INT(28), Expect::Integer, 15, 0, nullptr, 0 },
    { "bitwise on a real keeps the low 32 bits", '&', REAL(4294967297.0), INT(3), Expect::Integer, 1, 0, nullptr, 0 },
    { "bitwise on a negative real truncates toward zero", '|', REAL(-1.9), INT(0), Expect::Integer, -1, 0, nullptr, 0 },
    { "shift of a real", TokenKind::ShiftLeft, REAL(2.5), INT(2), Expect::Integer, 8, 0, nullptr, 0 },
    { "+= adds", TokenKind::AddAssign, INT(2), INT(3), Expect::Integer, 5, 0, nullptr, 0 },
    { ">>>= shifts logically", TokenKind::UnsignedShiftRightAssign, INT(-1), INT(28), Expect::Integer, 15, 0, nullptr, 0 },
    { "%= takes the left sign", TokenKind::ModuloAssign, INT(-7), INT(2), Expect::Integer, -1, 0, nullptr, 0 },
    { "/= by zero fails", TokenKind::DivideAssign, INT(4), INT(0), Expect::Failure, 0, 0, nullptr, -1000 },
    { "an integer and a real make a real", '+', INT(1), REAL(0.5), Expect::Real, 0, 1.5, nullptr, 0 },
    { "real division by zero is infinite", '/', REAL(1.0), INT(0), Expect::Real, 0, HUGE_VAL, nullptr, 0 },
    { "comparison of reals is an integer", TokenKind::LessOrEqual, REAL(2.0), INT(2), Expect::Integer, 1, 0, nullptr, 0 },
    { "NaN is not less", '<', [] { return ScriptValue::real(NaN); }, REAL(1.0), Expect::Integer, 0, 0, nullptr, 0 },
    { "NaN is not greater or equal", TokenKind::GreaterOrEqual, [] { return ScriptValue::real(NaN); }, REAL(1.0), Expect::Integer, 0, 0, nullptr, 0 },
    { "NaN is not equal to itself", TokenKind::Equals, [] { return ScriptValue::real(NaN); }, [] { return ScriptValue::real(NaN); }, Expect::Integer, 0, 0, nullptr, 0 },
    { "NaN is unequal to itself", TokenKind::NotEquals, [] { return ScriptValue::real(NaN); }, [] { return ScriptValue::real(NaN); }, Expect::Integer, 1, 0, nullptr, 0 },
    { "strings concatenate", '+', TEXT("ab"), TEXT("cd"), Expect::Text, 0, 0, "abcd", 0 },
    { "an integer joins a string", '+', INT(1), TEXT("2"), Expect::Text, 0, 0, "12", 0 },
    { "a real joins a string as %f", '+', REAL(1.5), TEXT(""), Expect::Text, 0, 0, "1.500000", 0 },
    { "undefined joins as its name", '+', [] { return UndefinedValue; }, INT(1), Expect::Text, 0, 0, "undefined1", 0 },
    { "null joins as its name", '+', [] { return ScriptValue::null(); }, TEXT("!"), Expect::Text, 0, 0, "null!", 0 },
    { "a string equals its prefix", TokenKind::Equals, TEXT("ab"), TEXT("abc"), Expect::Integer, 1, 0, nullptr, 0 },
    { "the empty string equals any string", TokenKind::Equals, TEXT(""), TEXT("x"), Expect::Integer, 1, 0, nullptr, 0 },
    { "a number compares as text", TokenKind::Equals, INT(5), TEXT("5.0"), Expect::Integer, 1, 0, nullptr, 0 },
    { "undefined is not 0 as text", TokenKind::Equals, [] { return UndefinedValue; }, INT(0), Expect::Integer, 0, 0, nullptr, 0 },
    { "strings order by bytes", '<', TEXT("abc"), TEXT("abd"), Expect::Integer, 1, 0, nullptr, 0 },
    { "bytes compare unsigned", '>', TEXT("\xe3"), TEXT("a"), Expect::Integer, 1, 0, nullptr, 0 },
    { "prefix is not less", '<', TEXT("ab"), TEXT("abc"), Expect::Integer, 0, 0, nullptr, 0 },
    { "string minus fails", '-', TEXT("3"), INT(1), Expect::Failure, 0, 0, nullptr, -1 },
    { "string times fails", '*', TEXT("3"), INT(2), Expect::Failure, 0, 0, nullptr, -1 },
    { "string remainder fails", '%', INT(3), TEXT("2"), Expect::Failure, 0, 0, nullptr, -1 },
    { "string and fails", '&', TEXT("a"), INT(1), Expect::Failure, 0, 0, nullptr, -1 },
    { "string shift fails", TokenKind::ShiftLeft, TEXT("1"), INT(1), Expect::Failure, 0, 0, nullptr, -1 },
    { "string -= fails", TokenKind::SubtractAssign, TEXT("ab"), INT(1), Expect::Failure, 0, 0, nullptr, -1 },
};

TEST(Evaluate, ApplyOperatorRows)
{
    // The fixed atoms must exist before any string is made.
    ScriptHarness harness(ScriptHarness::Globals::None);
    int32_t stringsBefore = ScriptString::liveCount();
    for (const OperatorRow& row : operatorRows) {
        ScriptValue left = row.left();
        ScriptValue right = row.right();
        ScriptValue result = UndefinedValue;
        Status status = applyOperator(row.kind, left, right, &result);
        switch (row.expect) {
        case Expect::Integer:
            EXPECT_EQ(status, Status::Ok) << row.what;
            EXPECT_EQ(result.tag, ValueTag::Integer) << row.what;
            EXPECT_EQ(result.payload.integer, row.integer) << row.what;
            break;
        case Expect::Real:
            EXPECT_EQ(status, Status::Ok) << row.what;
            EXPECT_EQ(result.tag, ValueTag::Real) << row.what;
            EXPECT_EQ(result.payload.real, row.real) << row.what;
            break;
        case Expect::Text:
            EXPECT_EQ(status, Status::Ok) << row.what;
            EXPECT_EQ(result.tag, ValueTag::String) << row.what;
            EXPECT_EQ(textOf(result), row.text) << row.what;
            releaseValue(result);
            break;
        case Expect::Failure:
            EXPECT_EQ(status.code(), row.status) << row.what;
            EXPECT_EQ(result.tag, ValueTag::Undefined) << row.what;
            break;
        }
        // Operands of string operations are consumed; numbers need nothing.
        if (left.isCounted())
            releaseValue(left);
        if (right.isCounted())
            releaseValue(right);
    }
    EXPECT_EQ(ScriptString::liveCount(), stringsBefore) << "every operand and result released";
}

TEST(Evaluate, ObjectOperandsBecomeTheirText)
{
    ScriptHarness harness(ScriptHarness::Globals::None);
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    ScriptValue left = objectValue(object);
    retainValue(left);
    ScriptValue right = makeStringValue(createString(""));
    ScriptValue result = UndefinedValue;
    ASSERT_EQ(applyOperator('+', left, right, &result), Status::Ok);
    EXPECT_EQ(textOf(result), "object");
    releaseValue(result);
    EXPECT_EQ(object->refCount(), 1) << "the operand's reference was consumed";
    object->release();
}

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

}
}
