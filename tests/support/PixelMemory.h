// Pixel memory with a colour table, 8-bit pictures as text, where the pixels of a colour lie, and
// BMP files built byte by byte.
#pragma once

#include <platform/PixelBuffer.h>
#include <platform/PixelTransfer.h>

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace nimbolt::test {

using Bytes = std::vector<uint8_t>;
using Palette = std::vector<ColorTableEntry>;

// 8-bit pixels as text: rows separated by '/', one character per pixel, 0-9 then a-z for 10-35.
inline std::string indexText(const uint8_t* bits, int32_t stride, int32_t width, int32_t height)
{
    std::string text;
    for (int32_t y = 0; y < height; ++y) {
        text += y > 0 ? "/" : "";
        for (int32_t x = 0; x < width; ++x)
            text += "0123456789abcdefghijklmnopqrstuvwxyz?"[std::min<int>(bits[y * stride + x], 36)];
    }
    return text;
}

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

    // An 8-bit picture written as indexText writes it; the row padding holds 0xEE.
    static PixelMemory fromIndices(std::string_view text)
    {
        auto width = static_cast<int32_t>(std::min(text.find('/'), text.size()));
        auto height = static_cast<int32_t>((text.size() + 1) / static_cast<size_t>(width + 1));
        PixelMemory memory(width, height, 8);
        std::fill(memory.bytes.begin(), memory.bytes.end(), 0xEE);
        for (int32_t y = 0; y < memory.height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                char c = text[static_cast<size_t>(y * (width + 1) + x)];
                *memory.at(x, y) = static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'a' + 10);
            }
        }
        return memory;
    }

    PixelBuffer buffer() { return { bytes.data(), width, height, stride, bitsPerPixel, table.data() }; }
    uint8_t* at(int32_t x, int32_t y) { return bytes.data() + y * stride + x * bitsPerPixel / 8; }
    std::string indices() const { return indexText(bytes.data(), stride, width, height); }

    int32_t width, height, bitsPerPixel, stride;
    Bytes bytes;
    Palette table;
};

// The smallest rectangle holding every pixel whose colour `match` accepts, and how many there are.
struct Ink {
    Rect bounds { INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN };
    int32_t count { 0 };
};
template <typename Match> Ink inkWhere(const PixelBuffer& buffer, Match match)
{
    Ink ink;
    for (int32_t y = 0; y < buffer.height; ++y) {
        for (int32_t x = 0; x < buffer.width; ++x) {
            if (!match(pixelColor(buffer, x, y)))
                continue;
            ink.bounds = { std::min(ink.bounds.left, x), std::min(ink.bounds.top, y),
                std::max(ink.bounds.right, x + 1), std::max(ink.bounds.bottom, y + 1) };
            ++ink.count;
        }
    }
    return ink;
}
inline Ink inkOf(const PixelBuffer& buffer, Color color)
{
    return inkWhere(buffer, [&](Color c) { return c == color; });
}
inline bool within(const Rect& inner, const Rect& outer)
{
    return inner.intersected(outer) == inner;
}

// A BMP file with a 40-byte information header, the palette and then the pixel data exactly as
// given (rows bottom up, each padded to 4 bytes, unless the height is negative or the data is
// run-length coded).
inline Bytes makeBmp(int32_t width, int32_t height, int bitCount, uint32_t compression,
    const Palette& palette, const Bytes& data)
{
    auto offset = static_cast<uint32_t>(14 + 40 + palette.size() * 4);
    auto dataSize = static_cast<uint32_t>(data.size());
    Bytes bytes { 'B', 'M' };
    const std::pair<uint32_t, int> fields[] = { { offset + dataSize, 4 }, { 0, 4 }, { offset, 4 }, { 40, 4 },
        { static_cast<uint32_t>(width), 4 }, { static_cast<uint32_t>(height), 4 }, { 1, 2 },
        { static_cast<uint32_t>(bitCount), 2 }, { compression, 4 }, { dataSize, 4 }, { 2835, 4 }, { 2835, 4 },
        { static_cast<uint32_t>(palette.size()), 4 }, { 0, 4 } };
    for (auto [value, size] : fields) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    for (const ColorTableEntry& entry : palette)
        bytes.insert(bytes.end(), { entry.blue, entry.green, entry.red, 0 });
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// Red, green, blue and (red 10, green 20, blue 30), as colour-table entries (blue first).
inline const Palette FourColours
    = { { 0, 0, 255, 0 }, { 0, 255, 0, 0 }, { 255, 0, 0, 0 }, { 30, 20, 10, 0 } };

// An uncompressed 8-bit BMP of 3 x 2 pixels with FourColours: the top row 0 1 2, the bottom 3 2 1.
inline Bytes smallBmp()
{
    return makeBmp(3, 2, 8, 0, FourColours, { 3, 2, 1, 0, 0, 1, 2, 0 });
}

}
