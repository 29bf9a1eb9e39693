#include <script/language/ScriptRunner.h>

#include <script/language/ErrorObject.h>
#include <script/language/Interpreter.h>
#include <script/language/Lexer.h>
#include <script/language/LineReader.h>
#include <script/language/MemoryStream.h>
#include <script/language/Natives.h>
#include <script/language/Parser.h>

#include <base/Ref.h>

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

namespace nimbolt {

RefPtr<ScriptRunner> createRunner() { return adoptRef(new (std::nothrow) ScriptRunner); }

ScriptRunner::~ScriptRunner()
{
    if (m_engine)
        m_engine->clearBindings();
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

StatusOr<Ref<AtomTable>> ScriptRunner::getAtomTable() const
{
    if (!m_engine)
        return Status::Failed;
    return Ref<AtomTable>(m_engine->atomTable());
}

Status ScriptRunner::toggleOpen()
{
    if (m_state != RunnerState::Closed) {
        if (m_engine)
            m_engine->clearBindings();
        m_engine = nullptr;
        m_state = RunnerState::Closed;
        return Status::Ok;
    }
    if (!m_engine) {
        m_engine = ScriptEngine::create();
        if (!m_engine)
            return Status::Failed;
        m_engine->setMemoryLimit(m_memoryLimit);
        NIMBOLT_TRY(installNatives(*m_engine));
    }
    if (m_site) {
        m_engine->setSite(m_site.ptr());
        m_state = RunnerState::Ready;
    }
    return Status::Ok;
}

void ScriptRunner::setMemoryLimit(size_t bytes)
{
    m_memoryLimit = bytes;
    if (m_engine)
        m_engine->setMemoryLimit(bytes);
}

void ScriptRunner::report(ErrorObject& error)
{
    if (m_site)
        ignoreStatus(m_site->reportError(error), "the report is the last thing done with an error");
}

// The runner is Running while code runs on its engine; afterwards it is Ready again, or Closed
// when the script closed it or took its site away. The site hears the beginning and the end.
class ScriptRunner::RunState {
public:
    explicit RunState(ScriptRunner& runner)
        : m_runner(runner)
    {
        m_runner.m_state = RunnerState::Running;
        if (m_runner.m_site)
            ignoreStatus(m_runner.m_site->onRunBegin(), "the brackets of a run only notify the site");
    }
    ~RunState()
    {
        m_runner.m_state = m_runner.m_engine && m_runner.m_site ? RunnerState::Ready : RunnerState::Closed;
        if (m_runner.m_site)
            ignoreStatus(m_runner.m_site->onRunEnd(), "the brackets of a run only notify the site");
    }
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;

private:
    ScriptRunner& m_runner;
};

static constexpr const char* FailedRunLeavesError = "a failed run leaves its Error value in the result";

Status ScriptRunner::compileAndRun(ScriptObject* self, const char* text, int32_t length, Scope scope,
    ScriptValue* result)
{
    RefPtr<MemoryStream> stream = createMemoryStream(text, length);
    if (!stream)
        return Status::Failed;
    std::unique_ptr<LineReader> reader = createLineReader(*stream);
    if (!reader)
        return Status::Ok;
    // The engine may be closed and released by the script itself; keep it for this run.
    Ref<ScriptEngine> engine(*m_engine);
    RefPtr<Lexer> lexer = createLexer(std::move(reader), engine->atomTable(), m_textOrigin);
    if (!lexer)
        return Status::Ok;

    OwnedCodeTree tree;
    RefPtr<ErrorObject> parseError;
    if (!parseProgram(*lexer, tree, parseError).ok()) {
        if (parseError)
            report(*parseError);
        return Status::Ok;
    }
    RunState running(*this);
    HostRun timed(*engine);
    *result = UndefinedValue;
    if (scope == Scope::Own) {
        BindingScope bindings(*engine);
        if (bindings.status().ok())
            ignoreStatus(runProgram(*engine, self, std::move(tree), result), FailedRunLeavesError);
        else
            tree.reset();
    } else {
        ignoreStatus(runProgram(*engine, self, std::move(tree), result), FailedRunLeavesError);
    }
    if (result->tag == ValueTag::Error && result->payload.error) {
        // The tag stays behind without its object, so that evalString can tell a failed run.
        report(*takeErrorObject(*result));
    }
    return Status::Ok;
}

Status ScriptRunner::runDroppingValue(const char* text, int32_t length, Scope scope)
{
    if (m_state != RunnerState::Ready)
        return Status::Failed;
    // A script may make the host let go of its runner (closing the document from a modal loop,
    // say); the runner stays until the run is over.
    Ref<ScriptRunner> protect(*this);
    ScriptValue result;
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

Status ScriptRunner::callFunction(const ScriptValue& callee, ScriptObject* self, int32_t argc,
    const ScriptValue* args, ScriptValue* result)
{
    *result = UndefinedValue;
    if (m_state != RunnerState::Ready && m_state != RunnerState::Running)
        return Status::Failed;
    Ref<ScriptRunner> protect(*this);
    RunnerState remembered = m_state;
    Status status;
    if (m_engine)
        m_engine->takeFailureNote();
    {
        RunState running(*this);
        RefPtr<ScriptEngine> engine = m_engine;
        std::optional<HostRun> timed;
        if (engine)
            timed.emplace(*engine);
        status = callValue(callee, self, argc, args, result);
    }
    if (m_engine && m_site)
        m_state = remembered;
    if (result->tag == ValueTag::Error || !status.ok()) {
        // A failure without an error of its own is reported as a program's is: "some error".
        RefPtr<ErrorObject> error = result->tag == ValueTag::Error ? takeErrorObject(*result)
            : m_engine                                            ? makeNotedError(*m_engine)
                                                                  : makeError(0, 0, Status::SomeError);
        *result = UndefinedValue;
        if (error)
            report(*error);
        return Status::Failed;
    }
    return Status::Ok;
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
