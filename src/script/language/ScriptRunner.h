// What a host holds to run scripts: one engine, the host's site, and the compile-and-run step
// that turns a text into a code tree and runs it, at global level or in a throw-away scope.
// Parse and run-time errors are reported once through the site and never returned as statuses.
//
// States: Closed (no engine, or an engine without a site), Ready, Running. runText and
// runTextInScope refuse to nest; evalString nests and puts the outer state back afterwards.
#pragma once

#include <script/language/Lexer.h>
#include <script/language/ScriptEngine.h>
#include <script/language/ScriptSite.h>

#include <base/Ref.h>
#include <base/StatusOr.h>
#include <script/runtime/AtomTable.h>
#include <base/RefCounted.h>
#include <script/runtime/ScriptString.h>

#include <cstddef>
#include <cstdint>

namespace nimbolt {

enum class RunnerState : int32_t {
    Closed = 0,
    Running = 1,
    Ready = 5,
};

class ScriptRunner final : public RefCounted {
public:
    // Defines a global name in the engine's current scope (the engine retains the value); -1
    // without an engine.
    Status defineGlobal(const char* name, const ScriptValue& value);
    RunnerState getState() const { return m_state; }
    Status setSite(ScriptSite* site);
    // The site, or null.
    RefPtr<ScriptSite> getSite() const { return m_site; }
    // The engine's atom table; -1 without an engine.
    StatusOr<Ref<AtomTable>> getAtomTable() const;
    // Closes an open runner (releasing the engine and every global) or opens a closed one.
    Status toggleOpen();
    Status runText(const char* text, int32_t length);
    Status runTextInScope(const char* text, int32_t length);
    // Runs a string's text in a new scope with this (the engine when null), writing the value
    // into result. -1 and an undefined result after a run-time error (already reported).
    Status evalString(ScriptObject* self, ScriptString& text, ScriptValue* result);
    // Calls a value (a function, a native, an object that applies) as a run of this runner, for
    // hosts that call back into scripts (timers, events). Nests like evalString; an error is
    // reported through the site and gives -1 and an undefined result.
    Status callFunction(const ScriptValue& callee, ScriptObject* self, int32_t argc, const ScriptValue* args,
        ScriptValue* result);

    // Where the texts compiled from now on come from (Shift-JIS unless set): a document sets the
    // origin of its file, which its head scripts, handlers and eval texts all share.
    void setTextOrigin(TextOrigin origin) { m_textOrigin = origin; }
    TextOrigin textOrigin() const { return m_textOrigin; }

    ScriptEngine* engine() const { return m_engine.ptr(); }
    // The most the data of this runner's scripts may take, in bytes (256 MiB unless set), for the
    // engine it has and every engine it opens later. A script that needs more fails with "out of
    // memory".
    void setMemoryLimit(size_t bytes);

private:
    friend RefPtr<ScriptRunner> createRunner();
    ScriptRunner() = default;
    ~ScriptRunner() override;

    enum class Scope { Global, Own };
    // runText and runTextInScope: a Ready runner only, no this, the value dropped.
    Status runDroppingValue(const char* text, int32_t length, Scope scope);
    Status compileAndRun(ScriptObject* self, const char* text, int32_t length, Scope scope, ScriptValue* result);
    void report(ErrorObject& error);
    class RunState;

    RunnerState m_state { RunnerState::Closed };
    RefPtr<ScriptEngine> m_engine;
    RefPtr<ScriptSite> m_site;
    size_t m_memoryLimit { MemoryBudget::DefaultLimit };
    TextOrigin m_textOrigin { TextOrigin::ShiftJis };
};

// A new runner with count 1: Closed, no engine, no site. Null when memory runs out.
RefPtr<ScriptRunner> createRunner();

}
