// Window states that Qt does not set itself on X11, written as window-manager hints on the
// window's X window. Elsewhere (Wayland, offscreen) these do nothing.
#pragma once

class QPointF;
class QWidget;

namespace nimbolt {

// Asks the window manager and the panels to leave the window out of the taskbar and the pager.
// Call it before the window is first shown: a window manager reads the state when the window is
// mapped. Creates the widget's native window if it has none yet.
void setSkipTaskbar(QWidget& window);

// Asks the window manager to move the window with the pointer as if the drag had begun at
// pressPosition (global, logical pixels) while the left button is held, so that the pressed point
// stays under the pointer. False where that cannot be asked (no X11, or a window manager that
// does not move windows for their clients).
bool startWindowManagerMove(QWidget& window, const QPointF& pressPosition);

}
