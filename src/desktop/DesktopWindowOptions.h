// How the program's windows sit on the desktop, beyond what documents decide: on which workspaces
// and in which layer of the stacking order.
#pragma once

namespace nimbolt {

enum class WindowStacking {
    Normal,
    Above, // stays on top of other windows
    Below, // stays below other windows, above the desktop
};

struct DesktopWindowOptions {
    // Shown on every workspace of the desktop, as a clock on the desktop is.
    bool allWorkspaces { true };
    WindowStacking stacking { WindowStacking::Normal };
};

}
