// Loading pictures: the order of the image library's steps (end after every accepted header and
// never after a refused one; no call at all for a file that cannot be opened), what the surface
// receives from the record, and whole files through the program's own library.
#include <imaging/ImageLoading.h>

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace nimbolt::test {
namespace {

// A library that records its calls and describes a picture it is told to describe.
class CountingLibrary final : public ImageLibrary {
public:
    int32_t headerResult { 1 };
    int32_t decodeResult { 1 };
    int32_t width { 3 };
    int32_t height { 2 };
    int32_t bitsPerPixel { 8 };
    int32_t paletteCount { 2 };
    std::vector<std::string> calls;
    KalvixImageRecord seenAtHeader;
    KalvixImageRecord seenAtDecode;

    int32_t kalvixReadHeader(KalvixImageRecord& record) override
    {
        calls.push_back("header");
        seenAtHeader = record;
        if (headerResult <= 0)
            return headerResult;
        record.width = width;
        record.height = height;
        record.bitsPerPixel = bitsPerPixel;
        record.paletteCount = paletteCount;
        for (int i = 0; i < 256; ++i)
            record.palette[i] = { static_cast<uint8_t>(i), 0x40, static_cast<uint8_t>(255 - i), 0 };
        // The library's own words may hold anything.
        record.decodeReserved0 = 77;
        record.decodeReserved1 = 78;
        return headerResult;
    }

    int32_t kalvixDecode(KalvixImageRecord& record) override
    {
        calls.push_back("decode");
        seenAtDecode = record;
        int32_t bytesPerRow = record.width * record.destinationBitsPerPixel / 8;
        for (int32_t y = 0; y < record.height; ++y) {
            for (int32_t i = 0; i < bytesPerRow; ++i)
                record.destination[y * record.destinationStride + i] = static_cast<uint8_t>(10 * y + i + 1);
        }
        return decodeResult;
    }

    void kalvixEnd(KalvixImageRecord&) override { calls.push_back("end"); }
};

std::string temporaryPath(const std::string& name)
{
    return testing::TempDir() + "nimbolt-imaging-" + name;
}

std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::string path = temporaryPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

using Calls = std::vector<std::string>;

TEST(ImageLoading, AFileThatCannotBeOpenedNeverReachesTheLibrary)
{
    CountingLibrary library;
    EXPECT_FALSE(loadImageFile(temporaryPath("does-not-exist.bmp"), library));
    EXPECT_FALSE(loadImageFile("", library));
    EXPECT_FALSE(loadImageFile(testing::TempDir(), library)) << "a directory";
    EXPECT_TRUE(library.calls.empty());
}

TEST(ImageLoading, TheLibrarysStepsComeInOrder)
{
    struct Row {
        std::string name;
        int32_t headerResult;
        int32_t width;
        int32_t bitsPerPixel;
        int32_t decodeResult;
        bool loads;
        Calls calls;
    };
    const Row rows[] = {
        { "a picture", 1, 3, 8, 1, true, { "header", "decode", "end" } },
        { "a header refused with 0", 0, 3, 8, 1, false, { "header" } },
        { "a header refused with -5", -5, 3, 8, 1, false, { "header" } },
        { "a header whose surface cannot be made still ends", 1, 0, 8, 1, false, { "header", "end" } },
        { "a depth no surface has still ends", 1, 3, 32, 1, false, { "header", "end" } },
        { "a failed decode ends and gives nothing", 1, 3, 8, -1, false, { "header", "decode", "end" } },
    };
    std::string path = writeFile("any", { 1, 2, 3 });
    for (const Row& row : rows) {
        CountingLibrary library;
        library.headerResult = row.headerResult;
        library.width = row.width;
        library.bitsPerPixel = row.bitsPerPixel;
        library.decodeResult = row.decodeResult;
        RefPtr<Surface> surface = loadImageFile(path, library);
        EXPECT_EQ(static_cast<bool>(surface), row.loads) << row.name;
        EXPECT_EQ(library.calls, row.calls) << row.name;
        EXPECT_NE(library.seenAtHeader.file, nullptr) << row.name;
        EXPECT_EQ(library.seenAtHeader.reserved0, 0);
        EXPECT_EQ(library.seenAtHeader.reserved1, 0);
        EXPECT_EQ(library.seenAtHeader.reserved2, 0);
        EXPECT_EQ(library.seenAtHeader.reserved3, 0);
    }
    std::remove(path.c_str());
}

TEST(ImageLoading, TheSurfaceTakesThePictureAndItsPalette)
{
    std::string path = writeFile("picture", { 1 });
    CountingLibrary library;
    library.paletteCount = 3;
    RefPtr<Surface> surface = loadImageFile(path, library);
    ASSERT_TRUE(surface);
    SurfaceInfo info;
    ASSERT_TRUE(surface->getInfo(info).ok());
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bitsPerPixel, 8);
    EXPECT_EQ(surface->lockCount(), 0) << "unlocked after decoding";

    const KalvixImageRecord& record = library.seenAtDecode;
    EXPECT_EQ(record.destination, info.bits);
    EXPECT_EQ(record.destinationStride, 4);
    EXPECT_EQ(record.destinationBitsPerPixel, 8);
    EXPECT_EQ(record.decodeReserved0, 0) << "cleared before decoding";
    EXPECT_EQ(record.decodeReserved1, 0);

    const uint8_t pixels[] = { 1, 2, 3, 0, 11, 12, 13, 0 };
    for (size_t i = 0; i < sizeof pixels; ++i)
        EXPECT_EQ(info.bits[i], pixels[i]) << "byte " << i;

    EXPECT_EQ(surface->paletteCount(), 3);
    ColorTableEntry table[4];
    ASSERT_TRUE(surface->getPalette(0, 4, table).ok());
    EXPECT_EQ(table[2], (ColorTableEntry { 2, 0x40, 253, 0 }));
    EXPECT_EQ(table[3], ColorTableEntry {}) << "beyond the palette count";
    std::remove(path.c_str());
}

TEST(ImageLoading, PaletteCountsTheTableCannotHoldKeepThePlaceholder)
{
    std::string path = writeFile("palette", { 1 });
    struct Row {
        std::string name;
        int32_t paletteCount;
        bool hasPalette;
        size_t entries;
    };
    const Row rows[] = {
        { "too many entries", 300, true, 1 },
        { "negative", -1, true, 1 },
        { "no entries: no palette", 0, false, 0 },
        { "the whole table", 256, true, 256 },
    };
    for (const Row& row : rows) {
        CountingLibrary library;
        library.bitsPerPixel = 24;
        library.paletteCount = row.paletteCount;
        RefPtr<Surface> surface = loadImageFile(path, library);
        ASSERT_TRUE(surface) << row.name;
        ASSERT_EQ(surface->logicalPalette() != nullptr, row.hasPalette) << row.name;
        if (row.hasPalette) {
            EXPECT_EQ(surface->logicalPalette()->size(), row.entries) << row.name;
        }
    }
    std::remove(path.c_str());
}

// An uncompressed 8-bit BMP of 2 x 2 pixels with three palette entries, rows stored bottom up.
std::vector<uint8_t> smallBmp()
{
    std::vector<uint8_t> bytes = { 'B', 'M', 74, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0, // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 8, 0, 0, 0, // info header
        0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, //
        0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, // red, green, blue as blue, green, red, 0
        2, 0, 0, 0, // bottom row: blue, red
        1, 2, 0, 0 }; // top row: green, blue
    return bytes;
}

TEST(ImageLoading, AnEightBitBmpLoadsWithItsIndicesAndPalette)
{
    std::string path = writeFile("small.bmp", smallBmp());
    RefPtr<Surface> surface = loadImageFile(path);
    ASSERT_TRUE(surface);
    SurfaceInfo info;
    ASSERT_TRUE(surface->getInfo(info).ok());
    EXPECT_EQ(info.bitsPerPixel, 8);
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bits[0], 1);
    EXPECT_EQ(info.bits[1], 2);
    EXPECT_EQ(info.bits[4], 2);
    EXPECT_EQ(info.bits[5], 0);
    EXPECT_EQ(surface->paletteCount(), 3);
    ColorTableEntry table[3];
    ASSERT_TRUE(surface->getPalette(0, 3, table).ok());
    EXPECT_EQ(table[0], (ColorTableEntry { 0, 0, 255, 0 }));
    EXPECT_EQ(table[1], (ColorTableEntry { 0, 255, 0, 0 }));
    EXPECT_EQ(table[2], (ColorTableEntry { 255, 0, 0, 0 }));
    std::remove(path.c_str());
}

TEST(ImageLoading, AShiftJisNameFindsTheFileOfThatName)
{
    // The file is named in the file system's encoding (UTF-8 "画像.bmp"); the document names it
    // in Shift-JIS.
    std::string path = writeFile("\xe7\x94\xbb\xe5\x83\x8f.bmp", smallBmp());
    std::string shiftJisPath = temporaryPath("\x89\xe6\x91\x9c.bmp");
    RefPtr<Surface> surface = loadImageFile(shiftJisPath);
    ASSERT_TRUE(surface);
    SurfaceInfo info;
    ASSERT_TRUE(surface->getInfo(info).ok());
    EXPECT_EQ(info.width, 2);
    std::remove(path.c_str());
}

TEST(ImageLoading, MissingDamagedAndTruncatedFilesGiveNoSurface)
{
    std::vector<uint8_t> bmp = smallBmp();
    struct Row {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        { "empty", {} },
        { "text", { 'h', 'e', 'l', 'l', 'o', '\n' } },
        { "BMP without its last row", std::vector<uint8_t>(bmp.begin(), bmp.end() - 4) },
        { "BMP cut in its palette", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 60) },
        { "BMP file header only", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 14) },
    };
    for (const Row& row : rows) {
        std::string path = writeFile("damaged", row.bytes);
        EXPECT_FALSE(loadImageFile(path)) << row.name;
        std::remove(path.c_str());
    }
    EXPECT_FALSE(loadImageFile(temporaryPath("missing.png")));
}

}
}
