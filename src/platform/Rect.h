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

}
