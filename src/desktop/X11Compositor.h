// What the X server's compositing manager means for the program's windows: whether one runs (the
// screen's _NET_WM_CM_Sn selection has an owner, and a 32-bit visual lets windows carry alpha),
// news of it starting and stopping, and the input shape of a window that the compositor shows
// translucent. Everything here works on the connection Qt opened; without X11 it does nothing and
// says no.
#pragma once

#include <QAbstractNativeEventFilter>
#include <functional>

class QRegion;
class QWidget;

namespace nimbolt {

// True when the screen has a visual whose pixels carry alpha, so that a window can be made with it.
bool x11HasAlphaVisual();

// True when a compositing manager shows the screen (and windows can carry alpha).
bool x11CompositorRuns();

// Where the window shows (bounding) and where the pointer reaches it (input), in logical client
// coordinates (none: the whole window). Both create the widget's native window if it has none yet.
void setX11BoundingShape(QWidget& widget, const QRegion* shape);
void setX11InputShape(QWidget& widget, const QRegion* shape);

// Calls back whenever the owner of the compositing manager's selection changes, from Qt's event
// loop. Qt's own X11 support asks the server for these notices; the watch only listens to them.
class X11CompositorWatch final : public QAbstractNativeEventFilter {
public:
    explicit X11CompositorWatch(std::function<void()> changed);
    ~X11CompositorWatch() override;
    X11CompositorWatch(const X11CompositorWatch&) = delete;
    X11CompositorWatch& operator=(const X11CompositorWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> m_changed;
    // The first event number of the XFIXES extension (0: the server has none), and the atom of the
    // selection.
    uint8_t m_selectionNotify { 0 };
    uint32_t m_selection { 0 };
};

}
