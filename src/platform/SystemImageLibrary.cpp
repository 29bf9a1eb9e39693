// The program's image library: BMP, PNG and JPEG through Qt's readers, GIF through giflib. The
// header step reads and decodes the whole file (Qt gives a picture's palette only with its
// pixels) and keeps the picture in the record until kalvixEnd; the decode step copies it into the
// destination. Damage that the readers would paper over (a BMP or JPEG cut short) is caught here
// before decoding.
#include "GifReader.h"
#include "ImageLibrary.h"
#include "PixelTransfer.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <memory>

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
    QImage image; // Format_Indexed8 or Format_BGR888
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

bool readWholeFile(std::FILE* file, QByteArray& bytes)
{
    if (!file)
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

// The header must be sound and, for uncompressed pixels, the file long enough to hold them all
// (Qt's reader would fill the missing rows with zeros).
bool bmpIsComplete(const QByteArray& bytes)
{
    if (bytes.size() < 26)
        return false;
    uint32_t pixelOffset = littleEndian(bytes, 10, 4);
    uint32_t infoSize = littleEndian(bytes, 14, 4);
    int64_t width = 0, height = 0;
    uint32_t bitCount = 0, compression = 0;
    if (infoSize == 12) {
        width = littleEndian(bytes, 18, 2);
        height = littleEndian(bytes, 20, 2);
        bitCount = littleEndian(bytes, 24, 2);
    } else if (infoSize >= 40 && bytes.size() >= 54) {
        width = static_cast<int32_t>(littleEndian(bytes, 18, 4));
        height = static_cast<int32_t>(littleEndian(bytes, 22, 4));
        bitCount = littleEndian(bytes, 28, 2);
        compression = littleEndian(bytes, 30, 4);
    } else {
        return false;
    }
    height = height < 0 ? -height : height;
    if (!fitsLimits(width, height))
        return false;
    bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed)
        return true;
    if (bitCount == 0 || bitCount > 32)
        return false;
    int64_t stride = ((width * bitCount + 31) & ~int64_t { 31 }) / 8;
    return static_cast<int64_t>(pixelOffset) + stride * height <= bytes.size();
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
        return bmpIsComplete(bytes) ? readWithQt(bytes, "bmp") : QImage();
    case FileKind::Png:
        return readWithQt(bytes, "png");
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

// Pictures with a palette (of any bit count) stay indexed with it; everything else becomes
// bytes blue, green, red.
QImage normalise(QImage image)
{
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
        QImage image = normalise(readPicture(bytes));
        if (image.isNull() || !fitsLimits(image.width(), image.height()))
            return 0;
        auto picture = std::make_unique<DecodedPicture>();
        picture->image = image;
        bool indexed = image.format() == QImage::Format_Indexed8;
        int32_t colorCount
            = indexed ? static_cast<int32_t>(std::min<qsizetype>(image.colorCount(), ColorTableSize)) : 0;
        for (int32_t i = 0; i < colorCount; ++i) {
            QRgb rgb = image.color(i);
            picture->table[i] = { static_cast<uint8_t>(qBlue(rgb)), static_cast<uint8_t>(qGreen(rgb)),
                static_cast<uint8_t>(qRed(rgb)), 0 };
        }
        record.width = image.width();
        record.height = image.height();
        record.bitsPerPixel = indexed ? 8 : 24;
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
        int32_t depth = record.destinationBitsPerPixel;
        if (!(depth == 16 || depth == 24 || (depth == 8 && indexed)))
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
            static_cast<int32_t>(image.bytesPerLine()), indexed ? 8 : 24, picture->table };
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
