// How host classes publish their members: a static table of (name, handler) rows, interned once
// into a member PropertyTable whose values are MemberHandler values. Dispatch is then a lookup by
// atom, never a comparison of names.
#pragma once

#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptValue.h>

namespace nimbolt {

// A row with a null name ends a table.
struct MemberTableRow {
    const char* name;
    MemberHandler handler;
};

// Global constructors (Array, Math, Image, Shell): a factory takes the engine's atom table and
// returns a new object with count 1 that stands for the class. A row with a null name ends it.
using GlobalFactory = RefPtr<ScriptObject> (*)(AtomTable& atoms);
struct GlobalConstructorRow {
    const char* name;
    GlobalFactory factory;
};

// The object a member handler serves, as the class that published the row; null when self is
// of another class (a row shared by several classes, or a handler reached through a foreign
// object).
template<typename T>
T* selfAs(ScriptObject* self)
{
    return dynamic_cast<T*>(self);
}

namespace detail {
template<typename>
struct MemberClass;
template<typename C, typename R, typename... A>
struct MemberClass<R (C::*)(A...)> {
    using Type = C;
};
template<auto Function>
using ClassOf = typename MemberClass<decltype(Function)>::Type;
}

// Adaptors that make a MemberHandler of a member function, so that a class publishes a member
// in one row: { "moveTo", method<&Element::moveTo, 2> }. Each answers only its ops (any other op
// is "some error" and leaves the result undefined), checks the class of self, and hands the
// member function an undefined result slot.

// A method, CallMember only: Status C::f(int32_t argc, const ScriptValue* args, ScriptValue* result).
// Called with fewer than MinArgs arguments it does nothing and gives undefined.
template<auto Method, int32_t MinArgs = 0>
Status method(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    auto* object = selfAs<detail::ClassOf<Method>>(self);
    *result = UndefinedValue;
    if (op != InvokeOp::CallMember || !object)
        return Status::SomeError;
    if (argc < MinArgs)
        return Status::Ok;
    return (object->*Method)(argc, args, result);
}

// What a getter answers when a script assigns to it.
enum class PutRule {
    SomeError,
    ReadOnly,
};

// A read-only property, GetMember only: Status C::f(ScriptValue* result). An assignment is
// "some error", or "read-only member" with PutRule::ReadOnly.
template<auto Getter, PutRule Put = PutRule::SomeError>
Status getter(ScriptObject* self, InvokeOp op, int32_t, const ScriptValue*, ScriptValue* result)
{
    auto* object = selfAs<detail::ClassOf<Getter>>(self);
    *result = UndefinedValue;
    if (op == InvokeOp::PutMember && Put == PutRule::ReadOnly)
        return Status::ReadOnlyMember;
    if (op != InvokeOp::GetMember || !object)
        return Status::SomeError;
    return (object->*Getter)(result);
}

// A read/write property: GetMember calls Status C::get(ScriptValue* result), PutMember calls
// Status C::put(const ScriptValue& value, ScriptValue* result); an assignment without a value
// does nothing.
template<auto Get, auto Put>
Status property(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    auto* object = selfAs<detail::ClassOf<Get>>(self);
    *result = UndefinedValue;
    if (!object)
        return Status::SomeError;
    if (op == InvokeOp::GetMember)
        return (object->*Get)(result);
    if (op != InvokeOp::PutMember)
        return Status::SomeError;
    if (argc < 1)
        return Status::Ok;
    return (object->*Put)(args[0], result);
}

// A new member table with count 1, or null when memory runs out. A name given twice is defined
// twice; the later row wins.
RefPtr<PropertyTable> buildMemberTable(AtomTable& atoms, const MemberTableRow* rows);

// The body of invoke for objects with a member table: ops other than PutMember, GetMember and
// CallMember give -1000; an absent atom gives -1008; otherwise the handler's status.
Status dispatchMember(PropertyTable& members, ScriptObject* self, Atom atom, InvokeOp op, int32_t argc,
    const ScriptValue* args, ScriptValue* result);

}
