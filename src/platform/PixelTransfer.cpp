#include <platform/PixelTransfer.h>

#include <base/Color555.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace nimbolt {

uint8_t nearestColorIndex(const ColorTableEntry* table, Color color)
{
    int32_t red = redOf(color), green = greenOf(color), blue = blueOf(color);
    int32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (int32_t i = 0; i < ColorTableSize; ++i) {
        int32_t dr = table[i].red - red, dg = table[i].green - green, db = table[i].blue - blue;
        int32_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0)
                break;
        }
    }
    return static_cast<uint8_t>(best);
}

Color pixelColor(const PixelBuffer& buffer, int32_t x, int32_t y)
{
    if (!buffer.isValid() || !buffer.bounds().contains(x, y))
        return NoColor;
    const uint8_t* row = buffer.row(y);
    switch (buffer.bitsPerPixel) {
    case 8: {
        const ColorTableEntry& entry = buffer.colorTable[row[x]];
        return makeColor(entry.red, entry.green, entry.blue);
    }
    case 16: {
        uint16_t word = readWord555(row + x * 2);
        return makeColor(widenFieldRepeating(word >> 10 & 31), widenFieldRepeating(word >> 5 & 31), widenFieldRepeating(word & 31));
    }
    case 32:
        return makeColor(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
    default:
        return makeColor(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    }
}

void fillPixels(const PixelBuffer& target, const Rect& rect, Color color)
{
    if (!target.isValid())
        return;
    Rect area = rect.intersected(target.bounds());
    if (area.isEmpty())
        return;
    uint8_t red = redOf(color), green = greenOf(color), blue = blueOf(color);
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint8_t* row = target.row(y);
        switch (target.bitsPerPixel) {
        case 8:
            std::memset(row + area.left, nearestColorIndex(target.colorTable, color),
                static_cast<size_t>(area.width()));
            break;
        case 16: {
            uint16_t word = packWord555(red, green, blue);
            for (int32_t x = area.left; x < area.right; ++x)
                writeWord555(row + x * 2, word);
            break;
        }
        case 32:
            for (int32_t x = area.left; x < area.right; ++x) {
                row[x * 4] = blue;
                row[x * 4 + 1] = green;
                row[x * 4 + 2] = red;
                row[x * 4 + 3] = 255;
            }
            break;
        default:
            for (int32_t x = area.left; x < area.right; ++x) {
                row[x * 3] = blue;
                row[x * 3 + 1] = green;
                row[x * 3 + 2] = red;
            }
            break;
        }
    }
}

namespace {

// Converts runs of pixels from the source's format to the target's.
class RowConverter {
public:
    RowConverter(const PixelBuffer& source, const PixelBuffer& target)
        : m_sourceDepth(source.bitsPerPixel)
        , m_targetDepth(target.bitsPerPixel)
        , m_sourceTable(source.colorTable)
        , m_targetTable(target.colorTable)
    {
        if (m_sourceDepth == 8 && m_targetDepth == 8) {
            m_identity = m_sourceTable == m_targetTable
                || std::memcmp(m_sourceTable, m_targetTable, sizeof(ColorTableEntry) * ColorTableSize) == 0;
            if (!m_identity) {
                for (int32_t i = 0; i < ColorTableSize; ++i)
                    m_indexMap[i] = nearestColorIndex(m_targetTable, tableColor(m_sourceTable[i]));
            }
        } else if (m_sourceDepth == m_targetDepth) {
            m_identity = true;
        } else if (m_sourceDepth == 8 && m_targetDepth == 16) {
            for (int32_t i = 0; i < ColorTableSize; ++i)
                m_wordMap[i] = packWord555(m_sourceTable[i].red, m_sourceTable[i].green, m_sourceTable[i].blue);
        } else if (m_targetDepth == 8) {
            m_cache = std::make_unique<NearestCache>();
        }
    }

    bool isIdentity() const { return m_identity; }

    void convert(const uint8_t* source, uint8_t* target, int32_t count)
    {
        if (m_identity) {
            std::memmove(target, source, static_cast<size_t>(count) * static_cast<size_t>(m_targetDepth / 8));
            return;
        }
        // One loop per pair of depths, so that the choice is made once a run and not once a pixel;
        // the tables are read through locals, which the byte stores cannot be taken to change.
        const ColorTableEntry* sourceTable = m_sourceTable;
        const uint8_t* indexMap = m_indexMap;
        const uint16_t* wordMap = m_wordMap;
        switch (m_sourceDepth * 100 + m_targetDepth) {
        case 808:
            for (int32_t i = 0; i < count; ++i)
                target[i] = indexMap[source[i]];
            break;
        case 816:
            for (int32_t i = 0; i < count; ++i)
                writeWord555(target + i * 2, wordMap[source[i]]);
            break;
        case 824:
            for (int32_t i = 0; i < count; ++i) {
                const ColorTableEntry& entry = sourceTable[source[i]];
                target[i * 3] = entry.blue;
                target[i * 3 + 1] = entry.green;
                target[i * 3 + 2] = entry.red;
            }
            break;
        case 1608:
            for (int32_t i = 0; i < count; ++i) {
                uint16_t word = readWord555(source + i * 2);
                target[i] = nearest(makeColor(
                    widenFieldRepeating(word >> 10 & 31), widenFieldRepeating(word >> 5 & 31), widenFieldRepeating(word & 31)));
            }
            break;
        case 1624:
            for (int32_t i = 0; i < count; ++i) {
                uint16_t word = readWord555(source + i * 2);
                target[i * 3] = widenFieldRepeating(word & 31);
                target[i * 3 + 1] = widenFieldRepeating(word >> 5 & 31);
                target[i * 3 + 2] = widenFieldRepeating(word >> 10 & 31);
            }
            break;
        case 2408:
            for (int32_t i = 0; i < count; ++i)
                target[i] = nearest(makeColor(source[i * 3 + 2], source[i * 3 + 1], source[i * 3]));
            break;
        case 2416:
            for (int32_t i = 0; i < count; ++i)
                writeWord555(target + i * 2, packWord555(source[i * 3 + 2], source[i * 3 + 1], source[i * 3]));
            break;
        // A picture with alpha gives its straight colour; pixels reaching one are opaque.
        case 3208:
            for (int32_t i = 0; i < count; ++i)
                target[i] = nearest(makeColor(source[i * 4 + 2], source[i * 4 + 1], source[i * 4]));
            break;
        case 3216:
            for (int32_t i = 0; i < count; ++i)
                writeWord555(target + i * 2, packWord555(source[i * 4 + 2], source[i * 4 + 1], source[i * 4]));
            break;
        case 3224:
            for (int32_t i = 0; i < count; ++i)
                std::memcpy(target + i * 3, source + i * 4, 3);
            break;
        case 832:
            for (int32_t i = 0; i < count; ++i) {
                const ColorTableEntry& entry = sourceTable[source[i]];
                setOpaque(target + i * 4, entry.blue, entry.green, entry.red);
            }
            break;
        case 1632:
            for (int32_t i = 0; i < count; ++i) {
                uint16_t word = readWord555(source + i * 2);
                setOpaque(target + i * 4, widenFieldRepeating(word & 31), widenFieldRepeating(word >> 5 & 31),
                    widenFieldRepeating(word >> 10 & 31));
            }
            break;
        case 2432:
            for (int32_t i = 0; i < count; ++i)
                setOpaque(target + i * 4, source[i * 3], source[i * 3 + 1], source[i * 3 + 2]);
            break;
        default:
            break;
        }
    }

private:
    static void setOpaque(uint8_t* pixel, uint8_t blue, uint8_t green, uint8_t red)
    {
        pixel[0] = blue;
        pixel[1] = green;
        pixel[2] = red;
        pixel[3] = 255;
    }

    static Color tableColor(const ColorTableEntry& entry)
    {
        return makeColor(entry.red, entry.green, entry.blue);
    }

    // Pictures use few colours; remember the last answers by a hash of the colour.
    struct NearestCache {
        std::array<uint32_t, 4096> keys {};
        std::array<uint8_t, 4096> indices {};
    };

    uint8_t nearest(Color color)
    {
        uint32_t slot = (color * 2654435761u) >> 20;
        uint32_t key = color | 0x01000000u;
        if (m_cache->keys[slot] != key) {
            m_cache->keys[slot] = key;
            m_cache->indices[slot] = nearestColorIndex(m_targetTable, color);
        }
        return m_cache->indices[slot];
    }

    int32_t m_sourceDepth;
    int32_t m_targetDepth;
    const ColorTableEntry* m_sourceTable;
    const ColorTableEntry* m_targetTable;
    bool m_identity { false };
    uint8_t m_indexMap[ColorTableSize] {};
    uint16_t m_wordMap[ColorTableSize] {};
    std::unique_ptr<NearestCache> m_cache;
};

}

void copyPixels(
    const PixelBuffer& target, int32_t x, int32_t y, const PixelBuffer& source, const Rect& sourceRect)
{
    if (!target.isValid() || !source.isValid())
        return;
    ClippedTransfer clip;
    if (!clipTransfer(sourceRect, x, y, { source.width, source.height }, { target.width, target.height }, clip))
        return;
    int64_t sx = clip.sourceX, sy = clip.sourceY, tx = clip.targetX, ty = clip.targetY;
    int64_t width = clip.width, height = clip.height;

    RowConverter converter(source, target);
    auto count = static_cast<int32_t>(width);
    int32_t sourceBytes = source.bitsPerPixel / 8, targetBytes = target.bitsPerPixel / 8;
    // Within one buffer, walk the rows away from the overlap.
    bool upwards = source.bits == target.bits && ty > sy;
    for (int64_t i = 0; i < height; ++i) {
        int64_t row = upwards ? height - 1 - i : i;
        const uint8_t* from = source.row(static_cast<int32_t>(sy + row)) + sx * sourceBytes;
        uint8_t* to = target.row(static_cast<int32_t>(ty + row)) + tx * targetBytes;
        converter.convert(from, to, count);
    }
}

void stretchPixels(
    const PixelBuffer& target, const Rect& targetRect, const PixelBuffer& source, const Rect& sourceRect)
{
    if (!target.isValid() || !source.isValid())
        return;
    int64_t targetWidth = static_cast<int64_t>(targetRect.right) - targetRect.left;
    int64_t targetHeight = static_cast<int64_t>(targetRect.bottom) - targetRect.top;
    int64_t sourceWidth = static_cast<int64_t>(sourceRect.right) - sourceRect.left;
    int64_t sourceHeight = static_cast<int64_t>(sourceRect.bottom) - sourceRect.top;
    if (targetWidth <= 0 || targetHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0)
        return;
    Rect area = targetRect.intersected(target.bounds());
    if (area.isEmpty())
        return;

    // offset lies in [0, targetSize) and sourceSize below 2^32, so their product stays below 2^64:
    // unsigned 64-bit arithmetic is exact even for rectangles spanning the whole int32 range, and
    // the quotient (below sourceSize) fits back into int64.
    auto scaled = [](int64_t offset, int64_t sourceSize, int64_t targetSize) {
        return static_cast<int64_t>(static_cast<uint64_t>(offset) * static_cast<uint64_t>(sourceSize)
            / static_cast<uint64_t>(targetSize));
    };
    auto sourceX
        = [&](int64_t tx) { return sourceRect.left + scaled(tx - targetRect.left, sourceWidth, targetWidth); };
    auto sourceY
        = [&](int64_t ty) { return sourceRect.top + scaled(ty - targetRect.top, sourceHeight, targetHeight); };
    // The mapping only grows, so the target columns that land inside the source are one run.
    int32_t first = area.left;
    while (first < area.right && sourceX(first) < 0)
        ++first;
    int32_t last = area.right;
    while (last > first && sourceX(last - 1) >= source.width)
        --last;
    if (first >= last)
        return;

    int32_t sourceBytes = source.bitsPerPixel / 8, targetBytes = target.bitsPerPixel / 8;
    std::vector<int64_t> offsets(static_cast<size_t>(last - first));
    for (int32_t tx = first; tx < last; ++tx)
        offsets[static_cast<size_t>(tx - first)] = sourceX(tx) * sourceBytes;
    std::vector<uint8_t> gathered(offsets.size() * static_cast<size_t>(sourceBytes));
    RowConverter converter(source, target);
    for (int32_t ty = area.top; ty < area.bottom; ++ty) {
        int64_t sy = sourceY(ty);
        if (sy < 0 || sy >= source.height)
            continue;
        const uint8_t* from = source.row(static_cast<int32_t>(sy));
        uint8_t* out = gathered.data();
        for (int64_t offset : offsets) {
            std::memcpy(out, from + offset, static_cast<size_t>(sourceBytes));
            out += sourceBytes;
        }
        converter.convert(gathered.data(), target.row(ty) + first * targetBytes, last - first);
    }
}

}
