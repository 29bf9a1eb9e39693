// 16-bit pixels are 5-5-5 words: red in bits 10-14, green in 5-9, blue in 0-4, bit 15 zero,
// stored little-endian. Packing keeps the top five bits of each byte. Two widenings back to a
// byte exist and must not be mixed: the display rule repeats the top bits (31 gives 255), the
// blend rule ORs two shifted copies (31 gives 254), which is what blended pictures show.
#pragma once

#include <cstdint>

namespace nimbolt {

constexpr uint16_t packWord555(uint32_t red, uint32_t green, uint32_t blue)
{
    return static_cast<uint16_t>((red & 0xF8) << 7 | (green & 0xF8) << 2 | (blue & 0xFF) >> 3);
}

// A 5-bit field as a byte for display: c << 3 | c >> 2.
constexpr uint8_t widenFieldRepeating(uint32_t field)
{
    return static_cast<uint8_t>(field << 3 | field >> 2);
}

// A 5-bit field as a byte by the blend rule: c << 3 | c << 1.
constexpr uint8_t widenFieldShifted(uint32_t field)
{
    return static_cast<uint8_t>(field << 3 | field << 1);
}

inline uint16_t readWord555(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline void writeWord555(uint8_t* p, uint32_t word)
{
    p[0] = static_cast<uint8_t>(word);
    p[1] = static_cast<uint8_t>(word >> 8);
}

}
