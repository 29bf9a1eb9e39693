// A window system without a display, on a virtual clock: windows are pictures in memory that keep
// what was painted into them, timers fire when the clock is advanced, message boxes answer from a
// list, and everything a document asks of the desktop is recorded. As on the desktop, a paint
// redraws only what was invalidated since the last one, and the window's picture keeps everything
// else; the shown windows are painted after every timer tick and whenever paintWindows is called
// (nimbolt-render calls it where the desktop's event loop would paint: after loading and after
// every event). nimbolt-render shows documents with it, and tests watch documents through it.
#pragma once

#include <document/WindowSystem.h>
#include <elements/TimeSource.h>
#include <imaging/Surface.h>

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace nimbolt {

class HeadlessWindowSystem;

class HeadlessWindow final : public NativeWindow {
public:
    HeadlessWindow(HeadlessWindowSystem& system, WindowKind kind, WindowEvents& events);
    ~HeadlessWindow() override;

    void setVisible(bool visible) override;
    bool isVisible() const override { return m_visible; }
    Point position() const override { return m_position; }
    void moveTo(int32_t x, int32_t y) override;
    Size clientSize() const override { return m_size; }
    Size outerSize() const override { return m_size; }
    void setOuterSize(int32_t width, int32_t height) override;
    void setTitle(std::string_view shiftJis) override { m_title = shiftJis; }
    std::string title() const override { return m_title; }
    void setShape(std::optional<Region> shape) override { m_shape = std::move(shape); }
    bool isShaped() const override { return m_shape.has_value(); }
    bool showsOpacity() const override { return true; }
    void setOpacity(std::shared_ptr<const OpacityMap> opacity) override { m_opacity = std::move(opacity); }
    void invalidate(const Rect* rect) override;
    void startTimer(int32_t id, int32_t milliseconds) override;
    void stopTimer(int32_t id) override;

    WindowKind kind() const { return m_kind; }
    WindowEvents& events() { return m_events; }
    const std::optional<Region>& shape() const { return m_shape; }
    const std::shared_ptr<const OpacityMap>& opacity() const { return m_opacity; }
    // Every rectangle asked for since the last clearInvalidations, in order.
    const std::vector<Rect>& invalidations() const { return m_invalidations; }
    void clearInvalidations() { m_invalidations.clear(); }
    // Paints what was invalidated since the last paint into the window's picture and returns that
    // picture (24 bits, the client size); null while the client area is empty. As a desktop
    // window's paint, the document draws the bounding rectangle of the invalid rectangles, and
    // the picture takes its pixels only inside them. A new picture (the first paint, a new size)
    // is painted whole.
    RefPtr<Surface> paint();
    // Paints the whole client area again, as a window shown anew does.
    RefPtr<Surface> paintAll();
    // What the window shows now, without painting; null before its first paint.
    RefPtr<Surface> picture() const { return m_picture; }

private:
    friend class HeadlessWindowSystem;
    struct Timer {
        int32_t id;
        int32_t period;
        int64_t due;
        int64_t order;
    };

    HeadlessWindowSystem& m_system;
    WindowKind m_kind;
    WindowEvents& m_events;
    bool m_visible { false };
    Point m_position;
    Size m_size;
    std::string m_title { "Nimbolt" };
    std::optional<Region> m_shape;
    std::shared_ptr<const OpacityMap> m_opacity;
    // The part to paint: rectangles inside the client area, in the order asked for.
    std::vector<Rect> m_invalid;
    std::vector<Rect> m_invalidations;
    std::vector<Timer> m_timers;
    RefPtr<Surface> m_picture;
    // Where a paint is drawn before the invalid part of it goes to the picture.
    RefPtr<Surface> m_scratch;
};

class HeadlessWindowSystem final : public WindowSystem, public TimeSource {
public:
    // What the system was asked to do that a desktop would show, one entry each, in order.
    struct Record {
        enum class Kind { MessageBox, Run, Exit };
        Kind kind;
        std::string caption;
        std::string text; // Shift-JIS, as the document gave it
    };

    // The clocks read start (local time) plus the virtual time that has passed.
    explicit HeadlessWindowSystem(const std::tm& start, Size screen = { 1024, 768 }, int32_t depth = 24);

    std::unique_ptr<NativeWindow> createWindow(WindowKind kind, WindowEvents& events) override;
    MessageBoxResult messageBox(NativeWindow* owner, std::string_view shiftJisText, const char* caption,
        MessageBoxButtons buttons) override;
    void popupMenu() override { }
    Size screenSize() const override { return m_screen; }
    int32_t screenDepth() const override { return m_depth; }
    void openWithDesktop(std::string_view shiftJisTarget) override;
    void quit() override;
    std::tm localTime() override;

    // The answers confirm boxes get, in order; the last one is repeated (Ok when none).
    void setAnswers(std::vector<MessageBoxResult> answers) { m_answers.assign(answers.begin(), answers.end()); }
    // Moves the virtual clock forward, firing every timer due up to and including the end, in
    // time order, and painting the shown windows after each.
    void advance(int64_t milliseconds);
    // Paints every shown window, as the desktop does once the events waiting are handled.
    void paintWindows();
    int64_t now() const { return m_now; }
    bool quitRequested() const { return m_quit; }
    const std::vector<Record>& records() const { return m_records; }
    // Called with every record as it is made; for a message box, before it answers, which is
    // where a desktop's modal loop would run other events.
    void setRecordListener(std::function<void(const Record&)> listener) { m_listener = std::move(listener); }
    void clearRecords() { m_records.clear(); }
    // The newest window that still exists, or null.
    HeadlessWindow* newestWindow() const { return m_windows.empty() ? nullptr : m_windows.back(); }

private:
    friend class HeadlessWindow;
    void record(Record entry);

    std::tm m_start;
    Size m_screen;
    int32_t m_depth;
    int64_t m_now { 0 };
    int64_t m_timerOrder { 0 };
    bool m_quit { false };
    std::deque<MessageBoxResult> m_answers;
    std::vector<Record> m_records;
    std::function<void(const Record&)> m_listener;
    std::vector<HeadlessWindow*> m_windows;
};

}
