// Lexes and parses arbitrary bytes as a script program, dumps the tree, and frees everything.
// Checks what must hold for any input: token lines never go down, every token kind is one the
// lexer makes, a parse either gives a tree or a "parse"/"invalid token" error at a real line,
// and no string outlives the parse.
#include <script/language/CodeTreeDump.h>
#include <script/language/ErrorObject.h>
#include <script/language/Lexer.h>
#include <script/language/LineReader.h>
#include <script/language/MemoryStream.h>
#include <script/language/Parser.h>
#include <script/language/TokenKind.h>
#include <script/runtime/AtomTable.h>
#include <script/runtime/ScriptString.h>

#include <climits>
#include <cstdint>
#include <cstring>

using namespace nimbolt;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool isLexerKind(int32_t kind)
{
    if (kind > 0 && kind < 128)
        return std::strchr("~!^&|()[]{}+-*/%<=>?:;,.", kind) != nullptr;
    return (kind >= TokenKind::UnsignedShiftRightAssign && kind <= TokenKind::XorAssign)
        || (kind >= TokenKind::EndOfInput && kind <= TokenKind::StringLiteral)
        || (kind >= TokenKind::NaN && kind <= TokenKind::Default);
}

RefPtr<Lexer> makeLexer(const char* text, int32_t size, AtomTable& atoms)
{
    // The reader holds its own reference on the stream.
    RefPtr<MemoryStream> stream = createMemoryStream(text, size);
    check(static_cast<bool>(stream));
    RefPtr<Lexer> lexer = createLexer(createLineReader(*stream), atoms);
    check(static_cast<bool>(lexer));
    return lexer;
}

void lexAll(const char* text, int32_t size, AtomTable& atoms)
{
    RefPtr<Lexer> lexer = makeLexer(text, size, atoms);
    int32_t lastLine = 0;
    for (;;) {
        CodeNode token;
        int32_t kind = lexer->nextToken(token);
        check(kind == token.kind() && isLexerKind(kind));
        check(token.line >= lastLine && token.line >= 1);
        lastLine = token.line;
        if (kind == TokenKind::StringLiteral) {
            ScriptString* string = stringOf(token.token);
            check(string && string->length() < Lexer::LineCapacity);
            string->release();
        }
        if (kind == TokenKind::EndOfInput)
            break;
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > INT32_MAX)
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    auto length = static_cast<int32_t>(size);
    int32_t stringsBefore = ScriptString::liveCount();

    RefPtr<AtomTable> atoms = AtomTable::create();
    check(atoms && internFixedAtoms(*atoms));
    lexAll(text, length, *atoms);

    RefPtr<Lexer> lexer = makeLexer(text, length, *atoms);
    OwnedCodeTree tree;
    RefPtr<ErrorObject> error;
    Status status = parseProgram(*lexer, tree, error);
    if (status.ok()) {
        check(tree && !error);
        std::string dump = dumpCodeTree(tree.get(), *atoms);
        check(!dump.empty());
    } else {
        check(status.code() == -1 && !tree && error);
        check(error->code() == -1009 || error->code() == -1010);
        check(error->line() >= 1);
        error = nullptr;
    }
    tree.reset();
    lexer = nullptr;
    atoms = nullptr;
    check(ScriptString::liveCount() == stringsBefore);
    return 0;
}
