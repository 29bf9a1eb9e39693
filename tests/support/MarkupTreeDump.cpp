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

static void dumpNode(std::string& out, const MarkupNode* node, const MarkupNode* around)
{
    bool isText = node->kind == MarkupNodeKind::TextNode;
    bool elementNode = node->kind == MarkupNodeKind::ElementNode;
    bool linksFit = isText == !node->attributes && elementNode == !!node->children
        && node->parent == (isText ? nullptr : around);
    if (isText)
        appendQuoted(out, node->text->view());
    out += node->kind == MarkupNodeKind::EndTagNode ? "/" : "";
    out += isText ? "" : node->text->view();
    for (int32_t i = 0; node->attributes && i < node->attributes->attributeCount(); ++i) {
        char name[256];
        MarkupText* value = nullptr;
        (void)node->attributes->attributeName(i, sizeof name, name);
        (void)node->attributes->attributeValue(i, value);
        out += i > 0 ? " " : "[";
        out += name;
        if (value) {
            out += '=';
            appendQuoted(out, value->view());
        }
        out += i + 1 == node->attributes->attributeCount() ? "]" : "";
    }
    out += node->kind == MarkupNodeKind::EmptyElementNode ? "/" : "";
    if (node->children) {
        // Read through the links so that the list's cursor stays where it is.
        out += '{';
        for (ListNode* item = node->children->firstNode(); item && item->next; item = item->next) {
            out += item == node->children->firstNode() ? "" : " ";
            dumpNode(out, markupNodeOf(item), node);
        }
        out += '}';
    }
    out += linksFit ? "" : "(bad links)";
}

std::string dumpMarkupTree(const MarkupNode* root)
{
    std::string out = root ? "" : "(none)";
    if (root)
        dumpNode(out, root, root->parent);
    return out;
}

MarkupTree parseMarkupBytes(std::string_view bytes)
{
    MarkupStream stream = MarkupStream::fromMemory(bytes.data(), bytes.size());
    return MarkupTree(parseMarkup(stream));
}

}
