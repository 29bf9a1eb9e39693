// Script functions and the instances new makes from them. A function has two interfaces on one
// count: itself and its prototype view, the value of its prototype member. The prototype table
// holds that view, and so one reference on the function itself: a function nothing else holds
// has count 1 and is destroyed when a release brings its count down to 1.
//
// Members are read from the prototype table first, then from the own table. Writes through a
// function or an instance never touch a name the prototype table holds (read-only member); an
// instance gains new own members only while its constructor runs.
#pragma once

#include <base/DeferredRelease.h>
#include <script/language/CodeNode.h>
#include <script/language/ScriptEngine.h>

#include <script/runtime/Collectable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>

namespace nimbolt {

class ScriptFunction;

class PrototypeView final : public ScriptObject {
public:
    int32_t addRef() override;
    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;
    Collectable* collectable() override;

private:
    friend class ScriptFunction;
    explicit PrototypeView(ScriptFunction& function)
        : m_function(function)
    {
    }
    ScriptFunction& function() { return m_function; }

    ScriptFunction& m_function;
};

class ScriptFunction final : public CallableObject, private Collectable {
public:
    int32_t release() override
    {
        int32_t count = --m_refCount;
        NIMBOLT_ASSERT(count >= 0);
        if (count == 1 && !m_destroying)
            destroyHeldOnlyBySelf();
        return count;
    }
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;
    Status call(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result) override;
    Collectable* collectable() override { return this; }

    // The engine that defined the function, or null once that engine is gone.
    ScriptEngine* engine() const { return m_link->engine(); }
    PropertyTable& prototypeTable() const { return *m_prototypeTable; }
    const CodeNode& definition() const { return *m_definition; }
    PrototypeView& prototypeView() { return m_prototypeView; }

private:
    friend RefPtr<ScriptFunction> createFunction(ScriptEngine&, OwnedCodeTree);
    friend class PrototypeView;
    ScriptFunction(ScriptEngine& engine, OwnedCodeTree definition)
        : CallableObject(true)
        , m_prototypeView(*this)
        , m_link(engine.link())
        , m_definition(std::move(definition))
    {
    }
    ~ScriptFunction() override;
    // Only the self-reference is left: the function goes.
    void destroyHeldOnlyBySelf();
    ScriptObject& countedObject() override { return *this; }
    // Both tables, the self-reference included.
    void visitHeld(Visitor visit, void* context) override;
    // Everything but the self-reference, which goes with the function.
    void dropHeld() override;

    PrototypeView m_prototypeView;
    // Counted: the function keeps the link, never the engine, alive.
    Ref<EngineLink> m_link;
    RefPtr<PropertyTable> m_prototypeTable;
    RefPtr<PropertyTable> m_ownTable;
    OwnedCodeTree m_definition;
    bool m_destroying { false };
};

class ScriptInstance final : public ScriptObject, private DeferredRelease, private Collectable {
public:
    // At zero the instance is destroyed; an instance that reaches zero while another one is
    // being destroyed waits in a queue, so long chains of instances (through parents or
    // members) are freed one after the other instead of recursively.
    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    Collectable* collectable() override { return this; }

    bool sealed() const { return m_sealed; }
    void seal() { m_sealed = true; }

private:
    ScriptObject& countedObject() override { return *this; }
    // The own members and the parent.
    void visitHeld(Visitor visit, void* context) override;
    // The own members; the parent is held until the instance goes.
    void dropHeld() override;

    friend RefPtr<ScriptInstance> createInstance(ScriptObject&, EngineLink&, PropertyTable&, const CodeNode&);
    ScriptInstance(ScriptObject& parent, EngineLink& link, PropertyTable& prototypeTable,
        const CodeNode& definition)
        : m_parent(parent)
        , m_link(link)
        , m_prototypeTable(prototypeTable)
        , m_definition(definition)
    {
    }
    ~ScriptInstance() override;

    ScriptObject& m_parent;
    // Not counted: the parent chain ends in the function, which holds it.
    EngineLink& m_link;
    PropertyTable& m_prototypeTable;
    RefPtr<PropertyTable> m_ownTable;
    const CodeNode& m_definition;
    bool m_sealed { false };
};

// A new instance (count 1, under construction) of parent, holding a reference on it; null when
// memory runs out.
RefPtr<ScriptInstance> createInstance(ScriptObject& parent, EngineLink& link, PropertyTable& prototypeTable,
    const CodeNode& definition);

// A function for a definition node (which it then owns), with count 1 plus the self-reference;
// null when memory runs out (the node is then freed).
RefPtr<ScriptFunction> createFunction(ScriptEngine& engine, OwnedCodeTree definition);

// Runs a function definition's body with this (the engine when null) and the arguments: a new
// scope with the parameters bound, a frame, the body. Returns the body's status when negative,
// otherwise 0; the body's value is in the result. The engine is running (an EngineRun is open).
Status callFunction(ScriptEngine& engine, const CodeNode& definition, ScriptObject* self, int32_t argc,
    const ScriptValue* args, ScriptValue* result);
// A host calling a kept function: the function and its engine are held for the call, so that a
// callback that drops the host's last reference (or closes the runner) cannot free either while
// the body runs.
inline Status callFunction(ScriptFunction& function, ScriptObject* self, int32_t argc, const ScriptValue* args,
    ScriptValue* result)
{
    return function.call(self, argc, args, result);
}

}
