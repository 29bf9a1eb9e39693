// A readable text form of a code tree: S-expressions such as (= a (= b 3)) and (- (- a b) c),
// one per statement of a list, separated by spaces. Every construct with operands is written in
// parentheses with its operands in link order, a missing operand of "for" as _, so two trees
// print alike exactly when their shapes and tokens are alike. The walk keeps its own stack.
#pragma once

#include <script/language/CodeNode.h>

#include <script/runtime/AtomTable.h>

#include <string>

namespace nimbolt {

// The text of the node and of every node along its next chain. Identifiers are written by name
// through atoms; an atom the table does not know is written as #atom.
std::string dumpCodeTree(const CodeNode* tree, const AtomTable& atoms);

// The source text of a token kind: an operator, a reserved word, or #kind for anything else.
std::string tokenText(int32_t kind);

}
