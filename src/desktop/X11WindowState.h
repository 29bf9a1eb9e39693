// Window states that Qt does not set itself on X11, written as window-manager hints on the
// window's X window. Elsewhere (Wayland, offscreen) these do nothing.
#pragma once

class QWidget;

namespace nimbolt {

// Asks the window manager and the panels to leave the window out of the taskbar and the pager.
// Call it before the window is first shown: a window manager reads the state when the window is
// mapped. Creates the widget's native window if it has none yet.
void setSkipTaskbar(QWidget& window);

}
