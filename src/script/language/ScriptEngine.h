// One interpreter context: every name binding of the scripts run on it (one scope table that is
// a stack for the whole engine, so scope is dynamic), the value stack on which calls pass their
// arguments and keep their frames, the atom table and the host's site. Script variables are the
// engine's members: a plain name is read, assigned and called through invoke on the engine.
//
// Everything scripts make while the engine runs (strings, arrays, objects) is charged to the
// engine's memory budget, 256 MiB unless the host sets another limit.
//
// The value stack has 4097 slots; slot 0 is never used and at most 4095 values are on it. A
// frame is three slots: argument count, this, saved frame base (at the frame base).
#pragma once

#include <base/Assert.h>
#include <base/Badge.h>
#include <base/Ref.h>
#include <script/language/ScriptSite.h>

#include <script/runtime/AtomTable.h>
#include <script/runtime/MemoryBudget.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <string>
#include <utility>

namespace nimbolt {

// Where the machine stack is now; it grows towards lower addresses on every platform we build for.
// On x86-64 the stack pointer is read directly, so that the functions that check it (every
// composite expression and statement) need no frame pointer of their own.
inline uintptr_t currentStackPosition()
{
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
    uintptr_t position;
    asm("movq %%rsp, %0" : "=r"(position));
    return position;
#elif defined(__GNUC__) || defined(__clang__)
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
#else
    volatile char probe = 0;
    return reinterpret_cast<uintptr_t>(&probe);
#endif
}

class ScriptEngine;

// A counted handle that outlives its engine. Script functions reach their engine through it
// without keeping the engine alive, and find null once the engine is gone.
class EngineLink final : public RefCounted {
public:
    // Only the engine makes its link and cuts it as it goes.
    EngineLink(Badge<ScriptEngine>, ScriptEngine* engine)
        : m_engine(engine)
    {
    }
    ScriptEngine* engine() const { return m_engine; }
    void cut(Badge<ScriptEngine>) { m_engine = nullptr; }

private:
    ~EngineLink() override = default;

    ScriptEngine* m_engine;
};

class ScriptEngine;

// Makes an origin the running one for its life (see ScriptEngine::origin).
class OriginScope {
public:
    OriginScope(ScriptEngine& engine, int32_t origin);
    ~OriginScope();
    OriginScope(const OriginScope&) = delete;
    OriginScope& operator=(const OriginScope&) = delete;

private:
    ScriptEngine& m_engine;
    int32_t m_saved;
};

class ScriptEngine final : public ScriptObject {
public:
    static constexpr int32_t StackSlots = 4097;
    static constexpr int32_t MaxValues = 4095;

    // A new engine with count 1 whose atom table starts with prototype, length and charAt; null
    // when memory runs out.
    static RefPtr<ScriptEngine> create();

    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    // Name access without the dispatch of invoke; the same rules.
    void getVariable(Atom atom, ScriptValue& result)
    {
        if (ScriptValue* stored = m_scopes->find(atom)) {
            result = *stored;
            retainValue(result);
        } else {
            result = UndefinedValue;
        }
    }
    Status putVariable(Atom atom, const ScriptValue& value, ScriptValue* result);
    // The stored value of the newest binding of the name, lent without a reference; null when
    // the name is unbound.
    const ScriptValue* findVariable(Atom atom) { return m_scopes->find(atom); }

    // A new binding in the innermost open scope; the scope table keeps its own reference.
    Status defineLocal(Atom atom, const ScriptValue& value) { return m_scopes->define(atom, value); }
    // Pops and releases every binding and scope marker, then (between runs) frees the cycles
    // that scripts left among their arrays, functions and instances. The runner does this before
    // it lets go of the engine, so that a global holding the engine itself (var me = this) keeps
    // neither the engine nor the other globals alive.
    void clearBindings();
    // Frees the groups of arrays, functions and instances that only hold each other, and returns
    // how many objects went; nothing while a run is in progress.
    size_t collectCycles();

    // How deep the value stack and the frames are; both are 0 between runs.
    int32_t topSlot() const { return m_top; }
    int32_t frameBase() const { return m_frameBase; }
    // The this value of the running code: the slot below the frame base (undefined without a
    // frame).
    const ScriptValue& thisValue() const { return m_frameBase > 1 ? m_stack[m_frameBase - 1] : m_stack[0]; }

    AtomTable& atomTable() { return *m_atoms; }
    MemoryBudget& memoryBudget() { return *m_budget; }
    // The most the data of this engine's scripts may take, in bytes; a limit below what they
    // hold already refuses every new allocation until enough is freed.
    void setMemoryLimit(size_t bytes) { m_budget->setLimit(bytes); }
    EngineLink& link() { return *m_link; }
    PropertyTable& scopeTable() { return *m_scopes; }
    // The site, or null; the engine holds one reference.
    ScriptSite* site() const { return m_site.ptr(); }
    void setSite(ScriptSite* site) { m_site = site; }

    // The origin of the code running: a number the host gives each text it runs, so that an
    // error report can tell which text failed (0: none given). Functions keep the origin of the
    // text that defined them, and their calls make it the running one.
    int32_t origin() const { return m_origin; }
    void setOrigin(int32_t origin) { m_origin = origin; }
    // A failure that ends without an error of its own (calling a name that holds no function)
    // leaves its line and what went wrong here, for the error the run then makes.
    struct FailureNote {
        int32_t origin { 0 };
        int32_t line { 0 };
        std::string text;
    };
    void noteFailure(int32_t line, std::string text) { m_note = { m_origin, line, std::move(text) }; }
    FailureNote takeFailureNote() { return std::exchange(m_note, {}); }
    // The name of an atom as text, for reports.
    std::string atomName(Atom atom);

    // Native recursion guard: evaluation and statement execution check the machine stack and
    // fail with "stack overflow" long before it runs out, however the script nests.
    bool nativeStackExhausted() const { return currentStackPosition() < m_stackLimit; }
    bool running() const { return m_runDepth > 0; }

    // The longest a host's call into scripts may run, in milliseconds (0: no limit). A run past
    // it fails with "script ran too long" at its next loop pass or call; time spent waiting in a
    // message box does not count.
    void setRunLimit(int32_t milliseconds) { m_runLimit = milliseconds; }
    // Counted by every loop pass and call; the clock is read only every so many passes.
    bool runOverdue()
    {
        if (--m_passesUntilCheck > 0)
            return false;
        return checkRunClock();
    }

private:
    // The value stack, frames, scopes and runs are opened and closed only through the scope
    // objects below, so that no early return leaves them unbalanced.
    friend class ValueStackMark;
    friend class CallFrame;
    friend class BindingScope;
    friend class EngineRun;
    friend class HostRun;
    friend class RunClockPause;

    ScriptEngine() = default;
    ~ScriptEngine() override;

    Status pushValue(const ScriptValue& value)
    {
        if (m_top >= MaxValues)
            return Status::StackOverflow;
        m_stack[++m_top] = value;
        retainValue(value);
        return Status::Ok;
    }
    // Pushes the value, taking over its reference (it is left undefined); on failure the value
    // is left as it was.
    Status pushMoved(ScriptValue& value)
    {
        if (m_top >= MaxValues)
            return Status::StackOverflow;
        m_stack[++m_top] = value;
        value = UndefinedValue;
        return Status::Ok;
    }
    void popTo(int32_t mark)
    {
        NIMBOLT_ASSERT(mark >= m_frameBase && mark <= m_top);
        while (m_top > mark)
            releaseValue(m_stack[m_top--]);
    }
    // The three slots of a call's frame at once (argument count, this, saved frame base),
    // failing with "stack overflow" and pushing nothing when they do not fit. A null self or the
    // engine itself is pushed as the engine without a count.
    Status enterCallFrame(int32_t argc, ScriptObject* self)
    {
        // The members are read into locals first: the stores into the stack could otherwise
        // alias them.
        int32_t top = m_top;
        int32_t savedBase = m_frameBase;
        if (top + 3 > MaxValues)
            return Status::StackOverflow;
        ScriptObject* thisObject = this;
        if (self && self != this) {
            self->addRef();
            thisObject = self;
        }
        ScriptValue* slots = m_stack + top;
        slots[1] = ScriptValue::integer(argc);
        slots[2] = ScriptValue::object(thisObject);
        slots[3] = ScriptValue::integer(savedBase);
        m_top = m_frameBase = top + 3;
        return Status::Ok;
    }
    void leaveCallFrame()
    {
        int32_t top = m_top;
        NIMBOLT_ASSERT(top == m_frameBase && top >= 3);
        // Slots above the top are not read again before they are pushed over.
        const ScriptValue* slots = m_stack + top - 2;
        int32_t savedBase = slots[2].payload.integer;
        ScriptValue self = slots[1];
        m_frameBase = savedBase;
        m_top = top - 3;
        if (self.payload.object != this)
            releaseValue(self);
    }
    Status openScope() { return m_scopes->push(ScriptValue::scopeMarker()); }
    // Opens a scope whose first binding is atom = value, with no marker of its own.
    Status openScopeWithBinding(Atom atom, const ScriptValue& value) { return m_scopes->defineOpeningScope(atom, value); }
    // Pops and releases bindings down to and including the newest scope marker (or until the
    // table is empty).
    void closeScope() { m_scopes->popThroughMarker(); }
    // Brackets a run: the outermost one starts the native stack guard and makes this engine's
    // memory budget the current one; nested runs cost a count.
    void enterRun()
    {
        if (m_runDepth++ == 0)
            beginOutermostRun();
    }
    void leaveRun()
    {
        NIMBOLT_ASSERT(m_runDepth > 0);
        if (--m_runDepth == 0)
            endOutermostRun();
    }
    void beginOutermostRun();
    void endOutermostRun();

    // Released in reverse order after the value stack: bindings, atoms, site.
    RefPtr<ScriptSite> m_site;
    RefPtr<AtomTable> m_atoms;
    RefPtr<PropertyTable> m_scopes;
    RefPtr<EngineLink> m_link;
    RefPtr<MemoryBudget> m_budget;
    // The budget that was current when the outermost run began.
    MemoryBudget* m_outerBudget { nullptr };
    int32_t m_frameBase { 0 };
    int32_t m_top { 0 };
    int32_t m_runDepth { 0 };
    uintptr_t m_stackLimit { 0 };
    bool checkRunClock();
    static int64_t clockNow();
    // The run clock: the deadline of the run in progress (steady clock, nanoseconds), whether
    // one is set, and how many message boxes it waits in.
    int32_t m_runLimit { 0 };
    int32_t m_origin { 0 };
    FailureNote m_note;
    int32_t m_passesUntilCheck { 0 };
    int64_t m_deadline { 0 };
    bool m_deadlineSet { false };
    int32_t m_pauses { 0 };
    int64_t m_pauseStart { 0 };
    ScriptValue m_stack[StackSlots];
};

// Values pushed for a call or a store; every value pushed after the mark is popped and released
// when the mark goes out of scope.
class ValueStackMark {
public:
    explicit ValueStackMark(ScriptEngine& engine)
        : m_engine(engine)
        , m_mark(engine.m_top)
    {
    }
    ~ValueStackMark() { m_engine.popTo(m_mark); }
    ValueStackMark(const ValueStackMark&) = delete;
    ValueStackMark& operator=(const ValueStackMark&) = delete;

    // "stack overflow" beyond 4095 values; the value is retained.
    Status push(const ScriptValue& value) { return m_engine.pushValue(value); }
    // The same, taking over the value's reference; on failure the value is left as it was.
    Status pushMoved(ScriptValue& value) { return m_engine.pushMoved(value); }
    // The values pushed since the mark, oldest first.
    const ScriptValue* values() const { return m_engine.m_stack + m_mark + 1; }
    int32_t count() const { return m_engine.m_top - m_mark; }

private:
    ScriptEngine& m_engine;
    int32_t m_mark;
};

// A call's frame (argument count, this, saved frame base), left when it goes out of scope.
class CallFrame {
public:
    CallFrame(ScriptEngine& engine, int32_t argc, ScriptObject* self)
        : m_engine(engine)
        , m_status(engine.enterCallFrame(argc, self))
    {
    }
    ~CallFrame()
    {
        if (m_status.ok())
            m_engine.leaveCallFrame();
    }
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;

    // "stack overflow" when the frame did not fit; nothing was pushed then.
    Status status() const { return m_status; }

private:
    ScriptEngine& m_engine;
    Status m_status;
};

// A binding scope: bindings defined while it is open are popped when it goes out of scope.
class BindingScope {
public:
    explicit BindingScope(ScriptEngine& engine)
        : m_engine(engine)
        , m_status(engine.openScope())
    {
    }
    // A scope opened by its first binding, atom = value (retained): a call's first parameter.
    BindingScope(ScriptEngine& engine, Atom atom, const ScriptValue& value)
        : m_engine(engine)
        , m_status(engine.openScopeWithBinding(atom, value))
    {
    }
    ~BindingScope()
    {
        if (m_status.ok())
            m_engine.closeScope();
    }
    BindingScope(const BindingScope&) = delete;
    BindingScope& operator=(const BindingScope&) = delete;

    // Failure when the scope table could not grow; the scope is not open then.
    Status status() const { return m_status; }

private:
    ScriptEngine& m_engine;
    Status m_status;
};

// A call from a host into scripts. It gets a deadline of its own unless it runs inside a script
// that is still running (window.eval, say), which keeps the deadline it has; one that starts while
// the running script waits in a message box times itself.
class HostRun {
public:
    explicit HostRun(ScriptEngine& engine);
    ~HostRun();
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

private:
    ScriptEngine& m_engine;
    int64_t m_deadline;
    bool m_deadlineSet;
    int32_t m_pauses;
    int64_t m_pauseStart;
};

// Time spent waiting (in a message box) while this is alive does not count against the run.
class RunClockPause {
public:
    explicit RunClockPause(ScriptEngine& engine);
    ~RunClockPause();
    RunClockPause(const RunClockPause&) = delete;
    RunClockPause& operator=(const RunClockPause&) = delete;

private:
    ScriptEngine& m_engine;
};

// One run of code on the engine; nested runs share the outermost one's native stack budget.
class EngineRun {
public:
    explicit EngineRun(ScriptEngine& engine)
        : m_engine(engine)
    {
        m_engine.enterRun();
    }
    ~EngineRun() { m_engine.leaveRun(); }
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

private:
    ScriptEngine& m_engine;
};

inline OriginScope::OriginScope(ScriptEngine& engine, int32_t origin)
    : m_engine(engine)
    , m_saved(engine.origin())
{
    engine.setOrigin(origin);
}

inline OriginScope::~OriginScope() { m_engine.setOrigin(m_saved); }

}
