// Where a remembered window position may be used: the screens change between runs (a monitor
// unplugged, a smaller resolution), and a window put back where no screen is any more could not be
// seen or dragged back. A window keeps its place while a part of it large enough to grab lies on
// a screen; otherwise it moves wholly onto the screen nearest to it.
#pragma once

#include <platform/Rect.h>

#include <vector>

namespace nimbolt {

// How much of a window, in each direction, must lie on one screen for it to stay where it is
// (the whole window when it is smaller).
inline constexpr int32_t MinimumVisible = 32;

// The top-left corner for a window of the size at position, given the screens' rectangles. With
// no screens the position is kept. A window larger than its screen gets its top-left corner on it.
Point placeOnScreens(Point position, Size window, const std::vector<Rect>& screens);

}
