// A window shape as the platform takes it: rectangles in the shape's own coordinates, with
// (0, 0) the top-left of the picture it was made from, and the bounds of the whole picture. The
// shape is the union of the rectangles; no rectangles means an empty shape (nothing of the
// window shows), which is different from having no region at all.
#pragma once

#include "Rect.h"

#include <vector>

namespace nimbolt {

struct Region {
    Rect bounds;
    std::vector<Rect> rects;
};

}
