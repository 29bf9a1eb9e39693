// Every object a script can reach answers the same three operations: addRef, release and
// invoke. invoke names a member by its atom and says what to do with it by an InvokeOp;
// arguments are borrowed, the result slot receives an owned value.
#pragma once

#include <base/RefCounted.h>
#include <base/Status.h>

#include <cstdint>

namespace nimbolt {

struct ScriptValue;
class Collectable;

using Atom = int32_t;

enum class InvokeOp : int32_t {
    PutMember = 1,
    GetMember = 2,
    CallMember = 3,
    StoreItem = 4,
    Apply = 5,
    Construct = 6,
};

class ScriptObject : public RefCounted {
public:
    virtual Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) = 0;
    // The object's entry in the cycle search, for objects that hold values of their own.
    virtual Collectable* collectable() { return nullptr; }
};

// The payload of every Function value: a script function or anything that runs like one.
class CallableObject : public ScriptObject {
public:
    virtual Status call(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result) = 0;

    // Set only by script functions, so the interpreter can run one without the virtual call.
    bool isScriptFunction() const { return m_isScriptFunction; }

protected:
    CallableObject() = default;
    explicit CallableObject(bool isScriptFunction)
        : m_isScriptFunction(isScriptFunction)
    {
    }

private:
    bool m_isScriptFunction { false };
};

// Serves one member for every op; decides by op what it supports.
using MemberHandler = Status (*)(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue* args,
    ScriptValue* result);

// A host function stored directly in a value (Echo and the like). self may be null.
using NativeFunction = Status (*)(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result);

}
