#include <script/language/CodeTreeDump.h>

#include <script/language/TokenKind.h>

#include <script/runtime/ScriptString.h>

#include <charconv>
#include <cstdio>
#include <vector>

namespace nimbolt {

namespace {

// A piece of output still to be written: either fixed text or one node (without its next chain).
struct Piece {
    const CodeNode* node;
    std::string text;
};

class TreeWriter {
public:
    explicit TreeWriter(const AtomTable& atoms)
        : m_atoms(atoms)
    {
    }

    std::string write(const CodeNode* tree);

private:
    void expand(const CodeNode& node);
    std::string leafText(const CodeNode& node) const;

    // Builders of the parts of one node, pushed on the stack in reverse once complete.
    void open(std::string head) { m_parts.push_back({ nullptr, "(" + std::move(head) }); }
    void operand(const CodeNode* node)
    {
        m_parts.push_back({ nullptr, " " });
        if (node)
            m_parts.push_back({ node, {} });
        else
            m_parts.push_back({ nullptr, "_" });
    }
    void chain(const CodeNode* node)
    {
        for (; node; node = node->next)
            operand(node);
    }
    void text(std::string text) { m_parts.push_back({ nullptr, std::move(text) }); }
    void close()
    {
        m_parts.push_back({ nullptr, ")" });
        for (auto it = m_parts.rbegin(); it != m_parts.rend(); ++it)
            m_stack.push_back(std::move(*it));
        m_parts.clear();
    }

    const AtomTable& m_atoms;
    std::string m_out;
    std::vector<Piece> m_stack;
    std::vector<Piece> m_parts;
};

std::string TreeWriter::write(const CodeNode* tree)
{
    std::vector<const CodeNode*> statements;
    for (const CodeNode* node = tree; node; node = node->next)
        statements.push_back(node);
    for (auto it = statements.rbegin(); it != statements.rend(); ++it) {
        m_stack.push_back({ *it, {} });
        if (it + 1 != statements.rend())
            m_stack.push_back({ nullptr, " " });
    }
    while (!m_stack.empty()) {
        Piece piece = std::move(m_stack.back());
        m_stack.pop_back();
        if (piece.node)
            expand(*piece.node);
        else
            m_out += piece.text;
    }
    return std::move(m_out);
}

std::string quoted(const ScriptString* string)
{
    std::string out = "\"";
    if (!string)
        return out + "\"";
    for (char c : string->view()) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 32 && byte < 127) {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    return out + "\"";
}

std::string realText(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eni") == std::string::npos)
        text += ".0";
    return text;
}

std::string TreeWriter::leafText(const CodeNode& node) const
{
    switch (node.kind()) {
    case TokenKind::IntegerLiteral:
        return std::to_string(node.token.payload.integer);
    case TokenKind::RealLiteral:
        return realText(node.token.payload.real);
    case TokenKind::StringLiteral:
        return quoted(static_cast<const ScriptString*>(node.token.payload.object));
    case TokenKind::Identifier: {
        char name[1024];
        if (m_atoms.nameOf(node.atom(), name, sizeof name).ok())
            return name;
        return "#" + std::to_string(node.atom());
    }
    case '}':
        return "{}";
    default:
        return tokenText(node.kind());
    }
}

bool isInfix(int32_t kind)
{
    switch (kind) {
    case '*':
    case '/':
    case '%':
    case '+':
    case '-':
    case '<':
    case '>':
    case '&':
    case '^':
    case '|':
    case ',':
    case '=':
        return true;
    default:
        return (kind >= TokenKind::UnsignedShiftRightAssign && kind <= TokenKind::LogicalOr)
            || (kind >= TokenKind::AddAssign && kind <= TokenKind::XorAssign);
    }
}

void TreeWriter::expand(const CodeNode& node)
{
    int32_t kind = node.kind();
    bool hasOperands = node.first || node.second || node.third || node.fourth;
    switch (kind) {
    case TokenKind::Identifier:
        // A declarator with its initializer.
        if (!node.first)
            break;
        open(leafText(node));
        operand(node.first);
        close();
        return;
    case '.':
        open(".");
        operand(node.first);
        operand(node.second);
        close();
        return;
    case '[':
        open("[]");
        operand(node.first);
        operand(node.second);
        close();
        return;
    case '(':
        open("call");
        operand(node.first);
        chain(node.second);
        close();
        return;
    case TokenKind::New:
        open("new");
        operand(node.first);
        chain(node.second);
        close();
        return;
    case TokenKind::Delete:
        open("delete");
        operand(node.first);
        close();
        return;
    case TokenKind::Increment:
    case TokenKind::Decrement:
        open(kind == TokenKind::Increment ? "post++" : "post--");
        operand(node.first);
        close();
        return;
    case TokenKind::UnaryPlus:
    case TokenKind::Negate:
    case TokenKind::PreIncrement:
    case TokenKind::PreDecrement:
    case '!':
    case '~':
        if (!hasOperands)
            break;
        open(tokenText(kind));
        operand(node.second);
        close();
        return;
    case '?':
        open("?");
        operand(node.first);
        operand(node.second);
        operand(node.third);
        close();
        return;
    case '{':
        open("block");
        chain(node.first);
        close();
        return;
    case ':':
        open("label");
        operand(node.first);
        operand(node.second);
        close();
        return;
    case TokenKind::If:
        open("if");
        operand(node.first);
        operand(node.second);
        if (node.third)
            operand(node.third);
        close();
        return;
    case TokenKind::While:
    case TokenKind::Switch:
    case TokenKind::Case:
        open(tokenText(kind));
        operand(node.first);
        operand(node.second);
        close();
        return;
    case TokenKind::Do:
        open("do");
        operand(node.first);
        operand(node.second);
        close();
        return;
    case TokenKind::For:
        open("for");
        operand(node.first);
        operand(node.second);
        operand(node.third);
        operand(node.fourth);
        close();
        return;
    case TokenKind::Return:
    case TokenKind::Default:
    case TokenKind::Goto:
        open(tokenText(kind));
        if (node.first)
            operand(node.first);
        close();
        return;
    case TokenKind::Var:
        open("var");
        chain(node.first);
        close();
        return;
    case TokenKind::Function:
        open("function");
        operand(node.first);
        text(" (");
        for (const CodeNode* parameter = node.second; parameter; parameter = parameter->next) {
            if (parameter != node.second)
                text(" ");
            m_parts.push_back({ parameter, {} });
        }
        text(")");
        chain(node.third);
        close();
        return;
    default:
        if (isInfix(kind) && hasOperands) {
            open(tokenText(kind));
            operand(node.first);
            operand(node.second);
            close();
            return;
        }
        if (hasOperands) {
            open(tokenText(kind));
            operand(node.first);
            operand(node.second);
            operand(node.third);
            operand(node.fourth);
            close();
            return;
        }
        break;
    }
    m_out += leafText(node);
}

}

std::string tokenText(int32_t kind)
{
    static constexpr const char* multiOperators[] = {
        ">>>=", "<<=", ">>=", ">>>", ">>", "<<", "==", "!=", "<=", ">=", "&&",
        "||", "--", "++", "+=", "-=", "%=", "*=", "/=", "&=", "|=", "^=",
    };
    static constexpr const char* reservedWords[] = {
        "NaN", "null", "undefined", "break", "continue", "for", "in", "if", "else", "return", "while",
        "do", "function", "new", "delete", "this", "var", "with", "goto", "switch", "case", "default",
    };
    if (kind > 32 && kind < 127)
        return std::string(1, static_cast<char>(kind));
    if (kind >= TokenKind::UnsignedShiftRightAssign && kind <= TokenKind::XorAssign)
        return multiOperators[kind - TokenKind::UnsignedShiftRightAssign];
    switch (kind) {
    case TokenKind::UnaryPlus:
        return "plus";
    case TokenKind::Negate:
        return "neg";
    case TokenKind::PreIncrement:
        return "pre++";
    case TokenKind::PreDecrement:
        return "pre--";
    default:
        break;
    }
    if (kind >= TokenKind::NaN && kind <= TokenKind::Default)
        return reservedWords[kind - TokenKind::NaN];
    return "#" + std::to_string(kind);
}

std::string dumpCodeTree(const CodeNode* tree, const AtomTable& atoms)
{
    TreeWriter writer(atoms);
    return writer.write(tree);
}

}
