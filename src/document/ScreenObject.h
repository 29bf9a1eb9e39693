// The screen object (window.screen): the screen's size and colour depth, read anew from the
// window system on every access. The window system must outlive every screen object.
#pragma once

#include <document/WindowSystem.h>
#include <script/runtime/MemberTable.h>

namespace nimbolt {

class ScreenObject final : public ScriptObject {
public:
    // A new screen object (count 1) with its own member table; null when memory runs out.
    static RefPtr<ScreenObject> create(AtomTable& atoms, const WindowSystem& system);

    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;
    int32_t pixelDepth() const { return m_system.screenDepth(); }

private:
    ScreenObject(PropertyTable& members, const WindowSystem& system)
        : m_members(members)
        , m_system(system)
    {
    }
    ~ScreenObject() override = default;

    Status getHeight(ScriptValue* result);
    Status getWidth(ScriptValue* result);
    Status getDepth(ScriptValue* result);
    static const MemberTableRow s_members[];

    Ref<PropertyTable> m_members;
    const WindowSystem& m_system;
};

}
