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

// Where a program's text came from, which decides what a backslash byte inside a string literal
// does when it is the second byte of a double-byte character (表 is 0x95 0x5C).
enum class TextOrigin : int32_t {
    // Written in Shift-JIS: the escapes work byte by byte, so that second byte escapes the next
    // byte, as documents written for it expect (their authors write "表\" for 表).
    ShiftJis,
    // Converted to Shift-JIS from UTF-8 when read: its author never saw such a backslash, so a
    // double-byte character is kept whole and escapes nothing.
    ConvertedUtf8,
};

class Lexer final : public RefCounted {
public:
    static constexpr int32_t LineCapacity = 1023;

    // Reads the next token into the node's kind, value and line and returns its kind. Identifiers
    // carry their atom, string literals a new string that the node owns; at the end of the input
    // every call gives EndOfInput.
    int32_t nextToken(CodeNode& token);


private:
    friend RefPtr<Lexer> createLexer(std::unique_ptr<LineReader>, AtomTable&, TextOrigin);
    Lexer(std::unique_ptr<LineReader> reader, AtomTable& atoms, TextOrigin origin)
        : m_reader(std::move(reader))
        , m_atoms(atoms)
        , m_origin(origin)
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
    TextOrigin m_origin;
    int32_t m_lineCount { 0 };
    bool m_commentOpen { false };
    int32_t m_position { LineCapacity };
    char m_line[LineCapacity + 1] {};
};

// A lexer with count 1 that owns the reader and holds a reference on the atom table; null when
// memory runs out. Builds the keyword table on first use.
RefPtr<Lexer> createLexer(std::unique_ptr<LineReader> reader, AtomTable& atoms, TextOrigin origin = TextOrigin::ShiftJis);

}
