// Surfaces: strides and refused sizes, the colour table and logical palette, the surface's own
// device context, and copies through the colour table, also after a change.
#include <imaging/Surface.h>

#include <support/PixelMemory.h>

#include <climits>
#include <gtest/gtest.h>

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
        EXPECT_EQ(info.stride, row.stride) << row.what;
        EXPECT_EQ(info.width, row.width);
        EXPECT_EQ(info.height, row.height);
        EXPECT_EQ(info.bitsPerPixel, row.bitsPerPixel);
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

TEST(Surface, PaletteRangesCountsAndTheLogicalPalette)
{
    RefPtr<Surface> surface = createSurface(2, 2, 8);
    EXPECT_EQ(surface->paletteCount(), 1) << "the placeholder";
    ASSERT_EQ(surface->logicalPalette()->size(), 1u);
    Palette colors = ramp(300, 1);
    ASSERT_TRUE(surface->setPalette(0, 16, colors.data()).ok());

    struct Range { const char* what; int32_t start, count; };
    const Range refused[] = { { "past the end", 250, 10 }, { "negative start", -1, 2 }, { "at 256", 256, 0 },
        { "over the table", 0, 257 }, { "negative count", 5, -1 }, { "overflowing sum", 10, INT32_MAX } };
    for (const Range& range : refused)
        EXPECT_EQ(surface->setPalette(range.start, range.count, colors.data() + 50).code(), -1) << range.what;
    EXPECT_EQ(surface->setPalette(0, 2, nullptr).code(), -1) << "colours missing";
    Palette table(256);
    EXPECT_TRUE(surface->getPalette(0, 256, table.data()).ok());
    Palette expected(colors.begin(), colors.begin() + 16);
    expected.resize(256);
    EXPECT_EQ(table, expected) << "nothing refused was stored";

    // The logical palette: the colours in red, green, blue order; the static colours at both ends
    // (0 to 9, 246 to 255) may be merged with the display's, the others not.
    const std::vector<LogicalPaletteEntry>* palette = surface->logicalPalette();
    ASSERT_EQ(palette->size(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        uint8_t flags = i < 10 ? 0 : PaletteNoCollapse;
        const ColorTableEntry& color = colors[i];
        EXPECT_EQ((*palette)[i], (LogicalPaletteEntry { color.red, color.green, color.blue, flags })) << i;
    }
    // A range from 250 takes the entries below it from the colour table.
    Palette top = ramp(6, 90);
    ASSERT_TRUE(surface->setPalette(250, 6, top.data()).ok());
    EXPECT_EQ(surface->paletteCount(), 256);
    palette = surface->logicalPalette();
    ASSERT_EQ(palette->size(), 256u);
    EXPECT_EQ((*palette)[3], (LogicalPaletteEntry { colors[3].red, colors[3].green, colors[3].blue, 0 }));
    EXPECT_EQ((*palette)[100], (LogicalPaletteEntry { 0, 0, 0, PaletteNoCollapse }));
    EXPECT_EQ((*palette)[245].flags, PaletteNoCollapse);
    EXPECT_EQ((*palette)[246].flags, 0);
    EXPECT_EQ((*palette)[252], (LogicalPaletteEntry { top[2].red, top[2].green, top[2].blue, 0 }));
    const ColorTableEntry marker { 9, 9, 9, 9 };
    Palette tail(4, marker);
    ASSERT_TRUE(surface->getPalette(254, 4, tail.data()).ok());
    EXPECT_EQ(tail, (Palette { top[4], top[5], marker, marker })) << "entries past 255 are not read";
    for (Range range : { Range { "negative start", -1, 2 }, { "at 256", 256, 1 }, { "negative count", 0, -1 } })
        EXPECT_EQ(surface->getPalette(range.start, range.count, tail.data()).code(), -1) << range.what;

    // The count is the highest entry set, plus one.
    RefPtr<Surface> counted = createSurface(2, 2, 8);
    struct Step { int32_t start, count, paletteCount; };
    for (Step step : { Step { 10, 5, 15 }, Step { 0, 3, 15 }, Step { 7, 0, 15 } }) {
        EXPECT_TRUE(counted->setPalette(step.start, step.count, colors.data()).ok());
        EXPECT_EQ(counted->paletteCount(), step.paletteCount) << step.start << "+" << step.count;
    }
    RefPtr<Surface> none = createSurface(2, 2, 24);
    EXPECT_TRUE(none->setPalette(0, 0, nullptr).ok());
    EXPECT_EQ(none->logicalPalette(), nullptr) << "a palette of no entries leaves none";
    EXPECT_EQ(none->paletteCount(), 1);
}

// Background pictures in the render cases show copies at an offset; the pixel transfer tests show
// copies through the colour table and stretching.
TEST(Surface, ItsDeviceContextDrawsIntoItsPixelsAndKeepsItsState)
{
    RefPtr<Surface> target = createSurface(5, 4, 24);
    DeviceContext* context = nullptr;
    ASSERT_TRUE(target->getDC(context).ok());
    context->fillRect({ 1, 1, 3, 2 }, Brush::solid(0x00AABBCC));
    context->setTextColor(0x123456);
    EXPECT_TRUE(target->releaseDC(context).ok());
    for (int32_t x = 0; x < 5; ++x)
        EXPECT_EQ(pixelColor(target->pixels(), x, 1), (x == 1 || x == 2) ? 0x00AABBCCu : 0u) << x;
    DeviceContext* again = nullptr;
    ASSERT_TRUE(target->getDC(again).ok());
    EXPECT_EQ(again, context) << "the surface's own context, with its state kept";
    EXPECT_EQ(again->textColor(), 0x123456u);
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
