// The window system of the desktop program: document windows are Qt widgets on the desktop,
// message boxes are modal Qt boxes, the popup menu is the application's tray menu, and the
// desktop's own opener starts files and addresses. It needs a QApplication for its whole life.
#pragma once

#include <document/WindowSystem.h>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QWidget;

namespace nimbolt {

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
    // The menu popupMenu shows (borrowed; none shows nothing).
    void setPopupMenu(QMenu* menu) { m_menu = menu; }

    std::unique_ptr<NativeWindow> createWindow(WindowKind kind, WindowEvents& events) override;
    MessageBoxResult messageBox(NativeWindow* owner, std::string_view shiftJisText, const char* caption,
        MessageBoxButtons buttons) override;
    void popupMenu() override;
    Size screenSize() const override;
    int32_t screenDepth() const override;
    void openWithDesktop(std::string_view shiftJisTarget) override;
    void quit() override;

private:
    QMenu* m_menu { nullptr };
    struct Widgets;
    std::unique_ptr<Widgets> m_widgets;
};

}
