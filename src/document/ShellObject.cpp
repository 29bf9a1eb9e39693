#include <document/ShellObject.h>

#include <new>

namespace nimbolt {

const MemberTableRow ShellObject::s_members[] = {
    { "run", method<&ShellObject::callRun, 1> },
    { "exit", method<&ShellObject::callExit> },
    { nullptr, nullptr },
};

RefPtr<ShellObject> ShellObject::create(AtomTable& atoms, WindowSystem& system)
{
    RefPtr<PropertyTable> members = buildMemberTable(atoms, s_members);
    if (!members)
        return nullptr;
    return adoptRef(new (std::nothrow) ShellObject(*members, system));
}

Status ShellObject::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
    case InvokeOp::GetMember:
    case InvokeOp::CallMember:
        return dispatchMember(*m_members, this, atom, op, argc, args, result);
    case InvokeOp::Construct:
        *result = ScriptValue::object(adoptRef(*new ShellObject(*m_members, m_system)));
        return Status::Ok;
    default:
        return Status::SomeError;
    }
}

Status ShellObject::callRun(int32_t, const ScriptValue* args, ScriptValue*)
{
    char target[256];
    int32_t length = valueText(args[0], target, sizeof target);
    m_system.openWithDesktop(std::string_view(target, static_cast<size_t>(length)));
    return Status::Ok;
}

Status ShellObject::callExit(int32_t, const ScriptValue*, ScriptValue*)
{
    m_system.quit();
    return Status::Ok;
}

}
