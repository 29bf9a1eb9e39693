#include <script/language/ScriptEngine.h>

#include <script/runtime/Collectable.h>
#include <script/runtime/ScriptValue.h>

#include <chrono>
#include <new>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#endif

namespace nimbolt {

RefPtr<ScriptEngine> ScriptEngine::create()
{
    RefPtr<ScriptEngine> engine = adoptRef(new (std::nothrow) ScriptEngine);
    if (!engine)
        return nullptr;
    engine->m_link = adoptRef(new (std::nothrow) EngineLink({}, engine.ptr()));
    engine->m_scopes = PropertyTable::create();
    engine->m_atoms = AtomTable::create();
    engine->m_budget = MemoryBudget::create();
    if (!engine->m_link || !engine->m_scopes || !engine->m_atoms || !engine->m_budget
        || !internFixedAtoms(*engine->m_atoms))
        return nullptr;
    return engine;
}

ScriptEngine::~ScriptEngine()
{
    // Functions that outlive the engine find it gone from here on.
    if (m_link)
        m_link->cut({});
    while (m_top > 0)
        releaseValue(m_stack[m_top--]);
    if (m_scopes && m_budget)
        clearBindings();
}

Status ScriptEngine::putVariable(Atom atom, const ScriptValue& value, ScriptValue* result)
{
    if (ScriptValue* stored = m_scopes->find(atom)) {
        replaceValue(*stored, value);
        *result = *stored;
    } else {
        NIMBOLT_TRY(m_scopes->define(atom, value));
        *result = value;
    }
    retainValue(*result);
    return Status::Ok;
}

std::string ScriptEngine::atomName(Atom atom)
{
    char name[256];
    StatusOr<int32_t> length = m_atoms->nameOf(atom, name, sizeof name);
    if (!length.ok() || length.value() <= 0)
        return std::string();
    return std::string(name, static_cast<size_t>(std::min<int32_t>(length.value(), sizeof name - 1)));
}

Status ScriptEngine::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
        return putVariable(atom, argc > 0 ? args[0] : UndefinedValue, result);
    case InvokeOp::GetMember:
        getVariable(atom, *result);
        return Status::Ok;
    case InvokeOp::CallMember: {
        ScriptValue callee;
        getVariable(atom, callee);
        Status status = callValue(callee, this, argc, args, result);
        releaseValue(callee);
        return status;
    }
    default:
        return Status::Failed;
    }
}

void ScriptEngine::clearBindings()
{
    ScriptValue popped;
    while (!m_scopes->isEmpty()) {
        ignoreStatus(m_scopes->pop(popped), "a table that is not empty always pops");
        releaseValue(popped);
    }
    collectCycles();
}

size_t ScriptEngine::collectCycles() { return running() ? 0 : nimbolt::collectCycles(*m_budget); }

// How much machine stack a run may use: most of the thread's limit where the system tells it, at
// most 6 MiB; without that knowledge a budget that fits the smallest common thread stack (1 MiB).
static uintptr_t nativeStackBudget()
{
    constexpr uintptr_t ceiling = 6u << 20;
#if __has_include(<sys/resource.h>)
    rlimit limit {};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return ceiling;
    uintptr_t usable = limit.rlim_cur > (1u << 20) ? limit.rlim_cur - (1u << 20) : limit.rlim_cur / 2;
    return usable < ceiling ? usable : ceiling;
#else
    return 768u << 10;
#endif
}

void ScriptEngine::beginOutermostRun()
{
    uintptr_t here = currentStackPosition();
    uintptr_t budget = nativeStackBudget();
    m_stackLimit = here > budget ? here - budget : 0;
    m_outerBudget = MemoryBudget::makeCurrent(m_budget.ptr());
}

void ScriptEngine::endOutermostRun()
{
    m_stackLimit = 0;
    MemoryBudget::makeCurrent(m_outerBudget);
    m_outerBudget = nullptr;
}

// How many loop passes go by between two readings of the clock.
static constexpr int32_t PassesPerCheck = 4096;

int64_t ScriptEngine::clockNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ScriptEngine::checkRunClock()
{
    m_passesUntilCheck = PassesPerCheck;
    return m_deadlineSet && m_pauses == 0 && clockNow() > m_deadline;
}

HostRun::HostRun(ScriptEngine& engine)
    : m_engine(engine)
    , m_deadline(engine.m_deadline)
    , m_deadlineSet(engine.m_deadlineSet)
    , m_pauses(engine.m_pauses)
    , m_pauseStart(engine.m_pauseStart)
{
    if (engine.m_deadlineSet && engine.m_pauses == 0)
        return;
    engine.m_pauses = 0;
    engine.m_deadlineSet = engine.m_runLimit > 0;
    engine.m_deadline = ScriptEngine::clockNow() + int64_t { engine.m_runLimit } * 1000000;
    engine.m_passesUntilCheck = PassesPerCheck;
}

HostRun::~HostRun()
{
    m_engine.m_deadline = m_deadline;
    m_engine.m_deadlineSet = m_deadlineSet;
    m_engine.m_pauses = m_pauses;
    m_engine.m_pauseStart = m_pauseStart;
}

RunClockPause::RunClockPause(ScriptEngine& engine)
    : m_engine(engine)
{
    if (engine.m_pauses++ == 0)
        engine.m_pauseStart = ScriptEngine::clockNow();
}

RunClockPause::~RunClockPause()
{
    NIMBOLT_ASSERT(m_engine.m_pauses > 0);
    if (--m_engine.m_pauses == 0)
        m_engine.m_deadline += ScriptEngine::clockNow() - m_engine.m_pauseStart;
}

}
