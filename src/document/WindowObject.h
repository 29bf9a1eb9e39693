// The global window of a document's scripts: message boxes, eval, the window's place, size and
// caption, the node tree, the screen, data documents, the one interval and captures. It acts on
// its document through a plain reference that holds no count (the document's life is its
// owner's); the document detaches it when it shuts down, and a detached window object answers
// every member with an error.
#pragma once

#include <base/Badge.h>
#include <document/WindowSystem.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/PropertyTable.h>

namespace nimbolt {

class Document;

class WindowObject final : public ScriptObject {
public:
    // A window object for the document (count 1) with its member table; null when the table
    // cannot be made.
    static RefPtr<WindowObject> create(Document& document, AtomTable& atoms);
    // From now on the members fail; only the document detaches it, as it shuts down.
    void detach(Badge<Document>) { m_document = nullptr; }

    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

private:
    WindowObject(Document& document, Ref<PropertyTable> members);
    ~WindowObject() override = default;

    Status callAlert(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callConfirm(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callEval(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callMoveTo(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callMoveBy(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callResizeTo(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callResizeBy(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status getDocument(ScriptValue* result);
    Status getScreen(ScriptValue* result);
    Status callCreateDocument(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callSetInterval(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status getTitle(ScriptValue* result);
    Status putTitle(const ScriptValue& value, ScriptValue* result);
    Status callCaptureImage(int32_t argc, const ScriptValue* args, ScriptValue* result);
    MessageBoxResult showBox(int32_t argc, const ScriptValue* args, const char* caption, MessageBoxButtons buttons);
    static const MemberTableRow s_members[];

    Document* m_document;
    Ref<PropertyTable> m_members;
};

}
