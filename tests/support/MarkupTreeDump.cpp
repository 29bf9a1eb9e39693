#include <support/MarkupTreeDump.h>

#include <cstdio>

namespace nimbolt {

static void appendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (unsigned char c : text) {
        char escape[8];
        bool plain = c >= 0x20 && c <= 0x7E;
        std::snprintf(escape, sizeof escape, !plain ? "\\x%02X" : c == '"' || c == '\\' ? "\\%c" : "%c", c);
        out += escape;
    }
    out += '"';
}

// Child nodes in order, read through the links so that the list's cursor stays where it is.
template <typename Visit> static void forEachChild(const MarkupNode* node, Visit visit)
{
    if (!node->children)
        return;
    for (ListNode* item = node->children->firstNode(); item && item->next; item = item->next)
        visit(markupNodeOf(item));
}

static void dumpNode(std::string& out, const MarkupNode* node)
{
    if (node->kind == MarkupNodeKind::TextNode) {
        appendQuoted(out, node->text->view());
        return;
    }
    out += node->kind == MarkupNodeKind::EndTagNode ? "/" : "";
    out += node->text->view();
    if (AttributeList* attributes = node->attributes; attributes && attributes->attributeCount() > 0) {
        for (int32_t i = 0; i < attributes->attributeCount(); ++i) {
            char name[256];
            MarkupText* value = nullptr;
            (void)attributes->attributeName(i, sizeof name, name);
            (void)attributes->attributeValue(i, value);
            out += i > 0 ? " " : "[";
            out += name;
            if (value) {
                out += '=';
                appendQuoted(out, value->view());
            }
        }
        out += ']';
    }
    if (node->kind == MarkupNodeKind::EmptyElementNode) {
        out += '/';
    } else if (node->kind == MarkupNodeKind::ElementNode) {
        out += '{';
        bool first = true;
        forEachChild(node, [&](const MarkupNode* child) {
            out += first ? "" : " ";
            first = false;
            dumpNode(out, child);
        });
        out += '}';
    }
}

std::string dumpMarkupTree(const MarkupNode* root)
{
    std::string out;
    if (!root)
        return "(none)";
    dumpNode(out, root);
    return out;
}

static std::string checkNode(const MarkupNode* node, const MarkupNode* expectedParent)
{
    if (!node->text)
        return "node without text";
    std::string name(node->text->view());
    bool isText = node->kind == MarkupNodeKind::TextNode;
    if (isText != !node->attributes)
        return name + ": attribute list does not fit the kind";
    if ((node->kind == MarkupNodeKind::ElementNode) != !!node->children)
        return name + ": child list does not fit the kind";
    if (node->parent != (isText ? nullptr : expectedParent))
        return name + ": wrong parent";
    std::string fault;
    forEachChild(node, [&](const MarkupNode* child) {
        if (fault.empty())
            fault = checkNode(child, node);
    });
    return fault;
}

std::string checkMarkupLinks(const MarkupNode* root)
{
    return root ? checkNode(root, nullptr) : "";
}

MarkupTree parseMarkupBytes(std::string_view bytes)
{
    MarkupStream stream = MarkupStream::fromMemory(bytes.data(), bytes.size());
    return MarkupTree(parseMarkup(stream));
}

}
