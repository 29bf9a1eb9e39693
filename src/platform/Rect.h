// Plain pixel geometry shared by every drawing layer: a rectangle is left, top, right, bottom with
// right and bottom exclusive, so its width is right - left. A rectangle whose width or height is
// zero or less holds no pixels.
#pragma once

#include <algorithm>
#include <cstdint>

namespace nimbolt {

struct Point {
    int32_t x { 0 };
    int32_t y { 0 };

    friend constexpr bool operator==(Point, Point) = default;
};

struct Size {
    int32_t width { 0 };
    int32_t height { 0 };

    friend constexpr bool operator==(Size, Size) = default;
};

struct Rect {
    int32_t left { 0 };
    int32_t top { 0 };
    int32_t right { 0 };
    int32_t bottom { 0 };

    // Clamped to the 32-bit range, so rectangles from any coordinates are safe to measure.
    constexpr int32_t width() const { return clampedDifference(right, left); }
    constexpr int32_t height() const { return clampedDifference(bottom, top); }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool contains(int32_t x, int32_t y) const
    {
        return left <= x && x < right && top <= y && y < bottom;
    }

    // The common part; empty (possibly with right < left) when the two do not overlap.
    constexpr Rect intersected(const Rect& other) const
    {
        return { std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom) };
    }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;

private:
    static constexpr int32_t clampedDifference(int32_t a, int32_t b)
    {
        int64_t difference = static_cast<int64_t>(a) - b;
        return static_cast<int32_t>(std::clamp<int64_t>(difference, INT32_MIN, INT32_MAX));
    }
};

// A copy of pixels from one picture to another, clipped to both: the source origin, the target
// origin and the size that lie inside both pictures.
struct ClippedTransfer {
    int32_t sourceX;
    int32_t sourceY;
    int32_t targetX;
    int32_t targetY;
    int32_t width;
    int32_t height;
};

// Clips a copy of sourceRect of a picture sourceSize to (x, y) of a picture targetSize, moving the
// target position along with every cut of the source; false when nothing is left to copy.
constexpr bool clipTransfer(const Rect& sourceRect, int32_t x, int32_t y, Size sourceSize, Size targetSize,
    ClippedTransfer& out)
{
    int64_t sx = sourceRect.left, sy = sourceRect.top, tx = x, ty = y;
    int64_t width = static_cast<int64_t>(sourceRect.right) - sourceRect.left;
    int64_t height = static_cast<int64_t>(sourceRect.bottom) - sourceRect.top;
    if (sx < 0) {
        tx -= sx;
        width += sx;
        sx = 0;
    }
    if (sy < 0) {
        ty -= sy;
        height += sy;
        sy = 0;
    }
    width = std::min<int64_t>(width, sourceSize.width - sx);
    height = std::min<int64_t>(height, sourceSize.height - sy);
    if (tx < 0) {
        sx -= tx;
        width += tx;
        tx = 0;
    }
    if (ty < 0) {
        sy -= ty;
        height += ty;
        ty = 0;
    }
    width = std::min<int64_t>(width, targetSize.width - tx);
    height = std::min<int64_t>(height, targetSize.height - ty);
    if (width <= 0 || height <= 0)
        return false;
    out = { static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(tx), static_cast<int32_t>(ty),
        static_cast<int32_t>(width), static_cast<int32_t>(height) };
    return true;
}

}
