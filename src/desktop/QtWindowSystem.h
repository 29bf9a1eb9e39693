// The window system of the desktop program: document windows are Qt widgets on the desktop,
// message boxes are modal Qt boxes, the popup menu is the application's tray menu, and the
// desktop's own opener starts files and addresses. It needs a QApplication for its whole life.
//
// Beyond what the document asks for, the program sets how every document window sits on the
// desktop (workspaces, stacking) and hears what the user does to a window that the document does
// not handle itself: moving it, dropping a file on it.
#pragma once

#include <document/WindowSystem.h>
#include <desktop/DesktopWindowOptions.h>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QWidget;

namespace nimbolt {

class X11CompositorWatch;

// What the program hears from the document windows.
class DesktopEvents {
public:
    // The user (not the document) moved a shown window; position is its frame's top-left corner.
    virtual void windowDragged(Point position) = 0;
    // A file was dropped on a document window: its name in the file system's own encoding.
    virtual void fileDropped(const std::string& path) = 0;

protected:
    ~DesktopEvents() = default;
};

class QtWindowSystem final : public WindowSystem {
public:
    QtWindowSystem();
    // Deletes the widgets of released windows that the event loop had no time to delete.
    ~QtWindowSystem() override;
    QtWindowSystem(const QtWindowSystem&) = delete;
    QtWindowSystem& operator=(const QtWindowSystem&) = delete;

    // Called once, when the first paint of a document window made after this call has ended (the
    // start-up benchmark's mark). Process-wide, so that it can be set before any window system
    // exists.
    static void setFirstPaintObserver(std::function<void()> observer);
    // Where popupMenu gets the menu it shows (borrowed; no source or a null menu shows nothing),
    // asked at each popup so that the menu can be made on first use.
    void setPopupMenu(std::function<QMenu*()> menu) { m_menu = std::move(menu); }
    // Calls handler once, when the first paint of a document window made after this call has
    // ended (the earliest moment for work the first picture need not wait for).
    void whenFirstPainted(std::function<void()> handler) { m_firstPainted = std::move(handler); }
    // Who hears of moves and drops (borrowed; none: a drop goes to the window's document).
    void setDesktopEvents(DesktopEvents* events) { m_desktopEvents = events; }
    DesktopEvents* desktopEvents() const { return m_desktopEvents; }
    // Applies to the windows there are and to every window made from now on.
    void setWindowOptions(const DesktopWindowOptions& options);
    const DesktopWindowOptions& windowOptions() const { return m_windowOptions; }
    // Brings the shown windows to the front.
    void raiseWindows();
    // Whether mascot windows are made with alpha (on X11, where the screen has a visual for it).
    bool hasAlphaWindows() const { return m_alphaWindows; }
    // Whether a compositor shows the windows' alpha: always on Wayland; on X11 while a compositing
    // manager runs, which the window system follows as it starts and stops.
    bool isComposited() const { return m_composited; }
    // Tells the windows that a compositor started or stopped showing their alpha.
    void setComposited(bool composited);

    std::unique_ptr<NativeWindow> createWindow(WindowKind kind, WindowEvents& events) override;
    MessageBoxResult messageBox(NativeWindow* owner, std::string_view shiftJisText, const char* caption,
        MessageBoxButtons buttons) override;
    void popupMenu() override;
    Size screenSize() const override;
    int32_t screenDepth() const override;
    void openWithDesktop(std::string_view shiftJisTarget) override;
    void quit() override;

private:
    void firstPaintEnded();

    std::function<QMenu*()> m_menu;
    std::function<void()> m_firstPainted;
    DesktopEvents* m_desktopEvents { nullptr };
    DesktopWindowOptions m_windowOptions;
    bool m_alphaWindows { false };
    bool m_composited { false };
    std::unique_ptr<X11CompositorWatch> m_compositorWatch;
    struct Widgets;
    std::unique_ptr<Widgets> m_widgets;
};

}
