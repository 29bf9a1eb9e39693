// What the document does with its window's events: the back buffer that only grows, composition
// of the node tree through it (and into captured images), text layout, the clock tick and the
// interval callback. The mouse goes to the MouseDispatch.
#include <document/Document.h>

#include <base/WrappingInt.h>

#include <algorithm>
#include <vector>

namespace nimbolt {

namespace {

// The colours an 8-bit back buffer shows: the display's static colours (none on a display
// without palette), a grey ramp at both ends and the 6 x 6 x 6 colour cube.
struct PaletteTable {
    ColorTableEntry entries[ColorTableSize] {};

    PaletteTable()
    {
        for (int32_t k = 0; k < 10; ++k) {
            auto low = static_cast<uint8_t>(255 * k / 20);
            auto high = static_cast<uint8_t>((255 * k + 2805) / 20);
            entries[10 + k] = { low, low, low };
            entries[236 + k] = { high, high, high };
        }
        for (int32_t i = 0; i < 216; ++i) {
            entries[20 + i] = { static_cast<uint8_t>(51 * (i / 36)), static_cast<uint8_t>(51 * (i / 6 % 6)),
                static_cast<uint8_t>(51 * (i % 6)) };
        }
    }
};

const PaletteTable& paletteTable()
{
    static const PaletteTable table;
    return table;
}

bool isSpaceByte(uint8_t byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

bool isLeadByte(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }

// Every run of white space becomes one space; a double-byte character is copied whole.
std::string collapseWhiteSpace(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto byte = static_cast<uint8_t>(text[i]);
        if (isLeadByte(byte)) {
            out += text[i++];
            if (i < text.size())
                out += text[i++];
        } else if (isSpaceByte(byte)) {
            out += ' ';
            while (i < text.size() && isSpaceByte(static_cast<uint8_t>(text[i])))
                ++i;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// The largest count of at most limit bytes that does not end inside a double-byte character.
int32_t cutToCharacters(const char* text, int32_t length, int32_t limit)
{
    int32_t end = 0;
    while (end < length) {
        int32_t next = end + (isLeadByte(static_cast<uint8_t>(text[end])) && end + 1 < length ? 2 : 1);
        if (next > limit)
            break;
        end = next;
    }
    return end;
}

// The longest slice measured for one line: a line never holds more.
constexpr int32_t MeasuredBytes = 4096;

}

int32_t Document::backBufferDepth() const
{
    return m_system.screenDepth() > 16 ? 24 : 16;
}

void Document::windowSized(int32_t width, int32_t height)
{
    Ref<Document> protect(*this);
    int32_t depth = backBufferDepth();
    if (m_backBuffer) {
        SurfaceInfo info;
        ignoreStatus(m_backBuffer->getInfo(info), "a surface always describes itself");
        if (info.width < width || info.height < height)
            m_backBuffer = createSurface(std::max(info.width, width), std::max(info.height, height), depth);
    } else {
        m_backBuffer = createSurface(width, height, depth);
    }
    if (m_backBuffer)
        ignoreStatus(m_backBuffer->setPalette(0, ColorTableSize, paletteTable().entries), "the whole table always fits");
    windowMoved();
}

void Document::windowMoved()
{
    if (m_window)
        m_window->invalidate(nullptr);
}

// Writes a text child from (left, y) within width, wrapping at byte positions (never inside a
// double-byte character), lines 2 pixels apart beyond the font height; y moves past the lines.
static void layoutText(DeviceContext& context, std::string_view text, int32_t left, int32_t width, int32_t& y)
{
    std::string collapsed = collapseWhiteSpace(text);
    const char* bytes = collapsed.data();
    auto remaining = static_cast<int32_t>(collapsed.size());
    while (remaining > 0) {
        int32_t measured = cutToCharacters(bytes, remaining, MeasuredBytes);
        TextFit fit = context.getTextExtentEx(bytes, measured, width);
        // When not even one character fits, the line holds the first one anyway.
        int32_t count = cutToCharacters(bytes, remaining, fit.fitBytes);
        if (count <= 0)
            count = cutToCharacters(bytes, remaining, 2);
        context.textOut(left, y, bytes, count);
        y = wrapAdd(y, fit.extent.height + 2);
        bytes += count;
        remaining -= count;
    }
}

void Document::drawTree(DeviceContext& context, const Rect& clip)
{
    if (!m_root)
        return;
    // One frame per element being drawn: where its next child is and where its text goes.
    struct Frame {
        Ref<DocObj> node;
        size_t next;
        int32_t savedLevel;
        int32_t left;
        int32_t width;
        int32_t y;
    };
    std::vector<Frame> stack;
    context.setClipRect(&clip);
    auto enter = [&](DocObj& node) {
        Element* element = node.element().ptr();
        if (!element || !element->visible())
            return;
        int32_t saved = context.saveDC();
        Rect rect = element->rect();
        element->paint(context, clip);
        stack.push_back({ node, 0, saved, rect.left, rect.width(), rect.top });
    };
    enter(*m_root);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const std::vector<Ref<DocObj>>& children = frame.node->childNodes();
        if (frame.next >= children.size()) {
            context.restoreDC(frame.savedLevel);
            stack.pop_back();
            continue;
        }
        Ref<DocObj> child = children[frame.next++];
        if (child->isText()) {
            if (child->text())
                layoutText(context, child->text()->view(), frame.left, frame.width, frame.y);
        } else {
            enter(*child);
        }
    }
    context.setClipRect(nullptr);
}

RefPtr<ImageObject> Document::captureImage()
{
    Size client = m_window ? m_window->clientSize() : Size {};
    if (!m_imageMembers)
        return nullptr;
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
            ignoreStatus(m_backBuffer->draw(*pictureContext, 0, 0, clientRect), "copying between surfaces cannot fail");
        }
        if (pictureContext)
            ignoreStatus(picture->releaseDC(pictureContext), "releasing a context of the surface cannot fail");
        if (bufferContext)
            ignoreStatus(m_backBuffer->releaseDC(bufferContext), "releasing a context of the surface cannot fail");
    }
    return image;
}

void Document::windowPaint(DeviceContext& target, const Rect& clip)
{
    Ref<Document> protect(*this);
    if (!m_root)
        return;
    if (RefPtr<Surface> backBuffer = m_backBuffer) {
        DeviceContext* context = nullptr;
        if (!backBuffer->getDC(context).ok())
            return;
        drawTree(*context, clip);
        ignoreStatus(backBuffer->draw(target, clip.left, clip.top, clip), "copying to the window cannot fail");
        ignoreStatus(backBuffer->releaseDC(context), "releasing a context of the surface cannot fail");
        return;
    }
    drawTree(target, clip);
}

void Document::windowMouseButton(MouseButtonEvent event, int32_t x, int32_t y)
{
    Ref<Document> protect(*this);
    if (m_shape && std::none_of(m_shape->begin(), m_shape->end(), [&](const Rect& rect) { return rect.contains(x, y); }))
        return;
    m_mouse.button(event, x, y, m_root.ptr());
}

void Document::windowMouseMove(int32_t x, int32_t y)
{
    Ref<Document> protect(*this);
    if (m_root)
        m_mouse.move(x, y, *m_root);
}

void Document::windowContextMenu() { m_system.popupMenu(); }

void Document::windowTimer(int32_t id)
{
    Ref<Document> protect(*this);
    if (id == 1)
        tickElements();
    else if (id == 2)
        callInterval();
}

void Document::tickElements()
{
    if (!m_root)
        return;
    Ref<DocObj> root(*m_root);
    if (RefPtr<ScriptArray> all = root->all()) {
        for (int32_t index = all->count() - 1; index >= 0; --index) {
            ScriptValue entry;
            if (!all->getItem(index, nullptr, entry).ok())
                continue;
            if (DocObj* node = docObjOf(entry)) {
                if (RefPtr<Element> element = node->element())
                    element->tick();
            }
            releaseValue(entry);
        }
    }
    if (RefPtr<Element> element = root->element())
        element->tick();
}

void Document::callInterval()
{
    if (m_interval.tag != ValueTag::Function || !m_interval.payload.object || !m_runner)
        return;
    ScriptValue function = m_interval;
    retainValue(function);
    ScriptValue result;
    RefPtr<ScriptRunner> runner = m_runner;
    ++m_intervalCalls;
    {
        std::optional<OriginScope> origin;
        if (runner->engine())
            origin.emplace(*runner->engine(), originOf("setInterval callback", 0));
        ignoreStatus(runner->callFunction(function, function.objectPayload(), 0, nullptr, &result),
            "an error of the callback was reported through the site");
    }
    --m_intervalCalls;
    releaseValue(result);
    releaseValue(function);
}

void Document::windowFileDropped(const std::string& path)
{
    ignoreStatus(load(path), "a dropped file that cannot be read leaves the window empty, as any failed load does");
}

}
