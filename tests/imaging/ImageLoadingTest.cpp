// Loading pictures: the order of the image library's steps (end after every accepted header, never
// after a refused one, no call for a file that cannot be opened) and what the surface receives.
#include <imaging/ImageLoading.h>

#include <support/PixelMemory.h>

#include <fstream>
#include <gtest/gtest.h>
#include <tuple>

namespace nimbolt::test {
namespace {

// A library that records its calls and describes the picture it is told to describe.
class CountingLibrary final : public ImageLibrary {
public:
    int32_t headerResult { 1 }, decodeResult { 1 }, width { 3 }, bitsPerPixel { 8 }, paletteCount { 2 };
    std::string calls;
    KalvixImageRecord seenAtHeader, seenAtDecode;

    int32_t kalvixReadHeader(KalvixImageRecord& record) override
    {
        calls += "header ";
        seenAtHeader = record;
        if (headerResult > 0) {
            record.width = width;
            record.height = 2;
            record.bitsPerPixel = bitsPerPixel;
            record.paletteCount = paletteCount;
            for (int i = 0; i < 256; ++i)
                record.palette[i] = { static_cast<uint8_t>(i), 0x40, static_cast<uint8_t>(255 - i), 0 };
            record.decodeReserved0 = 77; // the library's own words may hold anything
            record.decodeReserved1 = 78;
        }
        return headerResult;
    }

    int32_t kalvixDecode(KalvixImageRecord& record) override
    {
        calls += "decode ";
        seenAtDecode = record;
        for (int32_t y = 0; y < record.height; ++y) {
            for (int32_t i = 0; i < record.width * record.destinationBitsPerPixel / 8; ++i)
                record.destination[y * record.destinationStride + i] = static_cast<uint8_t>(10 * y + i + 1);
        }
        return decodeResult;
    }

    void kalvixEnd(KalvixImageRecord&) override { calls += "end "; }
};

TEST(ImageLoading, TheLibrarysStepsComeInOrderAndTheSurfaceTakesThePicture)
{
    CountingLibrary unopened;
    EXPECT_FALSE(loadImageFile(testing::TempDir() + "does-not-exist.bmp", unopened));
    EXPECT_FALSE(loadImageFile("", unopened));
    EXPECT_FALSE(loadImageFile(testing::TempDir(), unopened)) << "a directory";
    EXPECT_EQ(unopened.calls, "") << "a file that cannot be opened never reaches the library";

    struct Row {
        const char* what;
        int32_t headerResult, width, bitsPerPixel, decodeResult;
        bool loads;
        const char* calls;
    };
    const Row rows[] = {
        { "a picture", 1, 3, 8, 1, true, "header decode end " },
        { "a header refused with 0", 0, 3, 8, 1, false, "header " },
        { "a header refused with -5", -5, 3, 8, 1, false, "header " },
        { "a header whose surface cannot be made still ends", 1, 3, 12, 1, false, "header end " },
        { "a decode returning 0 is no failure", 1, 3, 8, 0, true, "header decode end " },
        { "a failed decode ends and gives nothing", 1, 3, 8, -1, false, "header decode end " },
    };
    const std::string path = testing::TempDir() + "nimbolt-picture";
    std::ofstream(path) << "x";
    for (const Row& row : rows) {
        CountingLibrary library;
        library.headerResult = row.headerResult;
        library.width = row.width;
        library.bitsPerPixel = row.bitsPerPixel;
        library.decodeResult = row.decodeResult;
        EXPECT_EQ(static_cast<bool>(loadImageFile(path, library)), row.loads) << row.what;
        EXPECT_EQ(library.calls, row.calls) << row.what;
        const KalvixImageRecord& seen = library.seenAtHeader;
        EXPECT_NE(seen.file, nullptr) << row.what;
        EXPECT_EQ(seen.reserved0 | seen.reserved1 | seen.reserved2 | seen.reserved3, 0) << "a cleared record";
    }

    // A picture's pixels and palette reach the surface.
    CountingLibrary library;
    library.paletteCount = 3;
    RefPtr<Surface> surface = loadImageFile(path, library);
    ASSERT_TRUE(surface);
    SurfaceInfo info;
    ASSERT_TRUE(surface->getInfo(info).ok());
    EXPECT_EQ(std::tuple(info.width, info.height, info.bitsPerPixel), std::tuple(3, 2, 8));
    EXPECT_EQ(surface->lockCount(), 0) << "unlocked after decoding";
    const KalvixImageRecord& record = library.seenAtDecode;
    EXPECT_EQ(std::tuple(record.destination, record.destinationStride, record.destinationBitsPerPixel),
        std::tuple(info.bits, 4, 8));
    EXPECT_EQ(record.decodeReserved0 | record.decodeReserved1, 0) << "cleared before decoding";
    EXPECT_EQ(Bytes(info.bits, info.bits + 8), (Bytes { 1, 2, 3, 0, 11, 12, 13, 0 }));
    EXPECT_EQ(surface->paletteCount(), 3);
    Palette table(4);
    ASSERT_TRUE(surface->getPalette(0, 4, table.data()).ok());
    EXPECT_EQ(table[2], (ColorTableEntry { 2, 0x40, 253, 0 }));
    EXPECT_EQ(table[3], ColorTableEntry {}) << "beyond the palette count";

    // A count the table cannot hold is refused and leaves the placeholder; no entries leave none.
    struct Count { int32_t paletteCount; size_t entries; };
    for (Count row : { Count { 257, 1 }, Count { -1, 1 }, Count { 0, 0 }, Count { 256, 256 } }) {
        library.bitsPerPixel = 24;
        library.paletteCount = row.paletteCount;
        surface = loadImageFile(path, library);
        ASSERT_TRUE(surface) << row.paletteCount;
        const std::vector<LogicalPaletteEntry>* palette = surface->logicalPalette();
        EXPECT_EQ(palette ? palette->size() : 0, row.entries) << row.paletteCount;
    }
    std::remove(path.c_str());
}

}
}
