// The record that image loading shares with the image library: the caller puts the open file in
// it, the library's header step fills the picture's size, depth and palette, the caller then
// names the destination pixels, and the decode step fills them. Every address and handle is
// pointer-sized, and the library's own state has a named field.
#pragma once

#include <platform/PixelBuffer.h>

#include <cstdint>
#include <cstdio>

namespace nimbolt {

struct KalvixImageRecord {
    // Written by the caller before kalvixReadHeader.
    intptr_t reserved0 { 0 };
    intptr_t reserved1 { 0 };
    intptr_t reserved2 { 0 };
    std::FILE* file { nullptr }; // open for reading; the caller closes it
    intptr_t reserved3 { 0 };
    // Written by the caller (as 0) before kalvixDecode.
    intptr_t decodeReserved0 { 0 };
    intptr_t decodeReserved1 { 0 };
    // Written by kalvixReadHeader.
    int32_t width { 0 };
    int32_t height { 0 };
    int32_t bitsPerPixel { 0 };
    int32_t paletteCount { 0 };
    ColorTableEntry palette[ColorTableSize] {};
    // Written by the caller before kalvixDecode: the first byte of the top row, the bytes from one
    // row to the next and the destination's depth.
    uint8_t* destination { nullptr };
    int32_t destinationStride { 0 };
    int32_t destinationBitsPerPixel { 0 };
    // Belongs to the library, from kalvixReadHeader to kalvixEnd.
    void* libraryState { nullptr };
};

}
