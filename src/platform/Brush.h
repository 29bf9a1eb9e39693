// A brush is a small value, kept by copy like a pen: a solid colour, or nothing (fills and path
// interiors are then left alone).
#pragma once

#include <platform/Color.h>

#include <cstdint>

namespace nimbolt {

enum class BrushStyle : int32_t {
    Solid = 0,
    Null = 1,
};

struct Brush {
    BrushStyle style { BrushStyle::Solid };
    Color color { 0xFFFFFF };

    static constexpr Brush solid(Color color) { return { BrushStyle::Solid, color }; }
    static constexpr Brush null() { return { BrushStyle::Null, 0 }; }
    friend constexpr bool operator==(const Brush&, const Brush&) = default;
};

}
