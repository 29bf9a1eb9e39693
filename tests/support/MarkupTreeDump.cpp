#include <support/MarkupTreeDump.h>

#include <cstdio>

namespace nimbolt {

static void appendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
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
    if (node->kind == MarkupNodeKind::EndTagNode)
        out += '/';
    out += node->text->view();
    if (AttributeList* attributes = node->attributes; attributes && attributes->attributeCount() > 0) {
        out += '[';
        for (int32_t i = 0; i < attributes->attributeCount(); ++i) {
            char name[256];
            MarkupText* value = nullptr;
            (void)attributes->attributeName(i, sizeof name, name);
            (void)attributes->attributeValue(i, value);
            if (i > 0)
                out += ' ';
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
            if (!first)
                out += ' ';
            first = false;
            dumpNode(out, child);
        });
        out += '}';
    }
}

std::string dumpMarkupTree(const MarkupNode* root)
{
    if (!root)
        return "(none)";
    std::string out;
    dumpNode(out, root);
    return out;
}

static std::string checkNode(const MarkupNode* node, const MarkupNode* expectedParent)
{
    std::string name(node->text ? node->text->view() : "(no text)");
    if (!node->text)
        return "node without text";
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

MarkupNode* parseMarkupBytes(std::string_view bytes)
{
    MarkupStream stream = MarkupStream::fromMemory(bytes.data(), bytes.size());
    return parseMarkup(stream);
}

}
