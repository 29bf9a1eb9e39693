#include <imaging/Surface.h>

#include <platform/PixelTransfer.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace nimbolt {

RefPtr<Surface> createSurface(int32_t width, int32_t height, int32_t bitsPerPixel)
{
    if (width <= 0 || height <= 0 || (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32))
        return nullptr;
    int32_t stride = strideFor(width, bitsPerPixel);
    if (stride <= 0 || static_cast<int64_t>(stride) * height > Surface::MaxBytes)
        return nullptr;
    RefPtr<Surface> surface = adoptRef(new (std::nothrow) Surface);
    if (!surface)
        return nullptr;
    surface->m_memory.reset(
        new (std::nothrow) uint8_t[static_cast<size_t>(stride) * static_cast<size_t>(height)]());
    if (!surface->m_memory)
        return nullptr;
    surface->m_width = width;
    surface->m_height = height;
    surface->m_bitsPerPixel = bitsPerPixel;
    surface->m_stride = stride;
    surface->m_dc = std::make_unique<DeviceContext>(surface->pixels());
    surface->m_palette.assign(1, LogicalPaletteEntry {});
    surface->m_hasPalette = true;
    surface->m_paletteCount = 1;
    return surface;
}

Surface::~Surface()
{
    // The context points into the pixels; it goes first.
    m_dc.reset();
}

PixelBuffer Surface::ownPixels() const
{
    return { m_memory.get(), m_width, m_height, m_stride, m_bitsPerPixel, m_colorTable };
}

PixelBuffer Surface::pixels() const
{
    changing();
    return ownPixels();
}

Status Surface::getInfo(SurfaceInfo& info) const
{
    changing();
    info = { m_width, m_height, m_bitsPerPixel, m_stride, m_memory.get(), m_colorTable };
    return Status::Ok;
}

Status Surface::stretchDraw(DeviceContext& target, const Rect& targetRect, const Rect& sourceRect)
{
    target.stretchBlt(targetRect, ownPixels(), sourceRect);
    return Status::Ok;
}

Status Surface::draw(DeviceContext& target, int32_t x, int32_t y, const Rect& sourceRect)
{
    PixelBuffer converted;
    const PixelBuffer* source = convertedFor(target.memoryDepth(), converted);
    target.bitBlt(x, y, sourceRect.width(), sourceRect.height(), source ? *source : ownPixels(), sourceRect.left,
        sourceRect.top);
    return Status::Ok;
}

// The converted copy for a target of targetDepth bits, made when needed; null when the pixels
// are to be drawn as they are. Widening through the colour table is exact, so the copy holds
// exactly what a copy of the pixels themselves would write.
const PixelBuffer* Surface::convertedFor(int32_t targetDepth, PixelBuffer& converted)
{
    if (m_bitsPerPixel != 8 || (targetDepth != 16 && targetDepth != 24) || m_lockCount > 0)
        return nullptr;
    bool current = m_converted.memory && m_converted.bitsPerPixel == targetDepth
        && m_converted.generation == m_generation;
    if (!current) {
        bool drawnBefore = std::exchange(m_drawnGeneration, m_generation) == m_generation;
        if (!drawnBefore)
            return nullptr;
        int32_t stride = strideFor(m_width, targetDepth);
        if (!m_converted.memory || m_converted.bitsPerPixel != targetDepth) {
            m_converted.memory.reset(
                new (std::nothrow) uint8_t[static_cast<size_t>(stride) * static_cast<size_t>(m_height)]());
            if (!m_converted.memory)
                return nullptr;
        }
        m_converted.bitsPerPixel = targetDepth;
        m_converted.stride = stride;
        PixelBuffer copy { m_converted.memory.get(), m_width, m_height, stride, targetDepth, nullptr };
        copyPixels(copy, 0, 0, ownPixels(), { 0, 0, m_width, m_height });
        m_converted.generation = m_generation;
    }
    converted = { m_converted.memory.get(), m_width, m_height, m_converted.stride, targetDepth, nullptr };
    return &converted;
}

Status Surface::lock(SurfaceInfo& info)
{
    changing();
    ++m_lockCount;
    return getInfo(info);
}

Status Surface::unlock(const SurfaceInfo&)
{
    changing();
    --m_lockCount;
    return Status::Ok;
}

Status Surface::getDC(DeviceContext*& context)
{
    changing();
    context = m_dc.get();
    return Status::Ok;
}

Status Surface::releaseDC(DeviceContext*)
{
    changing();
    return Status::Ok;
}

Status Surface::setPalette(int32_t start, int32_t count, const ColorTableEntry* colors)
{
    if (start < 0 || start >= ColorTableSize || count < 0 || count > ColorTableSize - start
        || (count > 0 && !colors))
        return Status::Failed;
    changing();
    m_paletteCount = std::min(std::max(m_paletteCount, start + count), ColorTableSize);

    // Entries below start come from the colour table as it is, the rest from the new colours; the
    // static colours at both ends of the system palette may be merged, the others not.
    int32_t entryCount = start + count;
    m_palette.assign(static_cast<size_t>(entryCount), LogicalPaletteEntry {});
    for (int32_t i = 0; i < entryCount; ++i) {
        const ColorTableEntry& color = i < start ? m_colorTable[i] : colors[i - start];
        uint8_t flags = (i < 10 || i >= 246) ? 0 : PaletteNoCollapse;
        m_palette[static_cast<size_t>(i)] = { color.red, color.green, color.blue, flags };
    }
    // A palette of no entries cannot be made: the surface is then left without one.
    m_hasPalette = entryCount > 0;

    if (count > 0)
        std::memcpy(m_colorTable + start, colors, sizeof(ColorTableEntry) * static_cast<size_t>(count));
    return Status::Ok;
}

Status Surface::getPalette(int32_t start, int32_t count, ColorTableEntry* out) const
{
    if (start < 0 || start >= ColorTableSize || count < 0 || (count > 0 && !out))
        return Status::Failed;
    int32_t available = std::min(count, ColorTableSize - start);
    if (available > 0)
        std::memcpy(out, m_colorTable + start, sizeof(ColorTableEntry) * static_cast<size_t>(available));
    return Status::Ok;
}

}
