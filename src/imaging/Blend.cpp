#include <imaging/Blend.h>

#include <base/Color555.h>
#include <platform/PixelTransfer.h>

#include <algorithm>

namespace nimbolt {

namespace {

enum class KeyUse {
    Keyed,
    Unkeyed,
};

inline int32_t mixChannel(int32_t s, int32_t d, int32_t t)
{
    return s + ((d - s) * t >> 8);
}

// t outside 0 ... 256 cannot come from an element; clamping keeps the arithmetic in range.
inline int32_t clampTransparency(int32_t t)
{
    return std::clamp(t, 0, 256);
}

void mixRows16(uint8_t* destination, int32_t destinationStride, const uint8_t* source, int32_t sourceStride,
    int32_t width, int32_t rows, uint32_t key, KeyUse keyUse, int32_t t)
{
    t = clampTransparency(t);
    for (int32_t row = 0; row < rows; ++row) {
        uint8_t* to = destination + static_cast<intptr_t>(row) * destinationStride;
        const uint8_t* from = source + static_cast<intptr_t>(row) * sourceStride;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t s = readWord555(from + x * 2);
            if (keyUse == KeyUse::Keyed && s == key)
                continue;
            uint32_t d = readWord555(to + x * 2);
            uint32_t red = mixChannel(s >> 10 & 31, d >> 10 & 31, t) & 31;
            uint32_t green = mixChannel(s >> 5 & 31, d >> 5 & 31, t) & 31;
            uint32_t blue = mixChannel(s & 31, d & 31, t) & 31;
            writeWord555(to + x * 2, red << 10 | green << 5 | blue);
        }
    }
}

void mixRows24(uint8_t* destination, int32_t destinationStride, const uint8_t* source, int32_t sourceStride,
    int32_t width, int32_t rows, uint32_t key, KeyUse keyUse, int32_t t)
{
    t = clampTransparency(t);
    auto key0 = static_cast<uint8_t>(key), key1 = static_cast<uint8_t>(key >> 8),
         key2 = static_cast<uint8_t>(key >> 16);
    for (int32_t row = 0; row < rows; ++row) {
        uint8_t* to = destination + static_cast<intptr_t>(row) * destinationStride;
        const uint8_t* from = source + static_cast<intptr_t>(row) * sourceStride;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* s = from + x * 3;
            if (keyUse == KeyUse::Keyed && s[0] == key0 && s[1] == key1 && s[2] == key2)
                continue;
            uint8_t* d = to + x * 3;
            for (int i = 0; i < 3; ++i)
                d[i] = static_cast<uint8_t>(mixChannel(s[i], d[i], t));
        }
    }
}

}

void blendRows16(uint8_t* destination, int32_t destinationStride, const uint8_t* source, int32_t sourceStride,
    int32_t width, int32_t rows, uint32_t key, int32_t t)
{
    mixRows16(destination, destinationStride, source, sourceStride, width, rows, key, KeyUse::Keyed, t);
}

void blendRows24(uint8_t* destination, int32_t destinationStride, const uint8_t* source, int32_t sourceStride,
    int32_t width, int32_t rows, uint32_t key, int32_t t)
{
    mixRows24(destination, destinationStride, source, sourceStride, width, rows, key, KeyUse::Keyed, t);
}

void convertRows24To16(uint8_t* destination, int32_t destinationStride, const uint8_t* source,
    int32_t sourceStride, int32_t width, int32_t rows)
{
    for (int32_t row = 0; row < rows; ++row) {
        uint8_t* to = destination + static_cast<intptr_t>(row) * destinationStride;
        const uint8_t* from = source + static_cast<intptr_t>(row) * sourceStride;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* s = from + x * 3;
            writeWord555(to + x * 2, packWord555(s[2], s[1], s[0]));
        }
    }
}

void convertRows16To24(uint8_t* destination, int32_t destinationStride, const uint8_t* source,
    int32_t sourceStride, int32_t width, int32_t rows)
{
    for (int32_t row = 0; row < rows; ++row) {
        uint8_t* to = destination + static_cast<intptr_t>(row) * destinationStride;
        const uint8_t* from = source + static_cast<intptr_t>(row) * sourceStride;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t word = readWord555(from + x * 2);
            to[x * 3] = widenFieldShifted(word & 31);
            to[x * 3 + 1] = widenFieldShifted(word >> 5 & 31);
            to[x * 3 + 2] = widenFieldShifted(word >> 10 & 31);
        }
    }
}

uint32_t packColor555(uint32_t value)
{
    return packWord555(value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
}

uint32_t expandColor555(uint32_t value)
{
    uint32_t red = widenFieldShifted(value >> 10 & 31), green = widenFieldShifted(value >> 5 & 31),
             blue = widenFieldShifted(value & 31);
    return red << 16 | green << 8 | blue;
}

void blendRect(uint8_t* destination, int32_t destinationStride, int32_t destinationBitsPerPixel,
    const uint8_t* source, int32_t sourceStride, int32_t sourceBitsPerPixel, int32_t width, int32_t height,
    uint32_t key, int32_t t)
{
    auto supported = [](int32_t depth) { return depth == 16 || depth == 24; };
    if (!supported(destinationBitsPerPixel) || !supported(sourceBitsPerPixel))
        return;
    if (!destination || !source || width <= 0 || height <= 0)
        return;
    if (destinationBitsPerPixel == sourceBitsPerPixel) {
        if (destinationBitsPerPixel == 16)
            blendRows16(destination, destinationStride, source, sourceStride, width, height, key, t);
        else
            blendRows24(destination, destinationStride, source, sourceStride, width, height, key, t);
        return;
    }

    // The source is converted to the destination's format first; its key with it. A key that is
    // no 5-5-5 pixel matched nothing in a 16-bit source and must match nothing after widening.
    bool toSixteen = destinationBitsPerPixel == 16;
    KeyUse keyUse = !toSixteen && key > 0x7FFF ? KeyUse::Unkeyed : KeyUse::Keyed;
    uint32_t stagedKey = toSixteen ? packColor555(key) : expandColor555(key);
    int32_t destinationBytes = destinationBitsPerPixel / 8, sourceBytes = sourceBitsPerPixel / 8;
    // Rows wider than the buffer are done in strips of columns.
    int32_t stripWidth = std::min(width, BlendStagingBytes / destinationBytes);
    alignas(16) uint8_t staging[BlendStagingBytes];
    for (int32_t column = 0; column < width; column += stripWidth) {
        int32_t columns = std::min(stripWidth, width - column);
        int32_t rowBytes = columns * destinationBytes;
        int32_t rowsPerChunk = BlendStagingBytes / rowBytes;
        uint8_t* to = destination + static_cast<intptr_t>(column) * destinationBytes;
        const uint8_t* from = source + static_cast<intptr_t>(column) * sourceBytes;
        for (int32_t done = 0; done < height;) {
            int32_t rows = std::min(height - done, rowsPerChunk);
            if (toSixteen) {
                convertRows24To16(staging, rowBytes, from, sourceStride, columns, rows);
                mixRows16(to, destinationStride, staging, rowBytes, columns, rows, stagedKey, keyUse, t);
            } else {
                convertRows16To24(staging, rowBytes, from, sourceStride, columns, rows);
                mixRows24(to, destinationStride, staging, rowBytes, columns, rows, stagedKey, keyUse, t);
            }
            to += static_cast<intptr_t>(rows) * destinationStride;
            from += static_cast<intptr_t>(rows) * sourceStride;
            done += rows;
        }
    }
}

void blendRect(const SurfaceInfo& destination, int32_t x, int32_t y, const SurfaceInfo& source,
    const Rect& sourceRect, uint32_t key, int32_t t)
{
    if (!destination.bits || !source.bits)
        return;
    ClippedTransfer clip;
    if (!clipTransfer(sourceRect, x, y, { source.width, source.height }, { destination.width, destination.height }, clip))
        return;
    blendRect(destination.bits + int64_t { clip.targetY } * destination.stride
            + int64_t { clip.targetX } * (destination.bitsPerPixel / 8),
        destination.stride, destination.bitsPerPixel,
        source.bits + int64_t { clip.sourceY } * source.stride + int64_t { clip.sourceX } * (source.bitsPerPixel / 8),
        source.stride, source.bitsPerPixel, clip.width, clip.height, key, t);
}

void compositeRect(const SurfaceInfo& destination, int32_t x, int32_t y, const SurfaceInfo& source,
    const Rect& sourceRect, int32_t t)
{
    int32_t depth = destination.bitsPerPixel;
    bool supported = depth == 16 || depth == 24 || (depth == 8 && destination.colorTable);
    if (!supported || source.bitsPerPixel != 32 || !destination.bits || !source.bits || t >= 255)
        return;
    ClippedTransfer clip;
    if (!clipTransfer(sourceRect, x, y, { source.width, source.height }, { destination.width, destination.height }, clip))
        return;
    int32_t share = 255 - std::max(t, 0);
    auto over = [](int32_t s, int32_t d, int32_t a) { return (s * a + d * (255 - a) + 127) / 255; };
    for (int32_t row = 0; row < clip.height; ++row) {
        const uint8_t* from = source.bits + int64_t { clip.sourceY + row } * source.stride + int64_t { clip.sourceX } * 4;
        uint8_t* to = destination.bits + int64_t { clip.targetY + row } * destination.stride;
        for (int32_t column = 0; column < clip.width; ++column, from += 4) {
            int32_t a = (from[3] * share + 127) / 255;
            if (a == 0)
                continue;
            int32_t tx = clip.targetX + column;
            switch (depth) {
            case 24: {
                uint8_t* d = to + tx * 3;
                for (int i = 0; i < 3; ++i)
                    d[i] = static_cast<uint8_t>(over(from[i], d[i], a));
                break;
            }
            case 16: {
                uint32_t word = readWord555(to + tx * 2);
                writeWord555(to + tx * 2,
                    packWord555(over(from[2], widenFieldRepeating(word >> 10 & 31), a),
                        over(from[1], widenFieldRepeating(word >> 5 & 31), a),
                        over(from[0], widenFieldRepeating(word & 31), a)));
                break;
            }
            default: {
                const ColorTableEntry& below = destination.colorTable[to[tx]];
                to[tx] = nearestColorIndex(destination.colorTable,
                    makeColor(static_cast<uint8_t>(over(from[2], below.red, a)),
                        static_cast<uint8_t>(over(from[1], below.green, a)),
                        static_cast<uint8_t>(over(from[0], below.blue, a))));
                break;
            }
            }
        }
    }
}

}
