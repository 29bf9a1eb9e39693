#include <script/language/Grammar.h>

#include <script/language/TokenKind.h>

#include <bitset>

namespace nimbolt {

namespace {

using namespace Nonterminal;
using namespace TokenClass;
using namespace TokenKind;

// Actions. $n of a rule is nodes[n - 1].

CodeNode* takeFirst(CodeNode* const* nodes) { return nodes[0]; }

CodeNode* empty(CodeNode* const*) { return nullptr; }

// op with first = $1, second = $3: infix operators, assignments, ".", ",".
CodeNode* infix(CodeNode* const* nodes)
{
    nodes[1]->first = nodes[0];
    nodes[1]->second = nodes[2];
    return nodes[1];
}

// "(" $2 ")" → $2.
CodeNode* parenthesized(CodeNode* const* nodes)
{
    freeTree(nodes[0]);
    freeTree(nodes[2]);
    return nodes[1];
}

// $1 "[" $3 "]" and $1 "(" $3 ")" → the opening node with first = $1, second = $3.
CodeNode* itemOrCall(CodeNode* const* nodes)
{
    nodes[1]->first = nodes[0];
    nodes[1]->second = nodes[2];
    freeTree(nodes[3]);
    return nodes[1];
}

// $1 "++" and $1 "--" → the operator node with first = $1.
CodeNode* postfix(CodeNode* const* nodes)
{
    nodes[1]->first = nodes[0];
    return nodes[1];
}

// "new" name "(" args ")".
CodeNode* newWithArguments(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[1];
    nodes[0]->second = nodes[3];
    freeTree(nodes[2]);
    freeTree(nodes[4]);
    return nodes[0];
}

// "new" name, "delete" operand, "var" declarators without the ";" → $1 with first = $2.
CodeNode* keywordWithOperand(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[1];
    return nodes[0];
}

CodeNode* prefix(CodeNode* const* nodes)
{
    CodeNode* op = nodes[0];
    switch (op->kind()) {
    case '+':
        op->setKind(UnaryPlus);
        break;
    case '-':
        op->setKind(Negate);
        break;
    case Increment:
        op->setKind(PreIncrement);
        break;
    case Decrement:
        op->setKind(PreDecrement);
        break;
    default:
        break;
    }
    op->first = nullptr;
    op->second = nodes[1];
    return op;
}

CodeNode* conditional(CodeNode* const* nodes)
{
    nodes[1]->first = nodes[0];
    nodes[1]->second = nodes[2];
    nodes[1]->third = nodes[4];
    freeTree(nodes[3]);
    return nodes[1];
}

// $1 "," $3 in argument, parameter and declarator lists → $1 with next = $3.
CodeNode* listItem(CodeNode* const* nodes)
{
    nodes[0]->next = nodes[2];
    freeTree(nodes[1]);
    return nodes[0];
}

// Statement StatementList → $1 with next = $2.
CodeNode* statementListItem(CodeNode* const* nodes)
{
    nodes[0]->next = nodes[1];
    return nodes[0];
}

// name ":" statement → the ":" node.
CodeNode* label(CodeNode* const* nodes) { return infix(nodes); }

CodeNode* caseLabel(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[1];
    nodes[0]->second = nodes[3];
    freeTree(nodes[2]);
    return nodes[0];
}

CodeNode* defaultLabel(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[2];
    freeTree(nodes[1]);
    return nodes[0];
}

CodeNode* ifElse(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[2];
    nodes[0]->second = nodes[4];
    nodes[0]->third = nodes[6];
    freeTree(nodes[1]);
    freeTree(nodes[3]);
    freeTree(nodes[5]);
    return nodes[0];
}

// "if", "switch" and "while": keyword "(" $3 ")" $5.
CodeNode* keywordConditionBody(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[2];
    nodes[0]->second = nodes[4];
    freeTree(nodes[1]);
    freeTree(nodes[3]);
    return nodes[0];
}

// "{" "}" → the "}" node.
CodeNode* emptyBlock(CodeNode* const* nodes)
{
    freeTree(nodes[0]);
    return nodes[1];
}

// "{" $2 "}", "return" $2 ";", "var" $2 ";", "goto" $2 ";" → $1 with first = $2.
CodeNode* keywordOperandEnd(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[1];
    freeTree(nodes[2]);
    return nodes[0];
}

CodeNode* doWhile(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[1];
    nodes[0]->second = nodes[4];
    freeTree(nodes[2]);
    freeTree(nodes[3]);
    freeTree(nodes[5]);
    freeTree(nodes[6]);
    return nodes[0];
}

CodeNode* forLoop(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[2];
    nodes[0]->second = nodes[3];
    nodes[0]->third = nodes[5];
    nodes[0]->fourth = nodes[7];
    freeTree(nodes[1]);
    freeTree(nodes[4]);
    freeTree(nodes[6]);
    return nodes[0];
}

// "break" ";", "continue" ";", expression ";" → $1.
CodeNode* terminated(CodeNode* const* nodes)
{
    freeTree(nodes[1]);
    return nodes[0];
}

// ";" as a for initializer → null.
CodeNode* noInitializer(CodeNode* const* nodes)
{
    freeTree(nodes[0]);
    return nullptr;
}

CodeNode* functionDeclaration(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[1];
    nodes[0]->second = nodes[3];
    nodes[0]->third = nodes[6];
    freeTree(nodes[2]);
    freeTree(nodes[4]);
    freeTree(nodes[5]);
    freeTree(nodes[7]);
    return nodes[0];
}

// name "=" value → the name with first = value.
CodeNode* declaratorWithValue(CodeNode* const* nodes)
{
    nodes[0]->first = nodes[2];
    freeTree(nodes[1]);
    return nodes[0];
}

constexpr GrammarRule End { nullptr, { 0 } };

// The rules of an infix level: the operand alone, or the level, an operator and the operand.
#define NIMBOLT_INFIX_LEVEL(name, level, opClass, operand)      \
    constexpr GrammarRule name[] = {                            \
        { takeFirst, { operand, 0 } },                          \
        { infix, { level, opClass, operand, 0 } },              \
        End,                                                    \
    }

constexpr GrammarRule postfixExprRules[] = {
    { takeFirst, { PrimaryClass, 0 } },
    { parenthesized, { '(', Expression, ')', 0 } },
    { itemOrCall, { PostfixExpr, '[', Expression, ']', 0 } },
    { itemOrCall, { PostfixExpr, '(', OptArgList, ')', 0 } },
    { infix, { PostfixExpr, '.', Identifier, 0 } },
    { postfix, { PostfixExpr, Increment, 0 } },
    { postfix, { PostfixExpr, Decrement, 0 } },
    End,
};

constexpr GrammarRule expressionRules[] = {
    { takeFirst, { AssignExpr, 0 } },
    { infix, { Expression, ',', AssignExpr, 0 } },
    End,
};

constexpr GrammarRule optExpressionRules[] = {
    { takeFirst, { Expression, 0 } },
    { empty, { 0 } },
    End,
};

constexpr GrammarRule unaryExprRules[] = {
    { newWithArguments, { New, Identifier, '(', OptArgList, ')', 0 } },
    { keywordWithOperand, { New, Identifier, 0 } },
    { keywordWithOperand, { Delete, Expression, 0 } },
    { prefix, { PrefixOpClass, UnaryExpr, 0 } },
    { takeFirst, { PostfixExpr, 0 } },
    End,
};

constexpr GrammarRule conditionalExprRules[] = {
    { conditional, { LogicalOrExpr, '?', Expression, ':', ConditionalExpr, 0 } },
    { takeFirst, { LogicalOrExpr, 0 } },
    End,
};

constexpr GrammarRule assignExprRules[] = {
    { infix, { UnaryExpr, AssignOpClass, AssignExpr, 0 } },
    { takeFirst, { ConditionalExpr, 0 } },
    End,
};

constexpr GrammarRule argListRules[] = {
    { listItem, { AssignExpr, ',', ArgList, 0 } },
    { takeFirst, { AssignExpr, 0 } },
    End,
};

constexpr GrammarRule optArgListRules[] = {
    { takeFirst, { ArgList, 0 } },
    { empty, { 0 } },
    End,
};

NIMBOLT_INFIX_LEVEL(logicalOrExprRules, LogicalOrExpr, OrOpClass, LogicalAndExpr);
NIMBOLT_INFIX_LEVEL(logicalAndExprRules, LogicalAndExpr, AndOpClass, BitOrExpr);
NIMBOLT_INFIX_LEVEL(bitOrExprRules, BitOrExpr, BitOrOpClass, BitXorExpr);
NIMBOLT_INFIX_LEVEL(bitXorExprRules, BitXorExpr, BitXorOpClass, BitAndExpr);
NIMBOLT_INFIX_LEVEL(bitAndExprRules, BitAndExpr, BitAndOpClass, EqualityExpr);
NIMBOLT_INFIX_LEVEL(equalityExprRules, EqualityExpr, EqualityOpClass, RelationalExpr);
NIMBOLT_INFIX_LEVEL(relationalExprRules, RelationalExpr, RelationalOpClass, ShiftExpr);
NIMBOLT_INFIX_LEVEL(shiftExprRules, ShiftExpr, ShiftOpClass, AdditiveExpr);
NIMBOLT_INFIX_LEVEL(additiveExprRules, AdditiveExpr, AdditiveOpClass, MultiplicativeExpr);
NIMBOLT_INFIX_LEVEL(multiplicativeExprRules, MultiplicativeExpr, MultiplicativeOpClass, UnaryExpr);

#undef NIMBOLT_INFIX_LEVEL

constexpr GrammarRule statementRules[] = {
    { label, { Identifier, ':', Statement, 0 } },
    { caseLabel, { Case, ConditionalExpr, ':', Statement, 0 } },
    { defaultLabel, { Default, ':', Statement, 0 } },
    { ifElse, { If, '(', Expression, ')', Statement, Else, Statement, 0 } },
    { keywordConditionBody, { If, '(', Expression, ')', Statement, 0 } },
    { keywordConditionBody, { Switch, '(', Expression, ')', Statement, 0 } },
    { emptyBlock, { '{', '}', 0 } },
    { keywordOperandEnd, { '{', StatementList, '}', 0 } },
    { keywordConditionBody, { While, '(', Expression, ')', Statement, 0 } },
    { doWhile, { Do, Statement, While, '(', Expression, ')', ';', 0 } },
    { forLoop, { For, '(', ForInit, OptExpression, ';', OptExpression, ')', Statement, 0 } },
    { terminated, { Break, ';', 0 } },
    { terminated, { Continue, ';', 0 } },
    { keywordOperandEnd, { Return, OptExpression, ';', 0 } },
    { keywordOperandEnd, { Goto, Identifier, ';', 0 } },
    { takeFirst, { ';', 0 } },
    { terminated, { Expression, ';', 0 } },
    { keywordOperandEnd, { Var, DeclList, ';', 0 } },
    { functionDeclaration, { Function, Identifier, '(', OptParamList, ')', '{', OptStatementList, '}', 0 } },
    End,
};

constexpr GrammarRule statementListRules[] = {
    { statementListItem, { Statement, StatementList, 0 } },
    { takeFirst, { Statement, 0 } },
    End,
};

constexpr GrammarRule optStatementListRules[] = {
    { takeFirst, { StatementList, 0 } },
    { empty, { 0 } },
    End,
};

constexpr GrammarRule forInitRules[] = {
    { noInitializer, { ';', 0 } },
    { keywordOperandEnd, { Var, DeclList, ';', 0 } },
    { terminated, { Expression, ';', 0 } },
    End,
};

constexpr GrammarRule declListRules[] = {
    { listItem, { Declarator, ',', DeclList, 0 } },
    { takeFirst, { Declarator, 0 } },
    End,
};

constexpr GrammarRule declaratorRules[] = {
    { declaratorWithValue, { Identifier, '=', AssignExpr, 0 } },
    { takeFirst, { Identifier, 0 } },
    End,
};

constexpr GrammarRule paramListRules[] = {
    { listItem, { Identifier, ',', ParamList, 0 } },
    { takeFirst, { Identifier, 0 } },
    End,
};

constexpr GrammarRule optParamListRules[] = {
    { takeFirst, { ParamList, 0 } },
    { empty, { 0 } },
    End,
};

// Indexed by nonterminal code - 1000; 1000 and 1009 name no nonterminal.
constexpr const GrammarRule* ruleTable[] = {
    nullptr,
    postfixExprRules,
    expressionRules,
    optExpressionRules,
    unaryExprRules,
    conditionalExprRules,
    assignExprRules,
    argListRules,
    optArgListRules,
    nullptr,
    logicalOrExprRules,
    logicalAndExprRules,
    bitOrExprRules,
    bitXorExprRules,
    bitAndExprRules,
    equalityExprRules,
    relationalExprRules,
    shiftExprRules,
    additiveExprRules,
    multiplicativeExprRules,
    statementRules,
    statementListRules,
    optStatementListRules,
    forInitRules,
    declListRules,
    declaratorRules,
    paramListRules,
    optParamListRules,
};

}

const GrammarRule* Grammar::rulesOf(int32_t nonterminal)
{
    int32_t index = nonterminal - 1000;
    if (index < 0 || index >= static_cast<int32_t>(sizeof ruleTable / sizeof ruleTable[0]))
        return nullptr;
    return ruleTable[index];
}

bool Grammar::classContains(int32_t tokenClass, int32_t kind)
{
    switch (tokenClass) {
    case AssignOpClass:
        return kind == '=' || kind == UnsignedShiftRightAssign || kind == ShiftLeftAssign
            || kind == ShiftRightAssign || (kind >= AddAssign && kind <= XorAssign);
    case PrefixOpClass:
        return kind == '!' || kind == '+' || kind == '-' || kind == '~' || kind == Increment || kind == Decrement;
    case PrimaryClass:
        return kind == IntegerLiteral || kind == RealLiteral || kind == Identifier || kind == StringLiteral
            || kind == This;
    case OrOpClass:
        return kind == LogicalOr;
    case AndOpClass:
        return kind == LogicalAnd;
    case BitOrOpClass:
        return kind == '|';
    case BitXorOpClass:
        return kind == '^';
    case BitAndOpClass:
        return kind == '&';
    case EqualityOpClass:
        return kind == Equals || kind == NotEquals;
    case RelationalOpClass:
        return kind == '<' || kind == '>' || kind == LessOrEqual || kind == GreaterOrEqual;
    case ShiftOpClass:
        return kind == ShiftRight || kind == ShiftLeft || kind == UnsignedShiftRight;
    case AdditiveOpClass:
        return kind == '+' || kind == '-';
    case MultiplicativeOpClass:
        return kind == '%' || kind == '*' || kind == '/';
    default:
        return false;
    }
}

namespace {

// For each nonterminal, the element kinds at which one of its rules can match a first symbol,
// directly or through a nested nonterminal; and whether it must always be tried (it has an
// empty rule, or a rule that starts with such a nonterminal). Computed once as a fixpoint.
class StartSets {
public:
    static constexpr int32_t KindLimit = 1028;
    static constexpr int32_t NonterminalCount = 28;

    StartSets()
    {
        for (bool changed = true; changed;) {
            changed = false;
            for (int32_t code = 1000; code < 1000 + NonterminalCount; ++code) {
                const GrammarRule* rules = Grammar::rulesOf(code);
                for (const GrammarRule* rule = rules; rule && rule->action; ++rule)
                    changed |= addRule(code, *rule);
            }
        }
    }

    bool mayStartWith(int32_t nonterminal, int32_t kind) const
    {
        int32_t index = nonterminal - 1000;
        if (index < 0 || index >= NonterminalCount)
            return false;
        if (m_alwaysTried[index])
            return true;
        return kind >= 0 && kind < KindLimit && m_sets[index].test(static_cast<size_t>(kind));
    }

private:
    bool addRule(int32_t code, const GrammarRule& rule)
    {
        int32_t index = code - 1000;
        std::bitset<KindLimit> before = m_sets[index];
        bool alwaysBefore = m_alwaysTried[index];
        int32_t symbol = rule.symbols[0];
        if (symbol == 0) {
            m_alwaysTried[index] = true;
        } else if (Grammar::isTokenClass(symbol)) {
            m_sets[index] |= classKinds(symbol);
        } else if (symbol < KindLimit) {
            m_sets[index].set(static_cast<size_t>(symbol));
            if (Grammar::isNonterminal(symbol) && symbol != code) {
                m_sets[index] |= m_sets[symbol - 1000];
                if (m_alwaysTried[symbol - 1000])
                    m_alwaysTried[index] = true;
            }
        } else {
            // A symbol beyond the table's kinds: keep the parser from ever skipping this
            // nonterminal rather than guess.
            m_alwaysTried[index] = true;
        }
        return before != m_sets[index] || alwaysBefore != m_alwaysTried[index];
    }

    // The kinds a token class takes, gathered at its first use: the fixpoint meets each class on
    // every pass.
    const std::bitset<KindLimit>& classKinds(int32_t tokenClass)
    {
        size_t index = static_cast<size_t>(tokenClass - 600);
        if (!m_classKnown[index]) {
            for (int32_t kind = 0; kind < KindLimit; ++kind) {
                if (Grammar::classContains(tokenClass, kind))
                    m_classes[index].set(static_cast<size_t>(kind));
            }
            m_classKnown[index] = true;
        }
        return m_classes[index];
    }

    std::bitset<KindLimit> m_sets[NonterminalCount];
    bool m_alwaysTried[NonterminalCount] {};
    std::bitset<KindLimit> m_classes[100];
    bool m_classKnown[100] {};
};

}

bool Grammar::mayStartWith(int32_t nonterminal, int32_t kind)
{
    static const StartSets sets;
    return sets.mayStartWith(nonterminal, kind);
}

}
