// The members of the window global.
#include <document/Document.h>

#include <document/DocumentFile.h>
#include <platform/FileAccess.h>

#include <algorithm>

namespace nimbolt {

const MemberTableRow Document::s_members[] = {
    { "alert", method<&Document::callAlert> },
    { "confirm", method<&Document::callConfirm> },
    { "eval", method<&Document::callEval, 1> },
    { "moveTo", method<&Document::callMoveTo, 2> },
    { "moveBy", method<&Document::callMoveBy, 2> },
    { "resizeTo", method<&Document::callResizeTo, 2> },
    { "resizeBy", method<&Document::callResizeBy, 2> },
    { "document", getter<&Document::getDocument> },
    { "screen", getter<&Document::getScreen> },
    { "createDocument", method<&Document::callCreateDocument, 1> },
    { "setInterval", method<&Document::callSetInterval, 2> },
    { "title", property<&Document::getTitle, &Document::putTitle> },
    { "captureImage", method<&Document::callCaptureImage> },
    { nullptr, nullptr },
};

Status Document::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (!m_members)
        return Status::SomeError;
    return dispatchMember(*m_members, this, atom, op, argc, args, result);
}

// Texts of message boxes: at most 1023 bytes.
static constexpr int32_t BoxTextCapacity = 1024;

MessageBoxResult Document::showBox(int32_t argc, const ScriptValue* args, const char* caption, MessageBoxButtons buttons)
{
    char text[BoxTextCapacity] = {};
    int32_t length = argc > 0 ? valueText(args[0], text, sizeof text) : 0;
    return messageBox(std::string_view(text, static_cast<size_t>(length)), caption, buttons);
}

Status Document::callAlert(int32_t argc, const ScriptValue* args, ScriptValue*)
{
    (void)showBox(argc, args, "alert", MessageBoxButtons::Ok);
    return Status::Ok;
}

Status Document::callConfirm(int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    MessageBoxResult answer = showBox(argc, args, "Question", MessageBoxButtons::OkCancel);
    *result = ScriptValue::integer(answer == MessageBoxResult::Ok ? 1 : 0);
    return Status::Ok;
}

Status Document::callEval(int32_t, const ScriptValue* args, ScriptValue* result)
{
    RefPtr<ScriptString> code = adoptRef(valueToString(args[0]));
    if (code)
        (void)evaluate(this, *code, result);
    return Status::Ok;
}

Status Document::callMoveTo(int32_t, const ScriptValue* args, ScriptValue*)
{
    moveTo(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Document::callMoveBy(int32_t, const ScriptValue* args, ScriptValue*)
{
    moveBy(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Document::callResizeTo(int32_t, const ScriptValue* args, ScriptValue*)
{
    resizeTo(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Document::callResizeBy(int32_t, const ScriptValue* args, ScriptValue*)
{
    resizeBy(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Document::getDocument(ScriptValue* result)
{
    if (m_root)
        *result = ScriptValue::object(RefPtr<DocObj>(m_root).leakRef());
    return Status::Ok;
}

Status Document::getScreen(ScriptValue* result)
{
    if (m_screen)
        *result = ScriptValue::object(RefPtr<ScreenObject>(m_screen).leakRef());
    return Status::Ok;
}

Status Document::callCreateDocument(int32_t, const ScriptValue* args, ScriptValue* result)
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
    RefPtr<AtomTable> atoms = atomTable();
    if (!tree || !atoms)
        return Status::Ok;
    if (RefPtr<DocObj> top = DocObj::build(*tree, *atoms))
        *result = ScriptValue::object(top.leakRef());
    return Status::Ok;
}

// A shorter period than this would keep the program busy doing nothing else.
static constexpr int32_t MinimumIntervalMilliseconds = 10;

Status Document::callSetInterval(int32_t, const ScriptValue* args, ScriptValue* result)
{
    if (args[0].tag != ValueTag::Function)
        return Status::Ok;
    int32_t period = std::max(valueToInteger(args[1]), MinimumIntervalMilliseconds);
    replaceValue(m_interval, args[0]);
    if (m_window)
        m_window->startTimer(2, period);
    *result = ScriptValue::integer(0);
    return Status::Ok;
}

Status Document::getTitle(ScriptValue* result)
{
    std::string text = title();
    *result = makeStringValue(createString(text));
    if (!result->payload.object)
        *result = UndefinedValue;
    return Status::Ok;
}

Status Document::putTitle(const ScriptValue& value, ScriptValue*)
{
    RefPtr<ScriptString> text = adoptRef(valueToString(value));
    if (text)
        setTitle(text->view());
    return Status::Ok;
}

Status Document::callCaptureImage(int32_t, const ScriptValue*, ScriptValue* result)
{
    Size client = m_window ? m_window->clientSize() : Size {};
    if (!m_imageMembers)
        return Status::Ok;
    // The picture has the back buffer's depth: on an 8- or 16-bit screen a 16-bit (5-5-5) picture,
    // which has no transparent colour when blended.
    Ref<ImageObject> image = ImageObject::createAtDepth(client.width, client.height, backBufferDepth(), *m_imageMembers);
    RefPtr<Surface> picture = image->surface();
    if (m_backBuffer && picture) {
        DeviceContext* bufferContext = nullptr;
        DeviceContext* pictureContext = nullptr;
        if (m_backBuffer->getDC(bufferContext).ok() && picture->getDC(pictureContext).ok()) {
            Rect clientRect { 0, 0, client.width, client.height };
            drawTree(*bufferContext, clientRect);
            (void)m_backBuffer->draw(*pictureContext, 0, 0, clientRect);
        }
        if (pictureContext)
            (void)picture->releaseDC(pictureContext);
        if (bufferContext)
            (void)m_backBuffer->releaseDC(bufferContext);
    }
    *result = ScriptValue::object(image.leakRef());
    return Status::Ok;
}

}
