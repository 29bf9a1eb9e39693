#include <platform/GifReader.h>

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace nimbolt {

namespace {

struct MemoryInput {
    const uint8_t* bytes;
    size_t size;
    size_t offset;
};

int readInput(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    if (length <= 0)
        return 0;
    size_t count = std::min(static_cast<size_t>(length), input->size - input->offset);
    std::memcpy(buffer, input->bytes + input->offset, count);
    input->offset += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Reads past an extension; the transparent index of a graphic control extension goes to
// transparentIndex (-1 when it names none).
bool readExtension(GifFileType* gif, int& transparentIndex)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK)
        return false;
    GraphicsControlBlock control {};
    if (code == GRAPHICS_EXT_FUNC_CODE && block && DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
        transparentIndex = control.TransparentColor;
    while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK)
            return false;
    }
    return true;
}

// The row order of an interlaced image: every 8th row from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1.
std::vector<int32_t> rowOrder(int32_t height, bool interlaced)
{
    std::vector<int32_t> rows;
    rows.reserve(static_cast<size_t>(height));
    if (!interlaced) {
        for (int32_t y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    static constexpr int32_t starts[] = { 0, 4, 2, 1 };
    static constexpr int32_t steps[] = { 8, 8, 4, 2 };
    for (int pass = 0; pass < 4; ++pass) {
        for (int32_t y = starts[pass]; y < height; y += steps[pass])
            rows.push_back(y);
    }
    return rows;
}

}

QImage readGifPicture(const uint8_t* bytes, size_t size, int32_t maxSide, int64_t maxPixels)
{
    MemoryInput input { bytes, size, 0 };
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, readInput, &error));
    if (!gif)
        return {};

    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK)
            return {};
        if (type == EXTENSION_RECORD_TYPE) {
            if (!readExtension(gif.get(), transparentIndex))
                return {};
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return {};
        if (DGifGetImageDesc(gif.get()) != GIF_OK)
            return {};
        break;
    }

    const GifImageDesc& frame = gif->Image;
    // The frame's own lines are decoded whether or not they fall on the screen, so the frame is
    // held to the same limits as the picture.
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Width > maxSide || frame.Height > maxSide
        || static_cast<int64_t>(frame.Width) * frame.Height > maxPixels)
        return {};
    int32_t width = gif->SWidth > 0 ? gif->SWidth : frame.Width;
    int32_t height = gif->SHeight > 0 ? gif->SHeight : frame.Height;
    if (width > maxSide || height > maxSide || static_cast<int64_t>(width) * height > maxPixels)
        return {};

    QImage picture(width, height, QImage::Format_Indexed8);
    if (picture.isNull())
        return {};
    const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    QList<QRgb> table;
    if (colors && colors->Colors) {
        int count = std::clamp(colors->ColorCount, 0, 256);
        for (int i = 0; i < count; ++i)
            table.append(qRgb(colors->Colors[i].Red, colors->Colors[i].Green, colors->Colors[i].Blue));
    }
    if (transparentIndex >= 0 && transparentIndex < 256) {
        while (table.size() <= transparentIndex)
            table.append(qRgb(0, 0, 0));
        table[transparentIndex] &= 0x00FFFFFF;
    }
    picture.setColorTable(table);
    picture.fill(static_cast<uint>(gif->SBackGroundColor & 0xFF));

    std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
    for (int32_t row : rowOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) != GIF_OK)
            return {};
        int64_t y = static_cast<int64_t>(frame.Top) + row;
        if (y < 0 || y >= height)
            continue;
        int64_t left = frame.Left;
        int64_t first = std::max<int64_t>(0, -left);
        int64_t last = std::min<int64_t>(frame.Width, width - left);
        if (first < last)
            std::memcpy(picture.scanLine(static_cast<int>(y)) + left + first, line.data() + first,
                static_cast<size_t>(last - first));
    }
    return picture;
}

}
