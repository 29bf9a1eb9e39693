// The grammar of the script language as a static table: for each nonterminal an ordered list of
// rules, each an action and up to nine symbols ended by 0, the list ended by a row without an
// action. A symbol below 600 or from 700 to 999 is a token kind, 600 ... 699 a token class, 1000
// and above a nonterminal. Actions build the rule's node from the matched symbols' nodes and free
// the token nodes they do not keep.
#pragma once

#include <script/language/CodeNode.h>

#include <cstdint>

namespace nimbolt {

namespace Nonterminal {
enum : int32_t {
    PostfixExpr = 1001,
    Expression = 1002,
    OptExpression = 1003,
    UnaryExpr = 1004,
    ConditionalExpr = 1005,
    AssignExpr = 1006,
    ArgList = 1007,
    OptArgList = 1008,
    LogicalOrExpr = 1010,
    LogicalAndExpr = 1011,
    BitOrExpr = 1012,
    BitXorExpr = 1013,
    BitAndExpr = 1014,
    EqualityExpr = 1015,
    RelationalExpr = 1016,
    ShiftExpr = 1017,
    AdditiveExpr = 1018,
    MultiplicativeExpr = 1019,
    Statement = 1020,
    StatementList = 1021,
    OptStatementList = 1022,
    ForInit = 1023,
    DeclList = 1024,
    Declarator = 1025,
    ParamList = 1026,
    OptParamList = 1027,
};
}

namespace TokenClass {
enum : int32_t {
    AssignOpClass = 601,
    PrefixOpClass = 602,
    PrimaryClass = 604,
    OrOpClass = 610,
    AndOpClass = 611,
    BitOrOpClass = 612,
    BitXorOpClass = 613,
    BitAndOpClass = 614,
    EqualityOpClass = 615,
    RelationalOpClass = 616,
    ShiftOpClass = 617,
    AdditiveOpClass = 618,
    MultiplicativeOpClass = 619,
};
}

// Builds the result node from the nodes of the matched symbols, in rule order; takes over all of
// them. May return null (empty rules, "for" without an initializer).
using GrammarAction = CodeNode* (*)(CodeNode* const* nodes);

struct GrammarRule {
    static constexpr int MaxSymbols = 9;

    GrammarAction action;
    int32_t symbols[MaxSymbols];
};

namespace Grammar {

inline bool isNonterminal(int32_t symbol) { return symbol >= 1000; }
inline bool isTokenClass(int32_t symbol) { return symbol >= 600 && symbol < 700; }

// The rules of a nonterminal, ended by a row whose action is null; null for any other code.
const GrammarRule* rulesOf(int32_t nonterminal);

// Whether a token class holds the kind; false for codes that are no token class.
bool classContains(int32_t tokenClass, int32_t kind);

// Whether parsing the nonterminal at an element of the kind can do anything at all. False means
// that every rule fails at its first symbol, that no nested parse starts, and so that the list
// and the cursor stay as they are: the parser may skip the attempt.
bool mayStartWith(int32_t nonterminal, int32_t kind);

// Whether the symbol matches an element of the given kind without parsing: a token kind or a
// nonterminal equal to it, or a token class that holds it.
inline bool matchesDirectly(int32_t symbol, int32_t kind)
{
    return isTokenClass(symbol) ? classContains(symbol, kind) : symbol == kind;
}

}

}
