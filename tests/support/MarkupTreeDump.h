// Test helpers: a one-line text form of a markup tree that states its shape and its links exactly.
//
// Dump form: an element is its name, its attributes in [...] (name="value", or the bare name when
// valueless) and its children in {...}; an empty element ends in "/" instead of {...}; an end tag
// root is "/" and its name; a text node is the text in double quotes, with \", \\ and \xHH for
// bytes outside 0x20 ... 0x7E. Attributes and children are separated by one space. A node whose
// links do not fit its kind is followed by "(bad links)": only elements have attribute lists, only
// ElementNode has a child list, an element's parent is the element around it and a text node has
// none. No tree at all dumps as "(none)".
#pragma once

#include <markup/MarkupNode.h>

#include <memory>
#include <string>
#include <string_view>

namespace nimbolt {

std::string dumpMarkupTree(const MarkupNode* root);

struct MarkupTreeDeleter {
    void operator()(MarkupNode* node) const { freeMarkupNode(node); }
};
using MarkupTree = std::unique_ptr<MarkupNode, MarkupTreeDeleter>;

// Parses the bytes from memory.
MarkupTree parseMarkupBytes(std::string_view bytes);

}
