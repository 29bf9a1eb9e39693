#include <imaging/WindowShape.h>

#include <algorithm>
#include <cstdint>

namespace nimbolt {

std::optional<Region> regionFromPixels(const uint8_t* bits, int32_t stride, int32_t bitsPerPixel, int32_t x,
    int32_t y, int32_t width, int32_t height, uint8_t key)
{
    if (bitsPerPixel != 8 || !bits || width < 0 || height < 0)
        return std::nullopt;
    // A row needs at most (width + 1) / 2 runs; the whole region takes that room in one block.
    Region region;
    region.bounds = { 0, 0, width, height };
    int64_t perRow = (int64_t { width } + 1) / 2;
    if (perRow > 0 && height > RectList::MaxCapacity / perRow)
        return std::nullopt;
    if (!region.rects.reserve(perRow * height))
        return std::nullopt;
    const uint8_t* row = bits + static_cast<intptr_t>(y) * stride + x;
    for (int32_t i = 0; i < height; ++i, row += stride) {
        int32_t j = 0;
        while (j < width) {
            if (row[j] == key) {
                ++j;
                continue;
            }
            int32_t k = j + 1;
            while (k < width && row[k] != key)
                ++k;
            if (!region.rects.append({ j, i, k, i + 1 }))
                return std::nullopt;
            j = k;
        }
    }
    return region;
}

std::optional<Region> regionFromPixels(
    const SurfaceInfo& picture, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t key)
{
    if (!picture.bits || x < 0 || y < 0 || width < 0 || height < 0)
        return std::nullopt;
    int32_t clippedWidth = static_cast<int32_t>(std::clamp<int64_t>(int64_t { picture.width } - x, 0, width));
    int32_t clippedHeight
        = static_cast<int32_t>(std::clamp<int64_t>(int64_t { picture.height } - y, 0, height));
    // The bounds are the part asked for, even where it reaches past the picture.
    if (clippedWidth == 0 || clippedHeight == 0) {
        if (picture.bitsPerPixel != 8)
            return std::nullopt;
        return Region { { 0, 0, width, height }, {} };
    }
    std::optional<Region> region = regionFromPixels(
        picture.bits, picture.stride, picture.bitsPerPixel, x, y, clippedWidth, clippedHeight, key);
    if (region)
        region->bounds = { 0, 0, width, height };
    return region;
}

}
