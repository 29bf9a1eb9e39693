// Fills and copies by our own pixel code: exact bytes at every depth, nearest table entries,
// clipping, overlapping copies and nearest-neighbour scaling.
#include <platform/PixelTransfer.h>

#include <support/PixelMemory.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

// 0x00336699: red 0x99, green 0x66, blue 0x33. At 16 bits red 0x99 >> 3 = 19, green 12, blue 6:
// 19 << 10 | 12 << 5 | 6 = 0x4D86, stored low byte first.
constexpr Color Sample = 0x00336699;

// The bytes of a zeroed memory like `memory` with `pixel` written at each pixel of `rect`.
Bytes withPixels(const PixelMemory& memory, const Rect& rect, const Bytes& pixel)
{
    Bytes bytes(memory.bytes.size(), 0);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        for (int32_t x = rect.left; x < rect.right; ++x)
            std::copy(pixel.begin(), pixel.end(), bytes.begin() + y * memory.stride + x * pixel.size());
    }
    return bytes;
}

TEST(PixelTransfer, FillWritesExactBytesInsideAndNothingOutside)
{
    struct Row { const char* what; int32_t bitsPerPixel; Bytes pixel; };
    const Row rows[] = {
        { "24 bits are blue, green, red", 24, { 0x33, 0x66, 0x99 } },
        { "16 bits keep the top five bits of each channel", 16, { 0x86, 0x4D } },
        { "8 bits take the nearest table entry", 8, { 2 } },
    };
    for (const Row& row : rows) {
        PixelMemory memory(8, 5, row.bitsPerPixel);
        memory.table[1] = { 0xFF, 0xFF, 0xFF, 0 };
        memory.table[2] = { 0x30, 0x60, 0x90, 0 }; // closest to the sample
        memory.table[3] = { 0x33, 0x66, 0x00, 0 };
        fillPixels(memory.buffer(), { 2, 1, 5, 3 }, Sample);
        EXPECT_EQ(memory.bytes, withPixels(memory, { 2, 1, 5, 3 }, row.pixel)) << row.what;
    }
    PixelMemory memory(4, 3, 16);
    fillPixels(memory.buffer(), { 3, 0, 1, 3 }, 0xFFFFFF);
    fillPixels(memory.buffer(), { 0, 2, 4, 2 }, 0xFFFFFF);
    EXPECT_EQ(memory.bytes, Bytes(memory.bytes.size(), 0)) << "empty rectangles fill nothing";
    fillPixels(memory.buffer(), { INT32_MIN, -5, INT32_MAX, 100 }, 0xFFFFFF);
    EXPECT_EQ(memory.bytes, withPixels(memory, { 0, 0, 4, 3 }, { 0xFF, 0x7F })) << "clipped; bit 15 clear";
}

TEST(PixelTransfer, NearestIndexPrefersExactThenClosestThenLowestAndPixelColourReadsEveryDepth)
{
    Palette table(256);
    table[5] = { 0, 0, 200, 0 }; // red 200
    table[9] = { 0, 0, 200, 0 }; // the same colour again
    table[7] = { 255, 255, 255, 0 };
    EXPECT_EQ(nearestColorIndex(table.data(), 0x0000C8), 5) << "exact, first of two equal entries";
    EXPECT_EQ(nearestColorIndex(table.data(), 0x0000F0), 5) << "closest";
    EXPECT_EQ(nearestColorIndex(table.data(), 0xF0F0F0), 7);
    EXPECT_EQ(nearestColorIndex(table.data(), 0x000000), 0) << "black: entry 0 before the other black ones";

    PixelMemory eight(1, 1, 8), sixteen(1, 1, 16), twentyFour(1, 1, 24);
    eight.table[0] = { 1, 2, 3, 0 };
    EXPECT_EQ(pixelColor(eight.buffer(), 0, 0), 0x00010203u);
    for (auto [x, y] : { std::pair { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } })
        EXPECT_EQ(pixelColor(eight.buffer(), x, y), NoColor) << "outside at " << x << "," << y;
    sixteen.bytes[0] = 0x1F; // blue 31
    EXPECT_EQ(pixelColor(sixteen.buffer(), 0, 0), 0x00FF0000u);
    twentyFour.bytes = { 7, 8, 9, 0 };
    EXPECT_EQ(pixelColor(twentyFour.buffer(), 0, 0), 0x00070809u);
}

TEST(PixelTransfer, CopyConvertsBetweenDepths)
{
    // Source entry 3 is (red 0x99, green 0x66, blue 0x33); target entry 4 is the closest to it.
    // 0x4D86 widens red 19 to 19 << 3 | 19 >> 2 = 156, green 12 to 99, blue 6 to 49. The image
    // library's tests show 8 bits onto 16 and 24, and 24 onto 24.
    struct Row {
        const char* what;
        int32_t sourceDepth;
        Bytes sourcePixel;
        int32_t targetDepth;
        Bytes targetPixel;
    };
    const Row rows[] = {
        { "8 to 8 maps to the nearest target entry", 8, { 3 }, 8, { 4 } },
        { "24 to 16 truncates", 24, { 0x33, 0x66, 0x99 }, 16, { 0x86, 0x4D } },
        { "16 to 24 widens by repeating the top bits", 16, { 0x86, 0x4D }, 24, { 49, 99, 156 } },
        { "16 to 24 widens 31 to 255", 16, { 0xFF, 0x7F }, 24, { 255, 255, 255 } },
        { "16 to 8 widens, then takes the nearest entry", 16, { 0x86, 0x4D }, 8, { 4 } },
        { "24 to 8 takes the nearest entry", 24, { 0x33, 0x66, 0x99 }, 8, { 4 } },
    };
    for (const Row& row : rows) {
        PixelMemory source(2, 1, row.sourceDepth), target(3, 2, row.targetDepth);
        source.table[3] = { 0x33, 0x66, 0x99, 0 };
        std::copy(row.sourcePixel.begin(), row.sourcePixel.end(), source.at(1, 0));
        target.table[1] = { 0xFF, 0x00, 0x00, 0 };
        target.table[4] = { 0x30, 0x68, 0x98, 0 };
        copyPixels(target.buffer(), 2, 1, source.buffer(), { 1, 0, 2, 1 });
        EXPECT_EQ(target.bytes, withPixels(target, { 2, 1, 3, 2 }, row.targetPixel)) << row.what;
    }
}

// Pixel x, y of the numbered picture holds 4 * y + x + 1.
const char* const Numbered = "1234/5678/9abc";

TEST(PixelTransfer, CopyClipsToBothBuffers)
{
    struct Row { const char* what; int32_t x, y; Rect source; const char* expected; };
    const Row rows[] = {
        { "plain", 0, 0, { 1, 1, 3, 3 }, "670/ab0/000" },
        { "source left of the picture moves the target along", 0, 0, { -1, 0, 2, 1 }, "012/000/000" },
        { "target above the buffer drops the top rows", 1, -2, { 0, 0, 2, 3 }, "09a/000/000" },
        { "target beyond the right edge", 2, 1, { 0, 0, 4, 3 }, "000/001/005" },
        { "source beyond the picture's bottom", 0, 1, { 2, 2, 5, 9 }, "000/bc0/000" },
        { "entirely outside", 3, 0, { 0, 0, 4, 3 }, "000/000/000" },
        { "empty source", 0, 0, { 2, 2, 2, 3 }, "000/000/000" },
    };
    for (const Row& row : rows) {
        PixelMemory picture = PixelMemory::fromIndices(Numbered), target(3, 3, 8);
        copyPixels(target.buffer(), row.x, row.y, picture.buffer(), row.source);
        EXPECT_EQ(target.indices(), row.expected) << row.what;
    }
    // Down by one row and right by one column, onto itself: rows are walked away from the overlap.
    PixelMemory picture = PixelMemory::fromIndices(Numbered);
    copyPixels(picture.buffer(), 1, 1, picture.buffer(), { 0, 0, 3, 2 });
    EXPECT_EQ(picture.indices(), "1234/5123/9567");
}

TEST(PixelTransfer, StretchPicksThePixelUnderEachTargetPixelsEdge)
{
    constexpr Rect WholeRange { INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX };
    struct Row { const char* what; Rect target, source; const char* expected; };
    const Row rows[] = {
        { "doubling repeats each pixel", { 0, 0, 4, 2 }, { 1, 1, 3, 2 }, "6677/6677/0000" },
        // Target column t takes source column 4 * t / 2, row t source row 3 * t / 2.
        { "halving takes every other pixel", { 0, 0, 2, 2 }, { 0, 0, 4, 3 }, "1300/5700/0000" },
        { "target partly outside is clipped", { -2, 1, 2, 3 }, { 0, 0, 2, 1 }, "0000/2200/2200" },
        { "source partly outside leaves those pixels", { 0, 0, 4, 1 }, { 2, 0, 6, 1 }, "3400/0000/0000" },
        { "no width draws nothing", { 0, 0, 0, 3 }, { 0, 0, 4, 3 }, "0000/0000/0000" },
        // Equal rectangles of 2^32 - 1 pixels a side map every pixel onto itself; the offset
        // times the source width (about 2^31 * 2^32) is beyond int64.
        { "whole-range rectangles copy pixel for pixel", WholeRange, WholeRange, Numbered },
        // Column (t + 2^31) * 4 / (2^32 - 1) = 2 and row (t + 2^31) * 3 / (2^32 - 1) = 1 for
        // every visible pixel: all take picture pixel (2, 1).
        { "whole-range target over a small source", WholeRange, { 0, 0, 4, 3 }, "7777/7777/7777" },
    };
    for (const Row& row : rows) {
        PixelMemory picture = PixelMemory::fromIndices(Numbered), target(4, 3, 8);
        stretchPixels(target.buffer(), row.target, picture.buffer(), row.source);
        EXPECT_EQ(target.indices(), row.expected) << row.what;
    }
    PixelMemory picture = PixelMemory::fromIndices("01"), wide(4, 1, 24);
    picture.table[0] = { 10, 20, 30, 0 };
    picture.table[1] = { 40, 50, 60, 0 };
    stretchPixels(wide.buffer(), { 0, 0, 4, 1 }, picture.buffer(), { 0, 0, 2, 1 });
    EXPECT_EQ(wide.bytes, (Bytes { 10, 20, 30, 10, 20, 30, 40, 50, 60, 40, 50, 60 })) << "8 bits onto 24";
}

}
}
