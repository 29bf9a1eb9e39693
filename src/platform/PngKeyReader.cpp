#include <platform/PngKeyReader.h>

#include <cstring>
#include <csetjmp>
#include <memory>
#include <png.h>
#include <vector>

namespace nimbolt {

namespace {

uint32_t bigEndian32(const uint8_t* bytes)
{
    return uint32_t { bytes[0] } << 24 | uint32_t { bytes[1] } << 16 | uint32_t { bytes[2] } << 8 | bytes[3];
}

struct MemoryInput {
    const uint8_t* bytes;
    size_t size;
    size_t offset;
};

void readInput(png_structp png, png_bytep out, png_size_t length)
{
    auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (length > input->size - input->offset)
        png_error(png, "cut short");
    std::memcpy(out, input->bytes + input->offset, length);
    input->offset += length;
}

void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) { }

// What must outlive a jump back to the error point lives here, not in the jumping function's
// locals.
struct ReadState {
    png_structp png { nullptr };
    png_infop info { nullptr };
    QImage image;
    std::vector<png_bytep> rows;

    ~ReadState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

}

bool isKeyedPng16(const uint8_t* bytes, size_t size)
{
    // The signature, then IHDR (length 13) with its depth and colour type at bytes 24 and 25.
    if (size < 33 || std::memcmp(bytes + 12, "IHDR", 4) != 0 || bytes[24] != 16 || bytes[25] != 2)
        return false;
    for (size_t at = 8; at + 8 <= size;) {
        uint32_t length = bigEndian32(bytes + at);
        if (std::memcmp(bytes + at + 4, "tRNS", 4) == 0)
            return true;
        if (std::memcmp(bytes + at + 4, "IDAT", 4) == 0 || length > size - at - 8)
            return false;
        at += 12 + size_t { length };
    }
    return false;
}

QImage readKeyedPng16(const uint8_t* bytes, size_t size, int32_t maxSide, int64_t maxPixels)
{
    if (!isKeyedPng16(bytes, size))
        return {};
    uint32_t width = bigEndian32(bytes + 16), height = bigEndian32(bytes + 20);
    if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSide) || height > static_cast<uint32_t>(maxSide)
        || int64_t { width } * height > maxPixels)
        return {};
    auto state = std::make_unique<ReadState>();
    MemoryInput input { bytes, size, 0 };
    state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!state->png)
        return {};
    state->info = png_create_info_struct(state->png);
    if (!state->info)
        return {};
    if (setjmp(png_jmpbuf(state->png)))
        return {};
    png_set_read_fn(state->png, &input, readInput);
    png_read_info(state->png, state->info);
    png_set_tRNS_to_alpha(state->png);
    png_set_scale_16(state->png);
    png_set_bgr(state->png);
    png_set_interlace_handling(state->png);
    png_read_update_info(state->png, state->info);
    if (png_get_rowbytes(state->png, state->info) != size_t { width } * 4)
        return {};
    state->image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
    if (state->image.isNull())
        return {};
    for (int y = 0; y < static_cast<int>(height); ++y)
        state->rows.push_back(state->image.scanLine(y));
    png_read_image(state->png, state->rows.data());
    png_read_end(state->png, nullptr);
    return state->image;
}

}
