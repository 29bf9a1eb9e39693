#include <script/language/Parser.h>

#include <script/language/Grammar.h>
#include <script/language/TokenKind.h>

namespace nimbolt {

Parser::Parser(Lexer& lexer)
    : m_lexer(lexer)
    , m_list(CursorList::createList(recycleElement))
{
    if (m_list)
        m_list->setListUser(this);
}

Parser::~Parser()
{
    if (!m_list)
        return;
    // The tail header ends the walk: it is the only node without a next link.
    for (ListNode* node = m_list->firstNode(); node && node->next; node = node->next) {
        freeTree(elementOf(node)->node);
        elementOf(node)->node = nullptr;
    }
    // Before the element blocks go: emptying the list hands every element back to the parser.
    m_list.reset();
}

// Elements live in blocks owned by the parser; a removed element goes back on the free list.
int32_t Parser::recycleElement(CursorList* list, ListOperation operation, ListNode* node)
{
    if (operation != ListOperation::FreeNode)
        return -1;
    auto* parser = static_cast<Parser*>(list->getListUser());
    Element* element = elementOf(node);
    element->node = nullptr;
    element->link.next = reinterpret_cast<ListNode*>(parser->m_freeElements);
    parser->m_freeElements = element;
    return 1;
}

Parser::Element* Parser::newElement(int32_t kind, CodeNode* node)
{
    Element* element = m_freeElements;
    if (element) {
        m_freeElements = reinterpret_cast<Element*>(element->link.next);
    } else {
        if (m_blockUsed == ElementBlockSize) {
            m_elementBlocks.emplace_back(new Element[ElementBlockSize]);
            m_blockUsed = 0;
        }
        element = &m_elementBlocks.back()[m_blockUsed++];
    }
    element->link = { nullptr, nullptr };
    element->kind = kind;
    element->node = node;
    element->failedMask = 0;
    element->failedEpoch = 0;
    return element;
}

Parser::Element* Parser::elementAtCursor()
{
    currentKind();
    return elementOf(m_list->cursorNode());
}

int32_t Parser::currentKind()
{
    ListNode* node = m_list->cursorNode();
    if (!node) {
        auto* token = new CodeNode;
        m_lexer.nextToken(*token);
        node = &newElement(token->kind(), token)->link;
        // The cursor is at the end, so the appended element becomes the cursor node.
        m_list->append(node);
    }
    return elementOf(node)->kind;
}

void Parser::reduce(GrammarAction action, int32_t count, int32_t nonterminal)
{
    CodeNode* nodes[GrammarRule::MaxSymbols] {};
    for (int32_t i = 0; i < count; ++i) {
        Element* element = elementOf(m_list->cursorNode());
        nodes[i] = element->node;
        element->node = nullptr;
        m_list->removeAtCursor();
    }
    CodeNode* node = action(nodes);
    ++m_reductions;
    m_list->insertAtCursor(&newElement(nonterminal, node)->link);
}

bool Parser::knownToFail(int32_t nonterminal, Element& element) const
{
    return element.failedEpoch == m_reductions && (element.failedMask & nonterminalBit(nonterminal));
}

void Parser::rememberFailure(int32_t nonterminal, Element& element)
{
    if (element.failedEpoch != m_reductions) {
        element.failedEpoch = m_reductions;
        element.failedMask = 0;
    }
    element.failedMask |= nonterminalBit(nonterminal);
}

void Parser::parseNonterminal(int32_t start)
{
    size_t base = m_frames.size();
    m_frames.push_back({ start, Grammar::rulesOf(start), m_list->cursorIndex(), 0, 0, false, m_reductions });
    while (m_frames.size() > base) {
        Frame& frame = m_frames.back();
        const GrammarRule& rule = frame.rules[frame.rule];

        // Match the rule's symbols from frame.symbol on; the cursor is at mark + frame.symbol.
        bool matched = true;
        bool childPushed = false;
        for (;;) {
            int32_t symbol = rule.symbols[frame.symbol];
            if (symbol == 0)
                break;
            int32_t kind = currentKind();
            if (frame.awaitingChild) {
                frame.awaitingChild = false;
                if (kind != symbol) {
                    matched = false;
                    break;
                }
            } else if (Grammar::isNonterminal(symbol)) {
                if (kind != symbol) {
                    // A left-recursive rule only extends an element already built.
                    if (frame.symbol == 0 && symbol == frame.nonterminal) {
                        matched = false;
                        break;
                    }
                    // A nested parse that cannot match its first symbol here, or that already
                    // failed here on the very same list, would fail again and change nothing.
                    if (!Grammar::mayStartWith(symbol, kind) || knownToFail(symbol, *elementAtCursor())) {
                        matched = false;
                        break;
                    }
                    frame.awaitingChild = true;
                    childPushed = true;
                    break;
                }
            } else if (!Grammar::matchesDirectly(symbol, kind)) {
                matched = false;
                break;
            }
            m_list->advance();
            ++frame.symbol;
        }
        if (childPushed) {
            int32_t child = rule.symbols[frame.symbol];
            m_frames.push_back({ child, Grammar::rulesOf(child), m_list->cursorIndex(), 0, 0, false, m_reductions });
            continue;
        }

        int32_t count = frame.symbol;
        if (count > 0)
            m_list->seekCursor(frame.mark);
        if (matched && (count > 0 || currentKind() != frame.nonterminal)) {
            reduce(rule.action, count, frame.nonterminal);
            if (count > 0) {
                // Start over with the first rule, so that a left-recursive rule can extend
                // what was just built.
                frame.rule = 0;
                frame.symbol = 0;
            } else {
                m_frames.pop_back();
            }
            continue;
        }
        frame.symbol = 0;
        ++frame.rule;
        if (!frame.rules[frame.rule].action) {
            // Nothing matched. If nothing was reduced either, the list is exactly as it was at
            // the start, and trying again before the next reduction would give the same.
            if (m_reductions == frame.reductionsAtStart)
                rememberFailure(frame.nonterminal, *elementAtCursor());
            m_frames.pop_back();
        }
    }
}

Status Parser::parseProgram(OwnedCodeTree& tree, RefPtr<ErrorObject>& error)
{
    tree.reset();
    error = nullptr;
    if (!m_list)
        return Status::Failed;
    parseNonterminal(Nonterminal::StatementList);

    m_list->seekCursor(0);
    OwnedCodeTree program;
    bool parsed = false;
    int32_t firstKind = currentKind();
    if (firstKind == Nonterminal::StatementList || firstKind == Nonterminal::Expression) {
        Element* first = elementAtCursor();
        program.reset(first->node);
        first->node = nullptr;
        m_list->removeAtCursor();
        parsed = currentKind() == TokenKind::EndOfInput;
        if (!parsed)
            program.reset();
    }
    if (!parsed) {
        Element* stop = elementAtCursor();
        Status code = stop->kind == TokenKind::InvalidToken ? Status::InvalidToken : Status::Parse;
        error = makeError(stop->node ? stop->node->line : 0, 0, code);
        return Status::Failed;
    }
    tree = std::move(program);
    return Status::Ok;
}

Status parseProgram(Lexer& lexer, OwnedCodeTree& tree, RefPtr<ErrorObject>& error)
{
    Parser parser(lexer);
    return parser.parseProgram(tree, error);
}

}
