#include <app/WindowPlacement.h>

#include <algorithm>
#include <limits>

namespace nimbolt {

static int64_t overlap(int64_t start, int64_t length, int64_t from, int64_t to)
{
    return std::min(start + length, to) - std::max(start, from);
}

// The square of the distance from a point to the nearest pixel of the rectangle (0 inside).
static int64_t squaredDistance(int64_t x, int64_t y, const Rect& rect)
{
    int64_t dx = x < rect.left ? rect.left - x : (x >= rect.right ? x - rect.right + 1 : 0);
    int64_t dy = y < rect.top ? rect.top - y : (y >= rect.bottom ? y - rect.bottom + 1 : 0);
    return dx * dx + dy * dy;
}

Point placeOnScreens(Point position, Size window, const std::vector<Rect>& screens)
{
    int64_t width = std::max(window.width, 1);
    int64_t height = std::max(window.height, 1);
    const Rect* nearest = nullptr;
    int64_t nearestDistance = std::numeric_limits<int64_t>::max();
    for (const Rect& screen : screens) {
        if (screen.isEmpty())
            continue;
        if (overlap(position.x, width, screen.left, screen.right) >= std::min<int64_t>(width, MinimumVisible)
            && overlap(position.y, height, screen.top, screen.bottom) >= std::min<int64_t>(height, MinimumVisible))
            return position;
        int64_t distance = squaredDistance(position.x + width / 2, position.y + height / 2, screen);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = &screen;
        }
    }
    if (!nearest)
        return position;
    auto clamp = [](int64_t start, int64_t length, int64_t from, int64_t to) {
        return static_cast<int32_t>(std::max(from, std::min(start, to - length)));
    };
    return { clamp(position.x, width, nearest->left, nearest->right),
        clamp(position.y, height, nearest->top, nearest->bottom) };
}

}
