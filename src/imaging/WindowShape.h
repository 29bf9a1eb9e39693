// Window shapes from pictures: for an 8-bit picture every pixel whose index differs from a key
// index, for a 32-bit one every pixel at least half opaque (alpha 128 or more). The shape is built
// as one rectangle per horizontal run of such pixels, row by row (runs are never merged across
// rows). Rectangles are in the coordinates of the part scanned, its top-left being
// (0, 0).
#pragma once

#include <imaging/Surface.h>
#include <platform/Region.h>

#include <cstdint>
#include <optional>

namespace nimbolt {

// Scans width x height pixels from (x, y) of the picture whose top row starts at bits. None for a
// depth other than 8, missing pixels or a negative size; a picture made only of the key (or of
// no pixels) gives a region with no rectangles. The caller guarantees the part lies inside the
// pixel memory; the SurfaceInfo form below checks that itself.
std::optional<Region> regionFromPixels(const uint8_t* bits, int32_t stride, int32_t bitsPerPixel, int32_t x,
    int32_t y, int32_t width, int32_t height, uint8_t key);

// The same over the part of the picture that lies inside it.
std::optional<Region> regionFromPixels(
    const SurfaceInfo& picture, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t key);

// The pixels of a 32-bit picture at alpha AlphaInside or more, over width x height from (x, y),
// as above; none for another depth.
inline constexpr uint8_t AlphaInside = 128;
std::optional<Region> regionFromAlpha(const SurfaceInfo& picture, int32_t x, int32_t y, int32_t width, int32_t height);

}
