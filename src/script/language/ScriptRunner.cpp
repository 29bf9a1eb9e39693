#include "ScriptRunner.h"

#include "ErrorObject.h"
#include "Interpreter.h"
#include "Lexer.h"
#include "LineReader.h"
#include "MemoryStream.h"
#include "Natives.h"
#include "Parser.h"

#include <script/runtime/Ref.h>

#include <cstring>
#include <memory>
#include <new>

namespace nimbolt {

ScriptRunner* createRunner() { return new (std::nothrow) ScriptRunner; }

ScriptRunner::~ScriptRunner()
{
    if (m_engine) {
        m_engine->clearBindings();
        m_engine->release();
    }
    if (m_site)
        m_site->release();
}

Status ScriptRunner::defineGlobal(const char* name, const ScriptValue& value)
{
    if (!m_engine)
        return Status::Failed;
    Atom atom = m_engine->atomTable().intern(name, std::strlen(name));
    if (!atom)
        return Status::Failed;
    return m_engine->defineLocal(atom, value);
}

Status ScriptRunner::setSite(ScriptSite* site)
{
    if (site)
        site->addRef();
    if (m_site)
        m_site->release();
    m_site = site;
    if (!m_engine)
        return Status::Ok;
    // An engine without a site is closed: errors would have nowhere to go.
    if (!site && m_state == RunnerState::Ready)
        m_state = RunnerState::Closed;
    else if (site && m_state == RunnerState::Closed)
        m_state = RunnerState::Ready;
    m_engine->setSite(site);
    return Status::Ok;
}

ScriptSite* ScriptRunner::getSite() const
{
    if (m_site)
        m_site->addRef();
    return m_site;
}

Status ScriptRunner::getAtomTable(AtomTable*& out) const
{
    out = nullptr;
    if (!m_engine)
        return Status::Failed;
    out = &m_engine->atomTable();
    out->addRef();
    return Status::Ok;
}

Status ScriptRunner::toggleOpen()
{
    if (m_state != RunnerState::Closed) {
        if (m_engine) {
            m_engine->clearBindings();
            m_engine->release();
        }
        m_engine = nullptr;
        m_state = RunnerState::Closed;
        return Status::Ok;
    }
    if (!m_engine) {
        m_engine = ScriptEngine::create();
        if (!m_engine)
            return Status::Failed;
        if (Status status = installNatives(*m_engine); !status.ok())
            return status;
    }
    if (m_site) {
        m_engine->setSite(m_site);
        m_state = RunnerState::Ready;
    }
    return Status::Ok;
}

void ScriptRunner::report(ErrorObject& error)
{
    if (m_site)
        (void)m_site->reportError(error);
}

Status ScriptRunner::compileAndRun(ScriptObject* self, const char* text, int32_t length, Scope scope,
    ScriptValue* result)
{
    MemoryStream* stream = createMemoryStream(text, length);
    if (!stream)
        return Status::Failed;
    std::unique_ptr<LineReader> reader = createLineReader(*stream);
    if (!reader) {
        stream->release();
        return Status::Ok;
    }
    // The engine may be closed and released by the script itself; keep it for this run.
    ScriptEngine* engine = m_engine;
    engine->addRef();
    AtomTable& atoms = engine->atomTable();
    atoms.addRef();
    Lexer* lexer = createLexer(std::move(reader), atoms);
    if (!lexer) {
        atoms.release();
        engine->release();
        stream->release();
        return Status::Ok;
    }

    CodeNode* tree = nullptr;
    ErrorObject* parseError = nullptr;
    if (!parseProgram(*lexer, tree, parseError).ok()) {
        if (parseError) {
            report(*parseError);
            parseError->release();
        }
    } else {
        m_state = RunnerState::Running;
        if (m_site)
            (void)m_site->onRunBegin();
        *result = UndefinedValue;
        if (scope == Scope::Own) {
            if (engine->openScope().ok()) {
                (void)runProgram(*engine, self, tree, result);
                engine->closeScope();
            } else {
                freeTree(tree);
            }
        } else {
            (void)runProgram(*engine, self, tree, result);
        }
        if (result->tag == ValueTag::Error && result->payload.error) {
            report(*result->payload.error);
            result->payload.error->release();
            result->payload.error = nullptr;
        }
        m_state = m_engine && m_site ? RunnerState::Ready : RunnerState::Closed;
        if (m_site)
            (void)m_site->onRunEnd();
    }
    lexer->release();
    atoms.release();
    engine->release();
    stream->release();
    return Status::Ok;
}

Status ScriptRunner::runDroppingValue(const char* text, int32_t length, Scope scope)
{
    if (m_state != RunnerState::Ready)
        return Status::Failed;
    // A script may make the host let go of its runner (closing the document from a modal loop,
    // say); the runner stays until the run is over.
    Ref<ScriptRunner> protect(*this);
    ScriptValue result = UndefinedValue;
    Status status = compileAndRun(nullptr, text, length, scope, &result);
    releaseValue(result);
    return status;
}

Status ScriptRunner::runText(const char* text, int32_t length)
{
    return runDroppingValue(text, length, Scope::Global);
}

Status ScriptRunner::runTextInScope(const char* text, int32_t length)
{
    return runDroppingValue(text, length, Scope::Own);
}

Status ScriptRunner::evalString(ScriptObject* self, ScriptString& text, ScriptValue* result)
{
    if (m_state != RunnerState::Ready && m_state != RunnerState::Running)
        return Status::Failed;
    Ref<ScriptRunner> protect(*this);
    RunnerState remembered = m_state;
    int32_t length = text.length();
    std::unique_ptr<char[]> copy(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
    if (!copy)
        return Status::Failed;
    text.copyText(copy.get(), length + 1);
    *result = UndefinedValue;
    Status status = compileAndRun(self, copy.get(), length, Scope::Own, result);
    if (m_engine && m_site)
        m_state = remembered;
    if (result->tag == ValueTag::Error) {
        *result = UndefinedValue;
        return Status::Failed;
    }
    return status;
}

}
