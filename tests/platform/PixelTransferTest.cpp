// Fills and copies done by our own pixel code: the exact bytes of every depth, the nearest
// colour-table entry for 8-bit targets, clipping on every side, overlapping copies within one
// buffer, and nearest-neighbour scaling.
#include <platform/PixelTransfer.h>

#include <support/PixelMemory.h>

#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

// 0x00336699: red 0x99, green 0x66, blue 0x33.
constexpr Color Sample = 0x00336699;

TEST(PixelTransfer, FillWritesExactBytesInsideAndNothingOutside)
{
    struct Row {
        std::string name;
        int32_t bitsPerPixel;
        std::vector<uint8_t> pixel; // the bytes of one filled pixel
    };
    // 16 bits: red 0x99 >> 3 = 19, green 0x66 >> 3 = 12, blue 0x33 >> 3 = 6:
    // 19 << 10 | 12 << 5 | 6 = 0x4C00 + 0x180 + 6 = 0x4D86, little-endian.
    const Row rows[] = {
        { "24 bits are blue, green, red", 24, { 0x33, 0x66, 0x99 } },
        { "16 bits keep the top five bits of each channel", 16, { 0x86, 0x4D } },
        { "8 bits take the nearest table entry", 8, { 2 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PixelMemory memory(8, 5, row.bitsPerPixel);
        memory.table[1] = { 0xFF, 0xFF, 0xFF, 0 };
        memory.table[2] = { 0x30, 0x60, 0x90, 0 }; // closest to the sample
        memory.table[3] = { 0x33, 0x66, 0x00, 0 };
        fillPixels(memory.buffer(), { 2, 1, 5, 3 }, Sample);
        int32_t bytesPerPixel = row.bitsPerPixel / 8;
        for (int32_t y = 0; y < 5; ++y) {
            for (int32_t x = 0; x < 8; ++x) {
                bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
                for (int32_t i = 0; i < bytesPerPixel; ++i)
                    EXPECT_EQ(memory.at(x, y)[i], inside ? row.pixel[static_cast<size_t>(i)] : 0)
                        << x << "," << y;
            }
        }
        // The row padding is never touched.
        for (int32_t y = 0; y < 5; ++y) {
            for (int32_t i = 8 * bytesPerPixel; i < memory.stride; ++i)
                EXPECT_EQ(memory.bytes[static_cast<size_t>(y * memory.stride + i)], 0);
        }
    }
}

TEST(PixelTransfer, FillClipsToTheBufferAndIgnoresEmptyRectangles)
{
    PixelMemory memory(4, 3, 16);
    fillPixels(memory.buffer(), { 3, 0, 1, 3 }, 0xFFFFFF);
    fillPixels(memory.buffer(), { 0, 2, 4, 2 }, 0xFFFFFF);
    for (uint8_t byte : memory.bytes)
        EXPECT_EQ(byte, 0);
    fillPixels(memory.buffer(), { INT32_MIN, -5, INT32_MAX, 100 }, 0xFFFFFF);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(memory.word(x, y), 0x7FFF) << "white keeps bit 15 clear";
    }
}

TEST(PixelTransfer, NearestIndexPrefersExactThenClosestThenLowest)
{
    std::vector<ColorTableEntry> table(256, ColorTableEntry { 0, 0, 0, 0 });
    table[5] = { 0, 0, 200, 0 }; // red 200
    table[9] = { 0, 0, 200, 0 }; // the same colour again
    table[7] = { 255, 255, 255, 0 };
    EXPECT_EQ(nearestColorIndex(table.data(), 0x0000C8), 5) << "exact, first of two equal entries";
    EXPECT_EQ(nearestColorIndex(table.data(), 0x0000F0), 5) << "closest";
    EXPECT_EQ(nearestColorIndex(table.data(), 0xF0F0F0), 7);
    EXPECT_EQ(nearestColorIndex(table.data(), 0x000000), 0) << "black: entry 0 before the other black ones";
}

TEST(PixelTransfer, CopyConvertsBetweenDepths)
{
    struct Row {
        std::string name;
        int32_t sourceDepth;
        std::vector<uint8_t> sourcePixel;
        int32_t targetDepth;
        std::vector<uint8_t> targetPixel;
    };
    // Source table entry 3 is (red 0x99, green 0x66, blue 0x33); target table entry 4 is close to it.
    const Row rows[] = {
        { "8 to 24 through the table", 8, { 3 }, 24, { 0x33, 0x66, 0x99 } },
        { "8 to 16 through the table", 8, { 3 }, 16, { 0x86, 0x4D } },
        { "8 to 8 maps to the nearest target entry", 8, { 3 }, 8, { 4 } },
        { "24 to 16 truncates", 24, { 0x33, 0x66, 0x99 }, 16, { 0x86, 0x4D } },
        // 0x4D86: red 19 -> 19 << 3 | 19 >> 2 = 152 + 4 = 156, green 12 -> 96 + 3 = 99,
        // blue 6 -> 48 + 1 = 49.
        { "16 to 24 widens by repeating the top bits", 16, { 0x86, 0x4D }, 24, { 49, 99, 156 } },
        { "16 to 24 widens 31 to 255", 16, { 0xFF, 0x7F }, 24, { 255, 255, 255 } },
        { "24 to 8 takes the nearest entry", 24, { 0x33, 0x66, 0x99 }, 8, { 4 } },
        { "24 to 24 copies", 24, { 1, 2, 3 }, 24, { 1, 2, 3 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PixelMemory source(2, 1, row.sourceDepth);
        source.table[3] = { 0x33, 0x66, 0x99, 0 };
        for (size_t i = 0; i < row.sourcePixel.size(); ++i)
            source.at(1, 0)[i] = row.sourcePixel[i];
        PixelMemory target(3, 2, row.targetDepth);
        target.table[1] = { 0xFF, 0x00, 0x00, 0 };
        target.table[4] = { 0x30, 0x68, 0x98, 0 };
        copyPixels(target.buffer(), 2, 1, source.buffer(), { 1, 0, 2, 1 });
        for (size_t i = 0; i < row.targetPixel.size(); ++i)
            EXPECT_EQ(target.at(2, 1)[i], row.targetPixel[i]) << "byte " << i;
        for (int32_t y = 0; y < 2; ++y) {
            for (int32_t x = 0; x < 3; ++x) {
                if (x == 2 && y == 1)
                    continue;
                for (int32_t i = 0; i < row.targetDepth / 8; ++i)
                    EXPECT_EQ(target.at(x, y)[i], 0) << "untouched " << x << "," << y;
            }
        }
    }
}

// A 4 x 3 picture of 8-bit pixels numbered 10 * y + x + 1.
PixelMemory numberedPicture()
{
    PixelMemory picture(4, 3, 8);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            *picture.at(x, y) = static_cast<uint8_t>(10 * y + x + 1);
    }
    return picture;
}

TEST(PixelTransfer, CopyClipsToBothBuffers)
{
    struct Row {
        std::string name;
        int32_t x, y;
        Rect source;
        std::vector<std::string> expected; // rows of the 3 x 3 target, two digits per pixel, .. = 0
    };
    const Row rows[] = {
        { "plain", 0, 0, { 1, 1, 3, 3 }, { "121300", "222300", "000000" } },
        { "source left of the picture moves the target along", 0, 0, { -1, 0, 2, 1 },
            { "000102", "000000", "000000" } },
        { "target above the buffer drops the top rows", 1, -2, { 0, 0, 2, 3 },
            { "002122", "000000", "000000" } },
        { "target beyond the right edge", 2, 1, { 0, 0, 4, 3 }, { "000000", "000001", "000011" } },
        { "source beyond the picture's bottom", 0, 1, { 2, 2, 5, 9 }, { "000000", "232400", "000000" } },
        { "entirely outside", 3, 0, { 0, 0, 4, 3 }, { "000000", "000000", "000000" } },
        { "empty source", 0, 0, { 2, 2, 2, 3 }, { "000000", "000000", "000000" } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PixelMemory picture = numberedPicture();
        PixelMemory target(3, 3, 8);
        target.table = picture.table;
        copyPixels(target.buffer(), row.x, row.y, picture.buffer(), row.source);
        for (int32_t y = 0; y < 3; ++y) {
            std::string text;
            for (int32_t x = 0; x < 3; ++x) {
                char digits[8];
                std::snprintf(digits, sizeof digits, "%02d", *target.at(x, y));
                text += digits;
            }
            EXPECT_EQ(text, row.expected[static_cast<size_t>(y)]) << "row " << y;
        }
    }
}

TEST(PixelTransfer, CopyWithinOneBufferHandlesOverlap)
{
    PixelMemory picture = numberedPicture();
    // Down by one row and right by one column, onto itself.
    copyPixels(picture.buffer(), 1, 1, picture.buffer(), { 0, 0, 3, 2 });
    const uint8_t expected[3][4] = { { 1, 2, 3, 4 }, { 11, 1, 2, 3 }, { 21, 11, 12, 13 } };
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(*picture.at(x, y), expected[y][x]) << x << "," << y;
    }
}

TEST(PixelTransfer, StretchPicksThePixelUnderEachTargetPixelsEdge)
{
    constexpr Rect WholeRange { INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX };
    struct Row {
        std::string name;
        Rect target;
        Rect source;
        std::vector<std::vector<uint8_t>> expected; // the 4 x 3 target
    };
    const Row rows[] = {
        { "doubling repeats each pixel", { 0, 0, 4, 2 }, { 1, 1, 3, 2 },
            { { 12, 12, 13, 13 }, { 12, 12, 13, 13 }, { 0, 0, 0, 0 } } },
        // Target column t takes source column 4 * t / 2: 0 and 2.
        { "halving takes every other pixel", { 0, 0, 2, 2 }, { 0, 0, 4, 3 },
            { { 1, 3, 0, 0 }, { 11, 13, 0, 0 }, { 0, 0, 0, 0 } } },
        { "target partly outside is clipped", { -2, 1, 2, 3 }, { 0, 0, 2, 1 },
            { { 0, 0, 0, 0 }, { 2, 2, 0, 0 }, { 2, 2, 0, 0 } } },
        { "source partly outside leaves those pixels", { 0, 0, 4, 1 }, { 2, 0, 6, 1 },
            { { 3, 4, 0, 0 }, { 0, 0, 0, 0 }, { 0, 0, 0, 0 } } },
        { "no width draws nothing", { 0, 0, 0, 3 }, { 0, 0, 4, 3 },
            { { 0, 0, 0, 0 }, { 0, 0, 0, 0 }, { 0, 0, 0, 0 } } },
        // Equal rectangles of 2^32 - 1 pixels a side map every pixel onto itself; the offset
        // times the source width (about 2^31 * 2^32) is beyond int64.
        { "whole-range rectangles copy pixel for pixel", WholeRange, WholeRange,
            { { 1, 2, 3, 4 }, { 11, 12, 13, 14 }, { 21, 22, 23, 24 } } },
        // Column (t + 2^31) * 4 / (2^32 - 1) = 2 and row (t + 2^31) * 3 / (2^32 - 1) = 1 for
        // every visible pixel: all take picture pixel (2, 1).
        { "whole-range target over a small source", WholeRange, { 0, 0, 4, 3 },
            { { 13, 13, 13, 13 }, { 13, 13, 13, 13 }, { 13, 13, 13, 13 } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PixelMemory picture = numberedPicture();
        PixelMemory target(4, 3, 8);
        target.table = picture.table;
        stretchPixels(target.buffer(), row.target, picture.buffer(), row.source);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < 4; ++x)
                EXPECT_EQ(*target.at(x, y), row.expected[static_cast<size_t>(y)][static_cast<size_t>(x)])
                    << x << "," << y;
        }
    }
}

TEST(PixelTransfer, StretchAnEightBitPictureOntoTwentyFourBits)
{
    PixelMemory picture(2, 1, 8);
    picture.table[0] = { 10, 20, 30, 0 };
    picture.table[1] = { 40, 50, 60, 0 };
    *picture.at(1, 0) = 1;
    PixelMemory target(4, 1, 24);
    stretchPixels(target.buffer(), { 0, 0, 4, 1 }, picture.buffer(), { 0, 0, 2, 1 });
    const uint8_t expected[] = { 10, 20, 30, 10, 20, 30, 40, 50, 60, 40, 50, 60 };
    for (size_t i = 0; i < sizeof expected; ++i)
        EXPECT_EQ(target.bytes[i], expected[i]) << "byte " << i;
}

TEST(PixelTransfer, PixelColourReadsEveryDepth)
{
    PixelMemory eight(1, 1, 8);
    eight.table[0] = { 1, 2, 3, 0 };
    EXPECT_EQ(pixelColor(eight.buffer(), 0, 0), 0x00010203u);
    EXPECT_EQ(pixelColor(eight.buffer(), 1, 0), NoColor) << "outside";
    PixelMemory sixteen(1, 1, 16);
    sixteen.bytes[0] = 0x1F; // blue 31
    EXPECT_EQ(pixelColor(sixteen.buffer(), 0, 0), 0x00FF0000u);
    PixelMemory twentyFour(1, 1, 24);
    twentyFour.bytes = { 7, 8, 9, 0 };
    EXPECT_EQ(pixelColor(twentyFour.buffer(), 0, 0), 0x00070809u);
}

}
}
