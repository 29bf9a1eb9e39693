// Surfaces: strides and refused sizes, the colour table and logical palette, and copies through
// the colour table, also after a change.
#include <imaging/Surface.h>

#include <support/PixelMemory.h>

#include <climits>
#include <gtest/gtest.h>
#include <tuple>

namespace nimbolt::test {
namespace {

TEST(Surface, SizesDepthsAndStrides)
{
    struct Row { const char* what; int32_t width, height, bitsPerPixel, stride; }; // stride 0: refused
    const Row rows[] = {
        { "1 x 1 at 8 bits", 1, 1, 8, 4 }, { "4 at 8 bits", 4, 3, 8, 4 }, { "5 at 8 bits", 5, 3, 8, 8 },
        { "2 at 16 bits", 2, 3, 16, 4 }, { "5 at 16 bits", 5, 3, 16, 12 }, { "1 at 24 bits", 1, 3, 24, 4 },
        { "4 at 24 bits", 4, 3, 24, 12 }, { "no width", 0, 5, 24, 0 }, { "no height", 5, 0, 24, 0 },
        { "negative width", -4, 5, 8, 0 }, { "negative height", 4, -5, 16, 0 }, { "3 at 32 bits", 3, 4, 32, 12 },
        { "1 bit", 4, 4, 1, 0 }, { "no depth", 4, 4, 0, 0 }, { "stride over 32 bits", INT32_MAX, 1, 24, 0 },
        { "4 bytes over the largest size", 4, (1 << 26) + 1, 8, 0 }, { "2^32 bytes", 65536, 65536, 8, 0 },
    };
    for (const Row& row : rows) {
        RefPtr<Surface> surface = createSurface(row.width, row.height, row.bitsPerPixel);
        ASSERT_EQ(static_cast<bool>(surface), row.stride > 0) << row.what;
        if (!surface)
            continue;
        SurfaceInfo info;
        EXPECT_TRUE(surface->getInfo(info).ok());
        EXPECT_EQ(std::tuple(info.width, info.height, info.bitsPerPixel, info.stride),
            std::tuple(row.width, row.height, row.bitsPerPixel, row.stride)) << row.what;
        Bytes bytes(info.bits, info.bits + info.stride * info.height);
        EXPECT_EQ(bytes, Bytes(bytes.size(), 0)) << "zeroed";
        EXPECT_EQ(surface->refCount(), 1) << "the caller's reference only";
    }
}

Palette ramp(int32_t count, int32_t seed)
{
    Palette colors;
    for (int32_t i = 0; i < count; ++i)
        colors.push_back({ uint8_t(seed + i), uint8_t(100 + i), uint8_t(200 - i), 0 });
    return colors;
}

// Random ranges, some refused, against a model: the colour table, the count (the highest entry
// ever set, plus one) and the logical palette (the entries up to the last range's end in red,
// green, blue order; the static colours 0 to 9 and 246 to 255 may be merged with the display's).
TEST(Surface, PaletteRangesMatchTheModel)
{
    RefPtr<Surface> surface = createSurface(2, 2, 8);
    Palette table(256), colors = ramp(300, 1);
    int32_t count = 1;
    size_t logical = 1; // the placeholder
    uint32_t seed = 99;
    auto next = [&seed](int32_t range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int32_t>((seed >> 16) % static_cast<uint32_t>(range));
    };
    for (int32_t step = 0; step < 200; ++step) {
        SCOPED_TRACE(step);
        int32_t start = next(262) - 3, length = next(step % 2 ? 20 : 262) - 3;
        const ColorTableEntry* from = colors.data() + next(40);
        bool valid = start >= 0 && start < 256 && length >= 0 && length <= 256 - start;
        ASSERT_EQ(surface->setPalette(start, length, from).ok(), valid);
        if (valid) {
            std::copy(from, from + length, table.begin() + start);
            count = std::max(count, start + length);
            logical = static_cast<size_t>(start + length);
        }
        Palette read(256);
        ASSERT_TRUE(surface->getPalette(0, 256, read.data()).ok());
        ASSERT_EQ(read, table);
        ASSERT_EQ(surface->paletteCount(), count);
        const std::vector<LogicalPaletteEntry>* palette = surface->logicalPalette();
        ASSERT_EQ(palette ? palette->size() : 0, logical);
        for (size_t i = 0; i < logical; ++i) {
            uint8_t flags = i < 10 || i >= 246 ? 0 : PaletteNoCollapse;
            ASSERT_EQ((*palette)[i], (LogicalPaletteEntry { table[i].red, table[i].green, table[i].blue, flags })) << i;
        }
    }
    EXPECT_EQ(surface->setPalette(10, INT32_MAX, colors.data()).code(), -1) << "overflowing sum";
    EXPECT_EQ(surface->setPalette(0, 2, nullptr).code(), -1) << "colours missing";
    const ColorTableEntry marker { 9, 9, 9, 9 };
    Palette tail(4, marker);
    ASSERT_TRUE(surface->getPalette(254, 4, tail.data()).ok());
    EXPECT_EQ(tail, (Palette { table[254], table[255], marker, marker })) << "entries past 255 are not read";
    struct Range { const char* what; int32_t start, count; };
    for (Range range : { Range { "negative start", -1, 2 }, { "at 256", 256, 1 }, { "negative count", 0, -1 } })
        EXPECT_EQ(surface->getPalette(range.start, range.count, tail.data()).code(), -1) << range.what;

    RefPtr<Surface> none = createSurface(2, 2, 24);
    EXPECT_TRUE(none->setPalette(0, 0, nullptr).ok());
    EXPECT_EQ(none->logicalPalette(), nullptr) << "a palette of no entries leaves none";
    EXPECT_EQ(none->paletteCount(), 1);
}

// A picture drawn unchanged again and again may be copied from a converted copy; every way of
// changing it must show at the next draw, at both depths a copy is made for.
TEST(Surface, APictureDrawnAgainShowsWhatChangedSinceTheLastDraw)
{
    struct Row {
        const char* what;
        void (*change)(Surface&);
    };
    static constexpr ColorTableEntry red { 0, 0, 255, 0 }, blue { 255, 0, 0, 0 };
    const Row rows[] = {
        { "pixels written under a lock", [](Surface& picture) {
             SurfaceInfo info;
             ASSERT_TRUE(picture.lock(info).ok());
             info.bits[0] = 1;
             ASSERT_TRUE(picture.unlock(info).ok());
         } },
        { "pixels written through the info", [](Surface& picture) {
             SurfaceInfo info;
             ASSERT_TRUE(picture.getInfo(info).ok());
             info.bits[0] = 1;
         } },
        { "a fill through its context", [](Surface& picture) {
             DeviceContext* context = nullptr;
             ASSERT_TRUE(picture.getDC(context).ok());
             context->fillRect({ 0, 0, 1, 1 }, Brush::solid(0x00FF0000));
             ASSERT_TRUE(picture.releaseDC(context).ok());
         } },
        { "a new colour for the pixel's entry", [](Surface& picture) {
             ASSERT_TRUE(picture.setPalette(0, 1, &blue).ok());
         } },
    };
    for (int32_t depth : { 16, 24 }) {
        for (const Row& row : rows) {
            RefPtr<Surface> picture = createSurface(2, 1, 8);
            const ColorTableEntry colors[] = { red, blue };
            ASSERT_TRUE(picture->setPalette(0, 2, colors).ok());
            RefPtr<Surface> target = createSurface(2, 1, depth);
            DeviceContext* context = nullptr;
            ASSERT_TRUE(target->getDC(context).ok());
            for (int i = 0; i < 3; ++i)
                ASSERT_TRUE(picture->draw(*context, 0, 0, { 0, 0, 2, 1 }).ok());
            EXPECT_EQ(pixelColor(target->pixels(), 0, 0), 0x000000FFu) << row.what << " at " << depth;
            row.change(*picture);
            ASSERT_TRUE(picture->draw(*context, 0, 0, { 0, 0, 2, 1 }).ok());
            EXPECT_EQ(pixelColor(target->pixels(), 0, 0), 0x00FF0000u) << row.what << " at " << depth;
        }
    }
}

}
}
