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

// The bounds are always the part asked for, even where it reaches past the picture; the part is
// scanned in its own coordinates.
TEST(WindowShape, EachRunOfARowIsOneRectangle)
{
    struct Row { const char* what; const char* picture; Rect part; bool made; std::vector<Rect> rects; };
    const Row rows[] = {
        { "key, A, A, key, B", "99999/91192", { 0, 0, 5, 2 }, true, { { 1, 1, 3, 2 }, { 4, 1, 5, 2 } } },
        { "a whole row is one run", "123", { 0, 0, 3, 1 }, true, { { 0, 0, 3, 1 } } },
        { "runs are not merged across rows", "19/19", { 0, 0, 2, 2 }, true, { { 0, 0, 1, 1 }, { 0, 1, 1, 2 } } },
        // Three runs in five pixels: exactly the (5 + 1) / 2 rectangles a row has room for.
        { "single pixels", "19191", { 0, 0, 5, 1 }, true, { { 0, 0, 1, 1 }, { 2, 0, 3, 1 }, { 4, 0, 5, 1 } } },
        { "only the key", "99/99", { 0, 0, 2, 2 }, true, {} },
        { "no width", "19/19", { 0, 0, 0, 2 }, true, {} },
        { "a part inside", "1111/1191/1919", { 1, 1, 4, 3 }, true, { { 0, 0, 1, 1 }, { 2, 0, 3, 1 }, { 1, 1, 2, 2 } } },
        { "a part reaching past it", "191/911", { 1, 0, 101, 100 }, true, { { 1, 0, 2, 1 }, { 0, 1, 2, 2 } } },
        { "a part from the left edge", "191/911", { 0, 1, 2, 6 }, true, { { 1, 0, 2, 1 } } },
        { "a part right of the picture", "191/911", { 5, 0, 12, 3 }, true, {} },
        { "a part below the picture", "191/911", { 0, 5, 2, 7 }, true, {} },
        { "a part starting left of the picture", "191/911", { -1, 0, 1, 2 }, false, {} },
        { "a part starting above the picture", "191/911", { 0, -1, 2, 1 }, false, {} },
        { "a negative width", "191/911", { 0, 0, -1, 2 }, false, {} },
    };
    for (const Row& row : rows) {
        PixelMemory picture = PixelMemory::fromIndices(row.picture);
        const SurfaceInfo info { picture.width, picture.height, 8, picture.stride, picture.bytes.data() };
        const Rect& part = row.part;
        std::optional<Region> region = regionFromPixels(info, part.left, part.top, part.width(), part.height(), Key);
        ASSERT_EQ(region.has_value(), row.made) << row.what;
        if (region) {
            EXPECT_EQ(rectsOf(*region), row.rects) << row.what;
            EXPECT_EQ(region->bounds, (Rect { 0, 0, part.width(), part.height() })) << row.what;
        }
    }
    // Other depths and missing pixels give none, even for a part wholly outside.
    PixelMemory picture = PixelMemory::fromIndices("191/911");
    for (const SurfaceInfo& info : { SurfaceInfo { 2, 2, 24, 8, picture.bytes.data() }, SurfaceInfo { 3, 2, 8, 4, nullptr } }) {
        EXPECT_FALSE(regionFromPixels(info, 0, 0, 2, 2, Key)) << info.bitsPerPixel;
        EXPECT_FALSE(regionFromPixels(info, 5, 0, 2, 2, Key)) << info.bitsPerPixel;
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
