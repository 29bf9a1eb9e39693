#include <document/ScreenObject.h>

#include <new>

namespace nimbolt {

// The available area is the whole screen, whatever panels take.
const MemberTableRow ScreenObject::s_members[] = {
    { "availHeight", getter<&ScreenObject::getHeight> },
    { "availWidth", getter<&ScreenObject::getWidth> },
    { "height", getter<&ScreenObject::getHeight> },
    { "width", getter<&ScreenObject::getWidth> },
    { "pixelDepth", getter<&ScreenObject::getDepth> },
    { "colorDepth", getter<&ScreenObject::getDepth> },
    { nullptr, nullptr },
};

RefPtr<ScreenObject> ScreenObject::create(AtomTable& atoms, const WindowSystem& system)
{
    RefPtr<PropertyTable> members = buildMemberTable(atoms, s_members);
    if (!members)
        return nullptr;
    return adoptRef(new (std::nothrow) ScreenObject(*members, system));
}

Status ScreenObject::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
    case InvokeOp::GetMember:
    case InvokeOp::CallMember:
        return dispatchMember(*m_members, this, atom, op, argc, args, result);
    case InvokeOp::Construct:
        *result = ScriptValue::object(adoptRef(*new ScreenObject(*m_members, m_system)));
        return Status::Ok;
    default:
        return Status::SomeError;
    }
}

Status ScreenObject::getHeight(ScriptValue* result)
{
    *result = ScriptValue::integer(m_system.screenSize().height);
    return Status::Ok;
}

Status ScreenObject::getWidth(ScriptValue* result)
{
    *result = ScriptValue::integer(m_system.screenSize().width);
    return Status::Ok;
}

Status ScreenObject::getDepth(ScriptValue* result)
{
    *result = ScriptValue::integer(m_system.screenDepth());
    return Status::Ok;
}

}
