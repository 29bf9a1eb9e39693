// A Surface is the system's one container of pixels: the back buffer of a document window, the
// picture of an Image, the target of image decoding. Its memory is ours, in the exact system
// formats (8-bit indices into a 256-entry colour table, 16-bit 5-5-5 words with bit 15 zero,
// 24-bit blue, green, red), rows top down, each `stride` bytes with the stride a multiple of 4.
// Pictures with transparency have a fourth format, 32 bits: the bytes blue, green, red, alpha in
// that order in memory, alpha 0 transparent ... 255 opaque, and the colour straight (not
// multiplied by the alpha). Straight colour is what the files hold, is exact to blend with an
// opacity on top, and is what a body shows where the desktop itself composites the window (the
// alpha going to the window's opacity). Back buffers are never 32 bits.
// Size and depth never change; the pixel memory, the colour table and the surface's own device
// context live exactly as long as the surface. The colour table starts black; the logical palette
// (the palette the surface shows its 8-bit colours with) starts as a one-entry placeholder.
#pragma once

#include <platform/DeviceContext.h>
#include <platform/PixelBuffer.h>
#include <platform/Rect.h>
#include <base/Ref.h>
#include <base/RefCounted.h>
#include <base/Status.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace nimbolt {

struct SurfaceInfo {
    int32_t width { 0 };
    int32_t height { 0 };
    int32_t bitsPerPixel { 0 };
    int32_t stride { 0 };
    uint8_t* bits { nullptr };
    // The 256-entry colour table of 8-bit pixels.
    const ColorTableEntry* colorTable { nullptr };

    PixelBuffer pixels() const { return { bits, width, height, stride, bitsPerPixel, colorTable }; }
};

// One entry of a logical palette: the colour in red, green, blue order and a flag byte.
struct LogicalPaletteEntry {
    uint8_t red { 0 };
    uint8_t green { 0 };
    uint8_t blue { 0 };
    uint8_t flags { 0 };

    friend constexpr bool operator==(const LogicalPaletteEntry&, const LogicalPaletteEntry&) = default;
};

// Flag of the palette entries that must not be merged with the display's own colours.
inline constexpr uint8_t PaletteNoCollapse = 4;

class Surface final : public RefCounted {
public:
    // The largest pixel memory a surface may have.
    static constexpr int64_t MaxBytes = 256 * 1024 * 1024;

    Status getInfo(SurfaceInfo& info) const;
    // Copies sourceRect of the surface onto targetRect of the target, scaling by picking pixels.
    Status stretchDraw(DeviceContext& target, const Rect& targetRect, const Rect& sourceRect);
    // Copies sourceRect of the surface unscaled to (x, y) of the target.
    Status draw(DeviceContext& target, int32_t x, int32_t y, const Rect& sourceRect);
    // lock counts up and fills the info; unlock counts down.
    Status lock(SurfaceInfo& info);
    Status unlock(const SurfaceInfo& info);
    // The surface's own device context, drawing into its pixels. It stays the surface's: the
    // caller must not keep it past the surface's life. Its state persists between calls.
    Status getDC(DeviceContext*& context);
    Status releaseDC(DeviceContext* context);
    // Sets colour-table entries start ... start + count - 1 and rebuilds the logical palette.
    // Refused (-1, nothing changed) when start < 0, start >= 256, count < 0, start + count > 256,
    // or colours are missing.
    Status setPalette(int32_t start, int32_t count, const ColorTableEntry* colors);
    // Copies colour-table entries from start; entries past 255 are not read (and out is left as
    // it is there). -1 when start is outside the table or count is negative.
    Status getPalette(int32_t start, int32_t count, ColorTableEntry* out) const;

    // The depth alone: unlike getInfo, it hands out no pixel memory, so a converted copy stays.
    int32_t bitsPerPixel() const { return m_bitsPerPixel; }
    int32_t lockCount() const { return m_lockCount; }
    int32_t paletteCount() const { return m_paletteCount; }
    // The logical palette, or null when the surface has none (after a palette of no entries).
    const std::vector<LogicalPaletteEntry>* logicalPalette() const
    {
        return m_hasPalette ? &m_palette : nullptr;
    }
    PixelBuffer pixels() const;

private:
    // An 8-bit surface drawn unchanged again and again into memory of 16 or 24 bits (a picture
    // background, at every repaint) keeps a copy converted to that depth. Anything that may
    // change the pixels or the colour table (a lock, the context, the pixel memory handed out by
    // getInfo or pixels, a new palette) counts up the generation, and a copy of another generation is made again.
    struct ConvertedCopy {
        std::unique_ptr<uint8_t[]> memory;
        int32_t bitsPerPixel { 0 };
        int32_t stride { 0 };
        uint64_t generation { 0 };
    };
    const PixelBuffer* convertedFor(int32_t targetDepth, PixelBuffer& converted);
    // The pixels for the surface's own reading, which changes nothing.
    PixelBuffer ownPixels() const;
    void changing() const { ++m_generation; }

    friend RefPtr<Surface> createSurface(int32_t, int32_t, int32_t);
    Surface() = default;
    ~Surface() override;

    int32_t m_lockCount { 0 };
    int32_t m_width { 0 };
    int32_t m_height { 0 };
    int32_t m_bitsPerPixel { 0 };
    int32_t m_stride { 0 };
    std::unique_ptr<uint8_t[]> m_memory;
    ColorTableEntry m_colorTable[ColorTableSize] {};
    std::unique_ptr<DeviceContext> m_dc;
    std::vector<LogicalPaletteEntry> m_palette;
    bool m_hasPalette { false };
    int32_t m_paletteCount { 1 };
    mutable uint64_t m_generation { 0 };
    // The generation last drawn, to make a converted copy only for a picture drawn twice unchanged.
    uint64_t m_drawnGeneration { UINT64_MAX };
    ConvertedCopy m_converted;
};

// A new zeroed surface with count 1, or null for a depth other than 8, 16, 24 or 32, a width or
// height of zero or less, or a size above Surface::MaxBytes.
RefPtr<Surface> createSurface(int32_t width, int32_t height, int32_t bitsPerPixel);

}
