// Mixing a picture into pixel memory with a transparency and a colour key, in place, row by row.
// t (0 ... 255) is the share of the destination that survives, in 256ths: every channel becomes
// s + ((d - s) * t >> 8), rounding toward minus infinity, so t = 0 copies the source. A source
// pixel equal to the key leaves the destination alone. Keys are in the source's format: for 24
// bits the bytes blue, green, red are bits 0-7, 8-15 and 16-23 of the key; for 16 bits the key is
// compared with the whole word, so a key above 0x7FFF (0x00FF00 among them) matches no 5-5-5
// pixel and 16-bit pictures have no transparent colour. Nothing allocates: pictures of another
// depth are converted through a 64 KiB staging buffer on the stack.
//
// Pictures with alpha (32 bits, straight) are laid over the destination instead, by "over" with
// the pixel's own alpha, which an element's transparency scales down; they have no key.
#pragma once

#include <imaging/Surface.h>
#include <platform/Rect.h>

#include <cstdint>

namespace nimbolt {

inline constexpr int32_t BlendStagingBytes = 65536;

// Mixes width x height pixels of the source into the destination. Depths other than 16 and 24 on
// either side, and empty sizes, do nothing. The caller guarantees both rectangles lie inside
// their pixel memory; the SurfaceInfo form below checks that itself.
void blendRect(uint8_t* destination, int32_t destinationStride, int32_t destinationBitsPerPixel,
    const uint8_t* source, int32_t sourceStride, int32_t sourceBitsPerPixel, int32_t width, int32_t height,
    uint32_t key, int32_t t);

// Mixes sourceRect of the source picture into the destination at (x, y), clipped to both.
void blendRect(const SurfaceInfo& destination, int32_t x, int32_t y, const SurfaceInfo& source,
    const Rect& sourceRect, uint32_t key, int32_t t);

// Lays sourceRect of a 32-bit picture over the destination (8, 16 or 24 bits) at (x, y), clipped
// to both. With a the pixel's alpha scaled by the share 255 - t that the transparency leaves,
// a = (alpha * (255 - t) + 127) / 255, every channel becomes (s * a + d * (255 - a) + 127) / 255.
// A 16-bit destination's fields are widened by repeating their bits (31 -> 255) and the result
// keeps its top five bits; an 8-bit destination takes the nearest entry of its colour table.
// Sources of another depth, and t >= 255, do nothing.
void compositeRect(const SurfaceInfo& destination, int32_t x, int32_t y, const SurfaceInfo& source,
    const Rect& sourceRect, int32_t t);

void blendRows16(uint8_t* destination, int32_t destinationStride, const uint8_t* source, int32_t sourceStride,
    int32_t width, int32_t rows, uint32_t key, int32_t t);
void blendRows24(uint8_t* destination, int32_t destinationStride, const uint8_t* source, int32_t sourceStride,
    int32_t width, int32_t rows, uint32_t key, int32_t t);

// Each pixel (blue B, green G, red R) becomes (R >> 3) << 10 | (G >> 3) << 5 | B >> 3.
void convertRows24To16(uint8_t* destination, int32_t destinationStride, const uint8_t* source,
    int32_t sourceStride, int32_t width, int32_t rows);
// Each 5-bit field c becomes the byte (c << 3) | (c << 1), the blend rule of widenFieldShifted.
void convertRows16To24(uint8_t* destination, int32_t destinationStride, const uint8_t* source,
    int32_t sourceStride, int32_t width, int32_t rows);

// The top five bits of bytes 2, 1 and 0 as a 5-5-5 word.
uint32_t packColor555(uint32_t value);
// Each 5-bit field c of a 5-5-5 word as the byte (c << 3) | (c << 1), red in bits 16-23.
uint32_t expandColor555(uint32_t value);

}
