// Window shapes: one rectangle per run of non-key pixels in a row, in the coordinates of the part
// scanned; no rectangles for a picture of only the key; no region for other depths.
#include <imaging/WindowShape.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace nimbolt::test {
namespace {

constexpr uint8_t Key = 9;

std::vector<Rect> rectsOf(const Region& region)
{
    return std::vector<Rect>(region.rects.begin(), region.rects.end());
}

struct Picture {
    int32_t width;
    int32_t height;
    int32_t stride;
    std::vector<uint8_t> bytes;

    explicit Picture(const std::vector<std::vector<uint8_t>>& rows)
        : width(static_cast<int32_t>(rows[0].size()))
        , height(static_cast<int32_t>(rows.size()))
        , stride((width + 3) & ~3)
        , bytes(static_cast<size_t>(stride * height), 0xEE)
    {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x)
                bytes[static_cast<size_t>(y * stride + x)]
                    = rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
        }
    }
};

TEST(WindowShape, EachRunOfARowIsOneRectangle)
{
    struct Row {
        std::string name;
        std::vector<std::vector<uint8_t>> pixels;
        std::vector<Rect> expected;
    };
    const Row rows[] = {
        { "key, A, A, key, B in row 2",
            { { Key, Key, Key, Key, Key }, { Key, Key, Key, Key, Key }, { Key, 1, 1, Key, 2 } },
            { { 1, 2, 3, 3 }, { 4, 2, 5, 3 } } },
        { "a whole row is one run", { { 1, 2, 3 } }, { { 0, 0, 3, 1 } } },
        { "runs are not merged across rows", { { 1, Key }, { 1, Key } }, { { 0, 0, 1, 1 }, { 0, 1, 1, 2 } } },
        // Three runs in five pixels: exactly the (5 + 1) / 2 rectangles a row has room for.
        { "single pixels", { { 1, Key, 1, Key, 1 } }, { { 0, 0, 1, 1 }, { 2, 0, 3, 1 }, { 4, 0, 5, 1 } } },
        { "only the key", { { Key, Key }, { Key, Key } }, {} },
    };
    for (const Row& row : rows) {
        Picture picture(row.pixels);
        std::optional<Region> region = regionFromPixels(
            picture.bytes.data(), picture.stride, 8, 0, 0, picture.width, picture.height, Key);
        ASSERT_TRUE(region) << row.name;
        EXPECT_EQ(rectsOf(*region), row.expected) << row.name;
        EXPECT_EQ(region->bounds, (Rect { 0, 0, picture.width, picture.height })) << row.name;
    }
}

TEST(WindowShape, APartIsScannedInItsOwnCoordinates)
{
    Picture picture({ { 1, 1, 1, 1 }, { 1, 1, Key, 1 }, { 1, Key, 1, Key } });
    std::optional<Region> region = regionFromPixels(picture.bytes.data(), picture.stride, 8, 1, 1, 3, 2, Key);
    ASSERT_TRUE(region);
    EXPECT_EQ(rectsOf(*region), (std::vector<Rect> { { 0, 0, 1, 1 }, { 2, 0, 3, 1 }, { 1, 1, 2, 2 } }));
    EXPECT_EQ(region->bounds, (Rect { 0, 0, 3, 2 }));
}

TEST(WindowShape, OnlyEightBitPicturesHaveAShape)
{
    std::vector<uint8_t> bytes(64, 1);
    EXPECT_FALSE(regionFromPixels(bytes.data(), 12, 24, 0, 0, 4, 4, Key)) << "24 bits";
    EXPECT_FALSE(regionFromPixels(bytes.data(), 8, 16, 0, 0, 4, 4, Key)) << "16 bits";
    EXPECT_FALSE(regionFromPixels(bytes.data(), 4, 8, 0, 0, -1, 4, Key)) << "negative width";
    EXPECT_FALSE(regionFromPixels(nullptr, 4, 8, 0, 0, 4, 4, Key)) << "no pixels";
}

// The room for every possible run is taken before any pixel is read, so a part too large to
// have room for is refused without scanning (the pixels given here would not hold it).
TEST(WindowShape, PartsTooLargeForTheirRectanglesGiveNoRegion)
{
    struct Row {
        std::string name;
        int32_t width;
        int32_t height;
    };
    const Row rows[] = {
        { "2^30 rectangles a row for 2^31 rows is beyond 64-bit byte counts", INT32_MAX, INT32_MAX },
        { "one rectangle a row, one row more than a list holds", 1,
            static_cast<int32_t>(RectList::MaxCapacity + 1) },
        { "2^30 rectangles in a single row", INT32_MAX, 1 << 7 },
    };
    std::vector<uint8_t> bytes(16, 1);
    for (const Row& row : rows)
        EXPECT_FALSE(regionFromPixels(bytes.data(), 4, 8, 0, 0, row.width, row.height, Key)) << row.name;
}

TEST(WindowShape, SurfaceFormScansOnlyWhatLiesInThePicture)
{
    Picture picture({ { 1, Key, 1 }, { Key, 1, 1 } });
    SurfaceInfo info { picture.width, picture.height, 8, picture.stride, picture.bytes.data() };
    std::optional<Region> region = regionFromPixels(info, 1, 0, 100, 100, Key);
    ASSERT_TRUE(region);
    EXPECT_EQ(rectsOf(*region), (std::vector<Rect> { { 1, 0, 2, 1 }, { 0, 1, 2, 2 } }));
    EXPECT_EQ(region->bounds, (Rect { 0, 0, 100, 100 })) << "the bounds are the part asked for";
    std::optional<Region> beyond = regionFromPixels(info, 5, 0, 7, 3, Key);
    ASSERT_TRUE(beyond);
    EXPECT_TRUE(beyond->rects.empty()) << "a part wholly outside the picture is empty";
    EXPECT_EQ(beyond->bounds, (Rect { 0, 0, 7, 3 }));
    EXPECT_FALSE(regionFromPixels(info, -1, 0, 2, 2, Key)) << "a part starting outside";
    SurfaceInfo wide { 2, 2, 24, 8, picture.bytes.data() };
    EXPECT_FALSE(regionFromPixels(wide, 0, 0, 2, 2, Key));
}

}
}
