// The widget that shows one document window on the desktop. It turns Qt's events into the
// document's WindowEvents and keeps the geometry rules of the window kinds: Mascot and Screen
// windows are frameless and have no taskbar entry, ScreenWindow windows are framed; a Mascot
// window sends only button-down events, and is dragged once the pointer has gone the platform's
// drag distance with the button held. How it sits on the desktop (workspaces, stacking) follows the
// window system's options; a move that the document did not ask for, and a dropped file, go to the
// program when it listens (see QtWindowSystem).
//
// A shape cuts the window, unless a compositor shows the window's alpha: then a mascot window is
// painted translucent (the opacity map, or opaque inside the shape and clear outside it) and the
// shape is only where the pointer reaches it. Mascot windows that may ever be shown so are made
// with alpha from the start, so that a compositor that starts or stops later only changes how the
// shape is applied.
//
// The document may destroy its window from inside one of the window's own events (a mouse
// handler that loads another document) or while a message box that one of them opened is still
// on the stack. So the widget is never deleted directly: release() forgets the events, stops the
// timers and hides it, and the widget deletes itself later, once none of its own event handlers
// is running any more. After release() no event reaches the document.
#pragma once

#include <document/WindowSystem.h>

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QTimer;

namespace nimbolt {

class QtWindowSystem;

class WindowWidget final : public QWidget {
public:
    WindowWidget(WindowKind kind, WindowEvents& events, QtWindowSystem& system);
    ~WindowWidget() override;

    WindowKind kind() const { return m_kind; }
    // Ends the window's life as seen by the document (see above).
    void release();
    bool isReleased() const { return m_events == nullptr; }

    // Shows or hides the window; frameless kinds leave the taskbar before they show.
    void setShown(bool shown);
    // Applies the window system's options to a shown window; a hidden one takes them when shown.
    void applyWindowOptions();
    Point framePosition() const;
    void moveFrameTo(int32_t x, int32_t y);
    Size frameSize() const;
    void setFrameSize(int32_t width, int32_t height);
    void setCaption(std::string_view shiftJis);
    const std::string& caption() const { return m_caption; }
    void setShape(const std::optional<Region>& shape);
    bool isShaped() const { return m_shape.has_value(); }
    // Whether the pixels show as translucent as the opacity says (see above).
    bool showsOpacity() const { return m_translucent; }
    void setOpacity(std::shared_ptr<const OpacityMap> opacity);
    // A compositor started or stopped showing the windows' alpha.
    void setComposited(bool composited);
    void startPeriodicTimer(int32_t id, int32_t milliseconds);
    void stopPeriodicTimer(int32_t id);
    // Called at the end of every paint that reached the document.
    void setPaintObserver(std::function<void()> observer) { m_paintObserver = std::move(observer); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Marks a call into the document; the outermost one to end deletes a released widget.
    class Dispatch {
    public:
        explicit Dispatch(WindowWidget& widget);
        ~Dispatch();
        Dispatch(const Dispatch&) = delete;
        Dispatch& operator=(const Dispatch&) = delete;

    private:
        WindowWidget& m_widget;
    };

    void reportSize();
    void applyShape();
    const QImage& alphaMask();
    void writeWindowOptions();
    bool pastDragDistance(const QPointF& globalPosition) const;
    void startMascotDrag(const QPointF& globalPosition);

    WindowKind m_kind;
    WindowEvents* m_events;
    QtWindowSystem& m_system;
    // Where the document last put the window; a move elsewhere was the user's.
    QPoint m_placedAt;
    int32_t m_dispatchDepth { 0 };
    bool m_deletePending { false };
    Size m_reportedSize;
    std::string m_caption { "Nimbolt" };
    // Made with alpha, and shown translucent now.
    bool m_withAlpha { false };
    bool m_translucent { false };
    std::optional<QRegion> m_shape;
    std::shared_ptr<const OpacityMap> m_opacity;
    // The alpha of each client pixel, made from the shape and the opacity when a paint needs it.
    QImage m_alpha;
    bool m_alphaStale { true };
    std::map<int32_t, QTimer*> m_timers;
    // The left button went down here and the pointer has not gone the drag distance since.
    bool m_pressed { false };
    QPointF m_pressPosition;
    QPointF m_pressGlobalPosition;
    bool m_dragging { false };
    QPointF m_dragOffset;
    std::function<void()> m_paintObserver;
};

}
