// Code tree shapes stated as dumps written by hand (precedence, associativity, statements), and
// syntax errors with their exact code and line.
#include <support/ScriptSource.h>

#include <script/language/CodeTreeDump.h>
#include <script/language/ErrorObject.h>
#include <script/language/Parser.h>
#include <script/language/TokenKind.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimbolt {
namespace {

struct ShapeRow {
    const char* name;
    const char* text;
    const char* tree;
};

void checkShapes(const std::vector<ShapeRow>& rows)
{
    for (const ShapeRow& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = parseText(row.text);
        EXPECT_EQ(outcome.status, 0) << outcome.message << " at line " << outcome.line;
        EXPECT_EQ(outcome.tree, row.tree);
    }
}

TEST(Parser, AssociativityAndPrecedence)
{
    checkShapes({
        { "assignment is right-associative", "a = b = 3;", "(= a (= b 3))" },
        { "subtraction is left-associative", "a - b - c;", "(- (- a b) c)" },
        { "conditional nests to the right", "a ? b : c ? d : e;", "(? a b (? c d e))" },
        { "conditional in the middle", "a ? b ? c : d : e;", "(? a (? b c d) e)" },
        { "product binds tighter than sum", "a + b * c;", "(+ a (* b c))" },
        { "parentheses group", "(a + b) * c;", "(* (+ a b) c)" },
        { "every infix level", "a || b && c | d ^ e & f == g < h << i + j * k;",
            "(|| a (&& b (| c (^ d (& e (== f (< g (<< h (+ i (* j k))))))))))" },
        { "levels from tight to loose", "a * b + c << d < e == f & g ^ h | i && j || k;",
            "(|| (&& (| (^ (& (== (< (<< (+ (* a b) c) d) e) f) g) h) i) j) k)" },
        { "operators of one level", "a % b / c * d; a >>> b >> c << d; a != b == c; a >= b <= c > d < e;",
            "(* (/ (% a b) c) d) (<< (>> (>>> a b) c) d) (== (!= a b) c) (< (> (<= (>= a b) c) d) e)" },
        { "comma is loosest and left-associative", "a, b, c;", "(, (, a b) c)" },
        { "comma is looser than assignment", "x = y, z;", "(, (= x y) z)" },
        { "assignment of a conditional", "a = b ? c : d;", "(= a (? b c d))" },
        { "prefix binds tighter than infix", "a = -b * c;", "(= a (* (neg b) c))" },
        { "not binds tighter than equality", "!a == b;", "(== (! a) b)" },
        { "postfix binds tighter than prefix", "-a++;", "(neg (post++ a))" },
        { "decrements around a minus", "a-- - --b;", "(- (post-- a) (pre-- b))" },
        { "three minus signs", "a---b;", "(- (post-- a) b)" },
        { "construction is a unary operand", "new A + 1;", "(+ (new A) 1)" },
        { "delete takes a whole expression", "delete a, b;", "(delete (, a b))" },
    });
}

TEST(Parser, PrefixOperatorsGetTheirOwnKinds)
{
    checkShapes({
        { "all prefix operators", "+a; -a; ++a; --a; !a; ~a;",
            "(plus a) (neg a) (pre++ a) (pre-- a) (! a) (~ a)" },
        { "prefix operators nest", "- - +a;", "(neg (neg (plus a)))" },
        { "negative literal", "-5;", "(neg 5)" },
    });

    const struct {
        const char* text;
        int32_t kind;
    } rows[] = {
        { "+a;", 322 },
        { "-a;", 323 },
        { "++a;", 324 },
        { "--a;", 325 },
        { "!a;", '!' },
        { "~a;", '~' },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        ScriptSource source(row.text);
        CodeNode* tree = nullptr;
        ErrorObject* error = nullptr;
        ASSERT_TRUE(parseProgram(source.lexer(), tree, error).ok());
        EXPECT_EQ(tree->kind(), row.kind);
        EXPECT_EQ(tree->first, nullptr);
        ASSERT_NE(tree->second, nullptr);
        EXPECT_EQ(tree->second->kind(), TokenKind::Identifier);
        freeTree(tree);
    }
}

TEST(Parser, PostfixChains)
{
    checkShapes({
        { "member chain", "a.b.c;", "(. (. a b) c)" },
        { "item chain", "a[1][2];", "([] ([] a 1) 2)" },
        { "call chain", "f(1)(2);", "(call (call f 1) 2)" },
        { "mixed chain", "a.b(c)[d];", "([] (call (. a b) c) d)" },
        { "call without arguments", "f();", "(call f)" },
        { "arguments in order", "f(1, 'x', 2.5, g(h));", "(call f 1 \"x\" 2.5 (call g h))" },
        { "assignment as an argument", "f(a = 1, b);", "(call f (= a 1) b)" },
        { "postfix increment and decrement", "a++; b.c--;", "(post++ a) (post-- (. b c))" },
        { "member of this", "this.x = 1.0;", "(= (. this x) 1.0)" },
        { "item with an expression", "a[i + 1] = s;", "(= ([] a (+ i 1)) s)" },
        { "parenthesised callee", "(f)(1);", "(call f 1)" },
    });
}

TEST(Parser, AssignmentOperators)
{
    checkShapes({
        { "all compound assignments",
            "a += 1; a -= 1; a *= 1; a /= 1; a %= 1; a <<= 1; a >>= 1; a >>>= 1; a &= 1; a |= 1; a ^= 1;",
            "(+= a 1) (-= a 1) (*= a 1) (/= a 1) (%= a 1) (<<= a 1) (>>= a 1) (>>>= a 1) (&= a 1) (|= a 1) "
            "(^= a 1)" },
        { "compound assignments chain to the right", "a += b -= c;", "(+= a (-= b c))" },
        { "assignment to a member", "o.x = o.y = 0;", "(= (. o x) (= (. o y) 0))" },
    });
}

TEST(Parser, Statements)
{
    checkShapes({
        { "statements stay in order", "a; b; c;", "a b c" },
        { "dangling else binds to the inner if", "if (x) if (y) s1; else s2;", "(if x (if y s1 s2))" },
        { "if with else", "if (x) a; else b;", "(if x a b)" },
        { "empty for", "for (;;) {}", "(for _ _ _ {})" },
        { "for with two declarators", "for (var i = 0, j = 1; i < 2; i++) {}",
            "(for (var (i 0) (j 1)) (< i 2) (post++ i) {})" },
        { "for with an expression initializer", "for (i = 0; ; ) x;", "(for (= i 0) _ _ x)" },
        { "while", "while (i < 3) i++;", "(while (< i 3) (post++ i))" },
        { "do-while", "do x++; while (x < 3);", "(do (post++ x) (< x 3))" },
        { "block", "{ a; b; }", "(block a b)" },
        { "nested blocks", "{ { a; } {} }", "(block (block a) {})" },
        { "empty statement", ";", ";" },
        { "var with initializers", "var a, b = 2, c = 'x';", "(var a (b 2) (c \"x\"))" },
        { "function with parameters", "function f(a, b) { return a + b; }",
            "(function f (a b) (return (+ a b)))" },
        { "function without parameters or body", "function g() {}", "(function g ())" },
        { "function body statements", "function h(x) { x++; return; }", "(function h (x) (post++ x) (return))" },
        { "break and continue", "while (1) { break; continue; }", "(while 1 (block break continue))" },
        { "switch with case and default", "switch (x) { case 1: y; default: z; }",
            "(switch x (block (case 1 y) (default z)))" },
        { "label and goto", "L: while (1) goto L;", "(label L (while 1 (goto L)))" },
        { "construction without arguments", "new A;", "(new A)" },
        { "construction with arguments", "new A(1, 2);", "(new A 1 2)" },
        { "construction with empty arguments", "x = new A();", "(= x (new A))" },
        { "bare expression program", "f(1)", "(call f 1)" },
        { "bare expression with comma", "a = 1, b", "(, (= a 1) b)" },
        { "name that is a prefix of null", "x = nul;", "(= x nul)" },
        { "string with escapes", "s = \"a\\n\";", "(= s \"a\\x0A\")" },
    });
}

struct ErrorRow {
    const char* name;
    std::string text;
    int32_t code;
    int32_t line;
};

TEST(Parser, SyntaxErrorsGiveCodeAndLine)
{
    const ErrorRow rows[] = {
        { "empty program", "", -1010, 1 },
        { "white space only", "  \n\t\n", -1010, 3 },
        { "comment-only program", "// nothing\n/* here */\n", -1010, 3 },
        { "null is no value", "x = null;", -1010, 1 },
        { "NaN is no value", "NaN;", -1010, 1 },
        { "undefined is no value", "\nx = undefined;", -1010, 2 },
        { "new takes a plain name only", "new a.b();", -1010, 1 },
        { "second statement without semicolon, at its root node", "a = 1;\nb\n=\n2\nc = 3;", -1010, 3 },
        { "expression after a statement", "a;\nf(1)", -1010, 2 },
        { "two names", "a\nb", -1010, 2 },
        { "stray parenthesis on line 7", "a;\nb;\nc;\nd;\ne;\nf;\n)\n", -1010, 7 },
        { "unterminated string where parsing stops", "a;\nb;\n\"abc;\n", -1009, 3 },
        { "unterminated string inside an expression", "a = 1;\nb = 2;\nc = \"abc;\n", -1010, 3 },
        { "invalid byte at the start", "@", -1009, 1 },
        { "invalid byte after statements", "x = 1;\n\n  @ y;", -1009, 3 },
        { "unclosed block", "{\na;\n", -1010, 1 },
        { "unclosed call", "f\n(", -1010, 2 },
        { "else without if", "if (x) a; b; else c;", -1010, 1 },
        { "var without a name", "var;", -1010, 1 },
        { "function without a name", "\n\nfunction (a) {}", -1010, 3 },
        { "in is reserved", "a in b;", -1010, 1 },
    };
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = parseText(row.text);
        EXPECT_EQ(outcome.status, -1);
        EXPECT_EQ(outcome.tree, "");
        EXPECT_EQ(outcome.code, row.code);
        EXPECT_EQ(outcome.line, row.line);
        EXPECT_EQ(outcome.message, row.code == -1009 ? "invalid token" : "parse");
    }
}

TEST(Parser, FailedParseReleasesEveryString)
{
    int32_t before = ScriptString::liveCount();
    ParseOutcome failed = parseText("a = 'one'; f('two', 'three'\n'four'");
    EXPECT_EQ(failed.status, -1);
    EXPECT_EQ(ScriptString::liveCount(), before);
    ParseOutcome parsed = parseText("a = 'one'; f('two', 'three');");
    EXPECT_EQ(parsed.status, 0);
    EXPECT_EQ(ScriptString::liveCount(), before);
}

TEST(Parser, TreeNodesKeepTheirTokenLines)
{
    ScriptSource source("x =\n  y +\n z;\nf(\n1);");
    CodeNode* tree = nullptr;
    ErrorObject* error = nullptr;
    ASSERT_TRUE(parseProgram(source.lexer(), tree, error).ok());
    ASSERT_EQ(error, nullptr);
    EXPECT_EQ(tree->line, 1); // =
    EXPECT_EQ(tree->second->line, 2); // +
    EXPECT_EQ(tree->second->second->line, 3); // z
    ASSERT_NE(tree->next, nullptr);
    EXPECT_EQ(tree->next->line, 4); // (
    EXPECT_EQ(tree->next->second->line, 5); // 1
    EXPECT_EQ(tree->next->next, nullptr);
    freeTree(tree);
}

}
}
