#include "WindowShape.h"

#include <algorithm>

namespace nimbolt {

std::optional<Region> regionFromPixels(const uint8_t* bits, int32_t stride, int32_t bitsPerPixel, int32_t x,
    int32_t y, int32_t width, int32_t height, uint8_t key)
{
    if (bitsPerPixel != 8 || !bits || width < 0 || height < 0)
        return std::nullopt;
    Region region;
    region.bounds = { 0, 0, width, height };
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
            region.rects.push_back({ j, i, k, i + 1 });
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
    if (clippedWidth == 0 || clippedHeight == 0) {
        if (picture.bitsPerPixel != 8)
            return std::nullopt;
        return Region { { 0, 0, clippedWidth, clippedHeight }, {} };
    }
    return regionFromPixels(
        picture.bits, picture.stride, picture.bitsPerPixel, x, y, clippedWidth, clippedHeight, key);
}

}
