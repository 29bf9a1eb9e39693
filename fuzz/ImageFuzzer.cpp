// Feeds arbitrary bytes to the image library through the same loading path as a picture file
// (an open FILE over the bytes), then uses whatever picture comes out the way the program does:
// checks its size and depth against the loader's promises, reads every pixel through a window
// shape, and draws it scaled and blended into small surfaces of both back-buffer depths.
#include <imaging/Blend.h>
#include <imaging/ImageLoading.h>
#include <imaging/WindowShape.h>

#include <cstdint>
#include <cstdio>
#include <vector>

using namespace nimbolt;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void usePicture(Surface& picture)
{
    SurfaceInfo info;
    check(picture.getInfo(info).ok());
    check(info.width > 0 && info.height > 0 && info.width <= MaxPictureSide && info.height <= MaxPictureSide);
    check(info.bitsPerPixel == 8 || info.bitsPerPixel == 24);
    check(picture.paletteCount() >= 1 && picture.paletteCount() <= 256);

    if (info.bitsPerPixel == 8) {
        std::optional<Region> region = regionFromPixels(info, 0, 0, info.width, info.height, info.bits[0]);
        check(region.has_value());
        for (const Rect& rect : region->rects)
            check(rect.left >= 0 && rect.right <= info.width && rect.top >= 0 && rect.bottom <= info.height);
    }

    for (int32_t depth : { 16, 24 }) {
        RefPtr<Surface> target = createSurface(33, 17, depth);
        check(static_cast<bool>(target));
        DeviceContext* context = nullptr;
        check(target->getDC(context).ok());
        check(picture.stretchDraw(*context, { -3, 2, 40, 15 }, { 0, 0, info.width, info.height }).ok());
        check(picture.draw(*context, 5, -1, { 1, 1, info.width, info.height }).ok());
        if (info.bitsPerPixel == 24) {
            SurfaceInfo targetInfo;
            check(target->getInfo(targetInfo).ok());
            blendRect(targetInfo, -2, 3, info, { 0, 0, info.width, info.height }, 0x00FF00, 100);
        }
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::vector<uint8_t> bytes(data, data + size);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file)
        return 0;
    RefPtr<Surface> picture = loadImageStream(file, systemImageLibrary());
    std::fclose(file);
    if (picture)
        usePicture(*picture);
    return 0;
}
