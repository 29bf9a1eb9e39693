// Test support: a program text with the whole chain a script runner builds over it (atom table
// with the fixed atoms, memory stream, line reader, lexer), owning all of them.
#pragma once

#include <script/language/CodeNode.h>
#include <script/language/Lexer.h>
#include <script/language/MemoryStream.h>
#include <script/runtime/AtomTable.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbolt {

class ScriptSource {
public:
    explicit ScriptSource(std::string_view text);
    ScriptSource(const ScriptSource&) = delete;
    ScriptSource& operator=(const ScriptSource&) = delete;

    Lexer& lexer() { return *m_lexer; }
    AtomTable& atoms() { return *m_atoms; }

private:
    // Declared in the reverse of the runner's order of release: lexer, atoms, stream.
    std::string m_text;
    RefPtr<MemoryStream> m_stream;
    RefPtr<AtomTable> m_atoms;
    RefPtr<Lexer> m_lexer;
};

// What parsing a whole text gave: the status, the tree and its dump, and the error's code, line
// and message (0, 0 and "" after a success).
struct ParseOutcome {
    int32_t status;
    OwnedCodeTree root;
    std::string tree;
    int32_t code;
    int32_t line;
    std::string message;
};

ParseOutcome parseText(std::string_view text);

}
