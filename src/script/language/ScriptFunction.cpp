#include <script/language/ScriptFunction.h>

#include <base/Assert.h>

#include <script/language/ErrorObject.h>
#include <script/language/Interpreter.h>

#include <script/runtime/AtomTable.h>
#include <base/Ref.h>

#include <cstddef>
#include <new>

namespace nimbolt {

int32_t PrototypeView::addRef() { return function().addRef(); }
int32_t PrototypeView::release() { return function().release(); }
Collectable* PrototypeView::collectable() { return function().collectable(); }

RefPtr<ScriptFunction> createFunction(ScriptEngine& engine, OwnedCodeTree definition)
{
    auto* function = new (std::nothrow) ScriptFunction(engine, std::move(definition));
    if (!function)
        return nullptr;
    function->m_prototypeTable = PropertyTable::create();
    function->m_ownTable = PropertyTable::create();
    if (!function->m_prototypeTable || !function->m_ownTable) {
        function->m_prototypeTable = function->m_ownTable = nullptr;
        delete function;
        return nullptr;
    }
    // The self-reference: the prototype member holds the view, and so the function.
    if (!function->m_prototypeTable->define(fixedAtoms().prototype, ScriptValue::object(&function->m_prototypeView))
             .ok()) {
        function->m_destroying = true;
        delete function;
        return nullptr;
    }
    function->listWith(&engine.memoryBudget());
    return adoptRef(function);
}

ScriptFunction::~ScriptFunction()
{
    // The prototype table first: it holds the self-reference.
    m_prototypeTable.clear();
    m_ownTable.clear();
}

void ScriptFunction::destroyHeldOnlyBySelf()
{
    // Releasing the prototype table drops the self-reference, which comes back to release while
    // m_destroying is set.
    m_destroying = true;
    delete this;
}

void ScriptFunction::visitHeld(Visitor visit, void* context)
{
    visitTable(*m_prototypeTable, visit, context);
    visitTable(*m_ownTable, visit, context);
}

void ScriptFunction::dropHeld()
{
    dropTable(*m_prototypeTable, &m_prototypeView);
    dropTable(*m_ownTable);
}

// Reading: prototype table first, then own table.
static Status getMember(PropertyTable& prototypeTable, PropertyTable* ownTable, Atom atom, ScriptValue* result)
{
    if (prototypeTable.get(atom, *result).ok())
        return Status::Ok;
    if (ownTable && ownTable->get(atom, *result).ok())
        return Status::Ok;
    return Status::NotAMember;
}

static Status callMember(PropertyTable& prototypeTable, PropertyTable* ownTable, ScriptObject* self, Atom atom,
    int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ScriptValue member = UndefinedValue;
    ignoreStatus(getMember(prototypeTable, ownTable, atom, &member),
        "a missing member stays undefined, and calling undefined fails");
    Status status = callValue(member, self, argc, args, result);
    releaseValue(member);
    return status;
}

// Assignment to an own member that exists; prototype members are read-only.
static Status replaceOwnMember(PropertyTable& prototypeTable, PropertyTable& ownTable, Atom atom,
    const ScriptValue& value, ScriptValue* result)
{
    if (ScriptValue* stored = ownTable.find(atom)) {
        replaceValue(*stored, value);
        *result = *stored;
        retainValue(*result);
        return Status::Ok;
    }
    *result = UndefinedValue;
    return prototypeTable.find(atom) ? Status::ReadOnlyMember : Status::NotAMember;
}

static const ScriptValue& argumentOrUndefined(int32_t argc, const ScriptValue* args)
{
    return argc > 0 ? args[0] : UndefinedValue;
}

// Makes an instance of parent, runs the definition with it as this and seals it. A constructor
// that fails with an Error hands that Error on instead of the half-made instance.
static Status construct(ScriptObject& parent, EngineLink& link, PropertyTable& prototypeTable,
    const CodeNode& definition, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ScriptEngine* engine = link.engine();
    if (!engine) {
        // The engine that defined the constructor is gone: there is nothing to run it on.
        *result = UndefinedValue;
        return Status::Failed;
    }
    Ref<ScriptEngine> protect(*engine);
    RefPtr<ScriptInstance> created = createInstance(parent, link, prototypeTable, definition);
    if (!created)
        return Status::OutOfMemory;
    ScriptInstance* instance = created.ptr();
    *result = ScriptValue::object(created.releaseNonNull());
    ScriptValue scratch = UndefinedValue;
    Status status;
    {
        // A host constructing directly starts a run of its own.
        EngineRun run(*engine);
        status = callFunction(*engine, definition, instance, argc, args, &scratch);
    }
    instance->seal();
    if (scratch.tag == ValueTag::Error) {
        releaseValue(*result);
        *result = scratch;
    } else {
        releaseValue(scratch);
    }
    return status;
}

Status ScriptFunction::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
        return replaceOwnMember(*m_prototypeTable, *m_ownTable, atom, argumentOrUndefined(argc, args), result);
    case InvokeOp::GetMember:
        return getMember(*m_prototypeTable, m_ownTable.ptr(), atom, result);
    case InvokeOp::CallMember:
        return callMember(*m_prototypeTable, m_ownTable.ptr(), this, atom, argc, args, result);
    case InvokeOp::Construct:
        return construct(*this, *m_link, *m_prototypeTable, *m_definition, argc, args, result);
    default:
        return Status::Failed;
    }
}

Status ScriptFunction::call(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ScriptEngine* engine = m_link->engine();
    if (!engine) {
        // The engine that defined the function is gone (its runner closed while a host kept the
        // function): there is nothing to run it on.
        *result = UndefinedValue;
        return Status::Failed;
    }
    // Whoever calls may hold neither the function nor the engine; keep both for the call. A host
    // calling a kept function directly starts a run of its own.
    Ref<ScriptFunction> protectFunction(*this);
    Ref<ScriptEngine> protectEngine(*engine);
    EngineRun run(*engine);
    return callFunction(*engine, *m_definition, self, argc, args, result);
}

Status PrototypeView::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ScriptFunction& owner = function();
    switch (op) {
    case InvokeOp::PutMember: {
        const ScriptValue& value = argumentOrUndefined(argc, args);
        // The prototype member holds the function's self-reference: replacing it would destroy
        // the function while its variable still holds it.
        if (atom == fixedAtoms().prototype) {
            *result = UndefinedValue;
            return Status::ReadOnlyMember;
        }
        if (ScriptValue* stored = owner.m_prototypeTable->find(atom)) {
            replaceValue(*stored, value);
        } else if (Status status = owner.m_prototypeTable->define(atom, value); !status.ok()) {
            return status;
        }
        *result = value;
        retainValue(*result);
        return Status::Ok;
    }
    case InvokeOp::GetMember:
        return getMember(*owner.m_prototypeTable, owner.m_ownTable.ptr(), atom, result);
    case InvokeOp::CallMember:
        return callMember(*owner.m_prototypeTable, owner.m_ownTable.ptr(), &owner, atom, argc, args, result);
    default:
        return Status::Failed;
    }
}

RefPtr<ScriptInstance> createInstance(ScriptObject& parent, EngineLink& link, PropertyTable& prototypeTable,
    const CodeNode& definition)
{
    RefPtr<ScriptInstance> instance = adoptRef(new (std::nothrow) ScriptInstance(parent, link, prototypeTable, definition));
    if (!instance)
        return nullptr;
    instance->m_ownTable = PropertyTable::create();
    if (!instance->m_ownTable)
        return nullptr;
    parent.addRef();
    if (ScriptEngine* engine = link.engine())
        instance->listWith(&engine->memoryBudget());
    return instance;
}

void ScriptInstance::visitHeld(Visitor visit, void* context)
{
    visitTable(*m_ownTable, visit, context);
    visit(m_parent, context);
}

void ScriptInstance::dropHeld() { dropTable(*m_ownTable); }

int32_t ScriptInstance::release()
{
    int32_t count = --m_refCount;
    NIMBOLT_ASSERT(count >= 0);
    if (count == 0)
        destroyDeferred();
    return count;
}

ScriptInstance::~ScriptInstance()
{
    // The parent is held only once the instance was made whole.
    if (m_ownTable) {
        m_ownTable.clear();
        m_parent.release();
    }
}

Status ScriptInstance::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember: {
        const ScriptValue& value = argumentOrUndefined(argc, args);
        Status status = replaceOwnMember(m_prototypeTable, *m_ownTable, atom, value, result);
        if (status != Status::NotAMember || m_sealed)
            return status;
        NIMBOLT_TRY(m_ownTable->define(atom, value));
        *result = value;
        retainValue(*result);
        return Status::Ok;
    }
    case InvokeOp::GetMember:
        return getMember(m_prototypeTable, m_ownTable.ptr(), atom, result);
    case InvokeOp::CallMember:
        return callMember(m_prototypeTable, m_ownTable.ptr(), this, atom, argc, args, result);
    case InvokeOp::Construct:
        if (!m_sealed)
            return Status::Failed;
        return construct(*this, m_link, m_prototypeTable, m_definition, argc, args, result);
    default:
        return Status::Failed;
    }
}

Status callFunction(ScriptEngine& engine, const CodeNode& definition, ScriptObject* self, int32_t argc,
    const ScriptValue* args, ScriptValue* result)
{
    return runCall(engine, definition, self, argc, args, result);
}

}
