// A colour is a 32-bit value in the system's colour-reference order: red in bits 0-7, green in
// bits 8-15, blue in bits 16-23, the top byte zero. NoColor (only the top bit set) stands for "no
// colour" and is never produced by composing three channels.
#pragma once

#include <cstdint>

namespace nimbolt {

using Color = uint32_t;

inline constexpr Color NoColor = 0x80000000u;

constexpr Color makeColor(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}
constexpr uint8_t redOf(Color color)
{
    return static_cast<uint8_t>(color);
}
constexpr uint8_t greenOf(Color color)
{
    return static_cast<uint8_t>(color >> 8);
}
constexpr uint8_t blueOf(Color color)
{
    return static_cast<uint8_t>(color >> 16);
}

}
