// Where the script texts of a document stand in its file: the line of the file on which each
// head script's text and each handler attribute's value begins, so that an error report can
// count lines from the start of the file rather than of the text. Found by looking for each
// text in the file, in document order, after the one before it.
#pragma once

#include <elements/Element.h>
#include <markup/MarkupNode.h>

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nimbolt {

struct SourceLines {
    struct Handler {
        int32_t line { 0 }; // 0: not found
        std::string text;
    };
    using Handlers = std::array<Handler, HandlerCount>;

    // The line of every text node (head scripts among them) found in the file.
    std::unordered_map<const MarkupNode*, int32_t> texts;
    // The handlers of the body and of every element below it, in document order.
    std::vector<Handlers> handlers;

    // The lines of the tree's texts in the file's text; body is the tree's body element, or null.
    static SourceLines find(MarkupNode& root, const MarkupNode* body, std::string_view file);
};

}
