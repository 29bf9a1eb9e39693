// GIF pictures read with giflib so that the colour indices survive (Qt's reader turns them into
// colours). Only the first image of the file is used, placed on the logical screen, whose other
// pixels take the background index; interlaced rows are put back in order. The transparent index
// of the graphic control extension before the image has alpha 0 in the colour table (which grows
// to hold it when it lies past the file's colours).
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace nimbolt {

// An 8-bit indexed picture with the file's colour table (the image's own, else the global one,
// else none), or a null image for a damaged, truncated or oversized file.
QImage readGifPicture(const uint8_t* bytes, size_t size, int32_t maxSide, int64_t maxPixels);

}
