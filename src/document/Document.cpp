#include <document/Document.h>

#include <base/Trace.h>
#include <base/WrappingInt.h>

#include <document/DocumentFile.h>
#include <document/DocumentWarning.h>
#include <document/WindowObject.h>
#include <markup/MarkupNode.h>
#include <script/language/ErrorObject.h>
#include <script/language/MathObject.h>
#include <script/runtime/ScriptArray.h>

#include <platform/TextConversion.h>

#include <algorithm>
#include <filesystem>
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
    m_document.reportScriptError(error);
    return Status::Ok;
}

int32_t Document::originOf(std::string label, int32_t fileLine)
{
    std::string key = m_fileName + '\n' + label + '\n' + std::to_string(fileLine);
    auto [found, added] = m_originNumbers.try_emplace(key, static_cast<int32_t>(m_origins.size()) + 1);
    if (added)
        m_origins.push_back({ std::move(label), fileLine, m_fileName });
    return found->second;
}

// "<div id="x">" for a node (its tag and id up to their first zero byte).
static std::string nodeLabel(DocObj& node)
{
    auto text = [](const RefPtr<ScriptString>& string) { return string ? std::string(string->view().substr(0, string->view().find('\0'))) : std::string(); };
    std::string id = text(node.id());
    return "<" + text(node.tagName()) + (id.empty() ? "" : " id=\"" + id + "\"") + ">";
}

int32_t Document::handlerOrigin(ScriptObject* self, const ScriptString& code)
{
    auto* node = dynamic_cast<DocObj*>(self);
    RefPtr<Element> element = node ? node->element() : nullptr;
    if (!element)
        return originOf("window.eval", 0);
    for (int32_t index = 0; index < HandlerCount; ++index) {
        auto event = static_cast<MouseEvent>(index);
        if (element->handler(event).ptr() != &code)
            continue;
        int32_t line = 0;
        if (auto found = m_handlerSources.find(node); found != m_handlerSources.end())
            line = found->second[index].text == code.view() ? found->second[index].line : 0;
        return originOf(nodeLabel(*node) + " " + handlerName(event), line);
    }
    return originOf("window.eval", 0);
}

void Document::reportScriptError(ErrorObject& error)
{
    Ref<Document> protect(*this);
    // The first line, "(line) message", also tells the boxes open at the moment apart.
    const std::string first = "(" + std::to_string(error.line()) + ") " + error.message();
    std::string text = first;

    ScriptEngine* engine = m_runner ? m_runner->engine() : nullptr;
    int32_t running = engine ? engine->origin() : 0;
    int32_t failing = error.origin() >= 0 ? error.origin() : running;
    auto originAt = [&](int32_t number) { return number > 0 && number <= static_cast<int32_t>(m_origins.size()) ? &m_origins[static_cast<size_t>(number - 1)] : nullptr; };
    int32_t line = error.line() > 0 ? error.line() : error.detailLine();
    std::string context;
    const Origin* failed = originAt(failing);
    if (failed) {
        context = failed->fileName;
        if (failed->fileLine > 0 && line > 0)
            context += " line " + std::to_string(failed->fileLine + line - 1);
        context += ", " + failed->label;
    }
    if (const Origin* origin = originAt(running); origin && running != failing)
        context += failed ? ", called from " + origin->label : origin->label;
    if (!error.detail().empty())
        context += (context.empty() ? "" : ": ") + error.detail();
    if (!context.empty())
        text += "\nat " + context;
    if (error.code() == Status::TooLong.code() && m_intervalCalls > 0 && m_interval.tag != ValueTag::Undefined) {
        releaseValue(m_interval);
        if (m_window)
            m_window->stopTimer(2);
        text += "\nThe setInterval callback was cleared: it does not run again.";
    }
    if (!m_openErrorBoxes.insert(first).second)
        return;
    messageBox(text, "ScriptError", MessageBoxButtons::Ok);
    m_openErrorBoxes.erase(first);
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
    m_handlerSources.clear();
    if (m_root) {
        int32_t count = m_root.leakRef()->release();
        traceFormat("document release(%d)\n", count);
    }
}

void Document::destroyWindow()
{
    // The platform may still be inside one of this window's events; it defers the real end.
    m_window.reset();
    m_shape.reset();
}

Status Document::load(const std::string& path)
{
    if (m_shutDown)
        return Status::Failed;
    Ref<Document> protect(*this);
    TextOrigin origin = TextOrigin::ShiftJis;
    std::optional<std::string> text = readDocumentFile(path, &origin);
    if (!text) {
        closeContent();
        return Status::Failed;
    }
    return loadText(*text, path, origin);
}

Status Document::loadText(const std::string& text, const std::string& path, TextOrigin origin)
{
    if (m_shutDown)
        return Status::Failed;
    Ref<Document> protect(*this);
    std::optional<std::string> refusal = whyNotADocument(text);
    std::unique_ptr<MarkupNode, void (*)(MarkupNode*)> tree(nullptr, freeMarkupNode);
    if (!refusal) {
        MarkupStream stream = MarkupStream::fromMemory(text.data(), text.size());
        tree.reset(parseMarkup(stream));
        if (!tree || (tree->kind != MarkupNodeKind::ElementNode && tree->kind != MarkupNodeKind::EmptyElementNode))
            refusal = "it holds no markup element";
    }
    if (refusal) {
        refuse(path, *refusal);
        return Status::Failed;
    }
    bool lost = false;
    m_fileName = utf8ToShiftJis(std::filesystem::path(path).filename().string(), lost);
    std::error_code noFolder;
    beginDocumentWarnings(std::filesystem::absolute(path, noFolder).string());
    closeContent();
    // What the last document's scripts left in cycles goes with it.
    if (m_runner && m_runner->engine())
        m_runner->engine()->collectCycles();
    // Every script of this document compiles by the rule of its file's origin.
    if (m_runner)
        m_runner->setTextOrigin(origin);
    MarkupNode* body = findChildElement(tree.get(), "body");
    MarkupNode* head = findChildElement(tree.get(), "head");
    SourceLines lines = SourceLines::find(*tree, body, text);
    enterDocumentFolder(path);
    if (body)
        warnAboutNames(*body);
    else
        warnDocument(shiftJisToUtf8(m_fileName) + " has no body element: no window shows it");

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
                createElements(*top, lines);
                m_root = std::move(top);
            }
        }
        if (m_window)
            m_window->setVisible(true);
    }
    if (head)
        runHead(*head, lines);
    return Status::Ok;
}

// Names in the body that nothing reads: elements of no known kind, attributes that their element
// does not know.
void Document::warnAboutNames(MarkupNode& body)
{
    std::string file = shiftJisToUtf8(m_fileName);
    std::vector<MarkupNode*> stack { &body };
    while (!stack.empty()) {
        MarkupNode& node = *stack.back();
        stack.pop_back();
        std::string tag = shiftJisToUtf8(node.text ? node.text->view() : std::string_view());
        if (tag != "body" && tag != "div" && tag != "clock") {
            warnDocument(file + ": unknown element <" + tag + ">");
        } else {
            for (int32_t index = 0; node.attributes && index < node.attributes->attributeCount(); ++index) {
                char name[256];
                if (node.attributes->attributeName(index, sizeof name, name).ok() && !isKnownAttribute(tag, name))
                    warnDocument(file + ": unknown attribute " + shiftJisToUtf8(name) + " on <" + tag + ">");
            }
        }
        size_t end = stack.size();
        for (ListNode* link = node.children ? node.children->firstNode() : nullptr; link && link->next; link = link->next) {
            MarkupNode& child = *markupNodeOf(link);
            if (child.kind == MarkupNodeKind::ElementNode || child.kind == MarkupNodeKind::EmptyElementNode)
                stack.push_back(&child);
        }
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(end), stack.end());
    }
}

void Document::refuse(const std::string& path, const std::string& reason)
{
    std::string name = std::filesystem::path(path).filename().string();
    bool lost = false;
    std::string text = utf8ToShiftJis(name + " is not a document: " + reason + ".\nThe document shown stays.", lost);
    messageBox(text, "Nimbolt", MessageBoxButtons::Ok);
}

void Document::createElements(DocObj& top, SourceLines& lines)
{
    size_t elementIndex = 0;
    RefPtr<ScriptArray> noAttributes = createArray(nullptr, nullptr);
    auto attach = [&](DocObj& node) {
        if (node.isText() || !noAttributes)
            return;
        if (elementIndex < lines.handlers.size())
            m_handlerSources[&node] = std::move(lines.handlers[elementIndex++]);
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

void Document::runHead(MarkupNode& head, const SourceLines& lines)
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
            auto line = lines.texts.find(text);
            int32_t origin = originOf("<script>", line != lines.texts.end() ? line->second : 0);
            RefPtr<ScriptRunner> runner = m_runner;
            if (runner && runner->engine()) {
                OriginScope scope(*runner->engine(), origin);
                ignoreStatus(runner->runText(text->text->bytes(), text->text->length()),
                    "a failing script was reported through the site, and the rest of the head still runs");
            }
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
    // setTitle already cut it to the capacity.
    return m_window ? m_window->title() : std::string {};
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
    RefPtr<ScriptRunner> runner = m_runner;
    if (!runner || !runner->engine())
        return Status::Failed;
    Ref<ScriptEngine> engine(*runner->engine());
    OriginScope origin(*engine, handlerOrigin(self, code));
    return runner->evalString(self, code, result);
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

// The alpha of a 32-bit picture shown from the window's top-left corner, over the client area;
// pixels beyond the picture are transparent.
static std::shared_ptr<const OpacityMap> opacityOf(const Surface& picture, Size client)
{
    SurfaceInfo info;
    if (!picture.getInfo(info).ok() || info.bitsPerPixel != 32 || !info.bits || client.width <= 0
        || client.height <= 0)
        return nullptr;
    auto map = std::make_shared<OpacityMap>();
    map->width = client.width;
    map->height = client.height;
    map->values.assign(static_cast<size_t>(client.width) * static_cast<size_t>(client.height), 0);
    for (int32_t y = 0; y < std::min(client.height, info.height); ++y) {
        const uint8_t* row = info.bits + static_cast<intptr_t>(y) * info.stride;
        uint8_t* out = map->values.data() + static_cast<size_t>(y) * static_cast<size_t>(client.width);
        for (int32_t x = 0; x < std::min(client.width, info.width); ++x)
            out[x] = row[x * 4 + 3];
    }
    return map;
}

void Document::setRegion(std::optional<Region> region, const Surface* opacityPicture)
{
    m_shape.reset();
    if (region)
        m_shape.emplace(region->rects.begin(), region->rects.end());
    if (!m_window)
        return;
    m_window->setShape(std::move(region));
    m_window->setOpacity(opacityPicture ? opacityOf(*opacityPicture, m_window->clientSize()) : nullptr);
}

bool Document::showsOpacity() const
{
    return m_window && m_window->showsOpacity();
}

}
