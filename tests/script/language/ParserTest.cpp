// Code tree shapes stated as dumps written by hand, one row per kind of node the parser makes, and
// a failed parse that frees what it made. What the shapes mean when they run (precedence,
// associativity) and the syntax errors with their lines are checked by the script tests.
#include <support/ScriptSource.h>

#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

namespace nimbolt {
namespace {

TEST(Parser, TreeShapes)
{
    const struct {
        const char* name;
        const char* text;
        const char* tree;
    } rows[] = {
        { "every infix level, loosest first", "a || b && c | d ^ e & f == g < h << i + j * k;",
            "(|| a (&& b (| c (^ d (& e (== f (< g (<< h (+ i (* j k))))))))))" },
        { "operators of one level associate to the left", "a % b / c * d; a >>> b >> c << d; a != b == c; a >= b <= c > d < e;",
            "(* (/ (% a b) c) d) (<< (>> (>>> a b) c) d) (== (!= a b) c) (< (> (<= (>= a b) c) d) e)" },
        { "assignments associate to the right, comma is loosest", "a = b += c, d -= e;",
            "(, (= a (+= b c)) (-= d e))" },
        { "all compound assignments", "a *= 1; a /= 1; a %= 1; a <<= 1; a >>= 1; a >>>= 1; a &= 1; a |= 1; a ^= 1;",
            "(*= a 1) (/= a 1) (%= a 1) (<<= a 1) (>>= a 1) (>>>= a 1) (&= a 1) (|= a 1) (^= a 1)" },
        { "conditionals nest to the right and in the middle", "a ? b ? c : d : e ? f : g;", "(? a (? b c d) (? e f g))" },
        { "prefix operators", "+a; -b; ++c; --d; !e; ~f; - - +g;",
            "(plus a) (neg b) (pre++ c) (pre-- d) (! e) (~ f) (neg (neg (plus g)))" },
        { "postfix binds tighter than prefix", "-a++; a---b; c--;", "(neg (post++ a)) (- (post-- a) b) (post-- c)" },
        { "postfix chains", "a.b(c, 'x', 2.5)[d]; f()(1);", "([] (call (. a b) c \"x\" 2.5) d) (call (call f) 1)" },
        { "construction and delete", "new A; new A(1, 2) + 1; delete a, b;", "(new A) (+ (new A 1 2) 1) (delete (, a b))" },
        { "member of this and a real literal", "this.x = 1.0;", "(= (. this x) 1.0)" },
        { "string with escapes", "s = \"a\\n\\\"\\\\\";", "(= s \"a\\x0A\\\"\\\\\")" },
        { "dangling else binds to the inner if", "if (x) if (y) s1; else s2;", "(if x (if y s1 s2))" },
        { "loops", "for (;;) {} for (var i = 0, j; i < 2; i++) x; while (i) i--; do x++; while (x < 3);",
            "(for _ _ _ {}) (for (var (i 0) j) (< i 2) (post++ i) x) (while i (post-- i)) (do (post++ x) (< x 3))" },
        { "blocks, empty statement, break and continue", "{ { a; } {} ; break; continue; }",
            "(block (block a) {} ; break continue)" },
        { "functions", "function f(a, b) { return a + b; } function g() {} function h(x) { return; }",
            "(function f (a b) (return (+ a b))) (function g ()) (function h (x) (return))" },
        { "switch, label and goto", "switch (x) { case 1: y; default: z; } L: goto L;",
            "(switch x (block (case 1 y) (default z))) (label L (goto L))" },
        { "a program may be one bare expression", "a = 1, b", "(, (= a 1) b)" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = parseText(row.text);
        EXPECT_EQ(outcome.status, 0) << outcome.message << " at line " << outcome.line;
        EXPECT_EQ(outcome.tree, row.tree);
    }
}

TEST(Parser, FailedParseReleasesEveryString)
{
    int32_t before = ScriptString::liveCount();
    ParseOutcome failed = parseText("a = 'one'; f('two', 'three'\n'four'");
    EXPECT_EQ(failed.status, -1);
    EXPECT_EQ(failed.code, -1010);
    EXPECT_EQ(failed.message, "parse");
    EXPECT_EQ(failed.tree, "");
    EXPECT_EQ(ScriptString::liveCount(), before);
}

}
}
