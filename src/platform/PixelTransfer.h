// Pixel copies between buffers of any two of the system's depths, done in our own code so that
// they are exact and work for 8-bit buffers too. Every operation clips to both buffers' bounds:
// nothing outside either buffer is ever read or written. Colours reaching an 8-bit buffer take
// the nearest entry of its colour table; 16-bit words keep the top five bits of each channel and
// widen back by repeating them (31 -> 255). A 32-bit source gives its straight colour (its alpha
// is dropped); a 32-bit target gets opaque pixels from the other depths and the pixels
// themselves, alpha included, from another 32-bit buffer.
#pragma once

#include <platform/Color.h>
#include <platform/PixelBuffer.h>
#include <platform/Rect.h>

#include <cstdint>

namespace nimbolt {

// The entry of the 256-entry table closest to the colour (squared distance over red, green and
// blue); the lowest index among equals.
uint8_t nearestColorIndex(const ColorTableEntry* table, Color color);

// Fills rect (right and bottom exclusive) with the colour.
void fillPixels(const PixelBuffer& target, const Rect& rect, Color color);

// Copies sourceRect of source to (x, y) of target, converting the format. Source and target may
// be the same buffer, overlapping or not.
void copyPixels(
    const PixelBuffer& target, int32_t x, int32_t y, const PixelBuffer& source, const Rect& sourceRect);

// Scales sourceRect of source onto targetRect of target by picking, for every target pixel, the
// source pixel its left/top edge falls on (no mixing of colours). Rectangles with no width or
// height copy nothing; mirroring is not supported.
void stretchPixels(
    const PixelBuffer& target, const Rect& targetRect, const PixelBuffer& source, const Rect& sourceRect);

// The colour of one pixel, for readers that want colours rather than raw bytes. Outside the
// buffer: NoColor.
Color pixelColor(const PixelBuffer& buffer, int32_t x, int32_t y);

}
