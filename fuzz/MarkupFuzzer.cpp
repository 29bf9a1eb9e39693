// Parses arbitrary bytes as markup, checks the links every tree must keep, runs the queries the
// document loader uses on every element and frees the tree.
#include <markup/MarkupNode.h>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace nimbolt;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void queryElement(MarkupNode* node)
{
    check(node->attributes && node->text);
    char buffer[256];
    int32_t count = node->attributes->attributeCount();
    for (int32_t i = 0; i < count; ++i) {
        check(node->attributes->attributeName(i, sizeof buffer, buffer).ok());
        check(std::strlen(buffer) < sizeof buffer);
        MarkupText* value = nullptr;
        check(node->attributes->attributeValue(i, value).ok());
        MarkupText* found = findAttributeValue(node, buffer);
        char small[8];
        StatusOr<int32_t> copied = getAttributeText(node, buffer, small, sizeof small);
        // The first entry of a name wins, so a found value may belong to an earlier entry.
        check(found ? copied.ok() && copied.value() <= 7 && small[copied.value()] == 0 : !copied.ok());
        if (value)
            check(copyMarkupText(value, buffer, sizeof buffer)
                == (value->length() < 255 ? value->length() : 255));
    }
    check(!node->attributes->attributeName(count, sizeof buffer, buffer).ok());
    if (node->children) {
        MarkupNode* first = markupNodeOf(node->children->firstNode());
        if (first && first->kind != MarkupNodeKind::TextNode) {
            copyMarkupText(first->text.get(), buffer, sizeof buffer);
            if (std::strlen(buffer) == static_cast<size_t>(first->text->length()))
                check(findChildElement(node, buffer) == first);
        }
        findChildElement(node, "body");
    }
    check(compareMarkupName(node->text.get(), "div") != 0 || node->text->view() == "div");
}

// Visits every node without recursion.
void walk(MarkupNode* root)
{
    std::vector<MarkupNode*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        MarkupNode* node = pending.back();
        pending.pop_back();
        bool isText = node->kind == MarkupNodeKind::TextNode;
        check(isText == !node->attributes);
        check((node->kind == MarkupNodeKind::ElementNode) == !!node->children);
        if (!isText)
            queryElement(node);
        if (!node->children)
            continue;
        for (ListNode* item = node->children->firstNode(); item && item->next; item = item->next) {
            MarkupNode* child = markupNodeOf(item);
            check(child->kind != MarkupNodeKind::EndTagNode);
            check(child->parent == (child->kind == MarkupNodeKind::TextNode ? nullptr : node));
            pending.push_back(child);
        }
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MarkupStream stream = MarkupStream::fromMemory(data, size);
    MarkupNode* root = parseMarkup(stream);
    check(!root || !root->parent);
    walk(root);
    freeMarkupNode(root);
    return 0;
}
