// The program's image library: pictures with a palette keep their indices and palette (BMP, PNG
// and GIF), all others come as blue, green, red bytes; damaged and truncated files are refused at
// the header step and leave nothing behind.
#include <platform/GifReader.h>
#include <platform/ImageLibrary.h>

#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace nimbolt::test {
namespace {

using Bytes = std::vector<uint8_t>;

void putLittleEndian(Bytes& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// An uncompressed 8-bit BMP, rows stored bottom up, palette entries (red, green, blue).
Bytes makeBmp8(int32_t width, int32_t height, const std::vector<QRgb>& palette,
    const std::vector<std::vector<uint8_t>>& rows)
{
    auto stride = static_cast<uint32_t>((width + 3) & ~3);
    auto paletteBytes = static_cast<uint32_t>(palette.size() * 4);
    uint32_t offset = 14 + 40 + paletteBytes;
    Bytes bytes { 'B', 'M' };
    putLittleEndian(bytes, offset + stride * static_cast<uint32_t>(height), 4);
    putLittleEndian(bytes, 0, 4);
    putLittleEndian(bytes, offset, 4);
    putLittleEndian(bytes, 40, 4);
    putLittleEndian(bytes, static_cast<uint32_t>(width), 4);
    putLittleEndian(bytes, static_cast<uint32_t>(height), 4);
    putLittleEndian(bytes, 1, 2);
    putLittleEndian(bytes, 8, 2);
    putLittleEndian(bytes, 0, 4);
    putLittleEndian(bytes, stride * static_cast<uint32_t>(height), 4);
    putLittleEndian(bytes, 2835, 4);
    putLittleEndian(bytes, 2835, 4);
    putLittleEndian(bytes, static_cast<uint32_t>(palette.size()), 4);
    putLittleEndian(bytes, 0, 4);
    for (QRgb color : palette) {
        bytes.push_back(static_cast<uint8_t>(qBlue(color)));
        bytes.push_back(static_cast<uint8_t>(qGreen(color)));
        bytes.push_back(static_cast<uint8_t>(qRed(color)));
        bytes.push_back(0);
    }
    for (int32_t y = height - 1; y >= 0; --y) {
        for (uint32_t x = 0; x < stride; ++x)
            bytes.push_back(x < static_cast<uint32_t>(width) ? rows[static_cast<size_t>(y)][x] : 0);
    }
    return bytes;
}

Bytes saveWithQt(const QImage& image, const char* format, int quality = -1)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality));
    return Bytes(data.begin(), data.end());
}

int writeToBytes(GifFileType* gif, const GifByteType* data, int length)
{
    auto* bytes = static_cast<Bytes*>(gif->UserData);
    bytes->insert(bytes->end(), data, data + length);
    return length;
}

// A GIF written with giflib's encoder. For an interlaced picture the rows are written in the
// interlaced order, as the format stores them.
Bytes makeGif(int32_t width, int32_t height, const std::vector<QRgb>& palette,
    const std::vector<std::vector<uint8_t>>& rows, bool interlaced)
{
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, writeToBytes, &error);
    EXPECT_NE(gif, nullptr);
    std::vector<GifColorType> colors;
    for (QRgb color : palette)
        colors.push_back({ static_cast<GifByteType>(qRed(color)), static_cast<GifByteType>(qGreen(color)),
            static_cast<GifByteType>(qBlue(color)) });
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, 8, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr), GIF_OK);
    std::vector<int32_t> order;
    if (interlaced) {
        for (int32_t y = 0; y < height; y += 8)
            order.push_back(y);
        for (int32_t y = 4; y < height; y += 8)
            order.push_back(y);
        for (int32_t y = 2; y < height; y += 4)
            order.push_back(y);
        for (int32_t y = 1; y < height; y += 2)
            order.push_back(y);
    } else {
        for (int32_t y = 0; y < height; ++y)
            order.push_back(y);
    }
    for (int32_t y : order) {
        std::vector<GifPixelType> line(
            rows[static_cast<size_t>(y)].begin(), rows[static_cast<size_t>(y)].end());
        EXPECT_EQ(EGifPutLine(gif, line.data(), width), GIF_OK);
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return bytes;
}

struct Decoded {
    int32_t header { 0 };
    KalvixImageRecord record;
    int32_t stride { 0 };
    Bytes pixels;

    uint8_t* at(int32_t x, int32_t y)
    {
        return pixels.data() + y * stride + x * record.destinationBitsPerPixel / 8;
    }
};

// Runs the three steps over the bytes as an open file, decoding into a destination of the given
// depth (the picture's own when 0).
Decoded decode(const Bytes& bytes, int32_t depth = 0)
{
    Decoded result;
    Bytes copy = bytes;
    std::FILE* file = copy.empty() ? std::tmpfile() : fmemopen(copy.data(), copy.size(), "rb");
    EXPECT_NE(file, nullptr);
    ImageLibrary& library = systemImageLibrary();
    result.record.file = file;
    result.header = library.kalvixReadHeader(result.record);
    if (result.header > 0) {
        KalvixImageRecord& record = result.record;
        record.destinationBitsPerPixel = depth ? depth : record.bitsPerPixel;
        result.stride = ((record.width * record.destinationBitsPerPixel + 31) & ~31) / 8;
        result.pixels.assign(static_cast<size_t>(result.stride * record.height), 0xEE);
        record.destination = result.pixels.data();
        record.destinationStride = result.stride;
        EXPECT_GT(library.kalvixDecode(record), 0);
        library.kalvixEnd(record);
        EXPECT_EQ(record.libraryState, nullptr);
    } else {
        EXPECT_EQ(result.record.libraryState, nullptr) << "a refused header keeps nothing";
    }
    std::fclose(file);
    return result;
}

const std::vector<QRgb> FourColours = { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(10, 20, 30) };
const std::vector<std::vector<uint8_t>> ThreeByTwo = { { 0, 1, 2 }, { 3, 2, 1 } };

QImage indexedThreeByTwo()
{
    QImage image(3, 2, QImage::Format_Indexed8);
    image.setColorTable(QList<QRgb>(FourColours.begin(), FourColours.end()));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, ThreeByTwo[static_cast<size_t>(y)][static_cast<size_t>(x)]);
    }
    return image;
}

TEST(SystemImageLibrary, IndexedPicturesKeepTheirIndicesAndPalette)
{
    struct Row {
        std::string name;
        Bytes file;
    };
    const Row rows[] = {
        { "BMP written by hand", makeBmp8(3, 2, FourColours, ThreeByTwo) },
        { "PNG", saveWithQt(indexedThreeByTwo(), "PNG") },
        { "GIF", makeGif(3, 2, FourColours, ThreeByTwo, false) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Decoded decoded = decode(row.file);
        ASSERT_GT(decoded.header, 0);
        EXPECT_EQ(decoded.record.width, 3);
        EXPECT_EQ(decoded.record.height, 2);
        EXPECT_EQ(decoded.record.bitsPerPixel, 8);
        EXPECT_EQ(decoded.record.paletteCount, 4);
        const ColorTableEntry expected[]
            = { { 0, 0, 255, 0 }, { 0, 255, 0, 0 }, { 255, 0, 0, 0 }, { 30, 20, 10, 0 } };
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(decoded.record.palette[i], expected[i]) << "entry " << i;
        // Rows top down, each padded to 4 bytes (the padding is left alone).
        const uint8_t pixels[] = { 0, 1, 2, 0xEE, 3, 2, 1, 0xEE };
        ASSERT_EQ(decoded.pixels.size(), sizeof pixels);
        for (size_t i = 0; i < sizeof pixels; ++i)
            EXPECT_EQ(decoded.pixels[i], pixels[i]) << "byte " << i;
    }
}

TEST(SystemImageLibrary, InterlacedGifRowsComeBackInOrder)
{
    std::vector<std::vector<uint8_t>> rows;
    for (uint8_t y = 0; y < 11; ++y)
        rows.push_back({ y, static_cast<uint8_t>(y + 1) });
    std::vector<QRgb> palette(16, qRgb(0, 0, 0));
    Decoded decoded = decode(makeGif(2, 11, palette, rows, true));
    ASSERT_GT(decoded.header, 0);
    for (int32_t y = 0; y < 11; ++y) {
        EXPECT_EQ(*decoded.at(0, y), y) << y;
        EXPECT_EQ(*decoded.at(1, y), y + 1) << y;
    }
}

TEST(SystemImageLibrary, IndexedPicturesDecodeIntoWiderDestinations)
{
    Decoded wide = decode(makeBmp8(3, 2, FourColours, ThreeByTwo), 24);
    ASSERT_GT(wide.header, 0);
    const uint8_t firstRow[] = { 0, 0, 255, 0, 255, 0, 255, 0, 0 };
    for (size_t i = 0; i < sizeof firstRow; ++i)
        EXPECT_EQ(wide.pixels[i], firstRow[i]) << "byte " << i;
    Decoded sixteen = decode(makeBmp8(3, 2, FourColours, ThreeByTwo), 16);
    ASSERT_GT(sixteen.header, 0);
    // Entry 3 (10, 20, 30): 1 << 10 | 2 << 5 | 3 = 0x0443.
    EXPECT_EQ(sixteen.at(0, 1)[0], 0x43);
    EXPECT_EQ(sixteen.at(0, 1)[1], 0x04);
}

TEST(SystemImageLibrary, OneBitPicturesBecomeEightBitsWithTheirTwoColours)
{
    QImage mono(9, 2, QImage::Format_Mono);
    mono.setColorTable({ qRgb(0, 0, 0), qRgb(200, 100, 50) });
    mono.fill(0);
    mono.setPixel(8, 1, 1);
    Decoded decoded = decode(saveWithQt(mono, "PNG"));
    ASSERT_GT(decoded.header, 0);
    EXPECT_EQ(decoded.record.bitsPerPixel, 8);
    EXPECT_EQ(decoded.record.paletteCount, 2);
    EXPECT_EQ(decoded.record.palette[1], (ColorTableEntry { 50, 100, 200, 0 }));
    EXPECT_EQ(*decoded.at(8, 1), 1);
    EXPECT_EQ(*decoded.at(7, 1), 0);
}

TEST(SystemImageLibrary, TrueColourPicturesBecomeBlueGreenRed)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(200, 100, 50));
    image.setPixel(7, 7, qRgb(1, 2, 3));

    Decoded png = decode(saveWithQt(image, "PNG"));
    ASSERT_GT(png.header, 0);
    EXPECT_EQ(png.record.bitsPerPixel, 24);
    EXPECT_EQ(png.record.paletteCount, 0);
    EXPECT_EQ(png.at(0, 0)[0], 50);
    EXPECT_EQ(png.at(0, 0)[1], 100);
    EXPECT_EQ(png.at(0, 0)[2], 200);
    EXPECT_EQ(png.at(7, 7)[0], 3);
    EXPECT_EQ(png.at(7, 7)[2], 1);

    image.fill(QColor(200, 100, 50));
    Decoded jpeg = decode(saveWithQt(image, "JPEG", 100));
    ASSERT_GT(jpeg.header, 0);
    EXPECT_EQ(jpeg.record.bitsPerPixel, 24);
    EXPECT_NEAR(jpeg.at(3, 3)[0], 50, 3);
    EXPECT_NEAR(jpeg.at(3, 3)[1], 100, 3);
    EXPECT_NEAR(jpeg.at(3, 3)[2], 200, 3);
}

TEST(SystemImageLibrary, DamagedAndTruncatedFilesAreRefused)
{
    Bytes bmp = makeBmp8(3, 2, FourColours, ThreeByTwo);
    QImage truecolour(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            truecolour.setPixel(x, y, qRgb(x * 16, y * 16, (x * y) & 255));
    }
    Bytes png = saveWithQt(truecolour, "PNG");
    Bytes jpeg = saveWithQt(truecolour, "JPEG", 90);
    Bytes gif = makeGif(3, 2, FourColours, ThreeByTwo, false);
    auto cut = [](const Bytes& bytes, size_t keep) {
        return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(keep));
    };
    Bytes hugeBmp = bmp;
    hugeBmp[18] = 0xA0; // width 0x0186A0 = 100000, far beyond the largest picture
    hugeBmp[19] = 0x86;
    hugeBmp[20] = 0x01;

    struct Row {
        std::string name;
        Bytes file;
    };
    const Row rows[] = {
        { "empty file", {} },
        { "garbage", Bytes(100, 0x5A) },
        { "BMP signature and garbage", Bytes { 'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13 } },
        { "BMP without its last row", cut(bmp, bmp.size() - 4) },
        { "BMP header only", cut(bmp, 54) },
        { "BMP wider than any picture", hugeBmp },
        { "PNG cut in its data", cut(png, png.size() / 2) },
        { "PNG without its end", cut(png, png.size() - 12) },
        { "JPEG cut in its scan", cut(jpeg, jpeg.size() - 40) },
        { "JPEG header only", cut(jpeg, 20) },
        { "GIF cut in its data", cut(gif, gif.size() - 6) },
        { "GIF header only", cut(gif, 13) },
    };
    for (const Row& row : rows)
        EXPECT_LE(decode(row.file).header, 0) << row.name;
}

// A run-length coded BMP: compression 1 (8 bits) or 2 (4 bits), a palette of the given colours
// and the coded pixel data as given.
Bytes makeRleBmp(int32_t width, int32_t height, uint32_t compression, const std::vector<QRgb>& palette,
    const Bytes& data)
{
    auto paletteBytes = static_cast<uint32_t>(palette.size() * 4);
    uint32_t offset = 14 + 40 + paletteBytes;
    Bytes bytes { 'B', 'M' };
    putLittleEndian(bytes, offset + static_cast<uint32_t>(data.size()), 4);
    putLittleEndian(bytes, 0, 4);
    putLittleEndian(bytes, offset, 4);
    putLittleEndian(bytes, 40, 4);
    putLittleEndian(bytes, static_cast<uint32_t>(width), 4);
    putLittleEndian(bytes, static_cast<uint32_t>(height), 4);
    putLittleEndian(bytes, 1, 2);
    putLittleEndian(bytes, compression == 2 ? 4 : 8, 2);
    putLittleEndian(bytes, compression, 4);
    putLittleEndian(bytes, static_cast<uint32_t>(data.size()), 4);
    putLittleEndian(bytes, 2835, 4);
    putLittleEndian(bytes, 2835, 4);
    putLittleEndian(bytes, static_cast<uint32_t>(palette.size()), 4);
    putLittleEndian(bytes, 0, 4);
    for (QRgb color : palette) {
        bytes.push_back(static_cast<uint8_t>(qBlue(color)));
        bytes.push_back(static_cast<uint8_t>(qGreen(color)));
        bytes.push_back(static_cast<uint8_t>(qRed(color)));
        bytes.push_back(0);
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// Coded rows come bottom row first. The full 6 x 4 picture: the bottom row has a run of three 1s
// and three literal pixels 2, 3, 1 (padded to an even length); the next a run of two 2s and an
// end of line; the next a single 3, then a delta of (2, 1) to x 3 of the top row, a run of two 1s
// and a run of five 2s of which only one fits; then the end of the bitmap, after which nothing
// counts.
const Bytes FullRle8 = {
    0x03, 0x01, 0x00, 0x03, 0x02, 0x03, 0x01, 0x00, 0x00, 0x00, // 1 1 1 | 2 3 1 | end of line
    0x02, 0x02, 0x00, 0x00, // 2 2 | end of line
    0x01, 0x03, 0x00, 0x02, 0x02, 0x01, 0x02, 0x01, 0x05, 0x02, // 3 | delta 2, 1 | 1 1 | 2 2 2 2 2
    0x00, 0x01, 0x04, 0x03, // end of bitmap, then a run that must be ignored
};

TEST(SystemImageLibrary, RunLengthCodedBmpsLeaveUncodedPixelsAtIndexZero)
{
    using Picture = std::vector<std::vector<uint8_t>>;
    struct Row {
        std::string name;
        Bytes file;
        Picture expected; // top row first
    };
    const Row rows[] = {
        { "runs, literals, end of line, delta, end of bitmap", makeRleBmp(6, 4, 1, FourColours, FullRle8),
            { { 0, 0, 0, 1, 1, 2 }, { 3, 0, 0, 0, 0, 0 }, { 2, 2, 0, 0, 0, 0 }, { 1, 1, 1, 2, 3, 1 } } },
        { "cut inside the literal pixels",
            makeRleBmp(6, 4, 1, FourColours, Bytes(FullRle8.begin(), FullRle8.begin() + 5)),
            { { 0, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 0, 0 }, { 1, 1, 1, 2, 0, 0 } } },
        { "cut inside the delta",
            makeRleBmp(6, 4, 1, FourColours, Bytes(FullRle8.begin(), FullRle8.begin() + 18)),
            { { 0, 0, 0, 0, 0, 0 }, { 3, 0, 0, 0, 0, 0 }, { 2, 2, 0, 0, 0, 0 }, { 1, 1, 1, 2, 3, 1 } } },
        { "no pixel data at all", makeRleBmp(6, 4, 1, FourColours, {}),
            { { 0, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 0, 0 } } },
        // Rows stored top down; the delta goes down past the last row, where nothing is written.
        { "negative height stores the top row first",
            makeRleBmp(2, -2, 1, FourColours, { 0x02, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00, 0x02, 0x00, 0x05, 0x02, 0x03 }),
            { { 1, 1 }, { 2, 0 } } },
        // Four bits: a run alternates the two nibbles; three literal nibbles take two bytes.
        { "four-bit runs and literals",
            makeRleBmp(5, 2, 2, FourColours, { 0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x31, 0x20, 0x00, 0x01 }),
            { { 3, 1, 2, 0, 0 }, { 1, 2, 1, 2, 1 } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Decoded decoded = decode(row.file);
        ASSERT_GT(decoded.header, 0);
        auto height = static_cast<int32_t>(row.expected.size());
        auto width = static_cast<int32_t>(row.expected[0].size());
        ASSERT_EQ(decoded.record.width, width);
        ASSERT_EQ(decoded.record.height, height);
        EXPECT_EQ(decoded.record.bitsPerPixel, 8);
        EXPECT_EQ(decoded.record.paletteCount, 4);
        EXPECT_EQ(decoded.record.palette[3], (ColorTableEntry { 30, 20, 10, 0 }));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x)
                EXPECT_EQ(*decoded.at(x, y), row.expected[static_cast<size_t>(y)][static_cast<size_t>(x)])
                    << x << "," << y;
        }
    }
}

TEST(SystemImageLibrary, DamagedRunLengthCodedBmpsAreRefused)
{
    Bytes fourBitDepth = makeRleBmp(6, 4, 1, FourColours, FullRle8);
    fourBitDepth[28] = 4; // RLE8 data claiming 4 bits per pixel
    Bytes pixelsPastTheEnd = makeRleBmp(6, 4, 1, FourColours, FullRle8);
    pixelsPastTheEnd[10] = 0xF0;
    pixelsPastTheEnd[11] = 0xFF;
    Bytes cutPalette = makeRleBmp(6, 4, 1, FourColours, {});
    cutPalette.resize(54 + 10);
    struct Row {
        std::string name;
        Bytes file;
    };
    const Row rows[] = {
        { "depth that does not match the coding", fourBitDepth },
        { "pixel data starting past the end of the file", pixelsPastTheEnd },
        { "palette cut short", cutPalette },
        { "larger than any picture", makeRleBmp(100000, 1, 1, FourColours, { 0x00, 0x01 }) },
    };
    for (const Row& row : rows)
        EXPECT_LE(decode(row.file).header, 0) << row.name;
}

// A GIF whose one frame (all index 1) may be larger than its logical screen.
Bytes makeGifFrame(int32_t screenWidth, int32_t screenHeight, int32_t frameWidth, int32_t frameHeight)
{
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, writeToBytes, &error);
    EXPECT_NE(gif, nullptr);
    GifColorType colors[2] = { { 0, 0, 0 }, { 255, 255, 255 } };
    ColorMapObject* map = GifMakeMapObject(2, colors);
    EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 1, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, frameWidth, frameHeight, false, nullptr), GIF_OK);
    std::vector<GifPixelType> line(static_cast<size_t>(frameWidth), 1);
    for (int32_t y = 0; y < frameHeight; ++y)
        EXPECT_EQ(EGifPutLine(gif, line.data(), frameWidth), GIF_OK);
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return bytes;
}

// The frame is decoded line by line whether or not it lies on the screen, so its own area is held
// to the pixel limit (16 here, to keep the frames small).
TEST(SystemImageLibrary, GifFramesLargerThanThePixelLimitAreRefused)
{
    struct Row {
        std::string name;
        int32_t frameWidth;
        int32_t frameHeight;
        bool accepted;
    };
    const Row rows[] = {
        { "4 x 4 frame: 16 pixels, at the limit", 4, 4, true },
        { "8 x 8 frame: 64 pixels on a 4-pixel screen", 8, 8, false },
        { "17 x 1 frame: one pixel over", 17, 1, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes file = makeGifFrame(2, 2, row.frameWidth, row.frameHeight);
        QImage picture = readGifPicture(file.data(), file.size(), 16384, 16);
        ASSERT_EQ(picture.isNull(), !row.accepted);
        if (row.accepted) {
            ASSERT_EQ(picture.size(), QSize(2, 2)) << "the screen's size";
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 2; ++x)
                    EXPECT_EQ(picture.pixelIndex(x, y), 1) << x << "," << y;
            }
        }
    }
}

// The size is checked before reading: a file one byte over the limit leaves the read position
// where it was. A file at the limit is read (and refused as no picture).
TEST(SystemImageLibrary, FilesOverTheSizeLimitAreRefusedUnread)
{
    struct Row {
        std::string name;
        int64_t size;
        long position; // after the header step
    };
    const Row rows[] = {
        { "one byte over the limit", MaxImageFileBytes + 1, 0 },
        { "at the limit", MaxImageFileBytes, static_cast<long>(MaxImageFileBytes) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(row.size)), 0);
        KalvixImageRecord record;
        record.file = file;
        EXPECT_LE(systemImageLibrary().kalvixReadHeader(record), 0);
        EXPECT_EQ(record.libraryState, nullptr);
        EXPECT_EQ(std::ftell(file), row.position);
        std::fclose(file);
    }
}

TEST(SystemImageLibrary, DecodeRefusesADestinationItCannotFill)
{
    Bytes png = saveWithQt(QImage(4, 4, QImage::Format_RGB32), "PNG");
    std::FILE* file = fmemopen(png.data(), png.size(), "rb");
    KalvixImageRecord record;
    record.file = file;
    ImageLibrary& library = systemImageLibrary();
    ASSERT_GT(library.kalvixReadHeader(record), 0);
    Bytes pixels(64, 0);
    record.destination = pixels.data();
    record.destinationBitsPerPixel = 8;
    record.destinationStride = 4;
    EXPECT_LT(library.kalvixDecode(record), 0) << "a true-colour picture has no indices";
    record.destinationBitsPerPixel = 24;
    record.destinationStride = 8;
    EXPECT_LT(library.kalvixDecode(record), 0) << "rows of 4 pixels need 12 bytes";
    for (uint8_t byte : pixels)
        EXPECT_EQ(byte, 0);
    library.kalvixEnd(record);
    std::fclose(file);
}

}
}
