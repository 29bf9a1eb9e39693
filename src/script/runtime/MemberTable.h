// How host classes publish their members: a static table of (name, handler) rows, interned once
// into a member PropertyTable whose values are MemberHandler values. Dispatch is then a lookup by
// atom, never a comparison of names.
#pragma once

#include "AtomTable.h"
#include "PropertyTable.h"
#include "ScriptObject.h"

namespace nimbolt {

// A row with a null name ends a table.
struct MemberTableRow {
    const char* name;
    MemberHandler handler;
};

// Global constructors (Array, Math, Image, Shell): a factory takes the engine's atom table and
// returns a new object with count 1 that stands for the class. A row with a null name ends it.
using GlobalFactory = ScriptObject* (*)(AtomTable& atoms);
struct GlobalConstructorRow {
    const char* name;
    GlobalFactory factory;
};

// A new member table with count 1, or null when memory runs out. A name given twice is defined
// twice; the later row wins.
PropertyTable* buildMemberTable(AtomTable& atoms, const MemberTableRow* rows);

// The body of invoke for objects with a member table: ops other than PutMember, GetMember and
// CallMember give -1000; an absent atom gives -1008; otherwise the handler's status.
Status dispatchMember(PropertyTable& members, ScriptObject* self, Atom atom, InvokeOp op, int32_t argc,
    const ScriptValue* args, ScriptValue* result);

}
