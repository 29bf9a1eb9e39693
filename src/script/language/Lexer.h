// Turns the lines of one program into tokens, one line (or 1023-byte piece of a line) at a
// time. The line buffer always ends in a zero byte at its last place, so every scan stops inside
// it; a token never spans two lines. Besides the scan position and the line counter, the only
// state carried between tokens is whether a block comment is open.
#pragma once

#include <script/language/CodeNode.h>
#include <script/language/LineReader.h>

#include <script/runtime/AtomTable.h>
#include <base/Ref.h>
#include <base/RefCounted.h>

#include <cstdint>
#include <memory>

namespace nimbolt {

class Lexer final : public RefCounted {
public:
    static constexpr int32_t LineCapacity = 1023;

    // Reads the next token into the node's kind, value and line and returns its kind. Identifiers
    // carry their atom, string literals a new string that the node owns; at the end of the input
    // every call gives EndOfInput.
    int32_t nextToken(CodeNode& token);


private:
    friend RefPtr<Lexer> createLexer(std::unique_ptr<LineReader>, AtomTable&);
    Lexer(std::unique_ptr<LineReader> reader, AtomTable& atoms)
        : m_reader(std::move(reader))
        , m_atoms(atoms)
    {
    }
    ~Lexer() override = default;

    // Moves to the first byte of the next token, reading lines as needed; false at the end of
    // the input.
    bool findTokenStart();
    int32_t scanNumber(ScriptValue& value);
    int32_t scanOperator();
    int32_t scanWord(ScriptValue& value);
    int32_t scanString(ScriptValue& value);

    std::unique_ptr<LineReader> m_reader;
    Ref<AtomTable> m_atoms;
    int32_t m_lineCount { 0 };
    bool m_commentOpen { false };
    int32_t m_position { LineCapacity };
    char m_line[LineCapacity + 1] {};
};

// A lexer with count 1 that owns the reader and holds a reference on the atom table; null when
// memory runs out. Builds the keyword table on first use.
RefPtr<Lexer> createLexer(std::unique_ptr<LineReader> reader, AtomTable& atoms);

}
