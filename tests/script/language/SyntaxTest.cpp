// The lexer and the parser below the script level, with tree dumps written by hand.
#include <support/ScriptSource.h>

#include <script/language/TokenKind.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimbolt {
namespace {

// Every token of the text with its line, up to and including the end of input: "id NAME@1",
// "invalid@1", "end@2"; any other kind as its number.
std::vector<std::string> lex(std::string_view text)
{
    ScriptSource source(text);
    std::vector<std::string> tokens;
    for (;;) {
        CodeNode token;
        int32_t kind = source.lexer().nextToken(token);
        std::string described = std::to_string(kind);
        if (kind == TokenKind::Identifier) {
            char name[1100];
            described = source.atoms().nameOf(token.atom(), name, sizeof name).ok() ? std::string("id ") + name : "id ?";
        } else if (kind == TokenKind::InvalidToken) {
            described = "invalid";
        } else if (kind == TokenKind::EndOfInput) {
            described = "end";
        } else if (kind == TokenKind::StringLiteral) {
            stringOf(token.token)->release();
        }
        tokens.push_back(described + "@" + std::to_string(token.line));
        if (kind == TokenKind::EndOfInput || tokens.size() > 100)
            return tokens;
    }
}

TEST(Lexer, LinesPiecesAndEndsOfInput)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> tokens;
    } rows[] = {
        { "empty text", "", { "end@1" } },
        { "zero byte skips the rest of its line only", std::string("a\0b c\nd", 7), { "id a@1", "id d@2", "end@3" } },
        { "carriage returns and the other blanks are white space", "a\r\n\t\v\f b\r\n", { "id a@1", "id b@2", "end@3" } },
        { "line over 1023 bytes is two lines", std::string(1023, 'a') + "bb\nc",
            { "id " + std::string(1023, 'a') + "@1", "id bb@2", "id c@3", "end@4" } },
        { "piece boundary splits a token", std::string(1022, ' ') + "xy z\n", { "id x@1", "id y@2", "id z@2", "end@3" } },
        { "backslash at the end of input", "\"abc\\", { "invalid@1", "end@2" } },
        { "hexadecimal escape cut by the end", "\"\\x4", { "invalid@1", "end@2" } },
        { "unterminated block comment eats the rest", "a /* b\nc d", { "id a@1", "end@3" } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(lex(row.text), row.tokens);
    }

    ScriptSource source("a");
    CodeNode token;
    EXPECT_EQ(source.lexer().nextToken(token), TokenKind::Identifier);
    for (int32_t line = 2; line < 5; ++line) {
        EXPECT_EQ(source.lexer().nextToken(token), TokenKind::EndOfInput) << "the end repeats";
        EXPECT_EQ(token.line, line);
    }
}

TEST(Parser, TreeShapes)
{
    const struct {
        const char* name;
        const char* text;
        const char* tree;
    } rows[] = {
        { "operators of one level associate to the left", "a % b / c * d; a >>> b >> c << d; a != b == c; a >= b <= c > d < e;",
            "(* (/ (% a b) c) d) (<< (>> (>>> a b) c) d) (== (!= a b) c) (< (> (<= (>= a b) c) d) e)" },
        { "postfix chains", "a.b(c, 'x', 2.5)[d]; f()(1);", "([] (call (. a b) c \"x\" 2.5) d) (call (call f) 1)" },
        { "construction and delete", "new A; new A(1, 2) + 1; delete a, b;", "(new A) (+ (new A 1 2) 1) (delete (, a b))" },
        { "member of this and a real literal", "this.x = 1.0;", "(= (. this x) 1.0)" },
        { "string with escapes", "s = \"a\\n\\\"\\\\\";", "(= s \"a\\x0A\\\"\\\\\")" },
        { "loops", "for (;;) {} for (var i = 0, j; i < 2; i++) x; while (i) i--; do x++; while (x < 3);",
            "(for _ _ _ {}) (for (var (i 0) j) (< i 2) (post++ i) x) (while i (post-- i)) (do (post++ x) (< x 3))" },
        { "blocks, empty statement, break and continue", "{ { a; } {} ; break; continue; }",
            "(block (block a) {} ; break continue)" },
        { "functions", "function f(a, b) { return a + b; } function g() {} function h(x) { return; }",
            "(function f (a b) (return (+ a b))) (function g ()) (function h (x) (return))" },
        { "switch, label and goto", "switch (x) { case 1: y; default: z; } L: goto L;",
            "(switch x (block (case 1 y) (default z))) (label L (goto L))" },
        { "a program may be one bare expression", "a = 1, b", "(, (= a 1) b)" },
        { "a failed parse gives no tree", "a = 'one'; f('two', 'three'\n'four'", "" },
    };
    const int32_t strings = ScriptString::liveCount();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = parseText(row.text);
        EXPECT_EQ(outcome.status, *row.tree ? 0 : -1) << outcome.message << " at line " << outcome.line;
        EXPECT_EQ(outcome.tree, row.tree);
        outcome.root.reset();
        EXPECT_EQ(ScriptString::liveCount(), strings) << "every string was released";
    }
}

}
}
