// A markup tree as one line: name[attributes]{children}, "/" for an empty element, "/name" for an
// end tag root, "text" with \xHH escapes, "(bad links)" after a node whose links do not fit its
// kind, "(none)" for no tree.
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
