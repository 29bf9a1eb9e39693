#include <headless/HeadlessWindowSystem.h>

#include <algorithm>

namespace nimbolt {

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
    area = area.intersected({ 0, 0, m_size.width, m_size.height });
    if (area.isEmpty())
        return;
    if (!m_dirty) {
        m_dirty = area;
        return;
    }
    m_dirty = Rect { std::min(m_dirty->left, area.left), std::min(m_dirty->top, area.top),
        std::max(m_dirty->right, area.right), std::max(m_dirty->bottom, area.bottom) };
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
    if (!m_picture) {
        m_picture = createSurface(m_size.width, m_size.height, 24);
        m_dirty = Rect { 0, 0, m_size.width, m_size.height };
    }
    RefPtr<Surface> picture = m_picture;
    if (!picture || !m_dirty)
        return picture;
    Rect clip = *m_dirty;
    m_dirty.reset();
    DeviceContext* context = nullptr;
    if (picture->getDC(context).ok()) {
        m_events.windowPaint(*context, clip);
        ignoreStatus(picture->releaseDC(context), "releasing a context of the surface cannot fail");
    }
    return picture;
}

RefPtr<Surface> HeadlessWindow::paintAll()
{
    invalidate(nullptr);
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
    }
    m_now = end;
}

}
