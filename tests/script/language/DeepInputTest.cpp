// Inputs that drive the parser deep: 100,000 statements and expressions nested 100,000 levels
// must parse, or fail with "parse", without exhausting the native stack or taking exponential
// time; the trees they give must free and dump without recursion.
#include <support/CountingObject.h>
#include <support/ScriptSource.h>

#include <script/language/CodeTreeDump.h>
#include <script/language/ErrorObject.h>
#include <script/language/Parser.h>
#include <script/language/TokenKind.h>

#include <gtest/gtest.h>

#include <string>

namespace nimbolt {
namespace {

constexpr int32_t Depth = 100000;

using test::repeat;

// Parses the text and hands the tree to check, then frees it; on failure reports code and line.
template<typename Check>
void parseAndCheck(const std::string& text, Check check)
{
    ScriptSource source(text);
    OwnedCodeTree tree;
    RefPtr<ErrorObject> error;
    Status status = parseProgram(source.lexer(), tree, error);
    if (error) {
        ADD_FAILURE() << "code " << error->code() << " at line " << error->line();
    }
    if (status.ok())
        check(tree.get(), source.atoms());
}

// Follows the operand link from the root while the kind stays the same; returns the count.
int32_t chainDepth(const CodeNode* node, int32_t kind, CodeNode* CodeNode::*link)
{
    int32_t depth = 0;
    for (; node && node->kind() == kind; node = node->*link)
        ++depth;
    return depth;
}

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
        { "negations", repeat("- ", Depth) + "a;", TokenKind::Negate, &CodeNode::second, Depth },
        { "logical nots", repeat("!", Depth) + "a;", '!', &CodeNode::second, Depth },
        { "chained assignments", repeat("a=", Depth) + "a;", '=', &CodeNode::second, Depth },
        { "nested items", "a" + repeat("[a", Depth) + repeat("]", Depth) + ";", '[', &CodeNode::second, Depth },
        { "nested ifs", repeat("if(x)\n", Depth) + ";", TokenKind::If, &CodeNode::second, Depth },
        // The innermost block is an empty one.
        { "nested blocks", repeat("{", Depth) + repeat("}", Depth), '{', &CodeNode::first, Depth - 1 },
        { "right-nested conditionals", repeat("a?b:", Depth) + "c;", '?', &CodeNode::third, Depth },
        { "left-nested sums", "a" + repeat("+a", Depth) + ";", '+', &CodeNode::first, Depth },
        // The lexer pairs the signs into "--" tokens (lines of an even length keep the pairs whole).
        { "minus signs", repeat(repeat("-", 100) + "\n", Depth / 100) + "a", TokenKind::PreDecrement,
            &CodeNode::second, Depth / 2 },
        { "parentheses leave no node", repeat("(", Depth) + "a" + repeat(")", Depth), TokenKind::Identifier,
            &CodeNode::second, 1 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        parseAndCheck(row.text, [&](CodeNode* tree, AtomTable& atoms) {
            EXPECT_EQ(chainDepth(tree, row.kind, row.link), row.depth);
            if (row.kind == '!') {
                EXPECT_EQ(dumpCodeTree(tree, atoms), repeat("(! ", Depth) + "a" + repeat(")", Depth))
                    << "a deep tree dumps without recursion";
            }
        });
    }
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
