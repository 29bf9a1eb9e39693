// What scripts cannot do and how far they can go: each row runs in one runner and shows what Echo
// wrote, then each error reported (never returned) as "(line) message". Bindings of earlier rows
// stay, unless each row runs in a scope of its own: then, whatever failed, it leaves no binding.
#include <support/ScriptHarness.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt::test {
namespace {

struct ErrorRow {
    const char* text;
    const char* shown;
};

enum class RowBindings { Kept, Scoped };

void runRows(std::initializer_list<ErrorRow> rows, RowBindings bindings = RowBindings::Kept)
{
    ScriptHarness harness;
    const int32_t globals = harness.engine().scopeTable().entryCount();
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(bindings == RowBindings::Kept ? harness.run(row.text) : harness.runInScope(row.text), Status::Ok);
        std::string shown = harness.echoed();
        for (const ReportedError& error : harness.takeErrors())
            shown += "(" + std::to_string(error.line) + ") " + error.message;
        EXPECT_EQ(shown, row.shown);
        EXPECT_TRUE(harness.balanced() && harness.runner().getState() == RunnerState::Ready);
        EXPECT_EQ(harness.site().runBegins, harness.site().runEnds);
        EXPECT_TRUE(bindings == RowBindings::Kept || harness.engine().scopeTable().entryCount() == globals);
    }
}

TEST(ScriptErrors, Expressions)
{
    runRows({
        { "x = \"3\" * 2;\nEcho(\"not reached\");", "(1) not support operator" },
        { "y = 1;\n\nz = \"3\" - 1;", "(3) not support operator" },
        { "t = \"ab\";\nt -= 1;", "(2) not support operator" },
        { "q = 1 << \"2\";", "(1) not support operator" },
        { "function f(a, b, c) { return a.b; }\nf(1, 2, 3 * \"a\");", "(2) not support operator" },
        { "a = new Array(); a[1 * \"x\"] = 2;", "(1) not support operator" },
        { "a = new Array(); a[0] = 1 * \"x\";", "(1) not support operator" },
        { "a = 1;\nb = a / 0;", "(2) some error" },
        { "b = 5 % 0;", "(1) some error" },
        { "b = (-2147483647 - 1) / -1;", "(1) some error" },
        { "b = (-2147483647 - 1) % -1;", "(1) some error" },
        { "b = 5.5 % 0.5;", "(1) some error" },
        { "c = 4;\nc /= 0;", "(2) some error" },
        { "x = 3;\ny = x\n    .y;", "(2) not a object" },
        { "u.f();", "(1) not a object" },
        { "n = 5;\nv = n[0];", "(2) not a object" },
        { "w[0] = 1;", "(1) not a object" },
        { "function f(a, b, c) { return a.b; }\nf(1, f(2, 3, 4), 5);", "(1) not a object" },
        { "{ var q = 1; { var w = 2; q.y; } }", "(1) not a object" },
        { "for (var i = 0; i < 3; i++) { var k = i; i.j; }", "(1) not a object" },
        { "a = new Array(1);\na[0]++;", "(2) invalid lvalue" },
        { "function callable(x) { return callable; }\ncallable(1)(2);", "(2) invalid lvalue" },
        { "f() = 1;", "(1) invalid lvalue" },
        { "1++;", "(1) invalid lvalue" },
        { "\no = new Missing(1, 2);", "(2) unknown object name" },
        { "n = 4;\no = new n;", "(2) unknown object name" },
        { "s = \"Array\";\no = new s();", "(2) unknown object name" },
        { "o = new Echo();", "(1) unknown object name" },
        // Calls of what is not a function fail at line 0.
        { "n = 4;\nn();", "(0) some error" },
        { "missing(1, 2, 3);", "(0) some error" },
        { "Math.max(1, Math.sin);", "(0) some error" },
        { "function r(a) { r(a, a); }\nr(1);", "(1) stack overflow" },
        { "v = -Echo;", "(0) some error" },
        { "Echo(\"runs\");\nEcho = 5;\nEcho(1);", "runs (0) some error" },
    }, RowBindings::Scoped);
}

TEST(ScriptErrors, Statements)
{
    runRows({
        // break and continue outside a loop fail at line 0, continue only once the program ran.
        { "break;", "(0) break mismatch" },
        { "Echo(\"ran\");\ncontinue;", "ran (0) continue mismatch" },
        { "if (1) break;", "(0) break mismatch" },
        { "{ continue; }", "(0) continue mismatch" },
        { "i = 0;\nwhile (i < 2 ||\n       i.x) {\n    Echo(i);\n    i = i + 1;\n}", "0 1 (3) not a object" },
        { "for (j = 0; j < \"a\" * 1; j++) {\n}", "(1) not support operator" },
        { "do {\n    Echo(\"once\");\n} while (missingFunction());", "once (0) some error" },
        { "function bad() {\n    var a = 1;\n    return a.b;\n}\nbad();", "(3) not a object" },
        { "\nlabel: x = 1;", "(2) some error" },
        { "goto label;", "(1) some error" },
        { "switch (1) {\n    case 1: Echo(\"switch body ran\");\n}", "(1) some error" },
        { "y = 1;\ndelete y;", "(2) some error" },
        { "{\n    function nested() { }\n}", "(2) some error" },
        { "function outer() {\n    Echo(\"outer runs\");\n    function inner() { }\n    Echo(\"not reached\");\n}\nouter();",
            "outer runs (3) some error" },
        { "x = (1 + ;\nEcho(\"a text that does not parse never runs\");", "(1) parse" },
        { "x = 1;\n@;", "(2) invalid token" },
        { "y = 2;\n\"unterminated", "(2) invalid token" },
        { "Echo(\"bindings made before a failure stay:\", i, \"\" + nested);", "bindings made before a failure stay: 2 undefined " },
    });
}

TEST(ScriptErrors, Syntax)
{
    runRows({
        { "// nothing but a comment\n", "(2) parse" },
        { "x = null;", "(1) parse" },
        { "NaN;", "(1) parse" },
        { "\nx = undefined;", "(2) parse" },
        { "new a.b();", "(1) parse" },
        { "a = 1;\nb\n=\n2\nc = 3;", "(3) parse" },
        { "a;\nf(1)", "(2) parse" },
        { "a\nb", "(2) parse" },
        { "a = 1;\nc = \"abc;", "(2) parse" },
        { "{\na;", "(1) parse" },
        { "f\n(", "(2) parse" },
        { "if (x) a; b; else c;", "(1) parse" },
        { "var;", "(1) parse" },
        { "\n\nfunction (a) {}", "(3) parse" },
        { "a in b;", "(1) parse" },
        { "x = 09;", "(1) parse" },
        { "x = 1e3;", "(1) parse" },
        { "x = .5;", "(1) parse" },
        { "\"abc\nx = 1;", "(1) invalid token" },
        { "\"abc\\\nx = 1;", "(1) invalid token" },
        { "\"\\x\ny = 2;", "(1) invalid token" },
        { "/* a comment\nover lines */ x = 1;\n  @ y;", "(3) invalid token" },
        { "/* a comment\nover two lines */ x = q.r;", "(2) not a object" },
    });
}

TEST(ScriptErrors, PrototypesAndBuiltIns)
{
    runRows({
        { "function F() { this.x = 1; }\no = new F();\no.y = 2;", "(3) not a member" },
        { "F.prototype.m = 1;\no.m = 2;", "(2) read-only member" },
        { "F.x = 1;", "(1) not a member" },
        { "F.prototype = 1;", "(1) read-only member" },
        { "o.prototype = 1;", "(1) read-only member" },
        { "F.prototype.prototype = 1;", "(1) read-only member" },
        { "o2 = new F();\nEcho(\"F still constructs:\", o2.x);", "F still constructs: 1 " },
        { "v = o.missing;", "(1) not a member" },
        { "o.missing();", "(0) some error" },
        { "function G() {\n    this.a = 1;\n    this.b = this.a.c;\n}\ng = new G();", "(3) not a object" },
        { "Echo(\"nothing assigned by a failed new:\", \"\" + g);", "nothing assigned by a failed new: undefined " },
        { "function H() { this.m = 1; }\nH.prototype.m = 0;\nh = new H();", "(1) read-only member" },
        { "function S() {\n    me = this;\n    x = new me();\n}\ns = new S();", "(0) some error" },
        { "function A() { }\nfunction addLater() { this.late = 1; }\nA.prototype.addLater = addLater;\na = new A();\na.addLater();",
            "(2) not a member" },
        { "F[0] = 1;", "(0) some error" },
        { "o(1);", "(0) some error" },
        { "p = F.prototype;\np(1);", "(0) some error" },
        { "p = F.prototype;\nx = new p();", "(0) some error" },
        { "this[0] = 1;", "(0) some error" },
        // length is read-only and arrays have no other member; strings have charAt besides.
        { "a = new Array();\na.length = 3;", "(0) some error" },
        { "v = a.foo;", "(1) not a member" },
        { "a.length();", "(0) some error" },
        { "a.push(1);", "(1) not a member" },
        { "s = \"abc\";\ns.length = 3;", "(0) some error" },
        { "s.substring(1);", "(0) some error" },
        { "c = s.charAt;", "(0) some error" },
        { "s.length();", "(0) some error" },
        { "s[0] = \"x\";", "(0) some error" },
        // Math members answer calls only, whatever their kind; names are exact.
        { "x = Math.sin;", "(0) some error" },
        { "Math.sin = 1;", "(0) some error" },
        { "y = Math.PI;", "(1) not a member" },
        { "Math.Abs(1);", "(1) not a member" },
        { "z = Math[0];", "(0) some error" },
        { "x = Math.abs;", "(0) some error" },
        { "x = Math.pow;", "(0) some error" },
        { "x = Math.max;", "(0) some error" },
        { "x = Math.min;", "(0) some error" },
        { "x = Math.random;", "(0) some error" },
    });
}

// The value stack holds 4095 values: the program frame takes 3, each call its arguments and 3
// more, so (4095 - 3) / 4 = 1023 calls of one argument and (4095 - 3) / 3 = 1364 of none.
TEST(ScriptErrors, RecursionUntilTheValueStackIsFull)
{
    runRows({
        { "var depth = 0;\nfunction dive(a) { depth = a; dive(a + 1); }\ndive(1);", "(2) stack overflow" },
        { "Echo(depth);", "1023 " },
        { "var calls = 0;\nfunction spin() { calls++; spin(); }\nspin();", "(2) stack overflow" },
        { "Echo(calls);", "1364 " },
        { "var built = 0;\nfunction Node() { built++; var child = new Node(); }\nn = new Node();", "(2) stack overflow" },
        { "Echo(built, \"\" + n);", "1364 undefined " },
        { "var down = 0;\nfunction F() { }\nfunction goDown() { down++; this.goDown(); }\nF.prototype.goDown = goDown;\n"
          "o = new F();\no.goDown();",
            "(3) stack overflow" },
        { "Echo(down);", "1364 " },
        { "function countDown(n) { return n == 0 ? 0 : 1 + countDown(n - 1); }\nEcho(countDown(1000));", "1000 " },
    });
}

// Chains 100,000 long are freed one link after the other, without native recursion as deep.
TEST(ScriptErrors, LongChainsAreReleasedWithoutRecursion)
{
    runRows({
        { "a = new Array();\nfor (i = 0; i < 100000; i++) { b = new Array(); b[0] = a; a = b; }\nb = 0;\na = 0;", "" },
        { "function Link(next) { this.next = next; }\nl = 0;\nfor (i = 0; i < 100000; i++) l = new Link(l);\nl = 0;", "" },
        { "function Root() { }\nr = new Root();\nfor (i = 0; i < 100000; i++) r = new r();\nr = 0;", "" },
    });
}

// Ten rounds of a 64 MiB string, dropped each time, fit the default budget of 256 MiB; doubling a
// string until the budget refuses it holds 128 MiB, and 256 MiB more do not fit.
TEST(ScriptErrors, StringsPastTheMemoryBudget)
{
    runRows({
        { "for (round = 0; round < 10; round++) {\n    s = \"x\";\n    for (i = 0; i < 26; i++)\n        s = s + s;\n}\n"
          "Echo(round);",
            "10 " },
        { "s = \"x\";\nfor (i = 0; i < 31; i++)\n    s = s + s;", "(3) out of memory" },
        { "Echo(i, s.length);\ns = \"\";\nt = \"y\";\nfor (i = 0; i < 27; i++)\n    t = t + t;\nEcho(t.length);",
            "27 134217728 134217728 " },
    });
}

}
}
