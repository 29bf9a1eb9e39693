// Truecolour PNG pictures of 16-bit samples with a tRNS colour key, read with libpng: Qt's reader
// misplaces their pixels. The key is compared with the full 16-bit samples, then every sample is
// reduced to 8 bits by round(v / 257).
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace nimbolt {

// Whether the PNG file is one that readKeyedPng16 must read: colour type 2, 16 bits per sample and
// a tRNS chunk before its first IDAT.
bool isKeyedPng16(const uint8_t* bytes, size_t size);

// The picture as Format_ARGB32 with straight alpha (0 where the pixel equals the key, else 255),
// or a null image for a damaged, truncated or oversized file.
QImage readKeyedPng16(const uint8_t* bytes, size_t size, int32_t maxSide, int64_t maxPixels);

}
