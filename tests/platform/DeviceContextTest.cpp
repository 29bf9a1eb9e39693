// The device context over our own pixel memory: saved state, text with two-byte characters, fills,
// lines and paths at every depth, and copies onto Qt paint devices. Widened paths are shown by the
// clock hand tests.
#include <platform/DeviceContext.h>

#include <support/PixelMemory.h>
#include <platform/QtDeviceContext.h>

#include <QImage>
#include <gtest/gtest.h>
#include <tuple>

namespace nimbolt::test {
namespace {

// "日" in Shift-JIS and "表" (whose trail byte is 0x5C).
const char Nichi[] = "\x93\xfa", Hyou[] = "\x95\x5c";
constexpr Color Black = 0, White = 0xFFFFFF, Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

bool notBlack(Color c)
{
    return c != Black;
}

// A path of one line, ended and ready to use.
void linePath(DeviceContext& context, Point from, Point to)
{
    context.beginPath();
    context.moveTo(from.x, from.y);
    context.lineTo(to.x, to.y);
    context.endPath();
}

TEST(DeviceContext, StateIsSavedWholeAndTextExtentsCountBytes)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    auto state = [&] {
        return std::tuple(context.textColor(), context.bkColor(), context.bkMode(), context.pen(), context.brush(),
            context.font(), context.currentPosition());
    };
    const auto defaults = std::tuple(Black, White, BackgroundMode::Opaque, Pen::solid(1, Black), Brush::solid(White),
        Font(), Point { 0, 0 });
    EXPECT_EQ(state(), defaults);
    EXPECT_EQ(context.bounds(), (Rect { 0, 0, 4, 4 }));
    Font big = Font::create({ 30, 0, 700, 0, 0, 0 });
    EXPECT_EQ(context.saveDC(), 1);
    context.setTextColor(Red);
    context.setBkMode(BackgroundMode::Transparent);
    context.setBkColor(0x123456);
    context.selectFont(big);
    context.selectPen(Pen::solid(4, Green));
    context.selectBrush(Brush::solid(Blue));
    context.moveTo(3, 2);
    EXPECT_EQ(context.saveDC(), 2);
    context.setTextColor(0x777777);
    context.selectFont(Font());
    EXPECT_TRUE(context.restoreDC(-1));
    EXPECT_EQ(state(), std::tuple(Red, Color { 0x123456 }, BackgroundMode::Transparent, Pen::solid(4, Green),
                           Brush::solid(Blue), big, Point { 3, 2 }));
    EXPECT_TRUE(context.restoreDC(1)) << "by level: back to the first save";
    EXPECT_EQ(state(), defaults);
    EXPECT_FALSE(context.restoreDC(-1) || context.restoreDC(0)) << "nothing left to restore";
    EXPECT_EQ(context.saveDC(), 1) << "the stack was emptied by restoring level 1";
    EXPECT_FALSE(context.restoreDC(2));

    context.selectFont(Font::create({ 12, 0, 400, 0, 0, 0 }));
    EXPECT_EQ(context.font().fontSpec().height, 12) << "the selection outlives its owner's copy";
    EXPECT_EQ(context.getTextExtent("AB", 2).width, 12);

    // Text extents count two-byte characters as their bytes. IPAGothic at 16 pixels, the stock
    // font: half-width characters 8 pixels, full-width 16.
    context.selectFont(Font());
    const std::string text = std::string("AB") + Nichi + "C"; // 8 + 8 + 16 + 8
    Size extent = context.getTextExtent(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(extent.width, 40);
    EXPECT_TRUE(extent.height >= 16 && extent.height <= 18) << extent.height;
    EXPECT_EQ(context.getTextExtent(nullptr, 0), (Size { 0, extent.height })) << "no text: the font's height";

    struct Row { const char* what; std::string text; int32_t maxExtent, fitBytes; };
    const Row rows[] = {
        { "nothing fits in 7", text, 7, 0 },
        { "one character in 8", text, 8, 1 },
        { "the wide character does not fit in 31", text, 31, 2 },
        { "it fits in 32, as two bytes", text, 32, 4 },
        { "all of it", text, 40, 5 },
        { "more room than text", text, 1000, 5 },
        { "negative room", text, -3, 0 },
        { "a 0x5C trail byte is never split off", std::string("A") + Hyou, 23, 1 },
        { "a lead byte at the end is one character", "A\x93", 1000, 2 },
    };
    for (const Row& row : rows) {
        auto length = static_cast<int32_t>(row.text.size());
        TextFit fit = context.getTextExtentEx(row.text.data(), length, row.maxExtent);
        EXPECT_EQ(fit.fitBytes, row.fitBytes) << row.what;
    }
    EXPECT_EQ(context.getTextExtentEx(text.data(), 5, 8).extent.width, 40) << "the whole text's extent";
    context.selectFont(Font::create({ 32, 0, 400, 0, 0, 0 }));
    EXPECT_EQ(context.getTextExtent("AB", 2).width, 32) << "two half-width characters, each half of 32";
    EXPECT_GE(context.getTextExtent("AB", 2).height, 32);
}

TEST(DeviceContext, FillsAndTextLandInsideTheirBoxesAtEveryDepth)
{
    for (int32_t depth : { 8, 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(60, 40, depth);
        memory.table[1] = { 0xFF, 0xFF, 0xFF, 0 };
        memory.table[2] = { 0x00, 0xFF, 0x00, 0 };
        memory.table[7] = { 0x10, 0x10, 0xE0, 0 }; // nearly red
        DeviceContext context(memory.buffer());
        context.fillRect({ 0, 0, 60, 40 }, Brush::null());
        EXPECT_EQ(inkWhere(memory.buffer(), notBlack).count, 0) << "a null brush draws nothing";
        context.fillRect({ 1, 1, 2, 3 }, Brush::solid(Green));
        EXPECT_EQ(inkWhere(memory.buffer(), notBlack).bounds, (Rect { 1, 1, 2, 3 })) << "right, bottom out";

        // Opaque: a space has no ink, so its whole box is background.
        context.setBkColor(Green);
        context.setTextColor(Red);
        context.fillRect({ 0, 0, 60, 40 }, Brush::solid(White));
        context.textOut(10, 5, " ", 1);
        int32_t height = context.getTextExtent(" ", 1).height;
        Ink background = inkOf(memory.buffer(), Green);
        EXPECT_EQ(background.bounds, (Rect { 10, 5, 18, 5 + height }));
        EXPECT_EQ(background.count, 8 * height);
        EXPECT_EQ(inkWhere(memory.buffer(), [](Color c) { return c != White; }).count, background.count);

        // Transparent: only the glyphs change pixels, all inside the box, in (nearly) red.
        context.fillRect({ 0, 0, 60, 40 }, Brush::solid(White));
        context.setBkMode(BackgroundMode::Transparent);
        context.textOut(10, 5, Nichi, 2);
        Ink ink = inkWhere(memory.buffer(), [](Color c) { return c != White; });
        EXPECT_GT(ink.count, 20);
        EXPECT_TRUE(within(ink.bounds, { 10, 5, 26, 5 + height }));
        int32_t lowestRed = depth == 8 ? 0xE0 : 0xF0; // red mixed with white, or entry 7
        auto pale = [&](Color c) { return c != White && redOf(c) < lowestRed; };
        EXPECT_EQ(inkWhere(memory.buffer(), pale).count, 0);
        if (depth == 8) {
            EXPECT_EQ(inkOf(memory.buffer(), 0x001010E0).count, ink.count) << "the nearest entry, no mix";
        }
        for (size_t i = 1; depth == 16 && i < memory.bytes.size(); i += 2)
            ASSERT_EQ(memory.bytes[i] & 0x80, 0) << "bit 15 stays clear";
    }
}

TEST(DeviceContext, LinesAndStrokedPathsAreAsWideAsThePen)
{
    PixelMemory memory(12, 7, 24);
    DeviceContext context(memory.buffer());
    context.selectPen(Pen::solid(1, Red));
    context.moveTo(2, 3);
    context.lineTo(8, 3);
    EXPECT_EQ(context.currentPosition(), (Point { 8, 3 }));
    Ink line = inkWhere(memory.buffer(), notBlack);
    EXPECT_EQ(pixelColor(memory.buffer(), 2, 3), Red);
    EXPECT_EQ(pixelColor(memory.buffer(), 7, 3), Red);
    EXPECT_EQ(inkOf(memory.buffer(), Red).count, line.count);
    EXPECT_TRUE(within(line.bounds, { 2, 3, 10, 4 })) << "one row, at most the end point more";
    context.selectPen(Pen::null());
    context.lineTo(8, 6);
    EXPECT_EQ(inkWhere(memory.buffer(), notBlack).count, line.count) << "a null pen draws nothing";

    for (int32_t depth : { 8, 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(60, 40, depth);
        memory.table[5] = { 0xFF, 0x00, 0x00, 0 }; // blue
        DeviceContext context(memory.buffer());
        context.selectPen(Pen::solid(5, Blue));
        linePath(context, { 10, 20 }, { 40, 20 });
        EXPECT_TRUE(context.strokePath());
        EXPECT_FALSE(context.strokePath()) << "the path was used up";
        // Five rows centred on row 20; round ends reach about half the width past each end point.
        for (int32_t y = 18; y <= 22; ++y)
            EXPECT_EQ(pixelColor(memory.buffer(), 25, y), Blue) << y;
        EXPECT_EQ(pixelColor(memory.buffer(), 41, 20), Blue);
        EXPECT_TRUE(within(inkOf(memory.buffer(), Blue).bounds, { 7, 17, 44, 24 }));
    }

    PixelMemory blank(4, 4, 24);
    DeviceContext empty(blank.buffer());
    EXPECT_FALSE(empty.strokePath() || empty.widenPath() || empty.strokeAndFillPath()) << "no path";
    empty.beginPath();
    empty.lineTo(3, 3);
    EXPECT_FALSE(empty.strokePath()) << "still open";
}

TEST(DeviceContext, BlitsOntoAQtPaintDeviceGoThroughTheColourTable)
{
    PixelMemory picture = PixelMemory::fromIndices("00/01"), trueColour(1, 1, 24);
    picture.table[1] = { 0x30, 0x20, 0x10, 0 };
    trueColour.bytes = { 3, 2, 1, 0 };
    QImage image(6, 6, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    {
        std::unique_ptr<DeviceContext> context = createDeviceContext(image);
        context->bitBlt(2, 3, 2, 2, picture.buffer(), 0, 0);
        context->stretchBlt({ 0, 0, 2, 2 }, picture.buffer(), { 1, 1, 2, 2 });
        context->bitBlt(5, 0, 1, 1, trueColour.buffer(), 0, 0);
        context->fillRect({ 5, 5, 9, 9 }, Brush::solid(Red));
    }
    const QRgb white = qRgb(255, 255, 255), entry = qRgb(0x10, 0x20, 0x30);
    const std::pair<QPoint, QRgb> expected[] = { { { 3, 4 }, entry }, { { 2, 3 }, qRgb(0, 0, 0) },
        { { 4, 3 }, white }, { { 0, 0 }, entry }, { { 1, 1 }, entry }, { { 2, 2 }, white },
        { { 5, 0 }, qRgb(1, 2, 3) }, { { 5, 5 }, qRgb(255, 0, 0) } };
    for (auto [point, colour] : expected)
        EXPECT_EQ(image.pixel(point), colour) << point.x() << "," << point.y();
}

}
}
