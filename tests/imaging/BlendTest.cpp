// Blending: one pixel worked by hand for each pair of depths, mixed-depth blends against a
// reference written here, clipping, and pictures with alpha over every depth.
#include <imaging/Blend.h>

#include <support/PixelMemory.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

constexpr uint32_t Green = 0x00FF00;

Bytes grey(uint8_t value) { return { value, value, value }; }
Bytes word(uint16_t value) { return { static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8) }; }

TEST(Blend, OnePixelWorkedExamples)
{
    struct Row {
        const char* what;
        int32_t from, to; // depths
        uint32_t key;
        int32_t t;
        Bytes source, destination, expected;
    };
    const Row rows[] = {
        // Every channel becomes s + ((d - s) * t >> 8).
        { "200 over 100 at 128", 24, 24, Green, 128, grey(200), grey(100), grey(150) },
        { "100 over 200 at 128", 24, 24, Green, 128, grey(100), grey(200), grey(150) },
        { "t 0 copies the source", 24, 24, Green, 0, grey(77), grey(200), grey(77) },
        { "t 255 nearly keeps the destination", 24, 24, Green, 255, grey(0), grey(255), grey(254) },
        { "255 + floor(-254.004) = 0", 24, 24, Green, 255, grey(255), grey(0), grey(0) },
        { "-1 at 128 still moves", 24, 24, Green, 128, grey(10), grey(9), grey(9) },
        { "t above 256 counts as 256", 24, 24, Green, 1000, grey(90), grey(10), grey(10) },
        { "a negative t counts as 0", 24, 24, Green, -5, grey(10), grey(90), grey(10) },
        { "the green key", 24, 24, Green, 128, { 0, 255, 0 }, { 9, 8, 7 }, { 9, 8, 7 } },
        { "near green is no key", 24, 24, Green, 0, { 1, 255, 0 }, { 9, 8, 7 }, { 1, 255, 0 } },
        { "key: blue, green, red", 24, 24, 0x112233, 0, { 0x33, 0x22, 0x11 }, { 9, 8, 7 }, { 9, 8, 7 } },
        // Red 31 + (-31 * 128 >> 8) = 15, green 0 + (31 * 128 >> 8) = 15, blue 10 + (10 * 128 >> 8) = 15.
        { "16 bits: fields mix alone", 16, 16, Green, 128, word(31 << 10 | 10), word(31 << 5 | 20),
            word(15 << 10 | 15 << 5 | 15) },
        { "16 bits: a 5-5-5 key", 16, 16, 0x1234, 0, word(0x1234), word(0x0555), word(0x0555) },
        { "16 bits: 0x00FF00 is no word", 16, 16, Green, 0, word(0x03E0), word(0), word(0x03E0) },
        // True colour over 16 bits leaves out what packs to the packed key: green >= 248 with red
        // and blue below 8 (the mixed-depth reference below shows pure green).
        { "24 over 16: green 248, 7, 7", 24, 16, Green, 0, { 7, 248, 7 }, word(0x1234), word(0x1234) },
        { "24 over 16: blue 8", 24, 16, Green, 0, { 8, 248, 0 }, word(0x1234), word(31 << 5 | 1) },
        { "24 over 16: green 247", 24, 16, Green, 0, { 0, 247, 0 }, word(0x1234), word(30 << 5) },
        { "24 over 16: red 8", 24, 16, Green, 0, { 0, 255, 8 }, word(0x1234), word(1 << 10 | 31 << 5) },
        // 16 bits over true colour: each field c widens to (c << 3) | (c << 1); the reference below
        // shows that a 16-bit picture has no transparent colour.
        { "16 over 24: a 5-5-5 key", 16, 24, 0x7F00, 0, word(0x7F00), grey(0x55), grey(0x55) },
    };
    for (const Row& row : rows) {
        Bytes destination = row.destination;
        blendRect(destination.data(), 4, row.to, row.source.data(), 4, row.from, 1, 1, row.key, row.t);
        EXPECT_EQ(destination, row.expected) << row.what;
    }
}

TEST(Blend, OtherDepthsEmptySizesAndNoPixelsBlendNothing)
{
    Bytes source(64, 0x80), destination(64, 0x11);
    blendRect(destination.data(), 16, 8, source.data(), 16, 24, 4, 4, 0, 0);
    blendRect(destination.data(), 16, 24, source.data(), 16, 32, 4, 4, 0, 0);
    blendRect(destination.data(), 16, 24, source.data(), 16, 24, 0, 4, 0, 0);
    blendRect(destination.data(), 16, 24, source.data(), 16, 16, 4, -1, 0, 0);
    blendRect(nullptr, 16, 24, source.data(), 16, 24, 4, 4, 0, 0);
    blendRect(destination.data(), 16, 24, nullptr, 16, 16, 4, 4, 0, 0);
    EXPECT_EQ(destination, Bytes(64, 0x11));
}

// Deterministic noise in which every seventh pixel is the key: pure green at 24 bits, and 0x7F00
// (which widens to the widened green key) at 16. 16-bit words keep bit 15 clear.
Bytes noisePicture(int32_t width, int32_t height, int32_t stride, int32_t bytesPerPixel, uint32_t seed)
{
    Bytes bytes(static_cast<size_t>(stride * height));
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    const Bytes key = bytesPerPixel == 3 ? Bytes { 0, 255, 0 } : Bytes { 0x00, 0x7F };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = bytes.data() + y * stride + x * bytesPerPixel;
            if ((x + y) % 7 == 0)
                std::copy(key.begin(), key.end(), pixel);
            if (bytesPerPixel == 2)
                pixel[1] &= 0x7F;
        }
    }
    return bytes;
}

// s + floor((d - s) * t / 256), with the floor written out.
int32_t mix(int32_t s, int32_t d, int32_t t)
{
    int32_t product = (d - s) * t;
    return s + (product >= 0 ? product / 256 : -((-product + 255) / 256));
}

// One pixel at a time, straight from the rules: true colour over 16 bits leaves out the pixels that
// pack to the packed key; 16 bits over true colour leaves out nothing.
void referenceBlend(Bytes& destination, int32_t destinationStride, int32_t destinationDepth,
    const Bytes& source, int32_t sourceStride, int32_t width, int32_t height, int32_t t)
{
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* d = destination.data() + y * destinationStride + x * destinationDepth / 8;
            const uint8_t* s = source.data() + y * sourceStride + x * (destinationDepth == 16 ? 3 : 2);
            if (destinationDepth == 24) {
                for (int i = 0; i < 3; ++i) {
                    int32_t c = (s[0] | s[1] << 8) >> (5 * i) & 31;
                    d[i] = static_cast<uint8_t>(mix((c << 3) | (c << 1), d[i], t));
                }
            } else if (!(s[1] >= 248 && s[0] < 8 && s[2] < 8)) {
                int32_t value = d[0] | d[1] << 8, out = 0;
                for (int i = 0; i < 3; ++i) // blue, green, red
                    out |= mix(s[i] >> 3, value >> (5 * i) & 31, t) << (5 * i);
                d[0] = static_cast<uint8_t>(out);
                d[1] = static_cast<uint8_t>(out >> 8);
            }
        }
    }
}

TEST(Blend, MixedDepthsMatchThePixelByPixelReference)
{
    // 300 x 250 at 16 bits: rows of 600 bytes, 109 to a pass, so three passes. At 24 bits, rows
    // of 900 bytes, 72 to a pass: four passes. 40000 pixels at 16 bits need 80000 bytes a row,
    // more than the whole staging buffer: the rows are done in column strips.
    struct Row { const char* what; int32_t width, height, destinationDepth, t; };
    const Row rows[] = {
        { "true colour over 16 bits, three passes", 300, 250, 16, 77 },
        { "16 bits over true colour, four passes", 300, 250, 24, 200 },
        { "a row wider than the staging buffer", 40000, 3, 16, 128 },
        { "a 24-bit row wider than the staging buffer", 30000, 2, 24, 10 },
    };
    for (const Row& row : rows) {
        int32_t sourceDepth = row.destinationDepth == 16 ? 24 : 16;
        int32_t sourceStride = ((row.width * sourceDepth + 31) & ~31) / 8 + 4;
        int32_t destinationStride = ((row.width * row.destinationDepth + 31) & ~31) / 8 + 8;
        Bytes source = noisePicture(row.width, row.height, sourceStride, sourceDepth / 8, 17);
        Bytes destination
            = noisePicture(row.width, row.height, destinationStride, row.destinationDepth / 8, 9);
        Bytes expected = destination;
        referenceBlend(expected, destinationStride, row.destinationDepth, source, sourceStride, row.width,
            row.height, row.t);
        blendRect(destination.data(), destinationStride, row.destinationDepth, source.data(), sourceStride,
            sourceDepth, row.width, row.height, Green, row.t);
        EXPECT_TRUE(destination == expected) << row.what;
    }
}

TEST(Blend, SurfaceFormClipsToBothPictures)
{
    PixelMemory destination(4, 3, 24), source(3, 2, 24);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x)
            *source.at(x, y) = static_cast<uint8_t>(10 * y + x + 1);
    }
    // Source from (-1, 0) to (5, 9) at (2, -1): the column left of the picture and the rows below
    // it do not exist, the picture's top row lands above the destination, and of its second row
    // only pixel (0, 1) lands inside, at (3, 0).
    blendRect(SurfaceInfo { 4, 3, 24, destination.stride, destination.bytes.data() }, 2, -1,
        SurfaceInfo { 3, 2, 24, source.stride, source.bytes.data() }, { -1, 0, 5, 9 }, Green, 0);
    Bytes expected(destination.bytes.size(), 0);
    expected[9] = 11;
    EXPECT_EQ(destination.bytes, expected);
}

// One 32-bit pixel (blue, green, red, alpha) over one destination pixel: each channel becomes
// round((s * a + d * (255 - a)) / 255), with a = round(alpha * (255 - t) / 255). The render case
// alpha shows opacity, alpha 0 and 255 and the unkeyed green.
TEST(Blend, PicturesWithAlphaGoOverEveryDepth)
{
    struct Row { const char* what; int32_t depth, t; Bytes source, destination, expected; };
    const Row rows[] = {
        // 50 * 127 / 255 = 24.9; (100 * 128 + 50 * 127) / 255 = 75.1; (200 * 128 + 6350) / 255 = 125.3.
        { "alpha 128 over grey 50", 24, 0, { 0, 100, 200, 128 }, grey(50), { 25, 75, 125 } },
        { "t 255 draws nothing", 24, 255, { 0, 0, 255, 255 }, { 1, 2, 3 }, { 1, 2, 3 } },
        // Red 31 widens to 255; black at alpha 128 leaves 255 * 127 / 255 = 127, whose top five bits
        // are 15: 15 << 10.
        { "16 bits", 16, 0, { 0, 0, 0, 128 }, word(0x7C00), word(0x3C00) },
        // White (entry 1) under black at alpha 128 gives grey 127: entry 2 (128) is nearest.
        { "8 bits take the nearest entry", 8, 0, { 0, 0, 0, 128 }, { 1 }, { 2 } },
    };
    for (const Row& row : rows) {
        PixelMemory source(1, 1, 32), destination(1, 1, row.depth);
        std::copy(row.source.begin(), row.source.end(), source.bytes.begin());
        std::copy(row.destination.begin(), row.destination.end(), destination.bytes.begin());
        destination.table[1] = { 255, 255, 255, 0 };
        destination.table[2] = { 128, 128, 128, 0 };
        compositeRect(SurfaceInfo { 1, 1, row.depth, destination.stride, destination.bytes.data(), destination.table.data() },
            0, 0, SurfaceInfo { 1, 1, 32, source.stride, source.bytes.data() }, { 0, 0, 1, 1 }, row.t);
        EXPECT_EQ(Bytes(destination.bytes.begin(), destination.bytes.begin() + static_cast<long>(row.expected.size())),
            row.expected)
            << row.what;
    }
}

}
}
