// Test helpers: a one-line text form of a markup tree that states its shape exactly, and a check
// of the links every parsed tree must keep.
//
// Dump form: an element is its name, its attributes in [...] (name="value", or the bare name when
// valueless) and its children in {...}; an empty element ends in "/" instead of {...}; an end tag
// root is "/" and its name; a text node is the text in double quotes, with \", \\ and \xHH for
// bytes outside 0x20 ... 0x7E. Attributes and children are separated by one space. No tree at all
// dumps as "(none)".
#pragma once

#include <markup/MarkupNode.h>

#include <memory>
#include <string>
#include <string_view>

namespace nimbolt {

std::string dumpMarkupTree(const MarkupNode* root);

// "" when every element has an attribute list, only ElementNode has a child list, text nodes have
// neither, every element child's parent is the element around it, text nodes have no parent and
// the root has none; otherwise a description of the first fault.
std::string checkMarkupLinks(const MarkupNode* root);

struct MarkupTreeDeleter {
    void operator()(MarkupNode* node) const { freeMarkupNode(node); }
};
using MarkupTree = std::unique_ptr<MarkupNode, MarkupTreeDeleter>;

// Parses the bytes from memory.
MarkupTree parseMarkupBytes(std::string_view bytes);

}
