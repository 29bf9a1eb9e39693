// A node of a parsed markup tree: an element with its tag name, attributes and children, or a
// piece of text. An element owns its name, one count of its attribute list and its child list,
// whose nodes it frees; a text node owns its text. Only ElementNode has a child list; only
// elements have attribute lists and parent links.
#pragma once

#include <markup/AttributeList.h>
#include <markup/MarkupStream.h>
#include <markup/MarkupText.h>
#include <base/CursorList.h>
#include <base/Ref.h>
#include <base/StatusOr.h>

#include <cstdint>

namespace nimbolt {

enum class MarkupNodeKind : int32_t {
    ElementNode = 1, // "<name ...>" with content, closed by any end tag or the end of input
    EmptyElementNode = 2, // "<name .../>", without child list
    TextNode = 3, // a run of text, or the name of an "&name;" reference
    EndTagNode = 100, // "</name ...>"; only seen while parsing, never a child
};

struct MarkupNode : ListNode {
    MarkupNodeKind kind;
    OwnedMarkupText text; // the tag name of an element, the text of a text node
    RefPtr<AttributeList> attributes; // elements (and an end tag at the top); null for text nodes
    MarkupNode* parent; // the enclosing element of an element; null for the root and text nodes
    OwnedCursorList children; // ElementNode only; null for every other kind
};

inline MarkupNode* markupNodeOf(ListNode* node)
{
    return static_cast<MarkupNode*>(node);
}

// The most nodes (elements and texts) one tree may have: a tree costs memory by its nodes, and
// a few megabytes of "<a>" would otherwise ask for gigabytes.
inline constexpr int32_t MaxMarkupNodes = 1 << 19;

// Reads the first node of the stream with everything inside it and returns it; the caller frees it
// with freeMarkupNode. Null when the stream holds nothing but white space, when it starts with a
// "<?" or "<!" construct, when it holds more than maxNodes nodes, or when memory runs out. Text at the top gives a text root, an end tag
// at the top an EndTagNode root. An element that the input leaves open is closed by the end of
// input; nothing after the first node's end is read.
MarkupNode* parseMarkup(MarkupStream& stream, int32_t maxNodes = MaxMarkupNodes);

// Frees the node and everything below it, however deep. A null node is ignored.
void freeMarkupNode(MarkupNode* node);

// The first child element (with or without children) whose tag name is exactly name, or null.
// Walks the child list with its cursor, which it moves.
MarkupNode* findChildElement(MarkupNode* node, const char* name);

// The value of the node's first attribute called name (borrowed), or null when the attribute is
// absent or was written without a value.
MarkupText* findAttributeValue(const MarkupNode* node, const char* name);

// Copies that value as copyMarkupText does and returns the bytes copied; Failed (buffer untouched)
// when the attribute is absent or has no value.
StatusOr<int32_t> getAttributeText(const MarkupNode* node, const char* name, char* buffer, int32_t capacity);

}
