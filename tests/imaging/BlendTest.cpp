// Blending: the channel arithmetic worked by hand, the colour key in each depth and across
// depths, the colour packing, mixed-depth blends that take several passes through the staging
// buffer (checked against a pixel-by-pixel reference written here), and clipping.
#include <imaging/Blend.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace nimbolt::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Blends one 24-bit source pixel over one 24-bit destination pixel.
Bytes blendOne24(Bytes source, Bytes destination, uint32_t key, int32_t t)
{
    blendRect(destination.data(), 4, 24, source.data(), 4, 24, 1, 1, key, t);
    destination.resize(3);
    return destination;
}

TEST(Blend, ChannelsMixByTheShareOfTheDestination)
{
    struct Row {
        std::string name;
        uint8_t source;
        uint8_t destination;
        int32_t t;
        uint8_t expected;
    };
    const Row rows[] = {
        { "200 over 100 at 128", 200, 100, 128, 150 },
        { "100 over 200 at 128", 100, 200, 128, 150 },
        { "0 over 255 at 128", 0, 255, 128, 127 },
        { "t 0 copies the source", 77, 200, 0, 77 },
        { "t 255 nearly keeps the destination", 0, 255, 255, 254 },
        // 255 + (-255 * 255 >> 8) = 255 + floor(-254.0039) = 0: the shift rounds down.
        { "negative differences round toward minus infinity", 255, 0, 255, 0 },
        { "a difference of -1 at 128 still moves", 10, 9, 128, 9 },
    };
    for (const Row& row : rows) {
        Bytes result = blendOne24({ row.source, row.source, row.source, 0 },
            { row.destination, row.destination, row.destination, 0 }, 0x00FF00, row.t);
        EXPECT_EQ(result, (Bytes { row.expected, row.expected, row.expected })) << row.name;
    }
}

TEST(Blend, TheGreenKeyLeavesTheDestinationWhateverT)
{
    for (int32_t t : { 0, 1, 128, 254 }) {
        Bytes result = blendOne24({ 0, 255, 0, 0 }, { 9, 8, 7, 0 }, 0x00FF00, t);
        EXPECT_EQ(result, (Bytes { 9, 8, 7 })) << t;
    }
    // Near green is no key.
    EXPECT_EQ(blendOne24({ 1, 255, 0, 0 }, { 9, 8, 7, 0 }, 0x00FF00, 0), (Bytes { 1, 255, 0 }));
    // Bytes are compared blue, green, red with bits 0-7, 8-15, 16-23 of the key.
    EXPECT_EQ(blendOne24({ 0x33, 0x22, 0x11, 0 }, { 9, 8, 7, 0 }, 0x112233, 0), (Bytes { 9, 8, 7 }));
}

uint16_t word(const Bytes& bytes, size_t pixel)
{
    return static_cast<uint16_t>(bytes[pixel * 2] | bytes[pixel * 2 + 1] << 8);
}

void putWord(Bytes& bytes, size_t pixel, uint16_t value)
{
    bytes[pixel * 2] = static_cast<uint8_t>(value);
    bytes[pixel * 2 + 1] = static_cast<uint8_t>(value >> 8);
}

TEST(Blend, SixteenBitFieldsMixLikeBytes)
{
    // Source red 31, green 0, blue 10; destination red 0, green 31, blue 20; t = 128:
    // red 31 + (-31 * 128 >> 8) = 31 - 16 = 15, green 0 + (31 * 128 >> 8) = 15,
    // blue 10 + (10 * 128 >> 8) = 15.
    Bytes source(4), destination(4);
    putWord(source, 0, 31 << 10 | 10);
    putWord(destination, 0, 31 << 5 | 20);
    blendRect(destination.data(), 4, 16, source.data(), 4, 16, 1, 1, 0x00FF00, 128);
    EXPECT_EQ(word(destination, 0), 15 << 10 | 15 << 5 | 15);
}

TEST(Blend, PackAndExpandTheFiveBitFields)
{
    EXPECT_EQ(packColor555(0x00FF00), 0x03E0u);
    EXPECT_EQ(packColor555(0x00F8F8F8), 0x7FFFu);
    EXPECT_EQ(packColor555(0x00070707), 0u);
    EXPECT_EQ(packColor555(0x00123456), (0x12u >> 3) << 10 | (0x34u >> 3) << 5 | (0x56u >> 3));
    EXPECT_EQ(expandColor555(0x7FFF), 0x00FEFEFEu);
    EXPECT_EQ(expandColor555(16 << 10), 0x00A00000u) << "16 becomes 128 | 32";
    EXPECT_EQ(expandColor555(1), 0x0000000Au) << "1 becomes 8 | 2";
}

TEST(Blend, RowConversionsUseTheSameFields)
{
    Bytes source24 { 0x18, 0xF8, 0x07, 0xFF, 0xFF, 0xFF, 0, 0 }; // blue 24, green 248, red 7; white
    Bytes out16(8, 0xAA);
    convertRows24To16(out16.data(), 8, source24.data(), 8, 2, 1);
    EXPECT_EQ(word(out16, 0), 0 << 10 | 31 << 5 | 3);
    EXPECT_EQ(word(out16, 1), 0x7FFF);
    EXPECT_EQ(out16[4], 0xAA) << "past the width";

    Bytes source16(4);
    putWord(source16, 0, 1 << 10 | 16 << 5 | 31);
    Bytes out24(4, 0xAA);
    convertRows16To24(out24.data(), 4, source16.data(), 4, 1, 1);
    EXPECT_EQ(out24, (Bytes { 254, 160, 10, 0xAA }));
}

TEST(Blend, TrueColourOverSixteenBitsLeavesOutNearGreen)
{
    // Each source pixel with t = 0 over a destination of 0x1234. Left out: green >= 248 with red
    // and blue below 8.
    struct Row {
        std::string name;
        uint8_t blue, green, red;
        uint16_t expected;
    };
    const Row rows[] = {
        { "pure green", 0, 255, 0, 0x1234 },
        { "green 248, red and blue 7", 7, 248, 7, 0x1234 },
        { "blue 8", 8, 248, 0, 31 << 5 | 1 },
        { "green 247", 0, 247, 0, 30 << 5 },
        { "red 8", 0, 255, 8, 1 << 10 | 31 << 5 },
        { "black", 0, 0, 0, 0 },
    };
    Bytes source, destination;
    for (const Row& row : rows) {
        source.insert(source.end(), { row.blue, row.green, row.red });
        destination.insert(destination.end(), { 0x34, 0x12 });
    }
    blendRect(destination.data(), 12, 16, source.data(), 18, 24, 6, 1, 0x00FF00, 0);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(word(destination, i), rows[i].expected) << rows[i].name;
}

TEST(Blend, SixteenBitPicturesHaveNoTransparentColour)
{
    // 0x03E0 is pure 5-5-5 green and 0x7F00 widens to exactly the widened key (red 254, green
    // 240, blue 0); neither is left out, over either depth.
    Bytes source(4);
    putWord(source, 0, 0x03E0);
    putWord(source, 1, 0x7F00);

    Bytes sixteen(4, 0);
    blendRect(sixteen.data(), 4, 16, source.data(), 4, 16, 2, 1, 0x00FF00, 0);
    EXPECT_EQ(word(sixteen, 0), 0x03E0);
    EXPECT_EQ(word(sixteen, 1), 0x7F00);

    Bytes twentyFour(8, 0);
    blendRect(twentyFour.data(), 8, 24, source.data(), 4, 16, 2, 1, 0x00FF00, 0);
    EXPECT_EQ(twentyFour, (Bytes { 0, 254, 0, 0, 240, 254, 0, 0 }));

    // A key that is a 5-5-5 word works in both.
    Bytes keyed(8, 0x55);
    blendRect(keyed.data(), 8, 24, source.data(), 4, 16, 2, 1, 0x7F00, 0);
    EXPECT_EQ(keyed, (Bytes { 0, 254, 0, 0x55, 0x55, 0x55, 0x55, 0x55 }));
}

TEST(Blend, UnsupportedDepthsAndEmptySizesDoNothing)
{
    Bytes source(64, 0x80), destination(64, 0x11);
    blendRect(destination.data(), 16, 8, source.data(), 16, 24, 4, 4, 0, 0);
    blendRect(destination.data(), 16, 24, source.data(), 16, 32, 4, 4, 0, 0);
    blendRect(destination.data(), 16, 24, source.data(), 16, 24, 0, 4, 0, 0);
    blendRect(destination.data(), 16, 24, source.data(), 16, 16, 4, -1, 0, 0);
    EXPECT_EQ(destination, Bytes(64, 0x11));
}

// A picture of deterministic pseudo-random bytes in which every seventh pixel is pure green.
Bytes noisePicture(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel, uint32_t seed)
{
    Bytes bytes(static_cast<size_t>(stride * height));
    for (uint8_t& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = bytes.data() + y * stride + x * bytesPerPixel;
            if (bytesPerPixel == 2)
                pixel[1] &= 0x7F;
            if ((x + y) % 7 == 0) {
                if (bytesPerPixel == 3) {
                    pixel[0] = 0;
                    pixel[1] = 255;
                    pixel[2] = 0;
                } else {
                    pixel[0] = 0x00;
                    pixel[1] = 0x7F; // 0x7F00, the word that widens to the widened green key
                }
            }
        }
    }
    return bytes;
}

int32_t mix(int32_t s, int32_t d, int32_t t)
{
    int32_t product = (d - s) * t;
    // Floor division by 256, written out.
    int32_t quotient = product / 256;
    if (product % 256 != 0 && product < 0)
        --quotient;
    return s + quotient;
}

// The reference: one pixel at a time, straight from the rules.
void referenceBlend(Bytes& destination, int32_t destinationStride, int32_t destinationDepth,
    const Bytes& source, int32_t sourceStride, int32_t width, int32_t height, int32_t t)
{
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            int32_t red, green, blue;
            bool transparent;
            if (destinationDepth == 16) {
                const uint8_t* s = source.data() + y * sourceStride + x * 3;
                red = s[2] >> 3;
                green = s[1] >> 3;
                blue = s[0] >> 3;
                transparent = s[1] >= 248 && s[2] < 8 && s[0] < 8;
                if (transparent)
                    continue;
                uint8_t* d = destination.data() + y * destinationStride + x * 2;
                int32_t value = d[0] | d[1] << 8;
                int32_t newRed = mix(red, value >> 10 & 31, t), newGreen = mix(green, value >> 5 & 31, t);
                int32_t newBlue = mix(blue, value & 31, t);
                int32_t out = newRed << 10 | newGreen << 5 | newBlue;
                d[0] = static_cast<uint8_t>(out);
                d[1] = static_cast<uint8_t>(out >> 8);
            } else {
                const uint8_t* s = source.data() + y * sourceStride + x * 2;
                int32_t value = s[0] | s[1] << 8;
                auto widen = [](int32_t c) { return (c * 8) | (c * 2); };
                red = widen(value >> 10 & 31);
                green = widen(value >> 5 & 31);
                blue = widen(value & 31);
                uint8_t* d = destination.data() + y * destinationStride + x * 3;
                d[0] = static_cast<uint8_t>(mix(blue, d[0], t));
                d[1] = static_cast<uint8_t>(mix(green, d[1], t));
                d[2] = static_cast<uint8_t>(mix(red, d[2], t));
            }
        }
    }
}

TEST(Blend, MixedDepthsMatchThePixelByPixelReference)
{
    struct Row {
        std::string name;
        int32_t width;
        int32_t height;
        int32_t destinationDepth;
        int32_t t;
    };
    // 300 x 250 at 16 bits: rows of 600 bytes, 109 to a pass, so three passes. At 24 bits, rows
    // of 900 bytes, 72 to a pass: four passes. 40000 pixels at 16 bits need 80000 bytes a row,
    // more than the whole staging buffer.
    const Row rows[] = {
        { "true colour over 16 bits, three passes", 300, 250, 16, 77 },
        { "16 bits over true colour, four passes", 300, 250, 24, 200 },
        { "a row wider than the staging buffer", 40000, 3, 16, 128 },
        { "a 24-bit row wider than the staging buffer", 30000, 2, 24, 10 },
        { "one pixel", 1, 1, 16, 128 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int32_t sourceDepth = row.destinationDepth == 16 ? 24 : 16;
        int32_t sourceStride = ((row.width * sourceDepth + 31) & ~31) / 8 + 4;
        int32_t destinationStride = ((row.width * row.destinationDepth + 31) & ~31) / 8 + 8;
        Bytes source = noisePicture(row.width, row.height, sourceStride, sourceDepth / 8, 17);
        Bytes destination
            = noisePicture(row.width, row.height, destinationStride, row.destinationDepth / 8, 99);
        Bytes expected = destination;
        referenceBlend(expected, destinationStride, row.destinationDepth, source, sourceStride, row.width,
            row.height, row.t);
        blendRect(destination.data(), destinationStride, row.destinationDepth, source.data(), sourceStride,
            sourceDepth, row.width, row.height, 0x00FF00, row.t);
        size_t differences = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            differences += expected[i] != destination[i];
        EXPECT_EQ(differences, 0u);
    }
}

TEST(Blend, SurfaceFormClipsToBothPictures)
{
    SurfaceInfo destination { 4, 3, 24, 12, nullptr };
    Bytes destinationBytes(36, 0);
    destination.bits = destinationBytes.data();
    SurfaceInfo source { 3, 2, 24, 12, nullptr };
    Bytes sourceBytes(24, 0);
    source.bits = sourceBytes.data();
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x)
            sourceBytes[static_cast<size_t>(y * 12 + x * 3)] = static_cast<uint8_t>(10 * y + x + 1);
    }
    // Source from (-1, 0) to (5, 9) at (2, -1): the column left of the picture and the rows below
    // it do not exist, the picture's top row lands above the destination, and of its second row
    // only pixel (0, 1) lands inside, at (3, 0).
    blendRect(destination, 2, -1, source, { -1, 0, 5, 9 }, 0x00FF00, 0);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(destinationBytes[static_cast<size_t>(y * 12 + x * 3)], x == 3 && y == 0 ? 11 : 0)
                << x << "," << y;
    }
}

}
}
