// Owned pixel memory for tests: a zeroed buffer with the system's row padding and a colour table.
#pragma once

#include <platform/PixelBuffer.h>
#include <platform/PixelTransfer.h>

#include <cstdint>
#include <vector>

namespace nimbolt::test {

struct PixelMemory {
    PixelMemory(int32_t width, int32_t height, int32_t bitsPerPixel)
        : width(width)
        , height(height)
        , bitsPerPixel(bitsPerPixel)
        , stride(((width * bitsPerPixel + 31) & ~31) / 8)
        , bytes(static_cast<size_t>(stride * height))
        , table(256)
    {
    }

    PixelBuffer buffer() { return { bytes.data(), width, height, stride, bitsPerPixel, table.data() }; }
    uint8_t* at(int32_t x, int32_t y) { return bytes.data() + y * stride + x * bitsPerPixel / 8; }
    uint16_t word(int32_t x, int32_t y) { return static_cast<uint16_t>(at(x, y)[0] | at(x, y)[1] << 8); }

    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t stride;
    std::vector<uint8_t> bytes;
    std::vector<ColorTableEntry> table;
};

inline Color pixelAt(PixelMemory& memory, int32_t x, int32_t y)
{
    return pixelColor(memory.buffer(), x, y);
}

}
