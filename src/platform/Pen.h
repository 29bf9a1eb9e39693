// A pen is a small value: a device context keeps a copy of the one selected, so there is nothing
// to delete and nothing can dangle. A solid pen of width w draws a line w pixels wide
// centred on the geometric line, with round ends and round joins; widths 0 and 1 both give a
// one-pixel line.
#pragma once

#include <platform/Color.h>

#include <cstdint>

namespace nimbolt {

enum class PenStyle : int32_t {
    Solid = 0,
    Null = 5,
};

struct Pen {
    PenStyle style { PenStyle::Solid };
    int32_t width { 1 };
    Color color { 0 };

    static constexpr Pen solid(int32_t width, Color color) { return { PenStyle::Solid, width, color }; }
    static constexpr Pen null() { return { PenStyle::Null, 0, 0 }; }
    friend constexpr bool operator==(const Pen&, const Pen&) = default;
};

}
