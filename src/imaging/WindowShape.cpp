#include <imaging/WindowShape.h>

#include <algorithm>
#include <cstdint>

namespace nimbolt {

namespace {

// The runs of pixels for which inside(row, j) holds, one rectangle each.
template <typename Inside>
std::optional<Region> regionOfRuns(const uint8_t* row, int32_t stride, int32_t width, int32_t height, Inside inside)
{
    // A row needs at most (width + 1) / 2 runs; the whole region takes that room in one block.
    Region region;
    region.bounds = { 0, 0, width, height };
    int64_t perRow = (int64_t { width } + 1) / 2;
    if (perRow > 0 && height > RectList::MaxCapacity / perRow)
        return std::nullopt;
    if (!region.rects.reserve(perRow * height))
        return std::nullopt;
    for (int32_t i = 0; i < height; ++i, row += stride) {
        int32_t j = 0;
        while (j < width) {
            if (!inside(row, j)) {
                ++j;
                continue;
            }
            int32_t k = j + 1;
            while (k < width && inside(row, k))
                ++k;
            if (!region.rects.append({ j, i, k, i + 1 }))
                return std::nullopt;
            j = k;
        }
    }
    return region;
}

// The scan of the part of the picture that lies inside it, with the bounds of the part asked for.
template <typename Scan>
std::optional<Region> scanInside(
    const SurfaceInfo& picture, int32_t depth, int32_t x, int32_t y, int32_t width, int32_t height, Scan scan)
{
    if (!picture.bits || picture.bitsPerPixel != depth || x < 0 || y < 0 || width < 0 || height < 0)
        return std::nullopt;
    int32_t clippedWidth = static_cast<int32_t>(std::clamp<int64_t>(int64_t { picture.width } - x, 0, width));
    int32_t clippedHeight
        = static_cast<int32_t>(std::clamp<int64_t>(int64_t { picture.height } - y, 0, height));
    // The bounds are the part asked for, even where it reaches past the picture.
    if (clippedWidth == 0 || clippedHeight == 0)
        return Region { { 0, 0, width, height }, {} };
    std::optional<Region> region = scan(clippedWidth, clippedHeight);
    if (region)
        region->bounds = { 0, 0, width, height };
    return region;
}

}

std::optional<Region> regionFromPixels(const uint8_t* bits, int32_t stride, int32_t bitsPerPixel, int32_t x,
    int32_t y, int32_t width, int32_t height, uint8_t key)
{
    if (bitsPerPixel != 8 || !bits || width < 0 || height < 0)
        return std::nullopt;
    return regionOfRuns(bits + static_cast<intptr_t>(y) * stride + x, stride, width, height,
        [key](const uint8_t* row, int32_t j) { return row[j] != key; });
}

std::optional<Region> regionFromPixels(
    const SurfaceInfo& picture, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t key)
{
    return scanInside(picture, 8, x, y, width, height, [&](int32_t clippedWidth, int32_t clippedHeight) {
        return regionFromPixels(picture.bits, picture.stride, 8, x, y, clippedWidth, clippedHeight, key);
    });
}

std::optional<Region> regionFromAlpha(const SurfaceInfo& picture, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return scanInside(picture, 32, x, y, width, height, [&](int32_t clippedWidth, int32_t clippedHeight) {
        return regionOfRuns(picture.bits + static_cast<intptr_t>(y) * picture.stride + static_cast<intptr_t>(x) * 4,
            picture.stride, clippedWidth, clippedHeight,
            [](const uint8_t* row, int32_t j) { return row[j * 4 + 3] >= AlphaInside; });
    });
}

}
