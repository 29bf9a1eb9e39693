// Window states that Qt does not set itself on X11, written as window-manager hints on the
// window's X window. Before the window is shown they go into the properties that the window
// manager reads when the window is mapped; once it is shown, the window manager is asked to change
// them. Elsewhere (Wayland, offscreen) these do nothing. Each creates the widget's native window
// if it has none yet.
#pragma once

#include <desktop/DesktopWindowOptions.h>

class QPointF;
class QWidget;

namespace nimbolt {

// Asks the window manager and the panels to leave the window out of the taskbar and the pager.
void setSkipTaskbar(QWidget& window);

// Keeps the window above or below the others (_NET_WM_STATE_ABOVE, _NET_WM_STATE_BELOW), or
// neither.
void setStacking(QWidget& window, WindowStacking stacking);

// Puts the window on every workspace (_NET_WM_DESKTOP 0xFFFFFFFF), or on the current one only.
void setOnAllWorkspaces(QWidget& window, bool all);

// Asks the window manager to move the window with the pointer as if the drag had begun at
// pressPosition (global, logical pixels) while the left button is held, so that the pressed point
// stays under the pointer. False where that cannot be asked (no X11, or a window manager that
// does not move windows for their clients).
bool startWindowManagerMove(QWidget& window, const QPointF& pressPosition);

}
