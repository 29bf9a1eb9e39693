// The image library as image loading sees it: three steps over one KalvixImageRecord. An
// implementation may be swapped in (tests count the calls with a fake); the program's own is
// systemImageLibrary().
//
// The contract, in the order image loading calls the steps:
//   kalvixReadHeader: reads the picture's header from record.file; > 0 on success, and then width,
//     height, bitsPerPixel, paletteCount and palette are filled. Pictures with a pixel that is not
//     fully opaque come as 32 bits per pixel (bytes blue, green, red, alpha; straight alpha),
//     other pictures with a palette as 8 bits per pixel with their palette, all others as 24.
//   kalvixDecode: writes the whole picture, top row first, into the destination described by
//     the record, in the destination's format (8 bits only for pictures with a palette, 32 only
//     for pictures of 32 bits, 16 or 24 for any).
//   kalvixEnd: releases what kalvixReadHeader acquired; called once after each successful
//     kalvixReadHeader and never after a failed one.
#pragma once

#include <platform/KalvixImageRecord.h>

#include <cstdint>

namespace nimbolt {

class ImageLibrary {
public:
    virtual ~ImageLibrary() = default;
    virtual int32_t kalvixReadHeader(KalvixImageRecord& record) = 0;
    virtual int32_t kalvixDecode(KalvixImageRecord& record) = 0;
    virtual void kalvixEnd(KalvixImageRecord& record) = 0;
};

// The decoder of BMP, PNG, JPEG and GIF files. Files of other kinds, damaged or truncated files
// and pictures larger than MaxPicturePixels (or wider or higher than MaxPictureSide) are refused
// at the header step.
ImageLibrary& systemImageLibrary();

inline constexpr int32_t MaxPictureSide = 16384;
inline constexpr int64_t MaxPicturePixels = 16 * 1024 * 1024;
// Files longer than this are refused: a regular file from its size, without being read; a stream
// of unknown size once that many bytes have come.
inline constexpr int64_t MaxImageFileBytes = 64 * 1024 * 1024;

}
