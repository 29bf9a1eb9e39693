// Input 100,000 deep parses or fails with "parse", in linear time and without native recursion.
#include <support/CountingObject.h>
#include <support/ScriptSource.h>

#include <script/language/TokenKind.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt {
namespace {

constexpr int32_t Depth = 100000;

using test::repeat;

// Follows the operand link from the root while the kind stays the same; returns the count.
int32_t chainDepth(const CodeNode* node, int32_t kind, CodeNode* CodeNode::*link)
{
    int32_t depth = 0;
    for (; node && node->kind() == kind; node = node->*link)
        ++depth;
    return depth;
}

// The evaluation tests run deep sums, assignments, items, blocks and parentheses.
TEST(DeepInput, DeeplyNestedInputParses)
{
    const struct {
        const char* name;
        std::string text;
        int32_t kind;
        CodeNode* CodeNode::*link;
        int32_t depth;
    } rows[] = {
        { "statements", repeat("a = 1;\n", Depth), '=', &CodeNode::next, Depth },
        { "logical nots", repeat("!", Depth) + "a;", '!', &CodeNode::second, Depth },
        { "nested ifs", repeat("if(x)\n", Depth) + ";", TokenKind::If, &CodeNode::second, Depth },
        { "right-nested conditionals", repeat("a?b:", Depth) + "c;", '?', &CodeNode::third, Depth },
        // The lexer pairs the signs into "--" tokens (lines of an even length keep the pairs whole).
        { "minus signs", repeat(repeat("-", 100) + "\n", Depth / 100) + "a", TokenKind::PreDecrement,
            &CodeNode::second, Depth / 2 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = parseText(row.text);
        EXPECT_EQ(outcome.status, 0) << outcome.message << " at line " << outcome.line;
        EXPECT_EQ(chainDepth(outcome.root.get(), row.kind, row.link), row.depth);
    }
    EXPECT_EQ(parseText(repeat("!", Depth) + "a;").tree, repeat("(! ", Depth) + "a" + repeat(")", Depth))
        << "a deep tree dumps without recursion";
}

TEST(DeepInput, UnbalancedDeepInputFailsWithParse)
{
    // Each text is one line cut into 1023-byte pieces, each piece counting as a line.
    const struct {
        const char* name;
        std::string text;
        int32_t line;
    } rows[] = {
        { "open parentheses", repeat("(", Depth), 1 },
        { "open parentheses around a name", repeat("(", Depth) + "a", 1 },
        { "open blocks", repeat("{", Depth), 1 },
        { "open items", "a" + repeat("[a", Depth), 1 },
        // a=a=...a parses as one assignment; the last "=", at byte 199999, is left over.
        { "dangling assignments", repeat("a=", Depth), 199999 / 1023 + 1 },
        { "nested ifs with a broken innermost statement", repeat("if(x)\n", Depth) + "a b;", 1 },
        { "nested parentheses around a broken expression", repeat("(", Depth) + "a b" + repeat(")", Depth), 1 },
        { "nested calls missing their last parenthesis", repeat("f(", Depth) + repeat(")", Depth - 1), 1 },
        { "nested conditionals without a colon", repeat("a?(", Depth) + "b", 1 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParseOutcome outcome = parseText(row.text);
        EXPECT_EQ(outcome.status, -1);
        EXPECT_EQ(outcome.code, -1010);
        EXPECT_EQ(outcome.line, row.line);
    }
}

}
}
