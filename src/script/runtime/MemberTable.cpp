#include <script/runtime/MemberTable.h>

#include <base/Assert.h>

#include <cstring>

namespace nimbolt {

RefPtr<PropertyTable> buildMemberTable(AtomTable& atoms, const MemberTableRow* rows)
{
    RefPtr<PropertyTable> table = PropertyTable::create();
    if (!table)
        return nullptr;
    for (const MemberTableRow* row = rows; row->name; ++row) {
        Atom atom = atoms.intern(row->name, std::strlen(row->name));
        if (!atom || !table->define(atom, ScriptValue::memberHandler(row->handler)).ok())
            return nullptr;
    }
    return table;
}

Status dispatchMember(PropertyTable& members, ScriptObject* self, Atom atom, InvokeOp op, int32_t argc,
    const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::PutMember && op != InvokeOp::GetMember && op != InvokeOp::CallMember)
        return Status::SomeError;
    ScriptValue* member = members.find(atom);
    if (!member) {
        *result = UndefinedValue;
        return Status::NotAMember;
    }
    NIMBOLT_ASSERT(member->tag == ValueTag::MemberHandler);
    MemberHandler handler = member->payload.handler;
    *result = UndefinedValue;
    return handler(self, op, argc, args, result);
}

}
