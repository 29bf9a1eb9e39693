// The program's image library: BMP, PNG and JPEG through Qt's readers, run-length coded BMPs by
// our own decoder (every pixel the data leaves unset is index 0) and 16-bit BMPs by another (each
// channel widened to full brightness), GIF through giflib, and the one kind of PNG that Qt
// misreads (16-bit truecolour with a colour key) through libpng. A picture with any pixel that is
// not fully opaque (PNG alpha, a PNG tRNS key or palette alpha, a GIF transparent index) comes as
// 32 bits with straight alpha; every other picture as it always did. The
// header step reads and decodes the whole file (Qt gives a picture's palette only with its
// pixels) and keeps the picture in the record until kalvixEnd; the decode step copies it into the
// destination. Damage that the readers would paper over (a BMP or JPEG cut short) is caught here
// before decoding.
#include <platform/GifReader.h>
#include <platform/ImageLibrary.h>
#include <platform/PixelTransfer.h>
#include <platform/PngKeyReader.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace nimbolt {

namespace {

enum class FileKind {
    Unknown,
    Bmp,
    Png,
    Jpeg,
    Gif,
};

struct DecodedPicture {
    QImage image; // Format_Indexed8, Format_BGR888 or Format_ARGB32
    ColorTableEntry table[ColorTableSize] {};
};

FileKind kindOf(const QByteArray& bytes)
{
    auto startsWith = [&](const char* prefix, qsizetype length) {
        return bytes.size() >= length
            && std::memcmp(bytes.constData(), prefix, static_cast<size_t>(length)) == 0;
    };
    if (startsWith("BM", 2))
        return FileKind::Bmp;
    if (startsWith("\x89PNG\r\n\x1a\n", 8))
        return FileKind::Png;
    if (startsWith("\xFF\xD8\xFF", 3))
        return FileKind::Jpeg;
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6))
        return FileKind::Gif;
    return FileKind::Unknown;
}

// Reads the file from its current position; false when it is longer than MaxImageFileBytes. A
// regular file that long is refused from its size alone, before any byte is read; other streams
// (pipes, memory) are cut off once the limit is passed.
bool readWholeFile(std::FILE* file, QByteArray& bytes)
{
    if (!file)
        return false;
    int descriptor = fileno(file);
    struct stat status {};
    if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)
        && static_cast<int64_t>(status.st_size) > MaxImageFileBytes)
        return false;
    char chunk[65536];
    for (;;) {
        size_t count = std::fread(chunk, 1, sizeof chunk, file);
        if (count > 0) {
            if (bytes.size() + static_cast<qsizetype>(count) > MaxImageFileBytes)
                return false;
            bytes.append(chunk, static_cast<qsizetype>(count));
        }
        if (count < sizeof chunk)
            return !std::ferror(file);
    }
}

uint32_t littleEndian(const QByteArray& bytes, qsizetype offset, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

bool fitsLimits(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= MaxPictureSide && height <= MaxPictureSide
        && width * height <= MaxPicturePixels;
}

QImage readWithQt(const QByteArray& bytes, const char* format);

struct BmpHeader {
    uint32_t pixelOffset { 0 };
    uint32_t infoSize { 0 };
    int64_t width { 0 };
    int64_t height { 0 }; // negative for rows stored top down
    uint32_t bitCount { 0 };
    uint32_t compression { 0 };
    uint32_t colorsUsed { 0 };
};

bool readBmpHeader(const QByteArray& bytes, BmpHeader& header)
{
    if (bytes.size() < 26)
        return false;
    header.pixelOffset = littleEndian(bytes, 10, 4);
    header.infoSize = littleEndian(bytes, 14, 4);
    if (header.infoSize == 12) {
        header.width = littleEndian(bytes, 18, 2);
        header.height = littleEndian(bytes, 20, 2);
        header.bitCount = littleEndian(bytes, 24, 2);
        return true;
    }
    if (header.infoSize < 40 || bytes.size() < 54)
        return false;
    header.width = static_cast<int32_t>(littleEndian(bytes, 18, 4));
    header.height = static_cast<int32_t>(littleEndian(bytes, 22, 4));
    header.bitCount = littleEndian(bytes, 28, 2);
    header.compression = littleEndian(bytes, 30, 4);
    header.colorsUsed = littleEndian(bytes, 46, 4);
    return true;
}

enum BmpCompression : uint32_t {
    BmpRgb = 0,
    BmpRle8 = 1,
    BmpRle4 = 2,
    BmpBitFields = 3,
    BmpAlphaBitFields = 6,
};

// The header must be sound and, for uncompressed pixels, the file long enough to hold them all
// (Qt's reader would fill the missing rows with zeros).
bool bmpIsComplete(const QByteArray& bytes)
{
    BmpHeader header;
    if (!readBmpHeader(bytes, header))
        return false;
    int64_t width = header.width;
    int64_t height = header.height < 0 ? -header.height : header.height;
    if (!fitsLimits(width, height))
        return false;
    bool uncompressed = header.compression == BmpRgb || header.compression == BmpBitFields
        || header.compression == BmpAlphaBitFields;
    if (!uncompressed)
        return true;
    if (header.bitCount == 0 || header.bitCount > 32)
        return false;
    int64_t stride = ((width * header.bitCount + 31) & ~int64_t { 31 }) / 8;
    return static_cast<int64_t>(header.pixelOffset) + stride * height <= bytes.size();
}

// Decodes run-length coded pixels (8 bits, or 4 bits packed two to a byte) into a zero-filled
// 8-bit picture. Pixels the data never sets (a line ended early, a delta skip, the bitmap ended
// early, data cut short) keep index 0; runs past the end of a row and rows past the last one are
// dropped, so nothing is written outside the picture. Decoding stops at the end-of-bitmap code
// or at the end of the data.
class RleDecoder {
public:
    RleDecoder(QImage& image, bool topDown, bool fourBits)
        : m_image(image)
        , m_topDown(topDown)
        , m_fourBits(fourBits)
    {
    }

    void decode(const uint8_t* data, size_t size)
    {
        size_t at = 0;
        while (at + 1 < size && m_y < m_image.height()) {
            uint8_t count = data[at], value = data[at + 1];
            at += 2;
            if (count > 0) {
                for (int i = 0; i < count; ++i)
                    put(m_fourBits ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
                continue;
            }
            if (value == 0) {
                m_x = 0;
                ++m_y;
            } else if (value == 1) {
                return;
            } else if (value == 2) {
                if (at + 1 >= size)
                    return;
                m_x += data[at];
                m_y += data[at + 1];
                at += 2;
            } else {
                // Absolute mode: value literal pixels, their bytes padded to a 16-bit boundary.
                size_t length = m_fourBits ? (value + 1u) / 2 : value;
                for (int i = 0; i < value; ++i) {
                    size_t byte = at + (m_fourBits ? static_cast<size_t>(i / 2) : static_cast<size_t>(i));
                    if (byte >= size)
                        return;
                    put(m_fourBits ? (i % 2 == 0 ? data[byte] >> 4 : data[byte] & 0x0F) : data[byte]);
                }
                at += length + length % 2;
            }
        }
    }

private:
    void put(int index)
    {
        if (m_x < m_image.width() && m_y < m_image.height()) {
            int64_t row = m_topDown ? m_y : m_image.height() - 1 - m_y;
            m_image.scanLine(static_cast<int>(row))[m_x] = static_cast<uchar>(index);
        }
        ++m_x;
    }

    QImage& m_image;
    bool m_topDown;
    bool m_fourBits;
    int64_t m_x { 0 };
    int64_t m_y { 0 }; // rows in the order the file stores them
};

// An RLE8 or RLE4 BMP as an 8-bit picture with its palette, or a null image when the header or
// palette is damaged or the picture too large.
QImage readRleBmp(const QByteArray& bytes, const BmpHeader& header)
{
    bool fourBits = header.compression == BmpRle4;
    if (header.infoSize < 40 || header.bitCount != (fourBits ? 4u : 8u))
        return {};
    int64_t width = header.width;
    int64_t height = header.height < 0 ? -header.height : header.height;
    if (!fitsLimits(width, height) || header.pixelOffset > static_cast<uint64_t>(bytes.size()))
        return {};
    uint32_t maxColors = fourBits ? 16 : 256;
    uint32_t colorCount = header.colorsUsed == 0 ? maxColors : std::min(header.colorsUsed, maxColors);
    int64_t paletteOffset = 14 + static_cast<int64_t>(header.infoSize);
    if (paletteOffset + 4 * static_cast<int64_t>(colorCount) > bytes.size())
        return {};
    QList<QRgb> table;
    for (uint32_t i = 0; i < colorCount; ++i) {
        qsizetype entry = static_cast<qsizetype>(paletteOffset + 4 * i);
        table.append(qRgb(static_cast<uint8_t>(bytes[entry + 2]), static_cast<uint8_t>(bytes[entry + 1]),
            static_cast<uint8_t>(bytes[entry])));
    }
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_Indexed8);
    if (image.isNull())
        return {};
    image.setColorTable(table);
    image.fill(0);
    RleDecoder decoder(image, header.height < 0, fourBits);
    decoder.decode(reinterpret_cast<const uint8_t*>(bytes.constData()) + header.pixelOffset,
        static_cast<size_t>(bytes.size()) - header.pixelOffset);
    return image;
}

// One channel of a 16-bit pixel as a byte: its bits repeated from the top down to the lowest
// bit of the byte, so that a full channel stays full (5 bits: 31 gives 255, 16 gives 132; 6 bits:
// 32 gives 130). A channel of more than 8 bits keeps its top 8.
uint8_t widenChannel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int bits = std::bit_width(mask >> shift);
    uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8)
        return static_cast<uint8_t>(value >> (bits - 8));
    uint32_t byte = 0;
    for (int at = 8 - bits;; at -= bits) {
        byte |= at >= 0 ? value << at : value >> -at;
        if (at <= 0)
            break;
    }
    return static_cast<uint8_t>(byte);
}

// An uncompressed 16-bit BMP (5-5-5, or the channel masks that follow a BI_BITFIELDS header) as
// bytes blue, green, red. Qt's reader widens a channel by a shift alone, which darkens every
// picture (31 gives 248). The caller has checked that all rows are there.
QImage readBmp16(const QByteArray& bytes, const BmpHeader& header)
{
    uint32_t masks[3] = { 0x7C00, 0x03E0, 0x001F }; // red, green, blue
    if (header.compression == BmpBitFields || header.compression == BmpAlphaBitFields) {
        if (bytes.size() < 54 + 12)
            return {};
        for (int i = 0; i < 3; ++i)
            masks[i] = littleEndian(bytes, 54 + 4 * i, 4);
    }
    int64_t width = header.width;
    int64_t height = header.height < 0 ? -header.height : header.height;
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    int64_t stride = ((width * 16 + 31) & ~int64_t { 31 }) / 8;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData()) + header.pixelOffset;
    for (int64_t row = 0; row < height; ++row) {
        const uint8_t* from = data + row * stride;
        uchar* to = image.scanLine(static_cast<int>(header.height < 0 ? row : height - 1 - row));
        for (int64_t x = 0; x < width; ++x) {
            uint32_t pixel = from[2 * x] | from[2 * x + 1] << 8;
            to[3 * x] = widenChannel(pixel, masks[2]);
            to[3 * x + 1] = widenChannel(pixel, masks[1]);
            to[3 * x + 2] = widenChannel(pixel, masks[0]);
        }
    }
    return image;
}

QImage readBmp(const QByteArray& bytes)
{
    BmpHeader header;
    if (!readBmpHeader(bytes, header))
        return {};
    if (header.compression == BmpRle8 || header.compression == BmpRle4)
        return readRleBmp(bytes, header);
    if (!bmpIsComplete(bytes))
        return {};
    bool uncompressed = header.compression == BmpRgb || header.compression == BmpBitFields
        || header.compression == BmpAlphaBitFields;
    if (uncompressed && header.bitCount == 16 && header.infoSize >= 40)
        return readBmp16(bytes, header);
    return readWithQt(bytes, "bmp");
}

// The entropy-coded data may not contain the end-of-image marker by accident (0xFF is always
// followed by 0x00 or a restart marker there), so an end marker after the first scan means
// the scan data is all present.
bool jpegIsComplete(const QByteArray& bytes)
{
    qsizetype scan = bytes.indexOf(QByteArrayView("\xFF\xDA", 2));
    return scan >= 0 && bytes.indexOf(QByteArrayView("\xFF\xD9", 2), scan + 2) >= 0;
}

QImage readWithQt(const QByteArray& bytes, const char* format)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    QSize size = reader.size();
    // Qt's BMP reader reads rows stored top down the right way up but gives them a negative
    // height here.
    size.setHeight(std::abs(size.height()));
    if (!size.isValid() || !fitsLimits(size.width(), size.height()))
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.size() != size)
        return {};
    return image;
}

QImage readPicture(const QByteArray& bytes)
{
    switch (kindOf(bytes)) {
    case FileKind::Bmp:
        return readBmp(bytes);
    case FileKind::Png: {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
        auto size = static_cast<size_t>(bytes.size());
        if (isKeyedPng16(data, size))
            return readKeyedPng16(data, size, MaxPictureSide, MaxPicturePixels);
        return readWithQt(bytes, "png");
    }
    case FileKind::Jpeg:
        return jpegIsComplete(bytes) ? readWithQt(bytes, "jpeg") : QImage();
    case FileKind::Gif:
        return readGifPicture(reinterpret_cast<const uint8_t*>(bytes.constData()),
            static_cast<size_t>(bytes.size()), MaxPictureSide, MaxPicturePixels);
    case FileKind::Unknown:
        break;
    }
    return {};
}

// An indexed picture as straight 32-bit pixels; indices past the colour table are opaque black.
QImage indexedToStraight(const QImage& image)
{
    QList<QRgb> table = image.colorTable();
    while (table.size() < ColorTableSize)
        table.append(qRgb(0, 0, 0));
    QImage straight(image.size(), QImage::Format_ARGB32);
    if (straight.isNull())
        return {};
    for (int y = 0; y < image.height(); ++y) {
        const uchar* from = image.constScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(straight.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            to[x] = table[from[x]];
    }
    return straight;
}

// The picture as straight 32-bit pixels when one of them is not fully opaque, else a null image.
QImage withTransparency(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return {};
    QImage straight;
    switch (image.format()) {
    case QImage::Format_Indexed8:
        straight = indexedToStraight(image);
        break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        straight = indexedToStraight(image.convertToFormat(QImage::Format_Indexed8, image.colorTable()));
        break;
    default:
        straight = image.convertToFormat(QImage::Format_ARGB32);
        break;
    }
    for (int y = 0; y < straight.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        for (int x = 0; x < straight.width(); ++x) {
            if (qAlpha(row[x]) != 255)
                return straight;
        }
    }
    return {};
}

// PNG and GIF pictures with transparency become straight 32-bit pixels (a BMP's alpha bytes are
// too often left unset to be trusted); pictures with a palette (of any bit count) stay indexed
// with it; everything else becomes bytes blue, green, red.
QImage normalise(QImage image, FileKind kind)
{
    if (kind == FileKind::Png || kind == FileKind::Gif) {
        if (QImage straight = withTransparency(image); !straight.isNull())
            return straight;
    }
    switch (image.format()) {
    case QImage::Format_Indexed8:
        return image;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return image.convertToFormat(QImage::Format_Indexed8, image.colorTable());
    default:
        return image.convertToFormat(QImage::Format_BGR888);
    }
}

class SystemImageLibrary final : public ImageLibrary {
public:
    int32_t kalvixReadHeader(KalvixImageRecord& record) override
    {
        QByteArray bytes;
        if (!readWholeFile(record.file, bytes))
            return 0;
        QImage image = normalise(readPicture(bytes), kindOf(bytes));
        if (image.isNull() || !fitsLimits(image.width(), image.height()))
            return 0;
        auto picture = std::make_unique<DecodedPicture>();
        picture->image = image;
        bool indexed = image.format() == QImage::Format_Indexed8;
        bool straight = image.format() == QImage::Format_ARGB32;
        int32_t colorCount
            = indexed ? static_cast<int32_t>(std::min<qsizetype>(image.colorCount(), ColorTableSize)) : 0;
        for (int32_t i = 0; i < colorCount; ++i) {
            QRgb rgb = image.color(i);
            picture->table[i] = { static_cast<uint8_t>(qBlue(rgb)), static_cast<uint8_t>(qGreen(rgb)),
                static_cast<uint8_t>(qRed(rgb)), 0 };
        }
        record.width = image.width();
        record.height = image.height();
        record.bitsPerPixel = indexed ? 8 : straight ? 32 : 24;
        record.paletteCount = colorCount;
        std::memcpy(record.palette, picture->table, sizeof record.palette);
        record.libraryState = picture.release();
        return 1;
    }

    int32_t kalvixDecode(KalvixImageRecord& record) override
    {
        auto* picture = static_cast<DecodedPicture*>(record.libraryState);
        if (!picture || !record.destination)
            return -1;
        const QImage& image = picture->image;
        bool indexed = image.format() == QImage::Format_Indexed8;
        bool straight = image.format() == QImage::Format_ARGB32;
        int32_t depth = record.destinationBitsPerPixel;
        if (!(depth == 16 || depth == 24 || (depth == 8 && indexed) || (depth == 32 && straight)))
            return -1;
        if (record.destinationStride < strideFor(image.width(), depth))
            return -1;
        PixelBuffer target { record.destination, image.width(), image.height(), record.destinationStride,
            depth, picture->table };
        if (depth == 8) {
            for (int32_t y = 0; y < image.height(); ++y)
                std::memcpy(target.row(y), image.constScanLine(y), static_cast<size_t>(image.width()));
            return 1;
        }
        PixelBuffer source { const_cast<uint8_t*>(image.constBits()), image.width(), image.height(),
            static_cast<int32_t>(image.bytesPerLine()), indexed ? 8 : straight ? 32 : 24, picture->table };
        copyPixels(target, 0, 0, source, source.bounds());
        return 1;
    }

    void kalvixEnd(KalvixImageRecord& record) override
    {
        delete static_cast<DecodedPicture*>(record.libraryState);
        record.libraryState = nullptr;
    }
};

}

ImageLibrary& systemImageLibrary()
{
    static SystemImageLibrary library;
    return library;
}

}
