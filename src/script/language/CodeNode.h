// One node per token: the lexer fills kind, value and line, and the parser hangs the same node
// into the code tree. kind and value are laid out like a ScriptValue, so a literal node is
// copied out as a whole value. A node owns the nodes on its four operand links and its next
// chain; a string literal node owns one reference on its ScriptString.
//
// A node also carries the routines that run it as an expression and as a statement. Both start
// as the interpreter's choosers, which on the first run pick the routine made for the node's kind
// and the shape of its operands, store it in the node and run it; a tree is not changed once it
// runs, so the choice stays right.
#pragma once

#include <script/language/TokenKind.h>

#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <memory>

namespace nimbolt {

class ScriptEngine;
struct CodeNode;

// Runs a node as an expression (into the result) or as a statement (giving its completion code).
using NodeRoutine = Status (*)(ScriptEngine& engine, const CodeNode* node, ScriptValue* result);
// The first routines of every node; they live with the interpreter.
Status chooseEvaluation(ScriptEngine& engine, const CodeNode* node, ScriptValue* result);
Status chooseExecution(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result);

struct CodeNode {
    CodeNode* next { nullptr };
    CodeNode* first { nullptr };
    CodeNode* second { nullptr };
    CodeNode* third { nullptr };
    CodeNode* fourth { nullptr };
    // kind and value together form a ScriptValue: kind sits in the tag's place.
    ScriptValue token { static_cast<ValueTag>(TokenKind::EndOfInput), { .bits = 0 } };
    int32_t line { 0 };
    // On a function definition: the origin of the text it was read from (see ScriptEngine).
    int32_t origin { 0 };
    mutable NodeRoutine evaluation { chooseEvaluation };
    mutable NodeRoutine execution { chooseExecution };

    int32_t kind() const { return static_cast<int32_t>(token.tag); }
    void setKind(int32_t kind) { token.tag = static_cast<ValueTag>(kind); }
    Atom atom() const { return token.payload.integer; }
};

// Frees the node, everything on its operand links and everything along its next chain, and
// releases the strings of string literal nodes. Works without recursion, however deep the tree.
void freeTree(CodeNode* node);

struct TreeDeleter {
    void operator()(CodeNode* node) const { freeTree(node); }
};
// A whole tree (or a statement chain) with one owner, freed by freeTree.
using OwnedCodeTree = std::unique_ptr<CodeNode, TreeDeleter>;

}
