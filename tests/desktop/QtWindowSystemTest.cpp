// The desktop window system under an offscreen QApplication: what the document hears from its
// windows, and when. Shapes, drags, boxes and opacity are shown by the desktop cases (tests/app).
#include <desktop/QtWindowSystem.h>
#include <desktop/WindowWidget.h>

#include <QApplication>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace nimbolt;

namespace {

class Recorder final : public WindowEvents {
public:
    void windowSized(int32_t width, int32_t height) override { record("sized", width, height); }
    void windowMoved() override {}
    void windowPaint(DeviceContext&, const Rect&) override {}
    void windowMouseButton(MouseButtonEvent event, int32_t x, int32_t y) override
    {
        const char* names[] = { "down", "up", "click" };
        record(names[static_cast<int>(event)], x, y);
    }
    void windowMouseMove(int32_t x, int32_t y) override { record("move", x, y); }
    void windowContextMenu() override { record("menu"); }
    void windowTimer(int32_t id) override
    {
        ++ticks[id];
        if (onTimer)
            onTimer();
    }
    void windowFileDropped(const std::string& path) override { record("dropped " + path); }

    void record(const std::string& name, int32_t x, int32_t y)
    {
        record(name + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void record(std::string call)
    {
        if (closed)
            ADD_FAILURE() << "call after the window was destroyed: " << call;
        calls.push_back(std::move(call));
    }

    std::vector<std::string> calls;
    int ticks[3] {};
    bool closed { false };
    std::function<void()> onTimer;
};

// A new window and the widget that shows it.
std::pair<std::unique_ptr<NativeWindow>, QPointer<WindowWidget>> create(QtWindowSystem& system, WindowKind kind,
    Recorder& events)
{
    QWidgetList before = QApplication::topLevelWidgets();
    std::pair<std::unique_ptr<NativeWindow>, QPointer<WindowWidget>> created { system.createWindow(kind, events), nullptr };
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<WindowWidget*>(widget);
        if (window && !before.contains(widget) && !window->isReleased())
            created.second = window;
    }
    return created;
}

}

// Each kind: frameless and out of the taskbar but the framed screen window, mouse tracking but for
// the mascot, sizes reported at once and only when they change, titles kept as the document's
// bytes but shown as Unicode, and the mouse events the kind hears.
TEST(QtWindowSystem, WindowsOfEachKind)
{
    QtWindowSystem system;
    for (WindowKind kind : { WindowKind::Mascot, WindowKind::Screen, WindowKind::ScreenWindow }) {
        Recorder events;
        auto [window, widget] = create(system, kind, events);
        ASSERT_TRUE(widget);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->title(), "Nimbolt");
        EXPECT_EQ(widget->windowFlags().testFlag(Qt::FramelessWindowHint), kind != WindowKind::ScreenWindow);
        EXPECT_EQ(widget->windowType(), Qt::Window);
        EXPECT_EQ(widget->hasMouseTracking(), kind != WindowKind::Mascot);
        const std::string bytes = "\x93\xfa\x96\x7b clock"; // "日本 clock" in Shift-JIS
        window->setTitle(bytes);
        EXPECT_EQ(window->title(), bytes);
        EXPECT_EQ(widget->windowTitle(), QString::fromUtf8("日本 clock"));

        const int32_t sizes[][2] = { { 120, 80 }, { 120, 80 }, { 60, 45 }, { -5, 10 } };
        for (const auto& size : sizes) // hidden: no frame yet, the client takes the whole size
            window->setOuterSize(size[0], size[1]);
        EXPECT_EQ(events.calls, (std::vector<std::string> { "sized 120,80", "sized 60,45", "sized 0,10" }));
        EXPECT_EQ(window->clientSize(), (Size { 0, 10 }));
        // The resize event that arrives later repeats nothing.
        window->setOuterSize(70, 50);
        QTest::qWait(30);
        EXPECT_EQ(std::count(events.calls.begin(), events.calls.end(), "sized 70,50"), 1);
        EXPECT_EQ(events.calls.back(), "sized 70,50");
        EXPECT_EQ(window->outerSize(), (Size { 70, 50 }));

        // The mascot hears only the press and the click. A release short of the drag distance (9
        // pixels along the axes, offscreen's distance is 10) is a click; a move past it is not.
        std::vector<std::string> expected { "down 7,5", "move 12,9", "up 12,9", "click 12,9", "down 3,3",
            "move 8,9", "up 8,9", "menu" };
        if (kind == WindowKind::Mascot)
            expected = { "down 7,5", "click 12,9", "down 3,3", "menu" };
        events.calls.clear();
        QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(7, 5));
        QTest::mouseMove(widget, QPoint(12, 9));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(12, 9));
        QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseMove(widget, QPoint(8, 9));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(8, 9));
        QTest::mouseClick(widget, Qt::RightButton, {}, QPoint(3, 3));
        EXPECT_EQ(events.calls, expected) << static_cast<int>(kind);
        events.closed = true;
    }
}

// An empty shape shows nothing of the window; timers run until stopped, and starting one again
// replaces its period; a dropped file reaches the document by its name.
TEST(QtWindowSystem, EmptyShapesTimersAndDroppedFiles)
{
    QtWindowSystem system;
    Recorder events;
    auto [window, widget] = create(system, WindowKind::Mascot, events);
    window->setOuterSize(40, 30);
    window->setShape(Region());
    EXPECT_TRUE(window->isShaped());
    EXPECT_FALSE(widget->mask().isEmpty()) << "an empty mask would show the whole window";
    EXPECT_TRUE(widget->mask().intersected(QRect(0, 0, 40, 30)).isEmpty());
    window->setShape(std::nullopt);
    EXPECT_FALSE(window->isShaped());
    EXPECT_TRUE(widget->mask().isEmpty());

    window->startTimer(1, 10);
    window->startTimer(2, 40);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.ticks[1] >= 3 && events.ticks[2] >= 3; }));
    window->startTimer(1, 60000);
    window->stopTimer(2);
    int ones = events.ticks[1], twos = events.ticks[2];
    QTest::qWait(100);
    EXPECT_EQ(events.ticks[1], ones);
    EXPECT_EQ(events.ticks[2], twos);

    events.calls.clear();
    QMimeData data;
    data.setUrls({ QUrl(QStringLiteral("https://example.org/x")), QUrl::fromLocalFile(QStringLiteral("/tmp/a b.nbm")) });
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    EXPECT_EQ(events.calls, (std::vector<std::string> { "dropped /tmp/a b.nbm" }));
}

TEST(QtWindowSystem, AWindowDestroyedInItsOwnEventHearsNothingMoreAndGoesAwayLater)
{
    QtWindowSystem system;
    Recorder events;
    auto [window, widget] = create(system, WindowKind::Screen, events);
    window->setOuterSize(20, 20);
    window->setVisible(true);
    window->startTimer(1, 5);
    window->startTimer(2, 5);
    events.onTimer = [&] {
        if (!window)
            return;
        window.reset();
        events.closed = true;
        // Still on the stack: the widget must outlive this call.
        EXPECT_TRUE(widget);
        EXPECT_FALSE(widget->isVisible());
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.closed; }));
    QTest::qWait(50);
    EXPECT_EQ(events.ticks[1] + events.ticks[2], 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(widget);
}
