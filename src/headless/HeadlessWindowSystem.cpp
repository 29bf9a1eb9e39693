#include <headless/HeadlessWindowSystem.h>

#include <algorithm>

namespace nimbolt {

// Beyond this many rectangles waiting for a paint, they are taken as their bounds.
static constexpr size_t MaxInvalidRects = 1024;

static Rect boundsOf(const std::vector<Rect>& rects)
{
    Rect bounds = rects.front();
    for (const Rect& rect : rects) {
        bounds = { std::min(bounds.left, rect.left), std::min(bounds.top, rect.top), std::max(bounds.right, rect.right),
            std::max(bounds.bottom, rect.bottom) };
    }
    return bounds;
}

HeadlessWindow::HeadlessWindow(HeadlessWindowSystem& system, WindowKind kind, WindowEvents& events)
    : m_system(system)
    , m_kind(kind)
    , m_events(events)
{
    m_system.m_windows.push_back(this);
}

HeadlessWindow::~HeadlessWindow()
{
    auto& windows = m_system.m_windows;
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

void HeadlessWindow::setVisible(bool visible)
{
    // A window that appears is painted whole.
    if (visible && !m_visible)
        invalidate(nullptr);
    m_visible = visible;
}

void HeadlessWindow::moveTo(int32_t x, int32_t y)
{
    m_position = { x, y };
    m_events.windowMoved();
}

void HeadlessWindow::setOuterSize(int32_t width, int32_t height)
{
    Size size { std::max(width, 0), std::max(height, 0) };
    if (size == m_size)
        return;
    m_size = size;
    m_picture = nullptr;
    m_events.windowSized(size.width, size.height);
}

void HeadlessWindow::invalidate(const Rect* rect)
{
    Rect area = rect ? *rect : Rect { 0, 0, m_size.width, m_size.height };
    m_invalidations.push_back(area);
    // A hidden window paints nothing; it is painted whole when it appears.
    area = area.intersected({ 0, 0, m_size.width, m_size.height });
    if (!m_visible || area.isEmpty())
        return;
    if (m_invalid.size() >= MaxInvalidRects)
        m_invalid.assign(1, boundsOf(m_invalid));
    m_invalid.push_back(area);
}

void HeadlessWindow::startTimer(int32_t id, int32_t milliseconds)
{
    stopTimer(id);
    int32_t period = std::max(milliseconds, 1);
    m_timers.push_back({ id, period, m_system.m_now + period, m_system.m_timerOrder++ });
}

void HeadlessWindow::stopTimer(int32_t id)
{
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(), [id](const Timer& timer) { return timer.id == id; }),
        m_timers.end());
}

RefPtr<Surface> HeadlessWindow::paint()
{
    if (m_size.width <= 0 || m_size.height <= 0)
        return nullptr;
    Rect client { 0, 0, m_size.width, m_size.height };
    if (!m_picture) {
        m_picture = createSurface(m_size.width, m_size.height, 24);
        m_scratch = createSurface(m_size.width, m_size.height, 24);
        m_invalid.assign(1, client);
    }
    RefPtr<Surface> picture = m_picture;
    RefPtr<Surface> scratch = m_scratch;
    if (!picture || !scratch || m_invalid.empty())
        return picture;
    std::vector<Rect> invalid = std::move(m_invalid);
    m_invalid.clear();
    Rect bounds = boundsOf(invalid);
    DeviceContext* pictureContext = nullptr;
    DeviceContext* scratchContext = nullptr;
    if (picture->getDC(pictureContext).ok() && scratch->getDC(scratchContext).ok()) {
        // Whatever the document leaves undrawn keeps the window's pixels.
        ignoreStatus(picture->draw(*scratchContext, bounds.left, bounds.top, bounds), "drawing between surfaces of one depth cannot fail");
        m_events.windowPaint(*scratchContext, bounds);
        for (const Rect& rect : invalid)
            ignoreStatus(scratch->draw(*pictureContext, rect.left, rect.top, rect), "drawing between surfaces of one depth cannot fail");
    }
    if (scratchContext)
        ignoreStatus(scratch->releaseDC(scratchContext), "releasing a context of the surface cannot fail");
    if (pictureContext)
        ignoreStatus(picture->releaseDC(pictureContext), "releasing a context of the surface cannot fail");
    return picture;
}

RefPtr<Surface> HeadlessWindow::paintAll()
{
    invalidate(nullptr);
    // Hidden or not.
    if (m_size.width > 0 && m_size.height > 0)
        m_invalid.assign(1, Rect { 0, 0, m_size.width, m_size.height });
    return paint();
}

HeadlessWindowSystem::HeadlessWindowSystem(const std::tm& start, Size screen, int32_t depth)
    : m_start(start)
    , m_screen(screen)
    , m_depth(depth)
{
}

std::unique_ptr<NativeWindow> HeadlessWindowSystem::createWindow(WindowKind kind, WindowEvents& events)
{
    return std::make_unique<HeadlessWindow>(*this, kind, events);
}

MessageBoxResult HeadlessWindowSystem::messageBox(NativeWindow*, std::string_view shiftJisText, const char* caption,
    MessageBoxButtons buttons)
{
    record({ Record::Kind::MessageBox, caption, std::string(shiftJisText) });
    if (buttons == MessageBoxButtons::Ok)
        return MessageBoxResult::Ok;
    if (m_answers.empty())
        return MessageBoxResult::Ok;
    MessageBoxResult answer = m_answers.front();
    if (m_answers.size() > 1)
        m_answers.pop_front();
    return answer;
}

void HeadlessWindowSystem::openWithDesktop(std::string_view shiftJisTarget)
{
    record({ Record::Kind::Run, "run", std::string(shiftJisTarget) });
}

void HeadlessWindowSystem::quit()
{
    record({ Record::Kind::Exit, "exit", {} });
    m_quit = true;
}

void HeadlessWindowSystem::record(Record entry)
{
    m_records.push_back(std::move(entry));
    if (m_listener)
        m_listener(m_records.back());
}

std::tm HeadlessWindowSystem::localTime()
{
    std::tm start = m_start;
    std::time_t seconds = timegm(&start) + static_cast<std::time_t>(m_now / 1000);
    std::tm local {};
    gmtime_r(&seconds, &local);
    return local;
}

void HeadlessWindowSystem::advance(int64_t milliseconds)
{
    int64_t end = m_now + std::max<int64_t>(milliseconds, 0);
    for (;;) {
        HeadlessWindow* window = nullptr;
        HeadlessWindow::Timer* next = nullptr;
        for (HeadlessWindow* candidate : m_windows) {
            for (HeadlessWindow::Timer& timer : candidate->m_timers) {
                if (timer.due > end)
                    continue;
                if (!next || timer.due < next->due || (timer.due == next->due && timer.order < next->order)) {
                    next = &timer;
                    window = candidate;
                }
            }
        }
        if (!next)
            break;
        m_now = next->due;
        next->due += next->period;
        next->order = m_timerOrder++;
        window->events().windowTimer(next->id);
        paintWindows();
    }
    m_now = end;
}

void HeadlessWindowSystem::paintWindows()
{
    for (HeadlessWindow* window : m_windows) {
        if (window->isVisible())
            window->paint();
    }
}

}
