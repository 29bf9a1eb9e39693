// A borrowed view of pixel memory in one of the system's formats: 8 bits (an index into a colour
// table of 256 entries), 16 bits (5-5-5 little-endian words, bit 15 zero), 24 bits (bytes blue,
// green, red) or 32 bits (bytes blue, green, red, alpha, the colour straight: not multiplied by
// its alpha). Rows run top down, each `stride` bytes, and every row is padded to 4 bytes.
#pragma once

#include <platform/Rect.h>

#include <cstdint>

namespace nimbolt {

// One colour-table entry, in memory order.
struct ColorTableEntry {
    uint8_t blue { 0 };
    uint8_t green { 0 };
    uint8_t red { 0 };
    uint8_t reserved { 0 };

    friend constexpr bool operator==(const ColorTableEntry&, const ColorTableEntry&) = default;
};

inline constexpr int32_t ColorTableSize = 256;

struct PixelBuffer {
    uint8_t* bits { nullptr };
    int32_t width { 0 };
    int32_t height { 0 };
    int32_t stride { 0 };
    int32_t bitsPerPixel { 0 };
    // 256 entries for 8-bit pixels; ignored (may be null) for the other depths.
    const ColorTableEntry* colorTable { nullptr };

    Rect bounds() const { return { 0, 0, width, height }; }
    uint8_t* row(int32_t y) const { return bits + static_cast<intptr_t>(y) * stride; }
    bool isValid() const
    {
        bool depthKnown = bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32
            || (bitsPerPixel == 8 && colorTable);
        return bits && width > 0 && height > 0 && depthKnown
            && static_cast<int64_t>(stride) * 8 >= static_cast<int64_t>(width) * bitsPerPixel;
    }
};

// Bytes per row: width x bitsPerPixel rounded up to a multiple of 32 bits. -1 when that does
// not fit in 32 bits.
constexpr int32_t strideFor(int32_t width, int32_t bitsPerPixel)
{
    int64_t bits = static_cast<int64_t>(width) * bitsPerPixel;
    int64_t stride = ((bits + 31) & ~int64_t { 31 }) / 8;
    return stride > INT32_MAX ? -1 : static_cast<int32_t>(stride);
}

}
