// Surfaces: exact strides and zeroed memory at every depth, refused sizes, the colour table and
// the logical palette with their range rules, lock counting, the surface's own device context,
// and copies onto other device contexts through the colour table.
#include <imaging/Surface.h>

#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace nimbolt::test {
namespace {

TEST(Surface, RowsArePaddedToFourBytes)
{
    struct Row {
        std::string name;
        int32_t width;
        int32_t bitsPerPixel;
        int32_t stride;
    };
    const Row rows[] = {
        { "1 pixel at 8 bits", 1, 8, 4 },
        { "4 pixels at 8 bits fill a row exactly", 4, 8, 4 },
        { "5 pixels at 8 bits", 5, 8, 8 },
        { "2 pixels at 16 bits", 2, 16, 4 },
        { "5 pixels at 16 bits", 5, 16, 12 },
        { "1 pixel at 24 bits", 1, 24, 4 },
        { "3 pixels at 24 bits", 3, 24, 12 },
        { "4 pixels at 24 bits", 4, 24, 12 },
    };
    for (const Row& row : rows) {
        RefPtr<Surface> surface = createSurface(row.width, 3, row.bitsPerPixel);
        ASSERT_TRUE(surface) << row.name;
        SurfaceInfo info;
        EXPECT_TRUE(surface->getInfo(info).ok());
        EXPECT_EQ(info.stride, row.stride) << row.name;
        EXPECT_EQ(info.width, row.width);
        EXPECT_EQ(info.height, 3);
        EXPECT_EQ(info.bitsPerPixel, row.bitsPerPixel);
        ASSERT_NE(info.bits, nullptr);
        for (int32_t i = 0; i < info.stride * 3; ++i)
            EXPECT_EQ(info.bits[i], 0) << row.name << " byte " << i;
        EXPECT_EQ(surface->refCount(), 1) << "the caller's reference only";
    }
}

TEST(Surface, ImpossibleSizesAndDepthsGiveNoSurface)
{
    struct Row {
        std::string name;
        int32_t width;
        int32_t height;
        int32_t bitsPerPixel;
    };
    const Row rows[] = {
        { "no width", 0, 5, 24 },
        { "no height", 5, 0, 24 },
        { "negative width", -4, 5, 8 },
        { "negative height", 4, -5, 16 },
        { "32 bits", 4, 4, 32 },
        { "1 bit", 4, 4, 1 },
        { "no depth", 4, 4, 0 },
        { "a stride beyond 32 bits", INT32_MAX, 1, 24 },
        { "more bytes than a surface may have", 20000, 20000, 24 },
        { "a size that overflows 32 bits", 65536, 65536, 8 },
    };
    for (const Row& row : rows)
        EXPECT_FALSE(createSurface(row.width, row.height, row.bitsPerPixel)) << row.name;
}

std::vector<ColorTableEntry> ramp(int32_t count, uint8_t seed)
{
    std::vector<ColorTableEntry> colors;
    for (int32_t i = 0; i < count; ++i)
        colors.push_back({ static_cast<uint8_t>(seed + i), static_cast<uint8_t>(100 + i),
            static_cast<uint8_t>(200 - i), 0 });
    return colors;
}

TEST(Surface, SetPaletteRefusesRangesOutsideTheTable)
{
    struct Row {
        std::string name;
        int32_t start;
        int32_t count;
    };
    const Row rows[] = {
        { "runs past the end", 250, 10 },
        { "negative start", -1, 2 },
        { "start at 256", 256, 0 },
        { "more than the table", 0, 257 },
        { "negative count", 5, -1 },
        { "a sum that overflows", 10, INT32_MAX },
    };
    std::vector<ColorTableEntry> colors = ramp(300, 1);
    for (const Row& row : rows) {
        RefPtr<Surface> surface = createSurface(2, 2, 8);
        ASSERT_TRUE(surface->setPalette(0, 4, colors.data()).ok());
        EXPECT_EQ(surface->setPalette(row.start, row.count, colors.data() + 50).code(), -1) << row.name;
        EXPECT_EQ(surface->paletteCount(), 4) << row.name;
        ASSERT_NE(surface->logicalPalette(), nullptr);
        EXPECT_EQ(surface->logicalPalette()->size(), 4u) << row.name;
        std::vector<ColorTableEntry> table(256);
        EXPECT_TRUE(surface->getPalette(0, 256, table.data()).ok());
        for (int32_t i = 0; i < 4; ++i)
            EXPECT_EQ(table[static_cast<size_t>(i)], colors[static_cast<size_t>(i)]) << row.name;
        for (int32_t i = 4; i < 256; ++i)
            EXPECT_EQ(table[static_cast<size_t>(i)], ColorTableEntry {}) << row.name << " entry " << i;
    }
}

TEST(Surface, PaletteCountGrowsToTheHighestEntrySet)
{
    RefPtr<Surface> surface = createSurface(2, 2, 8);
    EXPECT_EQ(surface->paletteCount(), 1) << "the placeholder";
    std::vector<ColorTableEntry> colors = ramp(256, 0);
    struct Step {
        std::string name;
        int32_t start;
        int32_t count;
        int32_t paletteCount;
    };
    const Step steps[] = {
        { "entries 10 to 14", 10, 5, 15 },
        { "a lower range keeps the count", 0, 3, 15 },
        { "the last entry alone", 255, 1, 256 },
        { "nothing at 7", 7, 0, 256 },
    };
    for (const Step& step : steps) {
        EXPECT_TRUE(surface->setPalette(step.start, step.count, colors.data()).ok()) << step.name;
        EXPECT_EQ(surface->paletteCount(), step.paletteCount) << step.name;
    }
    RefPtr<Surface> whole = createSurface(2, 2, 8);
    EXPECT_TRUE(whole->setPalette(0, 256, colors.data()).ok());
    EXPECT_EQ(whole->paletteCount(), 256);
}

TEST(Surface, LogicalPaletteHoldsTheColoursInRedGreenBlueOrder)
{
    RefPtr<Surface> surface = createSurface(2, 2, 8);
    std::vector<ColorTableEntry> colors = ramp(16, 7);
    ASSERT_TRUE(surface->setPalette(0, 16, colors.data()).ok());
    const std::vector<LogicalPaletteEntry>* palette = surface->logicalPalette();
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->size(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ((*palette)[i].red, colors[i].red) << i;
        EXPECT_EQ((*palette)[i].green, colors[i].green) << i;
        EXPECT_EQ((*palette)[i].blue, colors[i].blue) << i;
        EXPECT_EQ((*palette)[i].flags, i < 10 ? 0 : PaletteNoCollapse) << i;
    }

    // A range from 250 takes the entries below it from the colour table.
    std::vector<ColorTableEntry> top = ramp(6, 90);
    ASSERT_TRUE(surface->setPalette(250, 6, top.data()).ok());
    palette = surface->logicalPalette();
    ASSERT_EQ(palette->size(), 256u);
    EXPECT_EQ((*palette)[3], (LogicalPaletteEntry { colors[3].red, colors[3].green, colors[3].blue, 0 }));
    EXPECT_EQ((*palette)[100], (LogicalPaletteEntry { 0, 0, 0, PaletteNoCollapse }));
    EXPECT_EQ((*palette)[245].flags, PaletteNoCollapse);
    EXPECT_EQ((*palette)[246].flags, 0);
    EXPECT_EQ((*palette)[252], (LogicalPaletteEntry { top[2].red, top[2].green, top[2].blue, 0 }));
}

TEST(Surface, APaletteOfNoEntriesLeavesNone)
{
    RefPtr<Surface> surface = createSurface(2, 2, 24);
    ASSERT_NE(surface->logicalPalette(), nullptr) << "the one-entry placeholder";
    EXPECT_EQ(surface->logicalPalette()->size(), 1u);
    EXPECT_TRUE(surface->setPalette(0, 0, nullptr).ok());
    EXPECT_EQ(surface->logicalPalette(), nullptr);
    EXPECT_EQ(surface->paletteCount(), 1);
}

TEST(Surface, GetPaletteReadsBackWhatWasSet)
{
    RefPtr<Surface> surface = createSurface(2, 2, 8);
    std::vector<ColorTableEntry> colors = ramp(5, 40);
    ASSERT_TRUE(surface->setPalette(100, 5, colors.data()).ok());
    std::vector<ColorTableEntry> out(5);
    ASSERT_TRUE(surface->getPalette(100, 5, out.data()).ok());
    EXPECT_EQ(out, colors);

    // Entries past 255 are not read; the rest of out stays as it was.
    const ColorTableEntry marker { 9, 9, 9, 9 };
    std::vector<ColorTableEntry> tail(4, marker);
    ASSERT_TRUE(surface->getPalette(254, 4, tail.data()).ok());
    EXPECT_EQ(tail[0], ColorTableEntry {});
    EXPECT_EQ(tail[2], marker);
    EXPECT_EQ(tail[3], marker);
    EXPECT_EQ(surface->getPalette(-1, 2, tail.data()).code(), -1);
    EXPECT_EQ(surface->getPalette(256, 1, tail.data()).code(), -1);
}

TEST(Surface, LockCountsUpAndUnlockDown)
{
    RefPtr<Surface> surface = createSurface(3, 2, 16);
    SurfaceInfo first, second;
    EXPECT_TRUE(surface->lock(first).ok());
    EXPECT_TRUE(surface->lock(second).ok());
    EXPECT_EQ(surface->lockCount(), 2);
    EXPECT_EQ(first.bits, second.bits);
    EXPECT_EQ(first.stride, 8);
    EXPECT_TRUE(surface->unlock(second).ok());
    EXPECT_EQ(surface->lockCount(), 1);
    EXPECT_TRUE(surface->unlock(first).ok());
    EXPECT_EQ(surface->lockCount(), 0);
}

TEST(Surface, ItsDeviceContextDrawsIntoItsPixelsAndKeepsItsState)
{
    RefPtr<Surface> surface = createSurface(4, 3, 24);
    DeviceContext* context = nullptr;
    ASSERT_TRUE(surface->getDC(context).ok());
    ASSERT_NE(context, nullptr);
    context->fillRect({ 1, 1, 3, 2 }, Brush::solid(0x00AABBCC));
    context->setTextColor(0x123456);
    EXPECT_TRUE(surface->releaseDC(context).ok());

    SurfaceInfo info;
    EXPECT_TRUE(surface->getInfo(info).ok());
    const uint8_t filled[] = { 0xAA, 0xBB, 0xCC }; // blue, green, red of 0x00AABBCC
    for (int32_t x = 0; x < 4; ++x) {
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(info.bits[info.stride + x * 3 + i], (x == 1 || x == 2) ? filled[i] : 0) << x;
    }
    DeviceContext* again = nullptr;
    ASSERT_TRUE(surface->getDC(again).ok());
    EXPECT_EQ(again, context);
    EXPECT_EQ(again->textColor(), 0x123456u);
}

TEST(Surface, DrawCopiesThroughTheColourTable)
{
    RefPtr<Surface> picture = createSurface(3, 2, 8);
    const ColorTableEntry colors[] = { { 1, 2, 3, 0 }, { 10, 20, 30, 0 } };
    ASSERT_TRUE(picture->setPalette(0, 2, colors).ok());
    SurfaceInfo info;
    ASSERT_TRUE(picture->getInfo(info).ok());
    info.bits[2] = 1; // pixel (2, 0)
    info.bits[info.stride + 1] = 1; // pixel (1, 1)

    RefPtr<Surface> target = createSurface(5, 4, 24);
    DeviceContext* context = nullptr;
    ASSERT_TRUE(target->getDC(context).ok());
    ASSERT_TRUE(picture->draw(*context, 3, 2, { 1, 0, 3, 2 }).ok());
    SurfaceInfo out;
    ASSERT_TRUE(target->getInfo(out).ok());
    auto pixel = [&](int32_t x, int32_t y) {
        const uint8_t* p = out.bits + y * out.stride + x * 3;
        return std::vector<int> { p[0], p[1], p[2] };
    };
    // The source rectangle's pixels (1,0)=0, (2,0)=1, (1,1)=1, (2,1)=0 land from (3, 2).
    EXPECT_EQ(pixel(3, 2), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(pixel(4, 2), (std::vector<int> { 10, 20, 30 }));
    EXPECT_EQ(pixel(3, 3), (std::vector<int> { 10, 20, 30 }));
    EXPECT_EQ(pixel(4, 3), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(pixel(2, 2), (std::vector<int> { 0, 0, 0 }));
    EXPECT_EQ(pixel(3, 1), (std::vector<int> { 0, 0, 0 }));
}

TEST(Surface, StretchDrawRepeatsPixels)
{
    RefPtr<Surface> picture = createSurface(2, 1, 16);
    SurfaceInfo info;
    ASSERT_TRUE(picture->getInfo(info).ok());
    info.bits[2] = 0x1F; // pixel (1, 0): blue 31
    RefPtr<Surface> target = createSurface(4, 2, 16);
    DeviceContext* context = nullptr;
    ASSERT_TRUE(target->getDC(context).ok());
    ASSERT_TRUE(picture->stretchDraw(*context, { 0, 0, 4, 2 }, { 0, 0, 2, 1 }).ok());
    SurfaceInfo out;
    ASSERT_TRUE(target->getInfo(out).ok());
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(out.bits[y * out.stride + x * 2], x >= 2 ? 0x1F : 0) << x << "," << y;
    }
}

}
}
