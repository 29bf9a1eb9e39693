// The device context over our own pixel memory: its saved and restored state, text that lands
// inside its box (and only there) at every depth, text measuring with two-byte characters, lines
// and paths with wide pens, and copies onto other Qt paint devices.
#include <platform/DeviceContext.h>

#include <support/PixelMemory.h>
#include <platform/QtDeviceContext.h>

#include <QImage>
#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

// "日" in Shift-JIS, and the half-width katakana "ｱ".
const char Nichi[] = "\x93\xfa";
const char HalfWidthA[] = "\xb1";

TEST(DeviceContext, StartsWithTheClassicDefaults)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    EXPECT_EQ(context.textColor(), 0u);
    EXPECT_EQ(context.bkColor(), 0xFFFFFFu);
    EXPECT_EQ(context.bkMode(), BackgroundMode::Opaque);
    EXPECT_EQ(context.pen(), Pen::solid(1, 0));
    EXPECT_EQ(context.brush(), Brush::solid(0xFFFFFF));
    EXPECT_TRUE(context.font().isStock());
    EXPECT_EQ(context.bounds(), (Rect { 0, 0, 4, 4 }));
}

TEST(DeviceContext, SaveAndRestoreBringBackTheWholeState)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    Font big = Font::create({ 30, 0, 700, 0, 0, 0 });
    EXPECT_EQ(context.saveDC(), 1);
    context.setTextColor(0x0000FF);
    context.setBkMode(BackgroundMode::Transparent);
    context.setBkColor(0x123456);
    context.selectFont(big);
    context.selectPen(Pen::solid(4, 0x00FF00));
    context.selectBrush(Brush::solid(0xFF0000));
    context.moveTo(3, 2);
    EXPECT_EQ(context.saveDC(), 2);
    context.setTextColor(0x777777);
    context.selectFont(Font());

    EXPECT_TRUE(context.restoreDC(-1));
    EXPECT_EQ(context.textColor(), 0x0000FFu);
    EXPECT_EQ(context.font(), big);
    EXPECT_EQ(context.currentPosition(), (Point { 3, 2 }));

    EXPECT_TRUE(context.restoreDC(1)) << "by level: back to the first save";
    EXPECT_EQ(context.textColor(), 0u);
    EXPECT_EQ(context.bkMode(), BackgroundMode::Opaque);
    EXPECT_EQ(context.bkColor(), 0xFFFFFFu);
    EXPECT_TRUE(context.font().isStock());
    EXPECT_EQ(context.pen(), Pen::solid(1, 0));
    EXPECT_EQ(context.brush(), Brush::solid(0xFFFFFF));
    EXPECT_EQ(context.currentPosition(), (Point { 0, 0 }));

    EXPECT_FALSE(context.restoreDC(-1)) << "nothing left to restore";
    EXPECT_FALSE(context.restoreDC(0));
    EXPECT_EQ(context.saveDC(), 1) << "the stack was emptied by restoring level 1";
    EXPECT_FALSE(context.restoreDC(2));
}

TEST(DeviceContext, SelectedFontOutlivesItsOwnersCopy)
{
    PixelMemory memory(40, 20, 24);
    DeviceContext context(memory.buffer());
    {
        Font owned = Font::create({ 12, 0, 400, 0, 0, 0 });
        context.selectFont(owned);
    }
    EXPECT_EQ(context.font().fontSpec().height, 12);
    EXPECT_GT(context.getTextExtent("A", 1).width, 0);
}

TEST(DeviceContext, FillRectWithANullBrushDrawsNothing)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    context.fillRect({ 0, 0, 4, 4 }, Brush::null());
    for (uint8_t byte : memory.bytes)
        EXPECT_EQ(byte, 0);
    context.fillRect({ 1, 1, 2, 3 }, Brush::solid(0x0000FF));
    EXPECT_EQ(memory.at(1, 2)[2], 0xFF) << "red byte of the last filled row";
    EXPECT_EQ(memory.at(1, 3)[2], 0) << "bottom excluded";
    EXPECT_EQ(memory.at(2, 1)[2], 0) << "right excluded";
}

TEST(DeviceContext, TextExtentsCountTwoByteCharactersAsTheirBytes)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    // IPAGothic at 16 pixels: half-width characters 8 pixels, full-width 16.
    EXPECT_EQ(context.getTextExtent("A", 1).width, 8);
    EXPECT_EQ(context.getTextExtent(HalfWidthA, 1).width, 8);
    EXPECT_EQ(context.getTextExtent(Nichi, 2).width, 16);
    const std::string text = std::string("AB") + Nichi + "C"; // 8 + 8 + 16 + 8
    Size extent = context.getTextExtent(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(extent.width, 40);
    EXPECT_GE(extent.height, 16);
    EXPECT_LE(extent.height, 18);

    struct Row {
        std::string name;
        int32_t maxExtent;
        int32_t fitBytes;
    };
    const Row rows[] = {
        { "nothing fits in 7", 7, 0 },
        { "one character in 8", 8, 1 },
        { "the wide character does not fit in 31", 31, 2 },
        { "it fits in 32, as two bytes", 32, 4 },
        { "all of it", 40, 5 },
        { "more room than text", 1000, 5 },
        { "negative room", -3, 0 },
    };
    for (const Row& row : rows) {
        TextFit fit = context.getTextExtentEx(text.data(), static_cast<int32_t>(text.size()), row.maxExtent);
        EXPECT_EQ(fit.fitBytes, row.fitBytes) << row.name;
        EXPECT_EQ(fit.extent.width, 40) << row.name;
    }
}

TEST(DeviceContext, ALeadByteAtTheEndIsOneCharacter)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    TextFit fit = context.getTextExtentEx("A\x93", 2, 1000);
    EXPECT_EQ(fit.fitBytes, 2);
}

TEST(DeviceContext, FontSpecSetsTheSize)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    context.selectFont(Font::create({ 32, 0, 400, 0, 0, 0 }));
    EXPECT_EQ(context.getTextExtent("AB", 2).width, 32) << "two half-width characters, each half of 32";
    EXPECT_GE(context.getTextExtent("AB", 2).height, 32);
}

// Fills the memory white, draws "AB" at (10, 5) and reports the box the text claimed.
Rect drawSampleText(
    PixelMemory& memory, DeviceContext& context, BackgroundMode mode, const char* text, int32_t length)
{
    context.fillRect({ 0, 0, memory.width, memory.height }, Brush::solid(0xFFFFFF));
    context.setBkMode(mode);
    context.setBkColor(0x00FF00);
    context.setTextColor(0x0000FF);
    context.textOut(10, 5, text, length);
    Size extent = context.getTextExtent(text, length);
    return { 10, 5, 10 + extent.width, 5 + extent.height };
}

TEST(DeviceContext, TransparentTextChangesPixelsOnlyInsideItsBox)
{
    for (int32_t depth : { 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(60, 40, depth);
        DeviceContext context(memory.buffer());
        Rect box = drawSampleText(memory, context, BackgroundMode::Transparent, "AB", 2);
        EXPECT_EQ(box.width(), 16);
        int32_t changedInside = 0;
        for (int32_t y = 0; y < memory.height; ++y) {
            for (int32_t x = 0; x < memory.width; ++x) {
                Color color = pixelAt(memory, x, y);
                if (color == 0xFFFFFF)
                    continue;
                EXPECT_TRUE(box.contains(x, y)) << "changed outside the box at " << x << "," << y;
                ++changedInside;
                // Text pixels are red mixed with white: red stays high, green and blue never
                // exceed the white they came from.
                EXPECT_GE(redOf(color), 0xF0);
            }
        }
        EXPECT_GT(changedInside, 20);
        if (depth == 16) {
            for (int32_t y = 0; y < memory.height; ++y) {
                for (int32_t x = 0; x < memory.width; ++x)
                    EXPECT_EQ(memory.word(x, y) & 0x8000, 0) << x << "," << y;
            }
        }
    }
}

TEST(DeviceContext, OpaqueTextFillsItsBoxWithTheBackgroundColour)
{
    for (int32_t depth : { 8, 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(40, 30, depth);
        memory.table[1] = { 0xFF, 0xFF, 0xFF, 0 };
        memory.table[2] = { 0x00, 0xFF, 0x00, 0 };
        memory.table[3] = { 0x00, 0x00, 0xFF, 0 };
        DeviceContext context(memory.buffer());
        // A space has no ink: its whole box is background.
        Rect box = drawSampleText(memory, context, BackgroundMode::Opaque, " ", 1);
        EXPECT_EQ(box.width(), 8);
        for (int32_t y = 0; y < memory.height; ++y) {
            for (int32_t x = 0; x < memory.width; ++x)
                EXPECT_EQ(pixelAt(memory, x, y), box.contains(x, y) ? 0x00FF00u : 0xFFFFFFu) << x << "," << y;
        }
    }
}

TEST(DeviceContext, TextInEightBitsUsesTheNearestEntry)
{
    PixelMemory memory(50, 30, 8);
    memory.table[1] = { 0xFF, 0xFF, 0xFF, 0 };
    memory.table[7] = { 0x10, 0x10, 0xE0, 0 }; // nearly red
    DeviceContext context(memory.buffer());
    Rect box = drawSampleText(memory, context, BackgroundMode::Transparent, Nichi, 2);
    EXPECT_EQ(box.width(), 16);
    int32_t inked = 0;
    for (int32_t y = 0; y < memory.height; ++y) {
        for (int32_t x = 0; x < memory.width; ++x) {
            uint8_t index = *memory.at(x, y);
            if (index == 1)
                continue;
            EXPECT_EQ(index, 7) << x << "," << y;
            EXPECT_TRUE(box.contains(x, y)) << x << "," << y;
            ++inked;
        }
    }
    EXPECT_GT(inked, 20);
}

TEST(DeviceContext, LineToOutsideAPathDrawsWithThePen)
{
    PixelMemory memory(12, 7, 24);
    DeviceContext context(memory.buffer());
    context.selectPen(Pen::solid(1, 0x0000FF));
    context.moveTo(2, 3);
    context.lineTo(8, 3);
    EXPECT_EQ(context.currentPosition(), (Point { 8, 3 }));
    for (int32_t x = 2; x < 8; ++x)
        EXPECT_EQ(pixelAt(memory, x, 3), 0x0000FFu) << x;
    for (int32_t x = 0; x < 12; ++x) {
        EXPECT_EQ(pixelAt(memory, x, 2), 0u) << x;
        EXPECT_EQ(pixelAt(memory, x, 4), 0u) << x;
    }
    EXPECT_EQ(pixelAt(memory, 0, 3), 0u);
    EXPECT_EQ(pixelAt(memory, 10, 3), 0u);
}

TEST(DeviceContext, StrokedPathIsAsWideAsThePenAndCentredOnTheLine)
{
    for (int32_t depth : { 8, 16, 24 }) {
        SCOPED_TRACE(depth);
        PixelMemory memory(60, 40, depth);
        memory.table[5] = { 0xFF, 0x00, 0x00, 0 }; // blue
        DeviceContext context(memory.buffer());
        context.selectPen(Pen::solid(5, 0xFF0000));
        context.beginPath();
        context.moveTo(10, 20);
        context.lineTo(40, 20);
        context.endPath();
        EXPECT_TRUE(context.strokePath());
        EXPECT_FALSE(context.strokePath()) << "the path was used up";
        const Color blue = 0xFF0000u;
        // Five rows centred on row 20 along the middle of the line.
        for (int32_t y = 18; y <= 22; ++y)
            EXPECT_EQ(pixelAt(memory, 25, y), blue) << y;
        EXPECT_NE(pixelAt(memory, 25, 16), blue);
        EXPECT_NE(pixelAt(memory, 25, 24), blue);
        // Round ends reach about half the width past each end point, no further.
        EXPECT_EQ(pixelAt(memory, 41, 20), blue);
        EXPECT_NE(pixelAt(memory, 44, 20), blue);
        EXPECT_NE(pixelAt(memory, 6, 20), blue);
    }
}

TEST(DeviceContext, WidenedPathIsFilledWithTheBrushAndEdgedWithThePen)
{
    PixelMemory memory(60, 40, 24);
    DeviceContext context(memory.buffer());
    context.selectPen(Pen::solid(9, 0x000000));
    context.selectBrush(Brush::solid(0x0000FF));
    context.beginPath();
    context.moveTo(10, 20);
    context.lineTo(40, 20);
    context.endPath();
    EXPECT_TRUE(context.widenPath());
    context.selectPen(Pen::solid(1, 0x00FF00));
    EXPECT_TRUE(context.strokeAndFillPath());
    EXPECT_EQ(pixelAt(memory, 25, 20), 0x0000FFu) << "inside: the brush";
    int32_t edge = 0;
    for (int32_t y = 12; y < 20; ++y) {
        if (pixelAt(memory, 25, y) == 0x00FF00u)
            edge = y;
    }
    EXPECT_GE(edge, 15) << "the outline lies half the pen's width above the line";
    EXPECT_LE(edge, 16);
    EXPECT_EQ(pixelAt(memory, 25, 12), 0u) << "nothing beyond the outline";
    EXPECT_EQ(pixelAt(memory, 25, 28), 0u);
}

// A pen of one pixel or less has no outline to give: the path stays the open line, so stroking
// and filling it draws a one-pixel line in the pen's colour and fills nothing.
TEST(DeviceContext, WideningWithAThinPenFailsAndKeepsTheLine)
{
    for (int32_t width : { 1, 0 }) {
        SCOPED_TRACE(width);
        PixelMemory memory(20, 10, 24);
        DeviceContext context(memory.buffer());
        context.selectPen(Pen::solid(width, 0x000000));
        context.selectBrush(Brush::solid(0x0000FF));
        context.beginPath();
        context.moveTo(2, 5);
        context.lineTo(15, 5);
        context.endPath();
        EXPECT_FALSE(context.widenPath());
        context.selectPen(Pen::solid(1, 0x00FF00));
        EXPECT_TRUE(context.strokeAndFillPath()) << "the line is still there to draw";
        for (int32_t y = 0; y < 10; ++y) {
            for (int32_t x = 0; x < 20; ++x) {
                bool onLine = y == 5 && x >= 3 && x <= 14;
                if (onLine)
                    EXPECT_EQ(pixelAt(memory, x, y), 0x00FF00u) << x << "," << y;
                else if (y != 5)
                    EXPECT_EQ(pixelAt(memory, x, y), 0u) << x << "," << y;
                else
                    EXPECT_NE(pixelAt(memory, x, y), 0x0000FFu) << x << "," << y;
            }
        }
    }
}

TEST(DeviceContext, PathOperationsWithoutAPathFail)
{
    PixelMemory memory(4, 4, 24);
    DeviceContext context(memory.buffer());
    EXPECT_FALSE(context.strokePath());
    EXPECT_FALSE(context.widenPath());
    EXPECT_FALSE(context.strokeAndFillPath());
    context.beginPath();
    context.lineTo(3, 3);
    EXPECT_FALSE(context.strokePath()) << "still open";
}

TEST(DeviceContext, BlitsOntoAQtPaintDeviceGoThroughTheColourTable)
{
    PixelMemory picture(2, 2, 8);
    picture.table[1] = { 0x30, 0x20, 0x10, 0 };
    *picture.at(1, 1) = 1;
    QImage image(6, 6, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    {
        std::unique_ptr<DeviceContext> context = createDeviceContext(image);
        context->bitBlt(2, 3, 2, 2, picture.buffer(), 0, 0);
        context->stretchBlt({ 0, 0, 2, 2 }, picture.buffer(), { 1, 1, 2, 2 });
        context->fillRect({ 5, 5, 9, 9 }, Brush::solid(0x0000FF));
    }
    EXPECT_EQ(image.pixel(3, 4), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(image.pixel(2, 3), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(4, 3), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(image.pixel(1, 1), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 0, 0));
}

}
}
