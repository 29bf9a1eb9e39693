// The table-driven parser. Its token list is a CursorList of elements, each a token or a reduced
// nonterminal with its node; the cursor is the parse position. One generic routine parses any
// nonterminal by trying the grammar's rules in order and reducing a match in place, so a
// partial result stays in the list and a failed rule only moves the cursor back. The routine
// keeps its rule frames on a heap stack, not on the native one, so no input can exhaust it.
// A nonterminal that failed at an element without reducing anything is not parsed there again
// until the next reduction: on the same list it can only fail the same way, and skipping it keeps
// nested failures (an "if" inside an "if" inside ...) from being retried exponentially often.
#pragma once

#include <script/language/CodeNode.h>
#include <script/language/ErrorObject.h>
#include <script/language/Grammar.h>
#include <script/language/Lexer.h>

#include <base/CursorList.h>
#include <base/Status.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace nimbolt {

class Parser {
public:
    explicit Parser(Lexer& lexer);
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // Parses the nonterminal at the cursor. On success the element at the cursor is that
    // nonterminal; otherwise the cursor is back where it was, and the partial results built on
    // the way stay in the list.
    void parseNonterminal(int32_t nonterminal);

    // Parses the whole program. Ok: tree holds the program (the first statement, the others on
    // next), owned by the caller. Failed: error holds a new ErrorObject (null only when memory
    // ran out) for the first element no rule consumed.
    Status parseProgram(OwnedCodeTree& tree, RefPtr<ErrorObject>& error);

    // The kind of the element at the cursor; reads the next token when the cursor is past the
    // last element.
    int32_t currentKind();

private:
    // A token or reduced nonterminal. failedMask holds the nonterminals whose parse at this
    // element failed without any reduction; it is valid only while no reduction has happened
    // since (failedEpoch equals the parser's reduction count).
    struct Element {
        ListNode link;
        int32_t kind;
        CodeNode* node;
        uint32_t failedMask;
        uint64_t failedEpoch;
    };

    // One nonterminal being parsed: the rule being tried, the number of its symbols matched so
    // far, whether the parse of the current symbol's nonterminal has been started, and the
    // reduction count when this parse began.
    struct Frame {
        int32_t nonterminal;
        const GrammarRule* rules;
        int32_t mark;
        int32_t rule;
        int32_t symbol;
        bool awaitingChild;
        uint64_t reductionsAtStart;
    };

    static constexpr int32_t ElementBlockSize = 256;

    static Element* elementOf(ListNode* node) { return reinterpret_cast<Element*>(node); }
    static int32_t recycleElement(CursorList* list, ListOperation operation, ListNode* node);

    static uint32_t nonterminalBit(int32_t nonterminal) { return 1u << (nonterminal - 1000); }
    bool knownToFail(int32_t nonterminal, Element& element) const;
    void rememberFailure(int32_t nonterminal, Element& element);

    Element* newElement(int32_t kind, CodeNode* node);
    Element* elementAtCursor();
    // Replaces the count elements from the cursor on by one element of the nonterminal that
    // carries the action's node.
    void reduce(GrammarAction action, int32_t count, int32_t nonterminal);

    Lexer& m_lexer;
    OwnedCursorList m_list;
    Element* m_freeElements { nullptr };
    std::vector<std::unique_ptr<Element[]>> m_elementBlocks;
    int32_t m_blockUsed { ElementBlockSize };
    std::vector<Frame> m_frames;
    uint64_t m_reductions { 0 };
};

// Parses the lexer's whole program: 0 with the tree, or -1 with a new ErrorObject ("invalid
// token" when parsing stopped at an InvalidToken, else "parse", at that element's line).
Status parseProgram(Lexer& lexer, OwnedCodeTree& tree, RefPtr<ErrorObject>& error);

}
