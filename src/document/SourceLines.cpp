#include <document/SourceLines.h>

#include <algorithm>

namespace nimbolt {

namespace {

// A cursor over the file that only moves forward and counts the lines it passes.
class FileCursor {
public:
    explicit FileCursor(std::string_view file)
        : m_file(file)
    {
    }

    // The line on which the text begins, at or after the cursor, which then moves past it; 0
    // (and the cursor stays) when it is not there.
    int32_t find(std::string_view text)
    {
        if (text.empty())
            return 0;
        size_t at = m_file.find(text, m_position);
        if (at == std::string_view::npos)
            return 0;
        m_line += static_cast<int32_t>(std::count(m_file.begin() + static_cast<std::ptrdiff_t>(m_position),
            m_file.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
        int32_t line = m_line;
        m_line += static_cast<int32_t>(std::count(text.begin(), text.end(), '\n'));
        m_position = at + text.size();
        return line;
    }

private:
    std::string_view m_file;
    size_t m_position { 0 };
    int32_t m_line { 1 };
};

}

SourceLines SourceLines::find(MarkupNode& root, const MarkupNode* body, std::string_view file)
{
    SourceLines lines;
    FileCursor cursor(file);
    bool inBody = false;
    std::vector<std::pair<MarkupNode*, ListNode*>> stack;
    auto visit = [&](MarkupNode& node) {
        if (node.kind == MarkupNodeKind::TextNode) {
            if (node.text)
                lines.texts[&node] = cursor.find(node.text->view());
            return;
        }
        inBody = inBody || &node == body;
        Handlers handlers;
        AttributeList* attributes = node.attributes.ptr();
        for (int32_t index = 0; attributes && index < attributes->attributeCount(); ++index) {
            MarkupText* value = nullptr;
            char name[16];
            if (!attributes->attributeValue(index, value).ok() || !value
                || !attributes->attributeName(index, sizeof name, name).ok())
                continue;
            int32_t line = cursor.find(value->view());
            for (int32_t event = 0; event < HandlerCount; ++event) {
                if (std::string_view(name) == handlerName(static_cast<MouseEvent>(event)) && !handlers[event].line)
                    handlers[event] = { line, std::string(value->view()) };
            }
        }
        if (inBody)
            lines.handlers.push_back(std::move(handlers));
    };
    visit(root);
    if (root.children)
        stack.emplace_back(&root, root.children->firstNode());
    while (!stack.empty()) {
        auto& [parent, link] = stack.back();
        if (!link || !link->next) {
            if (parent == body)
                inBody = false;
            stack.pop_back();
            continue;
        }
        MarkupNode& child = *markupNodeOf(link);
        link = link->next;
        visit(child);
        if (child.kind == MarkupNodeKind::ElementNode && child.children)
            stack.emplace_back(&child, child.children->firstNode());
        else if (&child == body)
            inBody = false;
    }
    return lines;
}

}
