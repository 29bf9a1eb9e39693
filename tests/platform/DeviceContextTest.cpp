// The device context over our own pixel memory: its saved and restored state, text measured with
// two-byte characters and drawn inside its box (and only there) at every depth, lines and paths
// with thin and wide pens, and copies onto other Qt paint devices.
#include <platform/DeviceContext.h>

#include <support/PixelMemory.h>
#include <platform/QtDeviceContext.h>

#include <QImage>
#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

// "日" in Shift-JIS, "表" (whose trail byte is 0x5C), and the half-width katakana "ｱ".
const char Nichi[] = "\x93\xfa";
const char Hyou[] = "\x95\x5c";
const char HalfWidthA[] = "\xb1";
constexpr Color White = 0xFFFFFF, Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

TEST(DeviceContext, StateStartsWithTheClassicDefaultsAndIsSavedWhole)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    auto expectDefaults = [&](const char* when) {
        EXPECT_EQ(context.textColor(), 0u) << when;
        EXPECT_EQ(context.bkColor(), White) << when;
        EXPECT_EQ(context.bkMode(), BackgroundMode::Opaque) << when;
        EXPECT_EQ(context.pen(), Pen::solid(1, 0)) << when;
        EXPECT_EQ(context.brush(), Brush::solid(White)) << when;
        EXPECT_TRUE(context.font().isStock()) << when;
        EXPECT_EQ(context.currentPosition(), (Point { 0, 0 })) << when;
    };
    expectDefaults("new");
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
    EXPECT_EQ(context.textColor(), Red);
    EXPECT_EQ(context.font(), big);
    EXPECT_EQ(context.currentPosition(), (Point { 3, 2 }));
    EXPECT_TRUE(context.restoreDC(1)) << "by level: back to the first save";
    expectDefaults("restored");
    EXPECT_FALSE(context.restoreDC(-1)) << "nothing left to restore";
    EXPECT_FALSE(context.restoreDC(0));
    EXPECT_EQ(context.saveDC(), 1) << "the stack was emptied by restoring level 1";
    EXPECT_FALSE(context.restoreDC(2));

    {
        Font owned = Font::create({ 12, 0, 400, 0, 0, 0 });
        context.selectFont(owned);
    }
    EXPECT_EQ(context.font().fontSpec().height, 12) << "the selection outlives its owner's copy";
    EXPECT_EQ(context.getTextExtent("AB", 2).width, 12);
}

TEST(DeviceContext, FillRectExcludesRightAndBottomAndANullBrushDrawsNothing)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    context.fillRect({ 0, 0, 4, 4 }, Brush::null());
    EXPECT_EQ(inkWhere(memory.buffer(), [](Color c) { return c != 0; }).count, 0);
    context.fillRect({ 1, 1, 2, 3 }, Brush::solid(Red));
    Ink ink = inkOf(memory.buffer(), Red);
    EXPECT_EQ(ink.bounds, (Rect { 1, 1, 2, 3 }));
    EXPECT_EQ(ink.count, 2);
}

TEST(DeviceContext, TextExtentsCountTwoByteCharactersAsTheirBytes)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    // IPAGothic at 16 pixels: half-width characters 8 pixels, full-width 16.
    EXPECT_EQ(context.getTextExtent("A", 1).width, 8);
    EXPECT_EQ(context.getTextExtent(HalfWidthA, 1).width, 8);
    EXPECT_EQ(context.getTextExtent(Nichi, 2).width, 16);
    EXPECT_EQ(context.getTextExtent(Hyou, 2).width, 16) << "0x5C trails its lead byte";
    const std::string text = std::string("AB") + Nichi + "C"; // 8 + 8 + 16 + 8
    Size extent = context.getTextExtent(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(extent.width, 40);
    EXPECT_GE(extent.height, 16);
    EXPECT_LE(extent.height, 18);
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
        TextFit fit = context.getTextExtentEx(row.text.data(), static_cast<int32_t>(row.text.size()), row.maxExtent);
        EXPECT_EQ(fit.fitBytes, row.fitBytes) << row.what;
    }
    EXPECT_EQ(context.getTextExtentEx(text.data(), 5, 8).extent.width, 40) << "the extent is the whole text's";

    context.selectFont(Font::create({ 32, 0, 400, 0, 0, 0 }));
    EXPECT_EQ(context.getTextExtent("AB", 2).width, 32) << "two half-width characters, each half of 32";
    EXPECT_GE(context.getTextExtent("AB", 2).height, 32);
}

TEST(DeviceContext, TextLandsInsideItsBoxAtEveryDepth)
{
    for (int32_t depth : { 8, 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(60, 40, depth);
        memory.table[1] = { 0xFF, 0xFF, 0xFF, 0 };
        memory.table[2] = { 0x00, 0xFF, 0x00, 0 };
        memory.table[7] = { 0x10, 0x10, 0xE0, 0 }; // nearly red
        DeviceContext context(memory.buffer());
        context.setBkColor(Green);
        context.setTextColor(Red);
        // Opaque: a space has no ink, so its whole box is background.
        context.fillRect({ 0, 0, 60, 40 }, Brush::solid(White));
        context.textOut(10, 5, " ", 1);
        Size extent = context.getTextExtent(" ", 1);
        Ink background = inkOf(memory.buffer(), Green);
        EXPECT_EQ(background.bounds, (Rect { 10, 5, 18, 5 + extent.height }));
        EXPECT_EQ(background.count, 8 * extent.height);
        EXPECT_EQ(inkWhere(memory.buffer(), [](Color c) { return c != White; }).count, background.count);

        // Transparent: only the glyphs change pixels, all inside the box, in (nearly) red.
        context.fillRect({ 0, 0, 60, 40 }, Brush::solid(White));
        context.setBkMode(BackgroundMode::Transparent);
        context.textOut(10, 5, Nichi, 2);
        Ink ink = inkWhere(memory.buffer(), [](Color c) { return c != White; });
        EXPECT_GT(ink.count, 20);
        EXPECT_TRUE(within(ink.bounds, { 10, 5, 26, 5 + extent.height }));
        int32_t lowestRed = depth == 8 ? 0xE0 : 0xF0; // red mixed with white, or entry 7
        EXPECT_EQ(inkWhere(memory.buffer(), [&](Color c) { return c != White && redOf(c) < lowestRed; }).count, 0);
        if (depth == 8) {
            EXPECT_EQ(inkOf(memory.buffer(), 0x001010E0).count, ink.count) << "the nearest entry, never a mix";
        }
        for (int32_t i = 0; depth == 16 && i < memory.height * memory.width; ++i)
            ASSERT_EQ(memory.word(i % memory.width, i / memory.width) & 0x8000, 0) << "bit 15 stays clear";
    }
}

TEST(DeviceContext, LineToOutsideAPathDrawsWithThePen)
{
    PixelMemory memory(12, 7, 24);
    DeviceContext context(memory.buffer());
    context.selectPen(Pen::solid(1, Red));
    context.moveTo(2, 3);
    context.lineTo(8, 3);
    EXPECT_EQ(context.currentPosition(), (Point { 8, 3 }));
    Ink ink = inkWhere(memory.buffer(), [](Color c) { return c != 0; });
    EXPECT_EQ(pixelAt(memory, 2, 3), Red);
    EXPECT_EQ(pixelAt(memory, 7, 3), Red);
    EXPECT_EQ(inkOf(memory.buffer(), Red).count, ink.count);
    EXPECT_TRUE(within(ink.bounds, { 2, 3, 10, 4 })) << "one row, at most the end point more";
    context.selectPen(Pen::null());
    context.lineTo(8, 6);
    EXPECT_EQ(inkWhere(memory.buffer(), [](Color c) { return c != 0; }).count, ink.count) << "a null pen draws nothing";
    EXPECT_EQ(context.currentPosition(), (Point { 8, 6 }));
}

TEST(DeviceContext, StrokedPathIsAsWideAsThePenAndCentredOnTheLine)
{
    for (int32_t depth : { 8, 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(60, 40, depth);
        memory.table[5] = { 0xFF, 0x00, 0x00, 0 }; // blue
        DeviceContext context(memory.buffer());
        context.selectPen(Pen::solid(5, Blue));
        context.beginPath();
        context.moveTo(10, 20);
        context.lineTo(40, 20);
        context.endPath();
        EXPECT_TRUE(context.strokePath());
        EXPECT_FALSE(context.strokePath()) << "the path was used up";
        // Five rows centred on row 20; round ends reach about half the width past each end point.
        for (int32_t y = 18; y <= 22; ++y)
            EXPECT_EQ(pixelAt(memory, 25, y), Blue) << y;
        EXPECT_EQ(pixelAt(memory, 41, 20), Blue);
        EXPECT_TRUE(within(inkOf(memory.buffer(), Blue).bounds, { 7, 17, 44, 24 }));
    }
}

TEST(DeviceContext, WidenedPathIsFilledWithTheBrushAndEdgedWithThePen)
{
    PixelMemory memory(60, 40, 24);
    DeviceContext context(memory.buffer());
    context.selectPen(Pen::solid(9, 0));
    context.selectBrush(Brush::solid(Red));
    context.beginPath();
    context.moveTo(10, 20);
    context.lineTo(40, 20);
    context.endPath();
    EXPECT_TRUE(context.widenPath());
    context.selectPen(Pen::solid(1, Green));
    EXPECT_TRUE(context.strokeAndFillPath());
    EXPECT_EQ(pixelAt(memory, 25, 20), Red) << "inside: the brush";
    // The outline lies half the pen's width from the line, above and below; nothing beyond it.
    Ink outline = inkOf(memory.buffer(), Green);
    EXPECT_TRUE(outline.bounds.top == 15 || outline.bounds.top == 16) << outline.bounds.top;
    EXPECT_TRUE(outline.bounds.bottom == 25 || outline.bounds.bottom == 26) << outline.bounds.bottom;
    EXPECT_TRUE(within(inkWhere(memory.buffer(), [](Color c) { return c != 0; }).bounds, outline.bounds));
}

// A pen of one pixel or less has no outline to give: the path stays the open line, so stroking
// and filling it draws a one-pixel line in the pen's colour and fills nothing.
TEST(DeviceContext, WideningWithAThinPenFailsAndKeepsTheLine)
{
    for (int32_t width : { 1, 0 }) {
        SCOPED_TRACE(width);
        PixelMemory memory(20, 10, 24);
        DeviceContext context(memory.buffer());
        context.selectPen(Pen::solid(width, 0));
        context.selectBrush(Brush::solid(Red));
        context.beginPath();
        context.moveTo(2, 5);
        context.lineTo(15, 5);
        context.endPath();
        EXPECT_FALSE(context.widenPath());
        context.selectPen(Pen::solid(1, Green));
        EXPECT_TRUE(context.strokeAndFillPath()) << "the line is still there to draw";
        for (int32_t x = 3; x <= 14; ++x)
            EXPECT_EQ(pixelAt(memory, x, 5), Green) << x;
        EXPECT_TRUE(within(inkWhere(memory.buffer(), [](Color c) { return c != 0; }).bounds, { 2, 5, 16, 6 }));
        EXPECT_EQ(inkOf(memory.buffer(), Red).count, 0);
    }
}

TEST(DeviceContext, FilledFiguresAndPathOperationsWithoutAPath)
{
    PixelMemory memory(12, 10, 24);
    DeviceContext context(memory.buffer());
    EXPECT_FALSE(context.strokePath());
    EXPECT_FALSE(context.widenPath());
    EXPECT_FALSE(context.strokeAndFillPath());
    EXPECT_FALSE(context.fillPath());
    context.beginPath();
    context.lineTo(3, 3);
    EXPECT_FALSE(context.strokePath()) << "still open";

    context.selectBrush(Brush::solid(Blue));
    context.beginPath();
    context.moveTo(2, 2);
    context.lineTo(9, 2);
    context.lineTo(9, 8);
    context.lineTo(2, 8);
    context.closeFigure();
    context.endPath();
    EXPECT_TRUE(context.fillPath());
    EXPECT_EQ(pixelAt(memory, 5, 5), Blue);
    EXPECT_TRUE(within(inkOf(memory.buffer(), Blue).bounds, { 2, 2, 10, 9 }));
    EXPECT_EQ(pixelAt(memory, 1, 5), 0u);
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
    EXPECT_EQ(image.pixel(3, 4), entry);
    EXPECT_EQ(image.pixel(2, 3), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(4, 3), white);
    EXPECT_EQ(image.pixel(0, 0), entry);
    EXPECT_EQ(image.pixel(1, 1), entry);
    EXPECT_EQ(image.pixel(2, 2), white);
    EXPECT_EQ(image.pixel(5, 0), qRgb(1, 2, 3));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 0, 0));
}

}
}
