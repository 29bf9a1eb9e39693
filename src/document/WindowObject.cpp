#include <document/WindowObject.h>

#include <document/Document.h>
#include <document/DocumentFile.h>
#include <platform/FileAccess.h>

#include <algorithm>
#include <new>

namespace nimbolt {

const MemberTableRow WindowObject::s_members[] = {
    { "alert", method<&WindowObject::callAlert> },
    { "confirm", method<&WindowObject::callConfirm> },
    { "eval", method<&WindowObject::callEval, 1> },
    { "moveTo", method<&WindowObject::callMoveTo, 2> },
    { "moveBy", method<&WindowObject::callMoveBy, 2> },
    { "resizeTo", method<&WindowObject::callResizeTo, 2> },
    { "resizeBy", method<&WindowObject::callResizeBy, 2> },
    { "document", getter<&WindowObject::getDocument> },
    { "screen", getter<&WindowObject::getScreen> },
    { "createDocument", method<&WindowObject::callCreateDocument, 1> },
    { "setInterval", method<&WindowObject::callSetInterval, 2> },
    { "title", property<&WindowObject::getTitle, &WindowObject::putTitle> },
    { "captureImage", method<&WindowObject::callCaptureImage> },
    { nullptr, nullptr },
};

WindowObject::WindowObject(Document& document, Ref<PropertyTable> members)
    : m_document(&document)
    , m_members(std::move(members))
{
}

RefPtr<WindowObject> WindowObject::create(Document& document, AtomTable& atoms)
{
    RefPtr<PropertyTable> members = buildMemberTable(atoms, s_members);
    if (!members)
        return nullptr;
    return adoptRef(new (std::nothrow) WindowObject(document, *members));
}

Status WindowObject::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (!m_document)
        return Status::SomeError;
    Ref<Document> protect(*m_document);
    return dispatchMember(*m_members, this, atom, op, argc, args, result);
}

// Texts of message boxes: at most 1023 bytes.
static constexpr int32_t BoxTextCapacity = 1024;

MessageBoxResult WindowObject::showBox(int32_t argc, const ScriptValue* args, const char* caption,
    MessageBoxButtons buttons)
{
    char text[BoxTextCapacity] = {};
    int32_t length = argc > 0 ? valueText(args[0], text, sizeof text) : 0;
    return m_document->messageBox(std::string_view(text, static_cast<size_t>(length)), caption, buttons);
}

Status WindowObject::callAlert(int32_t argc, const ScriptValue* args, ScriptValue*)
{
    showBox(argc, args, "alert", MessageBoxButtons::Ok);
    return Status::Ok;
}

Status WindowObject::callConfirm(int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    MessageBoxResult answer = showBox(argc, args, "Question", MessageBoxButtons::OkCancel);
    *result = ScriptValue::integer(answer == MessageBoxResult::Ok ? 1 : 0);
    return Status::Ok;
}

Status WindowObject::callEval(int32_t, const ScriptValue* args, ScriptValue* result)
{
    RefPtr<ScriptString> code = valueToString(args[0]);
    if (code)
        ignoreStatus(m_document->evaluate(this, *code, result),
            "an error of the text was reported through the site, and eval gives undefined");
    return Status::Ok;
}

Status WindowObject::callMoveTo(int32_t, const ScriptValue* args, ScriptValue*)
{
    m_document->moveTo(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status WindowObject::callMoveBy(int32_t, const ScriptValue* args, ScriptValue*)
{
    m_document->moveBy(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status WindowObject::callResizeTo(int32_t, const ScriptValue* args, ScriptValue*)
{
    m_document->resizeTo(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status WindowObject::callResizeBy(int32_t, const ScriptValue* args, ScriptValue*)
{
    m_document->resizeBy(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status WindowObject::getDocument(ScriptValue* result)
{
    if (DocObj* root = m_document->root())
        *result = ScriptValue::object(Ref<DocObj>(*root));
    return Status::Ok;
}

Status WindowObject::getScreen(ScriptValue* result)
{
    if (ScreenObject* screen = m_document->screen())
        *result = ScriptValue::object(Ref<ScreenObject>(*screen));
    return Status::Ok;
}

Status WindowObject::callCreateDocument(int32_t, const ScriptValue* args, ScriptValue* result)
{
    char name[256];
    int32_t length = valueText(args[0], name, sizeof name);
    std::optional<std::string> path = resolveDocumentPath(std::string_view(name, static_cast<size_t>(length)));
    std::unique_ptr<MarkupNode, void (*)(MarkupNode*)> tree(nullptr, freeMarkupNode);
    {
        // The file's bytes go as soon as they are parsed.
        std::optional<std::string> text = path ? readDocumentFile(*path) : std::nullopt;
        if (!text)
            return Status::Ok;
        MarkupStream stream = MarkupStream::fromMemory(text->data(), text->size());
        tree.reset(parseMarkup(stream));
    }
    RefPtr<AtomTable> atoms = m_document->atomTable();
    if (!tree || !atoms)
        return Status::Ok;
    if (RefPtr<DocObj> top = DocObj::build(*tree, *atoms))
        *result = ScriptValue::object(top.releaseNonNull());
    return Status::Ok;
}

Status WindowObject::callSetInterval(int32_t, const ScriptValue* args, ScriptValue* result)
{
    if (args[0].tag != ValueTag::Function)
        return Status::Ok;
    m_document->setInterval(args[0], valueToInteger(args[1]));
    *result = ScriptValue::integer(0);
    return Status::Ok;
}

Status WindowObject::getTitle(ScriptValue* result)
{
    std::string text = m_document->title();
    RefPtr<ScriptString> string = createString(text);
    *result = string ? makeStringValue(string.releaseNonNull()) : UndefinedValue;
    return Status::Ok;
}

Status WindowObject::putTitle(const ScriptValue& value, ScriptValue*)
{
    RefPtr<ScriptString> text = valueToString(value);
    if (text)
        m_document->setTitle(text->view());
    return Status::Ok;
}

Status WindowObject::callCaptureImage(int32_t, const ScriptValue*, ScriptValue* result)
{
    if (RefPtr<ImageObject> image = m_document->captureImage())
        *result = ScriptValue::object(image.releaseNonNull());
    return Status::Ok;
}

}
