#include <markup/MarkupNode.h>

#include <markup/MarkupReader.h>

#include <cstring>
#include <new>
#include <utility>

namespace nimbolt {

static int32_t freeChild(CursorList*, ListOperation operation, ListNode* node)
{
    if (operation != ListOperation::FreeNode)
        return -1;
    freeMarkupNode(markupNodeOf(node));
    return 1;
}

// A node of the kind holding the token's text, or null (the text freed) when memory runs out.
static MarkupNode* newNode(MarkupNodeKind kind, MarkupToken& token)
{
    auto* node = new (std::nothrow) MarkupNode {};
    if (!node)
        return nullptr;
    node->kind = kind;
    node->text = std::move(token.text);
    return node;
}

// Where a node is read: the first node of the input (which is kept whatever it is) or inside an
// element (where an end tag only ends the element).
enum class NodePlace { Top, Inside };

// Reads a start or end tag after its name: attributes up to ">", "/>" or the end of input. A word
// becomes a pending name; "=" then a word gives it that value, anything else leaves it valueless
// and is read again. The attributes of an end tag inside an element are read and dropped.
static MarkupNode* readTag(MarkupReader& reader, MarkupToken& start, NodePlace place)
{
    MarkupNodeKind kind = start.kind == MarkupTokenKind::StartTagStart ? MarkupNodeKind::ElementNode
                                                                       : MarkupNodeKind::EndTagNode;
    bool keepsAttributes = kind == MarkupNodeKind::ElementNode || place == NodePlace::Top;
    MarkupNode* node = newNode(kind, start);
    if (node && keepsAttributes)
        node->attributes = AttributeList::create();
    if (!node || (keepsAttributes && !node->attributes)) {
        freeMarkupNode(node);
        reader.markFailed();
        return nullptr;
    }
    OwnedMarkupText pendingName;
    auto addPending = [&](OwnedMarkupText value) {
        if (!node->attributes) {
            value.reset();
            pendingName.reset();
        } else if (!node->attributes->addAttribute(std::move(pendingName), std::move(value)).ok()) {
            reader.markFailed();
        }
    };
    for (;;) {
        MarkupToken token = reader.readToken();
        if (pendingName) {
            OwnedMarkupText value;
            if (token.kind == MarkupTokenKind::Equals) {
                MarkupToken valueToken = reader.readToken();
                if (valueToken.kind == MarkupTokenKind::Word)
                    value = std::move(valueToken.text);
                else
                    reader.pushBack(std::move(valueToken));
            } else {
                reader.pushBack(std::move(token));
            }
            addPending(std::move(value));
            continue;
        }
        if (token.kind == MarkupTokenKind::None || token.kind == MarkupTokenKind::TagClose)
            break;
        if (token.kind == MarkupTokenKind::EmptyTagClose) {
            if (node->kind == MarkupNodeKind::ElementNode)
                node->kind = MarkupNodeKind::EmptyElementNode;
            break;
        }
        if (token.kind == MarkupTokenKind::Word)
            pendingName = std::move(token.text);
    }
    if (node->kind == MarkupNodeKind::ElementNode) {
        node->children = CursorList::createList(freeChild);
        if (!node->children)
            reader.markFailed();
    }
    if (reader.failed()) {
        freeMarkupNode(node);
        return nullptr;
    }
    return node;
}

// The next node of the input, or null at the end of input, at a token that makes no node ("<?",
// "<!", a tag end) and when memory runs out. A stray "=" or "/" where a node belongs (left by an
// unfinished "<!" or "<?" construct) is skipped.
static MarkupNode* readNode(MarkupReader& reader, NodePlace place)
{
    for (;;) {
        MarkupToken token = reader.readToken();
        switch (token.kind) {
        case MarkupTokenKind::StartTagStart:
        case MarkupTokenKind::EndTagStart:
            return readTag(reader, token, place);
        case MarkupTokenKind::Word:
        case MarkupTokenKind::EntityRef: {
            MarkupNode* node = newNode(MarkupNodeKind::TextNode, token);
            if (!node)
                reader.markFailed();
            return node;
        }
        case MarkupTokenKind::Equals:
        case MarkupTokenKind::StrayMark:
            continue;
        default:
            return nullptr;
        }
    }
}

// Builds the tree without recursion: `open` is the innermost open element. A child element is
// appended at once and becomes the open one; when no node can be read, or an end tag comes, the
// open element is finished and its parent continues. An end tag is never kept and its name is not
// compared with the element's.
MarkupNode* parseMarkup(MarkupStream& stream, int32_t maxNodes)
{
    MarkupReader reader(stream);
    MarkupNode* root = readNode(reader, NodePlace::Top);
    MarkupNode* open = root && root->kind == MarkupNodeKind::ElementNode ? root : nullptr;
    int32_t nodes = 1;
    while (open) {
        MarkupNode* child = readNode(reader, NodePlace::Inside);
        if (!child || child->kind == MarkupNodeKind::EndTagNode) {
            freeMarkupNode(child);
            open = open->parent;
            continue;
        }
        if (++nodes > maxNodes) {
            freeMarkupNode(child);
            reader.markFailed();
            break;
        }
        if (child->kind != MarkupNodeKind::TextNode)
            child->parent = open;
        open->children->append(child);
        if (child->kind == MarkupNodeKind::ElementNode)
            open = child;
    }
    if (reader.failed()) {
        freeMarkupNode(root);
        return nullptr;
    }
    return root;
}

// Frees without recursion: a child taken out of its list keeps a link back to the node it came
// from in its `previous` field, so the way up needs no stack.
void freeMarkupNode(MarkupNode* node)
{
    if (node)
        node->previous = nullptr;
    while (node) {
        if (node->children && node->children->count() > 0) {
            MarkupNode* child = markupNodeOf(node->children->unlinkNode(node->children->firstNode()));
            child->previous = node;
            node = child;
            continue;
        }
        auto* up = static_cast<MarkupNode*>(node->previous);
        // The members go last to first: the (empty) child list, the attributes, the name.
        delete node;
        node = up;
    }
}

MarkupNode* findChildElement(MarkupNode* node, const char* name)
{
    if (!node || !node->children)
        return nullptr;
    CursorList* list = node->children.get();
    for (list->seekCursor(0); ListNode* item = list->cursorNode(); list->advance()) {
        MarkupNode* child = markupNodeOf(item);
        if ((child->kind == MarkupNodeKind::ElementNode || child->kind == MarkupNodeKind::EmptyElementNode)
            && compareMarkupName(child->text.get(), name) == 0)
            return child;
    }
    return nullptr;
}

MarkupText* findAttributeValue(const MarkupNode* node, const char* name)
{
    if (!node || !node->attributes || !name)
        return nullptr;
    MarkupText* value = nullptr;
    ignoreStatus(node->attributes->findAttribute(name, value), "an absent attribute leaves the value null");
    return value;
}

StatusOr<int32_t> getAttributeText(const MarkupNode* node, const char* name, char* buffer, int32_t capacity)
{
    MarkupText* value = findAttributeValue(node, name);
    if (!value)
        return Status::Failed;
    return copyMarkupText(value, buffer, capacity);
}

}
