// freeTree keeps no stack: the operand chains of each node it frees are spliced in front of the
// chain still to be freed, so every node is reached once however deep the tree is.
#include <script/language/CodeNode.h>

#include <script/runtime/ScriptString.h>

namespace nimbolt {

void freeTree(CodeNode* node)
{
    CodeNode* pending = node;
    while (pending) {
        CodeNode* current = pending;
        pending = current->next;
        for (CodeNode* operand : { current->first, current->second, current->third, current->fourth }) {
            if (!operand)
                continue;
            CodeNode* last = operand;
            while (last->next)
                last = last->next;
            last->next = pending;
            pending = operand;
        }
        if (current->kind() == TokenKind::StringLiteral && current->token.payload.object)
            current->token.payload.object->release();
        delete current;
    }
}

}
