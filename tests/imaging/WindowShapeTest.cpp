// Window shapes: one rectangle per run of non-key (or at least half opaque) pixels in a row, and
// no region for other depths or parts too large for the room their rectangles could need.
#include <imaging/WindowShape.h>

#include <support/PixelMemory.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

constexpr uint8_t Key = 9;

std::vector<Rect> rectsOf(const Region& region)
{
    return std::vector<Rect>(region.rects.begin(), region.rects.end());
}

TEST(WindowShape, EachRunOfARowIsOneRectangle)
{
    struct Row {
        const char* what;
        const char* picture;
        Rect part;
        std::vector<Rect> expected;
    };
    const Row rows[] = {
        { "key, A, A, key, B", "99999/91192", { 0, 0, 5, 2 }, { { 1, 1, 3, 2 }, { 4, 1, 5, 2 } } },
        { "a whole row is one run", "123", { 0, 0, 3, 1 }, { { 0, 0, 3, 1 } } },
        { "runs are not merged across rows", "19/19", { 0, 0, 2, 2 }, { { 0, 0, 1, 1 }, { 0, 1, 1, 2 } } },
        // Three runs in five pixels: exactly the (5 + 1) / 2 rectangles a row has room for.
        { "single pixels", "19191", { 0, 0, 5, 1 }, { { 0, 0, 1, 1 }, { 2, 0, 3, 1 }, { 4, 0, 5, 1 } } },
        { "only the key", "99/99", { 0, 0, 2, 2 }, {} },
        { "no width", "19/19", { 0, 0, 0, 2 }, {} },
        { "a part is scanned in its own coordinates", "1111/1191/1919", { 1, 1, 4, 3 },
            { { 0, 0, 1, 1 }, { 2, 0, 3, 1 }, { 1, 1, 2, 2 } } },
    };
    for (const Row& row : rows) {
        PixelMemory picture = PixelMemory::fromIndices(row.picture);
        const Rect& part = row.part;
        std::optional<Region> region = regionFromPixels(
            picture.bytes.data(), picture.stride, 8, part.left, part.top, part.width(), part.height(), Key);
        ASSERT_TRUE(region) << row.what;
        EXPECT_EQ(rectsOf(*region), row.expected) << row.what;
        EXPECT_EQ(region->bounds, (Rect { 0, 0, part.width(), part.height() })) << row.what;
    }
}

// The room for every possible run is taken before any pixel is read, so a part too large to have
// room for is refused without scanning (the pixels given here would not hold it). Other depths and
// missing pixels are refused by the surface form, the only one the program uses.
TEST(WindowShape, PartsTooLargeForTheirRectanglesGiveNoRegion)
{
    Bytes bytes(64, 1);
    struct Row { const char* what; int32_t width, height; };
    const Row rows[] = {
        { "2^30 rectangles a row, 2^31 rows: beyond 64-bit sizes", INT32_MAX, INT32_MAX },
        { "one rectangle a row, one row more than a list holds", 1,
            static_cast<int32_t>(RectList::MaxCapacity + 1) },
        { "2^30 rectangles in a single row", INT32_MAX, 1 << 7 },
    };
    for (const Row& row : rows)
        EXPECT_FALSE(regionFromPixels(bytes.data(), 4, 8, 0, 0, row.width, row.height, Key)) << row.what;
    // Exactly as many rows as a list holds fit (one row of key, read again and again, adds none).
    std::optional<Region> tall
        = regionFromPixels(&Key, 0, 8, 0, 0, 1, static_cast<int32_t>(RectList::MaxCapacity), Key);
    ASSERT_TRUE(tall);
    EXPECT_TRUE(tall->rects.empty());
}

// The bounds are always the part asked for, even where it reaches past the picture.
TEST(WindowShape, SurfaceFormScansOnlyWhatLiesInThePicture)
{
    PixelMemory picture = PixelMemory::fromIndices("191/911");
    const SurfaceInfo eight { 3, 2, 8, picture.stride, picture.bytes.data() };
    const SurfaceInfo wide { 2, 2, 24, 8, picture.bytes.data() }, none { 3, 2, 8, 4, nullptr };
    struct Row { const char* what; const SurfaceInfo& info; Rect part; bool made; std::vector<Rect> rects; };
    const Row rows[] = {
        { "a part reaching past it", eight, { 1, 0, 101, 100 }, true, { { 1, 0, 2, 1 }, { 0, 1, 2, 2 } } },
        { "a part from the left edge", eight, { 0, 1, 2, 6 }, true, { { 1, 0, 2, 1 } } },
        { "a part right of the picture", eight, { 5, 0, 12, 3 }, true, {} },
        { "a part below the picture", eight, { 0, 5, 2, 7 }, true, {} },
        { "a part starting left of the picture", eight, { -1, 0, 1, 2 }, false, {} },
        { "a part starting above the picture", eight, { 0, -1, 2, 1 }, false, {} },
        { "a negative width", eight, { 0, 0, -1, 2 }, false, {} },
        { "24 bits", wide, { 0, 0, 2, 2 }, false, {} },
        { "24 bits, wholly outside", wide, { 5, 0, 7, 2 }, false, {} },
        { "no pixels, wholly outside", none, { 5, 0, 7, 2 }, false, {} },
    };
    for (const Row& row : rows) {
        const Rect& part = row.part;
        std::optional<Region> region
            = regionFromPixels(row.info, part.left, part.top, part.width(), part.height(), Key);
        ASSERT_EQ(region.has_value(), row.made) << row.what;
        if (region) {
            EXPECT_EQ(rectsOf(*region), row.rects) << row.what;
            EXPECT_EQ(region->bounds, (Rect { 0, 0, part.width(), part.height() })) << row.what;
        }
    }
}

// Alpha 128 is the first value inside: 127 is out.
TEST(WindowShape, PicturesWithAlphaAreShapedByHalfOpacity)
{
    PixelMemory picture(4, 2, 32);
    const uint8_t alphas[] = { 0, 127, 128, 255, 255, 0, 255, 128 };
    for (int32_t i = 0; i < 8; ++i)
        picture.at(i % 4, i / 4)[3] = alphas[i];
    SurfaceInfo info { 4, 2, 32, picture.stride, picture.bytes.data() };
    std::optional<Region> region = regionFromAlpha(info, 0, 0, 4, 2);
    ASSERT_TRUE(region);
    EXPECT_EQ(rectsOf(*region), (std::vector<Rect> { { 2, 0, 4, 1 }, { 0, 1, 1, 2 }, { 2, 1, 4, 2 } }));
    EXPECT_EQ(region->bounds, (Rect { 0, 0, 4, 2 }));
    info.bitsPerPixel = 24;
    EXPECT_FALSE(regionFromAlpha(info, 0, 0, 4, 2)) << "only 32 bits have alpha";
}

}
}
