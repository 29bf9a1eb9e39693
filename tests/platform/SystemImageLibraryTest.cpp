// The program's image library: indexed pictures keep indices and palette, pictures with alpha come
// as blue, green, red, alpha, others as blue, green, red; damaged files leave nothing behind.
#include <platform/GifReader.h>
#include <platform/ImageLibrary.h>

#include <support/PixelMemory.h>

#include <QBuffer>
#include <QImage>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

namespace nimbolt::test {
namespace {

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

// A GIF of one frame at (0, 0) on a screen of the given size, written with giflib's encoder, with
// a comment extension before the frame when asked. An interlaced frame's rows are written in the
// interlaced order, as the format stores them.
Bytes makeGif(int32_t screenWidth, int32_t screenHeight, const PixelMemory& frame, const Palette& palette,
    bool interlaced = false, bool comment = false, int transparentIndex = -1)
{
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, writeToBytes, &error);
    EGifSetGifVersion(gif, comment); // GIF89a only for the extension
    std::vector<GifColorType> colors;
    for (const ColorTableEntry& entry : palette)
        colors.push_back({ entry.red, entry.green, entry.blue });
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
    EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, map), GIF_OK);
    EXPECT_EQ(comment ? EGifPutComment(gif, "made by a test") : GIF_OK, GIF_OK);
    if (transparentIndex >= 0) { // a graphic control extension: flags (bit 0: transparent), delay, index
        const GifByteType control[] = { 1, 0, 0, static_cast<GifByteType>(transparentIndex) };
        EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control), GIF_OK);
    }
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, interlaced, nullptr), GIF_OK);
    const int32_t starts[] = { 0, 4, 2, 1 }, steps[] = { 8, 8, 4, 2 };
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
        for (int32_t y = interlaced ? starts[pass] : 0; y < frame.height; y += interlaced ? steps[pass] : 1) {
            auto row = frame.bytes.begin() + y * frame.stride;
            Bytes line(row, row + frame.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), frame.width), GIF_OK);
        }
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return bytes;
}

struct Decoded {
    int32_t header { 0 }, decoded { 0 };
    KalvixImageRecord record;
    int32_t stride { 0 };
    Bytes pixels;

    uint8_t* at(int32_t x, int32_t y) { return &pixels[y * stride + x * record.destinationBitsPerPixel / 8]; }
    std::string indices() const { return indexText(pixels.data(), stride, record.width, record.height); }
    Palette palette() const { return Palette(record.palette, record.palette + record.paletteCount); }
};

// Runs the three steps over the bytes as an open file, decoding into a destination of the given
// depth (the picture's own when 0) and stride (the padded row when 0), filled with 0xEE.
Decoded decode(const Bytes& bytes, int32_t depth = 0, int32_t stride = 0)
{
    Decoded result;
    Bytes copy = bytes;
    std::FILE* file = copy.empty() ? std::tmpfile() : fmemopen(copy.data(), copy.size(), "rb");
    ImageLibrary& library = systemImageLibrary();
    result.record.file = file;
    result.header = library.kalvixReadHeader(result.record);
    if (result.header > 0) {
        KalvixImageRecord& record = result.record;
        record.destinationBitsPerPixel = depth ? depth : record.bitsPerPixel;
        result.stride = stride ? stride : ((record.width * record.destinationBitsPerPixel + 31) & ~31) / 8;
        result.pixels.assign(static_cast<size_t>(result.stride * record.height), 0xEE);
        record.destination = result.pixels.data();
        record.destinationStride = result.stride;
        result.decoded = library.kalvixDecode(record);
        library.kalvixEnd(record);
    }
    EXPECT_EQ(result.record.libraryState, nullptr) << "nothing kept after the end, or after a refusal";
    std::fclose(file);
    return result;
}

// The 3 x 2 picture of smallBmp: the top row 0 1 2, the bottom row 3 2 1.
const char* const ThreeByTwo = "012/321";

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

Bytes rle8(const Bytes& data, int32_t width = 6, int32_t height = 4)
{
    return makeBmp(width, height, 8, 1, FourColours, data);
}

// A PNG file: the IHDR of the given size, depth and colour type, the chunks given (PLTE, tRNS),
// and the rows (each led by filter byte 0) deflated by zlib.
Bytes makePng(int32_t width, int32_t height, int depth, int colorType, const Bytes& rows,
    const std::vector<std::pair<std::string, Bytes>>& chunks = {})
{
    auto bigEndian = [](Bytes& out, uint32_t value) {
        for (int i = 3; i >= 0; --i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    Bytes file = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    auto chunk = [&](const std::string& type, const Bytes& data) {
        bigEndian(file, static_cast<uint32_t>(data.size()));
        Bytes body(type.begin(), type.end());
        body.insert(body.end(), data.begin(), data.end());
        file.insert(file.end(), body.begin(), body.end());
        bigEndian(file, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    Bytes header;
    bigEndian(header, static_cast<uint32_t>(width));
    bigEndian(header, static_cast<uint32_t>(height));
    header.insert(header.end(), { static_cast<uint8_t>(depth), static_cast<uint8_t>(colorType), 0, 0, 0 });
    chunk("IHDR", header);
    for (const auto& [type, data] : chunks)
        chunk(type, data);
    uLongf size = compressBound(rows.size());
    Bytes deflated(size);
    EXPECT_EQ(compress(deflated.data(), &size, rows.data(), rows.size()), Z_OK);
    deflated.resize(size);
    chunk("IDAT", deflated);
    chunk("IEND", {});
    return file;
}

// Rows come top down whatever the file's order; run-length coded BMPs leave uncoded pixels at
// index 0.
TEST(SystemImageLibrary, IndexedPicturesKeepTheirIndicesAndPalette)
{
    PixelMemory picture = PixelMemory::fromIndices(ThreeByTwo);
    const char* const tall = "01/12/23/34/45/56/67/78/89/9a/ab";
    const Bytes fourColours = { 255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30 }; // as PLTE
    struct Row { const char* what; Bytes file; const char* expected; Palette palette = FourColours; };
    const Row rows[] = {
        { "BMP", smallBmp(), ThreeByTwo },
        { "GIF", makeGif(3, 2, picture, FourColours), ThreeByTwo },
        { "GIF, a comment before the frame", makeGif(3, 2, picture, FourColours, false, true), ThreeByTwo },
        { "GIF, interlaced", makeGif(2, 11, PixelMemory::fromIndices(tall), Palette(16), true), tall, Palette(16) },
        { "GIF, its transparent index unused",
            makeGif(3, 2, PixelMemory::fromIndices("012/210"), FourColours, false, false, 3), "012/210" },
        { "PNG, tRNS all opaque", makePng(3, 1, 8, 3, { 0, 0, 1, 2 }, { { "PLTE", fourColours }, { "tRNS", { 255, 255 } } }),
            "012" },
        { "PNG, one bit per pixel becomes eight",
            makePng(9, 2, 1, 3, { 0, 0, 0, 0, 0, 0x80 }, { { "PLTE", { 0, 0, 0, 200, 100, 50 } } }),
            "000000000/000000001", { {}, { 50, 100, 200, 0 } } },
        { "runs, literals, line end, delta, bitmap end", rle8(FullRle8), "000112/300000/220000/111231" },
        { "cut inside the literal pixels", rle8(Bytes(FullRle8.begin(), FullRle8.begin() + 5)),
            "000000/000000/000000/111200" },
        { "cut inside the delta", rle8(Bytes(FullRle8.begin(), FullRle8.begin() + 18)),
            "000000/300000/220000/111231" },
        { "no pixel data at all", rle8({}), "000000/000000/000000/000000" },
        // Rows stored top down; the delta goes down past the last row, where nothing is written.
        { "uncompressed, negative height stores the top row first",
            makeBmp(3, -2, 8, 0, FourColours, { 0, 1, 2, 0, 3, 2, 1, 0 }), ThreeByTwo },
        { "negative height stores the top row first",
            rle8({ 0x02, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00, 0x02, 0x00, 0x05, 0x02, 0x03 }, 2, -2),
            "11/20" },
        // Four bits: a run alternates the two nibbles; three literal nibbles take two bytes.
        { "four-bit runs and literals",
            makeBmp(5, 2, 4, 2, FourColours, { 0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x31, 0x20, 0x00, 0x01 }),
            "31200/12121" },
    };
    for (const Row& row : rows) {
        Decoded decoded = decode(row.file);
        ASSERT_TRUE(decoded.header > 0 && decoded.decoded > 0) << row.what;
        EXPECT_EQ(decoded.record.bitsPerPixel, 8) << row.what;
        EXPECT_EQ(decoded.palette(), row.palette) << row.what;
        EXPECT_EQ(decoded.indices(), row.expected) << row.what;
        if (row.expected == ThreeByTwo) { // each row's padding left as it was
            EXPECT_EQ(decoded.pixels, (Bytes { 0, 1, 2, 0xEE, 3, 2, 1, 0xEE })) << row.what;
        }
    }
}

// A 16-bit BMP with BI_BITFIELDS: the three masks (red, green, blue) follow the 40-byte header
// where a palette would be, so they are handed to makeBmp as entries of their bytes 0, 1 and 2.
Bytes bitFieldsBmp(
    int32_t width, int32_t height, uint32_t red, uint32_t green, uint32_t blue, const Bytes& data)
{
    auto entry = [](uint32_t mask) {
        return ColorTableEntry { static_cast<uint8_t>(mask), static_cast<uint8_t>(mask >> 8),
            static_cast<uint8_t>(mask >> 16), 0 };
    };
    Bytes bytes = makeBmp(width, height, 16, 3, { entry(red), entry(green), entry(blue) }, data);
    std::fill(bytes.begin() + 46, bytes.begin() + 50, 0); // no colours used: the masks are no palette
    return bytes;
}

// Pixels as bytes row by row: blue, green, red (and alpha when the picture has it).
// 16-bit PNG samples become round(v / 257): 0x12FF (4863) gives 19, 0x8000 (32768) 128, 0x7F80
// (32640) 127. A 5-bit BMP channel widens by repeating its top bits (c << 3 | c >> 2): 31 gives
// 255, 16 gives 132, 1 gives 8; a 6-bit one as c << 2 | c >> 4: 32 gives 130, 63 gives 255.
TEST(SystemImageLibrary, TrueColourAndTransparentPicturesComeBlueFirst)
{
    const Bytes redGreenBlue = { 255, 0, 0, 0, 255, 0, 0, 0, 255 };
    struct Row { const char* what; Bytes file; int32_t bits; Bytes expected; int32_t depth = 0; };
    const Row rows[] = {
        { "RGBA, 8 bits", makePng(2, 1, 8, 6, { 0, 10, 20, 30, 0, 200, 100, 50, 128 }), 32,
            { 30, 20, 10, 0, 50, 100, 200, 128 } },
        { "RGBA, 16 bits", makePng(1, 1, 16, 6, { 0, 0x12, 0xFF, 0x80, 0x00, 0xFF, 0xFF, 0x7F, 0x80 }), 32,
            { 255, 128, 19, 127 } },
        { "grey and alpha", makePng(2, 1, 8, 4, { 0, 90, 0, 90, 200 }), 32, { 90, 90, 90, 0, 90, 90, 90, 200 } },
        { "palette, tRNS shorter than the palette",
            makePng(3, 1, 8, 3, { 0, 0, 1, 2 }, { { "PLTE", redGreenBlue }, { "tRNS", { 0, 100 } } }), 32,
            { 0, 0, 255, 0, 0, 255, 0, 100, 255, 0, 0, 255 } },
        // Qt's reader makes the keyed grey black; a pixel of alpha 0 never shows its colour.
        { "grey with a key", makePng(2, 1, 8, 0, { 0, 40, 41 }, { { "tRNS", { 0, 40 } } }), 32,
            { 0, 0, 0, 0, 41, 41, 41, 255 } },
        { "truecolour with a key", makePng(2, 1, 8, 2, { 0, 1, 2, 3, 1, 2, 4 }, { { "tRNS", { 0, 1, 0, 2, 0, 3 } } }),
            32, { 3, 2, 1, 0, 4, 2, 1, 255 } },
        // Both pixels reduce to (19, 3, 5); only the one equal to the key in all 16 bits is keyed.
        { "16-bit truecolour, the key compared before reduction",
            makePng(2, 1, 16, 2, { 0, 0x12, 0xFF, 0x03, 0x04, 0x05, 0x07, 0x12, 0xFE, 0x03, 0x04, 0x05, 0x07 },
                { { "tRNS", { 0x12, 0xFF, 0x03, 0x04, 0x05, 0x07 } } }),
            32, { 5, 3, 19, 0, 5, 3, 19, 255 } },
        // FourColours: 0 red, 1 green, 2 blue, 3 (10, 20, 30); index 2 (blue) is transparent.
        { "GIF transparent index", makeGif(3, 2, PixelMemory::fromIndices(ThreeByTwo), FourColours, false, false, 2),
            32, { 0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 0, 30, 20, 10, 255, 255, 0, 0, 0, 0, 255, 0, 255 } },
        { "truecolour PNG", makePng(2, 1, 8, 2, { 0, 200, 100, 50, 1, 2, 3 }), 24, { 50, 100, 200, 3, 2, 1 } },
        { "8-bit BMP onto 24 bits", smallBmp(), 8, { 0, 0, 255, 0, 255, 0, 255, 0, 0, 30, 20, 10, 255, 0, 0, 0, 255, 0 },
            24 },
        // Red 0x7C00, green 0x03E0, blue 0x001F; entry 3: 1 << 10 | 2 << 5 | 3 = 0x0443.
        { "8-bit BMP onto 16 bits", smallBmp(), 8, { 0, 0x7C, 0xE0, 0x03, 0x1F, 0, 0x43, 0x04, 0x1F, 0, 0xE0, 0x03 },
            16 },
        { "5-5-5 white, grey 16 and red 1",
            makeBmp(3, 1, 16, 0, {}, { 0xFF, 0x7F, 0x10, 0x42, 0x00, 0x04, 0, 0 }), 24,
            { 255, 255, 255, 132, 132, 132, 0, 0, 8 } },
        { "5-5-5 with its masks given",
            bitFieldsBmp(2, 1, 0x7C00, 0x03E0, 0x001F, { 0xFF, 0x7F, 0x10, 0x42 }), 24,
            { 255, 255, 255, 132, 132, 132 } },
        // 0x8410: red 16, green 32, blue 16.
        { "5-6-5", bitFieldsBmp(2, 1, 0xF800, 0x07E0, 0x001F, { 0xFF, 0xFF, 0x10, 0x84 }), 24,
            { 255, 255, 255, 132, 130, 132 } },
        { "5-5-5 bottom up: the last row is the top",
            makeBmp(1, 2, 16, 0, {}, { 0x1F, 0x00, 0, 0, 0x00, 0x7C, 0, 0 }), 24, { 0, 0, 255, 255, 0, 0 } },
        { "5-5-5 top down", makeBmp(1, -2, 16, 0, {}, { 0x1F, 0x00, 0, 0, 0x00, 0x7C, 0, 0 }), 24,
            { 255, 0, 0, 0, 0, 255 } },
        { "5-6-5 top down",
            bitFieldsBmp(1, -2, 0xF800, 0x07E0, 0x001F, { 0xE0, 0x07, 0, 0, 0x00, 0xF8, 0, 0 }), 24,
            { 0, 255, 0, 0, 0, 255 } },
        { "24 bits top down", makeBmp(1, -2, 24, 0, {}, { 10, 20, 30, 0, 40, 50, 60, 0 }), 24,
            { 10, 20, 30, 40, 50, 60 } },
    };
    for (const Row& row : rows) {
        Decoded decoded = decode(row.file, row.depth);
        ASSERT_TRUE(decoded.header > 0 && decoded.decoded > 0) << row.what;
        EXPECT_EQ(decoded.record.bitsPerPixel, row.bits) << row.what;
        EXPECT_EQ(decoded.record.paletteCount > 0, row.bits == 8) << row.what;
        Bytes pixels;
        for (int32_t y = 0; y < decoded.record.height; ++y)
            pixels.insert(pixels.end(), decoded.at(0, y), decoded.at(decoded.record.width, y));
        EXPECT_EQ(pixels, row.expected) << row.what;
    }
    EXPECT_LE(decode(makeBmp(1, -2, 16, 0, {}, { 0x1F, 0x00, 0, 0 })).header, 0) << "top down, a row missing";

    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(QColor(200, 100, 50));
    Decoded jpeg = decode(saveWithQt(image, "JPEG", 100));
    EXPECT_EQ(jpeg.record.bitsPerPixel, 24);
    EXPECT_LE(std::abs(jpeg.at(3, 3)[0] - 50) + std::abs(jpeg.at(3, 3)[2] - 200), 6) << "blue first, nearly";

    Bytes small = makePng(4, 1, 8, 2, Bytes(13, 0));
    Decoded indexed = decode(small, 8), narrow = decode(small, 24, 8);
    EXPECT_LT(indexed.decoded, 0) << "a true-colour picture has no indices";
    EXPECT_LT(narrow.decoded, 0) << "rows of 4 pixels need 12 bytes";
    EXPECT_EQ(indexed.pixels, Bytes(indexed.pixels.size(), 0xEE));
    EXPECT_EQ(narrow.pixels, Bytes(narrow.pixels.size(), 0xEE));
}

TEST(SystemImageLibrary, DamagedTruncatedAndOversizedFilesAndFramesAreRefused)
{
    Bytes bmp = smallBmp();
    QImage truecolour(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            truecolour.setPixel(x, y, qRgb(x * 16, y * 16, (x * y) & 255));
    Bytes png = saveWithQt(truecolour, "PNG"), jpeg = saveWithQt(truecolour, "JPEG", 90);
    Bytes gif = makeGif(3, 2, PixelMemory::fromIndices(ThreeByTwo), FourColours);
    auto cut = [](const Bytes& bytes, size_t keep) { return Bytes(bytes.begin(), bytes.begin() + keep); };
    auto changed = [](Bytes bytes, size_t at, std::initializer_list<uint8_t> values) {
        std::copy(values.begin(), values.end(), bytes.begin() + at);
        return bytes;
    };
    Bytes keyed = makePng(2, 1, 16, 2, Bytes(13, 0), { { "tRNS", Bytes(6, 0) } }); // its IDAT ends 12 bytes before the end
    struct Row { const char* what; Bytes file; };
    const Row rows[] = {
        { "empty file", {} },
        { "garbage", Bytes(100, 0x5A) },
        { "BMP signature and garbage", { 'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13 } },
        { "BMP without its last row", cut(bmp, bmp.size() - 4) },
        { "BMP header only", cut(bmp, 54) },
        { "BMP cut in its palette", cut(bmp, 60) },
        { "BMP 100000 pixels wide", changed(bmp, 18, { 0xA0, 0x86, 0x01 }) },
        { "PNG cut in its data", cut(png, png.size() / 2) },
        { "PNG without its end", cut(png, png.size() - 12) },
        { "16-bit keyed PNG cut in its data", cut(keyed, keyed.size() - 20) },
        { "16-bit keyed PNG 100000 pixels wide", changed(keyed, 16, { 0, 1, 0x86, 0xA0 }) },
        { "JPEG cut in its scan", cut(jpeg, jpeg.size() - 40) },
        { "JPEG header only", cut(jpeg, 20) },
        { "GIF cut in its data", cut(gif, gif.size() - 6) },
        { "GIF header only", cut(gif, 13) },
        { "run-length data claiming 4 bits per pixel", changed(rle8(FullRle8), 28, { 4 }) },
        { "run-length data starting past the end", changed(rle8(FullRle8), 10, { 0xF0, 0xFF }) },
        { "run-length palette cut short", cut(rle8({}), 54 + 10) },
        { "run-length picture 100000 pixels wide", rle8({ 0x00, 0x01 }, 100000, 1) },
    };
    for (const Row& row : rows)
        EXPECT_LE(decode(row.file).header, 0) << row.what;

    // The size is checked before reading: a file one byte over the limit leaves the read position
    // where it was. A file at the limit is read (and refused as no picture).
    for (int64_t size : { MaxImageFileBytes + 1, MaxImageFileBytes }) {
        std::FILE* file = std::tmpfile();
        ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(size)), 0);
        KalvixImageRecord record;
        record.file = file;
        EXPECT_LE(systemImageLibrary().kalvixReadHeader(record), 0);
        EXPECT_EQ(record.libraryState, nullptr);
        EXPECT_EQ(std::ftell(file), size > MaxImageFileBytes ? 0 : size) << size;
        std::fclose(file);
    }

    // A GIF frame is decoded line by line whether or not it lies on the screen, so its own area is
    // held to the pixel limit (16 here, to keep the frames small).
    struct GifRow { const char* what; int32_t frameWidth, frameHeight; bool accepted; };
    const GifRow gifRows[] = {
        { "4 x 4 frame: 16 pixels, at the limit", 4, 4, true },
        { "8 x 8 frame: 64 pixels on a 4-pixel screen", 8, 8, false },
        { "17 x 1 frame: one pixel over", 17, 1, false },
    };
    for (const GifRow& row : gifRows) {
        PixelMemory frame(row.frameWidth, row.frameHeight, 8);
        std::fill(frame.bytes.begin(), frame.bytes.end(), 1);
        Bytes file = makeGif(2, 2, frame, FourColours);
        QImage picture = readGifPicture(file.data(), file.size(), 16384, 16);
        ASSERT_EQ(picture.isNull(), !row.accepted) << row.what;
        if (row.accepted) {
            ASSERT_EQ(picture.size(), QSize(2, 2)) << "the screen's size";
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(picture.pixelIndex(i % 2, i / 2), 1);
        }
    }
}

}
}
