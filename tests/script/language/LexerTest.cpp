// The lexer, table by table: operators by longest match, number forms, string escapes and
// unterminated literals, comments, line counting with 1023-byte pieces, reserved words, atoms and
// bytes that start no token. Expected tokens are written by hand.
#include <support/ScriptSource.h>

#include <script/language/KeywordTable.h>
#include <script/language/TokenKind.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace nimbolt {
namespace {

// A token as text: "int 8", "real 1.5", "id name", "str bytes" (bytes outside printable ASCII as
// \xHH), "invalid", a single-character operator in quotes, any other kind as its number.
std::string describe(const CodeNode& token, AtomTable& atoms)
{
    char buffer[64];
    switch (token.kind()) {
    case TokenKind::IntegerLiteral:
        return "int " + std::to_string(token.token.payload.integer);
    case TokenKind::RealLiteral:
        std::snprintf(buffer, sizeof buffer, "real %g", token.token.payload.real);
        return buffer;
    case TokenKind::Identifier: {
        char name[1100];
        if (atoms.nameOf(token.atom(), name, sizeof name) < 0)
            return "id ?";
        return std::string("id ") + name;
    }
    case TokenKind::StringLiteral: {
        std::string text = "str ";
        for (char c : stringOf(token.token)->view()) {
            auto byte = static_cast<unsigned char>(c);
            if (byte >= 32 && byte < 127) {
                text += c;
            } else {
                std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
                text += buffer;
            }
        }
        return text;
    }
    case TokenKind::InvalidToken:
        return token.token.payload.bits == 0 ? "invalid" : "invalid with a value";
    case TokenKind::EndOfInput:
        return "end";
    default:
        if (token.kind() < 128)
            return std::string("'") + static_cast<char>(token.kind()) + "'";
        return std::to_string(token.kind());
    }
}

// Every token of the text up to the end of input; with lines, each is followed by @line and the
// end token is included.
std::vector<std::string> lex(std::string_view text, bool withLines = false)
{
    ScriptSource source(text);
    std::vector<std::string> tokens;
    for (;;) {
        CodeNode token;
        int32_t kind = source.lexer().nextToken(token);
        EXPECT_EQ(kind, token.kind());
        bool end = kind == TokenKind::EndOfInput;
        if (!end || withLines)
            tokens.push_back(describe(token, source.atoms()) + (withLines ? "@" + std::to_string(token.line) : ""));
        if (kind == TokenKind::StringLiteral)
            stringOf(token.token)->release();
        if (end || tokens.size() > 10000)
            return tokens;
    }
}

using Tokens = std::vector<std::string>;

struct LexRow {
    const char* name;
    std::string text;
    Tokens tokens;
};

void checkRows(const std::vector<LexRow>& rows, bool withLines = false)
{
    for (const LexRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(lex(row.text, withLines), row.tokens);
    }
}

TEST(Lexer, OperatorsTakeTheLongestMatch)
{
    checkRows({
        { ">>>= between names", "a>>>=b", { "id a", "300", "id b" } },
        { ">>= between names", "a>>=b", { "id a", "302", "id b" } },
        { "< between names", "a<b", { "id a", "'<'", "id b" } },
        { ">>>> is >>> then >", ">>>>", { "303", "'>'" } },
        { "<<< is << then <", "<<<", { "305", "'<'" } },
        { "+++ is ++ then +", "a+++b", { "id a", "313", "'+'", "id b" } },
        { "=== is == then =", "===", { "306", "'='" } },
        { "!== is != then =", "!==", { "307", "'='" } },
        { "--> is -- then >", "-->", { "312", "'>'" } },
        { "&&& is && then &", "&&&", { "310", "'&'" } },
        { "spaces split operators", "> >= < <=", { "'>'", "309", "'<'", "308" } },
    });
}

TEST(Lexer, EveryMultiCharacterOperatorHasItsKind)
{
    const struct {
        const char* text;
        int32_t kind;
    } rows[] = {
        { ">>>=", 300 }, { "<<=", 301 }, { ">>=", 302 }, { ">>>", 303 }, { ">>", 304 }, { "<<", 305 },
        { "==", 306 }, { "!=", 307 }, { "<=", 308 }, { ">=", 309 }, { "&&", 310 }, { "||", 311 },
        { "--", 312 }, { "++", 313 }, { "+=", 314 }, { "-=", 315 }, { "%=", 316 }, { "*=", 317 },
        { "/=", 318 }, { "&=", 319 }, { "|=", 320 }, { "^=", 321 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(lex(std::string("x ") + row.text + " y"), (Tokens { "id x", std::to_string(row.kind), "id y" }));
    }
}

TEST(Lexer, EverySingleCharacterOperatorIsItsByte)
{
    for (char c : std::string("~!^&|()[]{}+-*/%<=>?:;,.")) {
        SCOPED_TRACE(std::string(1, c));
        EXPECT_EQ(lex(std::string("x") + c + "y"), (Tokens { "id x", std::string("'") + c + "'", "id y" }));
    }
}

TEST(Lexer, Numbers)
{
    checkRows({
        { "decimal", "42", { "int 42" } },
        { "leading zero reads octal", "010", { "int 8" } },
        { "hexadecimal", "0x1F", { "int 31" } },
        { "hexadecimal with capital X and lower digits", "0X1f", { "int 31" } },
        { "eight F digits saturate", "0xFFFFFFFF", { "int 2147483647" } },
        { "largest integer", "2147483647", { "int 2147483647" } },
        { "one above the largest saturates", "2147483648", { "int 2147483647" } },
        { "far above the 64-bit range saturates", "99999999999999999999999", { "int 2147483647" } },
        { "9 is no octal digit", "09", { "int 0", "int 9" } },
        { "0x without digits", "0xg", { "int 0", "id xg" } },
        { "real", "1.5", { "real 1.5" } },
        { "point without fraction is real", "1.", { "real 1" } },
        { "exponent after the point", "1.5e3", { "real 1500" } },
        { "exponent right after the point", "1.e2", { "real 100" } },
        { "no exponent without a point", "1e3", { "int 1", "id e3" } },
        { "point first is an operator", ".5", { "'.'", "int 5" } },
        { "octal digits before a point read as decimal", "010.5", { "real 10.5" } },
        { "a second point is an operator", "1.5.3", { "real 1.5", "'.'", "int 3" } },
        { "minus is a separate token", "-7", { "'-'", "int 7" } },
        { "letters end a number", "12abc", { "int 12", "id abc" } },
        { "a real is decimal even after 0x", "0x1.8", { "real 0", "id x1", "'.'", "int 8" } },
        { "no binary exponent", "1.5p3", { "real 1.5", "id p3" } },
        { "a real too large is infinite", "1.5e999", { "real inf" } },
        { "a real too small is zero", "1.5e-999", { "real 0" } },
    });
}

TEST(Lexer, StringEscapes)
{
    checkRows({
        { "plain", "\"abc\"", { "str abc" } },
        { "empty", "\"\"", { "str " } },
        { "single quotes hold double quotes", "'a\"b'", { "str a\"b" } },
        { "double quotes hold single quotes", "\"a'b\"", { "str a'b" } },
        { "letter escapes", "\"\\a\\b\\f\\n\\r\\t\\v\"", { "str \\x07\\x08\\x0C\\x0A\\x0D\\x09\\x0B" } },
        { "hexadecimal escape", "\"\\x41\"", { "str A" } },
        { "uppercase hexadecimal digit", "\"\\x4F\"", { "str O" } },
        { "lowercase hexadecimal digits", "\"\\x6a\"", { "str j" } },
        { "octal escape", "\"\\101\"", { "str A" } },
        { "largest octal escape", "\"\\377\"", { "str \\xFF" } },
        { "octal escape with 8 and 9 wraps modulo 256", "\"\\399\"", { "str \\x11" } },
        { "unknown escape keeps the byte", "\"\\q\"", { "str q" } },
        { "escaped backslash", "\"\\\\\"", { "str \\" } },
        { "digit 4 is no octal lead", "\"\\400\"", { "str 400" } },
        { "lone digit gives a zero byte", "\"\\1\"", { "str \\x00" } },
        { "digit with one digit after", "\"\\12x\"", { "str \\x002x" } },
        { "escaped closing quote", "\"a\\\"b\"", { "str a\"b" } },
        { "escaped single quote in single quotes", "'\\''", { "str '" } },
        { "non-hexadecimal bytes count as zero", "\"\\xZZ\"", { "str \\x00" } },
        { "one non-hexadecimal byte counts as zero", "\"\\x4Z\"", { "str @" } },
        { "hexadecimal escape always takes two bytes", "\"\\x4\"x\"", { "str @x" } },
        { "multi-byte text passes through", "\"\x82\xA0\"", { "str \\x82\\xA0" } },
        { "comment opener inside a string", "\"/*\" x", { "str /*", "id x" } },
        { "string then operator", "\"a\"+b", { "str a", "'+'", "id b" } },
    });
}

TEST(Lexer, UnterminatedStringsAreInvalid)
{
    checkRows(
        {
            { "no closing quote", "\"abc\nx", { "invalid@1", "id x@2", "end@3" } },
            { "other quote does not close", "\"abc'", { "invalid@1", "end@2" } },
            { "backslash before the line feed", "\"abc\\\nx", { "invalid@1", "id x@2", "end@3" } },
            { "backslash at the end of input", "\"abc\\", { "invalid@1", "end@2" } },
            { "hexadecimal escape cut by the end", "\"\\x4", { "invalid@1", "end@2" } },
            { "hexadecimal escape cut right after x", "\"\\x\ny", { "invalid@1", "id y@2", "end@3" } },
            { "scanning goes on with the next line", "a \"b c\nd", { "id a@1", "invalid@1", "id d@2", "end@3" } },
        },
        true);
}

TEST(Lexer, Comments)
{
    checkRows(
        {
            { "block comment then identifier", "/* c */x", { "id x@1", "end@2" } },
            { "empty block comment between names", "a/**/b", { "id a@1", "id b@1", "end@2" } },
            { "line comment mid-line", "a // b c\nd", { "id a@1", "id d@2", "end@3" } },
            { "line comment right after an operator", "a+//b\nc", { "id a@1", "'+'@1", "id c@2", "end@3" } },
            { "block comment over lines", "a /* x\ny\nz */ b", { "id a@1", "id b@3", "end@4" } },
            { "unterminated block comment eats the rest", "a /* b\nc d", { "id a@1", "end@3" } },
            { "/*/ does not close", "a/*/b\nc*/d", { "id a@1", "id d@2", "end@3" } },
            { "slash alone is an operator", "a / b", { "id a@1", "'/'@1", "id b@1", "end@2" } },
            { "comment-only text", "// one\n/* two */\n", { "end@3" } },
        },
        true);
}

TEST(Lexer, LineNumbers)
{
    const std::string longLine = std::string(1023, 'a') + "bb\nc";
    const std::string longWithSpace = std::string(1022, ' ') + "xy z\n";
    checkRows(
        {
            { "empty text", "", { "end@1" } },
            { "last line without line feed", "a\nb\nc", { "id a@1", "id b@2", "id c@3", "end@4" } },
            { "last line with line feed", "a\nb\n", { "id a@1", "id b@2", "end@3" } },
            { "blank lines count", "\n\n\na", { "id a@4", "end@5" } },
            { "carriage returns are white space", "a\r\nb\r\n", { "id a@1", "id b@2", "end@3" } },
            { "all white space bytes", "\t\v\f\r a", { "id a@1", "end@2" } },
            { "zero byte skips the rest of its line only", std::string("a\0b c\nd", 7),
                { "id a@1", "id d@2", "end@3" } },
            { "line over 1023 bytes is two lines", longLine,
                { "id " + std::string(1023, 'a') + "@1", "id bb@2", "id c@3", "end@4" } },
            { "piece boundary splits a token", longWithSpace, { "id x@1", "id y@2", "id z@2", "end@3" } },
        },
        true);
}

TEST(Lexer, EndOfInputRepeatsWithGrowingLine)
{
    ScriptSource source("a");
    CodeNode token;
    EXPECT_EQ(source.lexer().nextToken(token), TokenKind::Identifier);
    for (int32_t line = 2; line < 5; ++line) {
        EXPECT_EQ(source.lexer().nextToken(token), TokenKind::EndOfInput);
        EXPECT_EQ(token.line, line);
    }
}

TEST(Lexer, ReservedWordsAreNeverIdentifiers)
{
    const char* words[] = {
        "NaN", "null", "undefined", "break", "continue", "for", "in", "if", "else", "return", "while",
        "do", "function", "new", "delete", "this", "var", "with", "goto", "switch", "case", "default",
    };
    int32_t kind = 500;
    for (const char* word : words) {
        SCOPED_TRACE(word);
        EXPECT_EQ(lex(word), Tokens { std::to_string(kind) });
        ++kind;
    }
    checkRows({
        { "null is reserved", "null", { "501" } },
        { "capitalised Null is a name", "Null", { "id Null" } },
        { "NAN is a name", "NAN", { "id NAN" } },
        { "prefix of a word", "nul", { "id nul" } },
        { "word with a suffix", "nulls if2 _if", { "id nulls", "id if2", "id _if" } },
        { "underscores and digits", "_a1_B2", { "id _a1_B2" } },
    });
}

TEST(Lexer, KeywordBucketsAreSignedByteSums)
{
    // "if" = 105 + 102; "continue" sums to 869, which is 98 after 3 * 257.
    EXPECT_EQ(KeywordTable::bucketOf("if", 2), 207);
    EXPECT_EQ(KeywordTable::bucketOf("continue", 8), 98);
    EXPECT_EQ(KeywordTable::instance().lookup("continue", 8), TokenKind::Continue);
    EXPECT_EQ(KeywordTable::instance().lookup("continu", 7), 0);
    EXPECT_EQ(KeywordTable::instance().lookup("iff", 2), TokenKind::If);
}

TEST(Lexer, IdentifiersGetTheSameAtomEachTime)
{
    ScriptSource source("foo bar foo");
    CodeNode tokens[3];
    for (CodeNode& token : tokens)
        ASSERT_EQ(source.lexer().nextToken(token), TokenKind::Identifier);
    EXPECT_EQ(tokens[0].atom(), tokens[2].atom());
    EXPECT_NE(tokens[0].atom(), tokens[1].atom());
    // The three fixed atoms come first, so foo is the fourth atom: bucket of 324 % 11 = 5.
    EXPECT_EQ(tokens[0].atom(), 5 + 16 * 4);
    EXPECT_EQ(source.atoms().intern("bar"), tokens[1].atom());
}

TEST(Lexer, BytesThatStartNoTokenAreInvalid)
{
    checkRows({
        { "byte 128", "\x80", { "invalid" } },
        { "byte 255 between names", "a\xFF" "b", { "id a", "invalid", "id b" } },
        { "a double-byte character is two invalid bytes", "\x82\xA0", { "invalid", "invalid" } },
        { "ASCII punctuation outside the operator set", "@#$`\\", { "invalid", "invalid", "invalid", "invalid", "invalid" } },
        { "control byte", "\x01x", { "invalid", "id x" } },
    });
}

TEST(Lexer, StringLiteralOwnsANewString)
{
    int32_t before = ScriptString::liveCount();
    {
        ScriptSource source("'abc'");
        CodeNode token;
        ASSERT_EQ(source.lexer().nextToken(token), TokenKind::StringLiteral);
        ScriptString* string = stringOf(token.token);
        EXPECT_EQ(string->refCount(), 1);
        EXPECT_EQ(ScriptString::liveCount(), before + 1);
        string->release();
    }
    EXPECT_EQ(ScriptString::liveCount(), before);
}

}
}
