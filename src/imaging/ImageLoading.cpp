#include <imaging/ImageLoading.h>

#include <platform/FileAccess.h>

namespace nimbolt {

RefPtr<Surface> loadImageFile(std::string_view path)
{
    return loadImageFile(path, systemImageLibrary());
}

RefPtr<Surface> loadImageFile(std::string_view path, ImageLibrary& library)
{
    std::FILE* file = openFileForReading(path);
    if (!file)
        return nullptr;
    RefPtr<Surface> surface = loadImageStream(file, library);
    std::fclose(file);
    return surface;
}

RefPtr<Surface> loadImageStream(std::FILE* file, ImageLibrary& library)
{
    if (!file)
        return nullptr;
    KalvixImageRecord record;
    record.file = file;
    if (library.kalvixReadHeader(record) <= 0)
        return nullptr;

    RefPtr<Surface> surface = createSurface(record.width, record.height, record.bitsPerPixel);
    if (!surface) {
        library.kalvixEnd(record);
        return nullptr;
    }
    SurfaceInfo info;
    if (!surface->lock(info).ok()) {
        library.kalvixEnd(record);
        return nullptr;
    }
    record.decodeReserved0 = 0;
    record.decodeReserved1 = 0;
    record.destination = info.bits;
    record.destinationStride = info.stride;
    record.destinationBitsPerPixel = info.bitsPerPixel;
    int32_t decoded = library.kalvixDecode(record);
    ignoreStatus(surface->unlock(info), "unlocking only counts the lock down");
    // A picture the library could not decode is no picture.
    if (decoded < 0) {
        library.kalvixEnd(record);
        return nullptr;
    }
    // A count the table cannot hold is refused and leaves the placeholder palette.
    ignoreStatus(surface->setPalette(0, record.paletteCount, record.palette),
        "a refused count keeps the placeholder palette");
    library.kalvixEnd(record);
    return surface;
}

}
