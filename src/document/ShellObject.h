// The Shell global: run opens a file or address with the desktop's default application, exit
// ends the program's event loop. The window system must outlive every Shell object.
#pragma once

#include <document/WindowSystem.h>
#include <script/runtime/MemberTable.h>

namespace nimbolt {

class ShellObject final : public ScriptObject {
public:
    // A new Shell object (count 1) with its own member table; null when memory runs out.
    static RefPtr<ShellObject> create(AtomTable& atoms, WindowSystem& system);

    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

private:
    ShellObject(PropertyTable& members, WindowSystem& system)
        : m_members(members)
        , m_system(system)
    {
    }
    ~ShellObject() override = default;

    Status callRun(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callExit(int32_t argc, const ScriptValue* args, ScriptValue* result);
    static const MemberTableRow s_members[];

    Ref<PropertyTable> m_members;
    WindowSystem& m_system;
};

}
