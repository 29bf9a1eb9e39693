#include <support/ScriptSource.h>

#include <script/language/CodeTreeDump.h>
#include <script/language/ErrorObject.h>
#include <script/language/LineReader.h>
#include <script/language/Parser.h>

#include <cstdlib>
#include <utility>

namespace nimbolt {

ScriptSource::ScriptSource(std::string_view text)
    : m_text(text)
    , m_stream(createMemoryStream(m_text.data(), static_cast<int32_t>(m_text.size())))
    , m_atoms(AtomTable::create())
{
    if (!m_atoms || !m_stream || !internFixedAtoms(*m_atoms))
        std::abort();
    m_lexer = createLexer(createLineReader(*m_stream), *m_atoms);
    if (!m_lexer)
        std::abort();
}

ParseOutcome parseText(std::string_view text)
{
    ScriptSource source(text);
    OwnedCodeTree tree;
    RefPtr<ErrorObject> error;
    Status status = parseProgram(source.lexer(), tree, error);
    std::string dump = dumpCodeTree(tree.get(), source.atoms());
    ParseOutcome outcome { status.code(), std::move(tree), std::move(dump), 0, 0, "" };
    if (error) {
        outcome.code = error->code();
        outcome.line = error->line();
        outcome.message = error->message();
    }
    return outcome;
}

}
