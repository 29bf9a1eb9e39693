#include <document/Document.h>

#include <base/Trace.h>
#include <base/WrappingInt.h>

#include <document/DocumentFile.h>
#include <document/WindowObject.h>
#include <markup/MarkupNode.h>
#include <script/language/ErrorObject.h>
#include <script/language/MathObject.h>
#include <script/runtime/ScriptArray.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

namespace nimbolt {

std::tm SystemTimeSource::localTime()
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return local;
}

WindowKind windowKindOf(std::string_view type)
{
    if (type == "screen")
        return WindowKind::Screen;
    if (type == "screenwindow")
        return WindowKind::ScreenWindow;
    return WindowKind::Mascot;
}

Document::Document(WindowSystem& system, TimeSource& time)
    : m_system(system)
    , m_link(ElementHostLink::create(*this, *this, *this, time))
{
}

RefPtr<Document> Document::create(WindowSystem& system, TimeSource& time)
{
    RefPtr<Document> document = adoptRef(new (std::nothrow) Document(system, time));
    if (!document)
        return nullptr;
    if (!document->initialize()) {
        document->shutdown();
        return nullptr;
    }
    return document;
}

bool Document::initialize()
{
    m_runner = createRunner();
    if (!m_runner || !m_runner->setSite(&m_site).ok() || !m_runner->toggleOpen().ok())
        return false;
    RefPtr<AtomTable> atoms = atomTable();
    if (!atoms)
        return false;
    m_imageMembers = ImageObject::buildMembers(*atoms);
    m_windowObject = WindowObject::create(*this, *atoms);
    m_elementMembers = Element::buildMembers(*atoms);
    m_screen = ScreenObject::create(*atoms, m_system);
    m_measureSurface = createSurface(1, 1, 24);
    RefPtr<ScriptObject> array = createArrayGlobal(*atoms);
    RefPtr<ScriptObject> math = createMathGlobal(*atoms);
    RefPtr<ScriptObject> image = createImageGlobal(*atoms);
    RefPtr<ShellObject> shell = ShellObject::create(*atoms, m_system);
    if (!m_imageMembers || !m_windowObject || !m_elementMembers || !m_screen || !array || !math || !image || !shell)
        return false;
    static constexpr const char* missingGlobal = "a name the atom table cannot hold leaves the global undefined, which scripts then report";
    ignoreStatus(m_runner->defineGlobal("Array", ScriptValue::object(array.ptr())), missingGlobal);
    ignoreStatus(m_runner->defineGlobal("Math", ScriptValue::object(math.ptr())), missingGlobal);
    ignoreStatus(m_runner->defineGlobal("Image", ScriptValue::object(image.ptr())), missingGlobal);
    ignoreStatus(m_runner->defineGlobal("Shell", ScriptValue::object(shell.ptr())), missingGlobal);
    ignoreStatus(m_runner->defineGlobal("window", ScriptValue::object(m_windowObject.ptr())), missingGlobal);
    return true;
}

void Document::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    Ref<Document> protect(*this);
    closeContent();
    destroyWindow();
    if (m_windowObject)
        m_windowObject->detach({});
    if (m_runner) {
        RefPtr<ScriptRunner> runner = std::move(m_runner);
        if (runner->getState() != RunnerState::Closed)
            ignoreStatus(runner->toggleOpen(), "closing an open runner cannot fail");
        ignoreStatus(runner->setSite(nullptr), "setting a site cannot fail");
    }
    m_windowObject = nullptr;
    m_elementMembers = nullptr;
    m_screen = nullptr;
    m_link->cut({});
}

Document::~Document()
{
    if (m_windowObject)
        m_windowObject->detach({});
    releaseValue(m_interval);
}

RefPtr<AtomTable> Document::atomTable()
{
    if (!m_runner)
        return nullptr;
    StatusOr<Ref<AtomTable>> atoms = m_runner->getAtomTable();
    if (!atoms.ok())
        return nullptr;
    return atoms.releaseValue();
}

Status Document::Site::reportError(ErrorObject& error)
{
    char text[256];
    int length = std::snprintf(text, sizeof text, "(%d) %s", error.line(), error.message());
    length = length < 0 ? 0 : std::min<int>(length, sizeof text - 1);
    m_document.messageBox(std::string_view(text, static_cast<size_t>(length)), "ScriptError",
        MessageBoxButtons::Ok);
    return Status::Ok;
}

MessageBoxResult Document::messageBox(std::string_view shiftJisText, const char* caption, MessageBoxButtons buttons)
{
    Ref<Document> protect(*this);
    RefPtr<ScriptEngine> engine = m_runner ? m_runner->engine() : nullptr;
    std::optional<RunClockPause> pause;
    if (engine)
        pause.emplace(*engine);
    return m_system.messageBox(m_window.get(), shiftJisText, caption, buttons);
}

void Document::setRunLimit(int32_t milliseconds)
{
    if (m_runner && m_runner->engine())
        m_runner->engine()->setRunLimit(milliseconds);
}

void Document::closeContent()
{
    if (m_window) {
        m_window->setVisible(false);
        m_window->stopTimer(1);
        m_window->stopTimer(2);
    }
    releaseValue(m_interval);
    m_backBuffer = nullptr;
    if (m_root) {
        int32_t count = m_root.leakRef()->release();
        traceFormat("document release(%d)\n", count);
    }
}

void Document::destroyWindow()
{
    // The platform may still be inside one of this window's events; it defers the real end.
    m_window.reset();
}

Status Document::load(const std::string& path)
{
    if (m_shutDown)
        return Status::Failed;
    Ref<Document> protect(*this);
    closeContent();
    TextOrigin origin = TextOrigin::ShiftJis;
    std::optional<std::string> text = readDocumentFile(path, &origin);
    if (!text)
        return Status::Failed;
    return loadText(*text, path, origin);
}

Status Document::loadText(const std::string& text, const std::string& path, TextOrigin origin)
{
    if (m_shutDown)
        return Status::Failed;
    Ref<Document> protect(*this);
    closeContent();
    // What the last document's scripts left in cycles goes with it.
    if (m_runner && m_runner->engine())
        m_runner->engine()->collectCycles();
    // Every script of this document compiles by the rule of its file's origin.
    if (m_runner)
        m_runner->setTextOrigin(origin);
    MarkupStream stream = MarkupStream::fromMemory(text.data(), text.size());
    std::unique_ptr<MarkupNode, void (*)(MarkupNode*)> tree(parseMarkup(stream), freeMarkupNode);
    if (!tree)
        return Status::Ok;
    MarkupNode* body = findChildElement(tree.get(), "body");
    MarkupNode* head = findChildElement(tree.get(), "head");
    enterDocumentFolder(path);

    if (body) {
        destroyWindow();
        char type[256];
        bool hasType = getAttributeText(body, "type", type, sizeof type).ok();
        m_windowKind = hasType ? windowKindOf(type) : WindowKind::Mascot;
        m_window = m_system.createWindow(m_windowKind, *this);
        if (m_window)
            m_window->startTimer(1, 1000);
        if (RefPtr<AtomTable> atoms = atomTable()) {
            if (RefPtr<DocObj> top = DocObj::build(*body, *atoms)) {
                createElements(*top);
                m_root = std::move(top);
            }
        }
        if (m_window)
            m_window->setVisible(true);
    }
    if (head)
        runHead(*head);
    return Status::Ok;
}

void Document::createElements(DocObj& top)
{
    RefPtr<ScriptArray> noAttributes = createArray(nullptr, nullptr);
    auto attach = [&](DocObj& node) {
        if (node.isText() || !noAttributes)
            return;
        RefPtr<ScriptArray> attributes = node.attributes();
        if (RefPtr<Element> element
            = createElement(node.tagName()->view(), m_link, attributes ? *attributes : *noAttributes))
            node.setElement(element.ptr());
    };
    attach(top);
    RefPtr<ScriptArray> all = top.all();
    for (int32_t index = 0; all && index < all->count(); ++index) {
        ScriptValue entry;
        if (!all->getItem(index, nullptr, entry).ok())
            continue;
        if (RefPtr<DocObj> node = docObjOf(entry))
            attach(*node);
        releaseValue(entry);
    }
}

void Document::runHead(MarkupNode& head)
{
    if (!head.children)
        return;
    for (ListNode* link = head.children->firstNode(); link && link->next; link = link->next) {
        MarkupNode& child = *markupNodeOf(link);
        if (child.kind != MarkupNodeKind::ElementNode && child.kind != MarkupNodeKind::EmptyElementNode)
            continue;
        ListNode* first = child.children ? child.children->firstNode() : nullptr;
        MarkupNode* text = first && first->next ? markupNodeOf(first) : nullptr;
        if (!text || text->kind != MarkupNodeKind::TextNode || !text->text)
            continue;
        if (compareMarkupName(child.text.get(), "script") == 0) {
            if (m_runner)
                ignoreStatus(m_runner->runText(text->text->bytes(), text->text->length()),
                    "a failing script was reported through the site, and the rest of the head still runs");
        } else if (compareMarkupName(child.text.get(), "title") == 0) {
            setTitle(text->text->view());
        }
    }
}

// Host operations.

void Document::moveTo(int32_t x, int32_t y)
{
    if (m_window)
        m_window->moveTo(x, y);
}

void Document::moveBy(int32_t dx, int32_t dy)
{
    if (!m_window)
        return;
    Point position = m_window->position();
    m_window->moveTo(wrapAdd(position.x, dx), wrapAdd(position.y, dy));
}

void Document::resizeTo(int32_t width, int32_t height)
{
    if (!m_window)
        return;
    Size outer = m_window->outerSize();
    Size client = m_window->clientSize();
    m_window->setOuterSize(wrapAdd(width, wrapSubtract(outer.width, client.width)),
        wrapAdd(height, wrapSubtract(outer.height, client.height)));
}

void Document::resizeBy(int32_t dw, int32_t dh)
{
    if (!m_window)
        return;
    Size outer = m_window->outerSize();
    m_window->setOuterSize(wrapAdd(outer.width, dw), wrapAdd(outer.height, dh));
}

void Document::setTitle(std::string_view shiftJis)
{
    if (m_window)
        m_window->setTitle(shiftJis.substr(0, TitleCapacity - 1));
}

std::string Document::title() const
{
    if (!m_window)
        return {};
    std::string text = m_window->title();
    if (text.size() > TitleCapacity - 1)
        text.resize(TitleCapacity - 1);
    return text;
}

// A shorter period than this would keep the program busy doing nothing else.
static constexpr int32_t MinimumIntervalMilliseconds = 10;

void Document::setInterval(const ScriptValue& function, int32_t milliseconds)
{
    replaceValue(m_interval, function);
    if (m_window)
        m_window->startTimer(2, std::max(milliseconds, MinimumIntervalMilliseconds));
}

void Document::invalidate(const Rect* rect)
{
    if (m_window)
        m_window->invalidate(rect);
}

Status Document::evaluate(ScriptObject* self, ScriptString& code, ScriptValue* result)
{
    *result = UndefinedValue;
    if (!m_runner)
        return Status::Failed;
    return RefPtr<ScriptRunner>(m_runner)->evalString(self, code, result);
}

RefPtr<ElementPicture> Document::createImage(int32_t width, int32_t height, int32_t depth)
{
    if (!m_imageMembers)
        return nullptr;
    return ImageObject::create(width, height, depth, *m_imageMembers);
}

Status Document::lockBackBuffer(SurfaceInfo& info)
{
    return m_backBuffer ? m_backBuffer->lock(info) : Status::Failed;
}

Status Document::unlockBackBuffer(const SurfaceInfo& info)
{
    return m_backBuffer ? m_backBuffer->unlock(info) : Status::Failed;
}

DeviceContext* Document::getDC()
{
    DeviceContext* context = nullptr;
    if (!m_measureSurface || !m_measureSurface->getDC(context).ok())
        return nullptr;
    return context;
}

void Document::releaseDC(DeviceContext* context)
{
    if (m_measureSurface && context)
        ignoreStatus(m_measureSurface->releaseDC(context), "releasing a context of the surface cannot fail");
}

void Document::setRegion(std::optional<Region> region)
{
    if (m_window)
        m_window->setShape(std::move(region));
}

}
