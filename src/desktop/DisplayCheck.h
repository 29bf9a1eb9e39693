// Whether the window system the program is about to use can be reached at all, asked before Qt
// is started: Qt ends the process with an abort and a hint about reinstalling when it finds no
// display, where a user needs one line telling what is missing.
#pragma once

#include <optional>
#include <string>

namespace nimbolt {

// None when one of the platforms that QT_QPA_PLATFORM lists (an unset variable stands for X11,
// then Wayland) can be reached; otherwise one line that says why none can, naming the package
// to install when only Qt's Wayland support is missing. Platforms other than X11 and Wayland
// (offscreen, say) count as reachable.
std::optional<std::string> displayProblem();

}
