// Clock hands: angles for the worked times, the end point for the worked clock, and the drawn
// hand covering the pixels along its line and nothing far beyond.
#include <elements/ClockHand.h>

#include <imaging/Surface.h>

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace nimbolt::test {
namespace {

std::tm timeOf(int hours, int minutes, int seconds)
{
    std::tm time {};
    time.tm_hour = hours;
    time.tm_min = minutes;
    time.tm_sec = seconds;
    return time;
}

constexpr double Pi = 3.141592;

TEST(ClockHand, AnglesForWorkedTimes)
{
    struct Row {
        std::string name;
        HandKind hand;
        std::tm time;
        double expected; // radians counter-clockwise from 3 o'clock
    };
    const Row rows[] = {
        { "second hand at 12:00:00 points up", HandKind::Second, timeOf(12, 0, 0), Pi / 2 },
        { "minute hand at 12:00:00 points up", HandKind::Minute, timeOf(12, 0, 0), Pi / 2 },
        { "hour hand at 12:00:00: a full turn less than up", HandKind::Hour, timeOf(12, 0, 0),
            Pi / 2 - 2 * Pi },
        { "hour hand at 03:00:00 points right", HandKind::Hour, timeOf(3, 0, 0), 0 },
        { "hour hand at 03:30 is 15 degrees below right", HandKind::Hour, timeOf(3, 30, 0), -Pi / 12 },
        // 9:45 is 22.5 degrees past 9 (180 degrees) towards 10, i.e. clockwise: 157.5 degrees.
        { "hour hand at 09:45", HandKind::Hour, timeOf(9, 45, 0), -6.75 * Pi / 6 },
        { "second hand at 15 s points right", HandKind::Second, timeOf(0, 0, 15), 0 },
        { "second hand at 30 s points down", HandKind::Second, timeOf(0, 0, 30), -Pi / 2 },
        { "minute hand at 45 points left", HandKind::Minute, timeOf(0, 45, 0), -Pi },
        { "a digital clock has no hand", HandKind::Digital, timeOf(1, 2, 3), 0 },
    };
    for (const Row& row : rows)
        EXPECT_NEAR(handAngle(row.hand, row.time), row.expected, 1e-9) << row.name;
    // The 9:45 hour hand's direction: 22.5 degrees past 9 towards 10, above the left direction.
    double angle = handAngle(HandKind::Hour, timeOf(9, 45, 0));
    EXPECT_NEAR(std::cos(angle), -std::cos(22.5 * Pi / 180), 1e-6);
    EXPECT_NEAR(std::sin(angle), std::sin(22.5 * Pi / 180), 1e-6);
}

TEST(ClockHand, EndPointsForWorkedClocks)
{
    struct Row {
        std::string name;
        Rect rect;
        int32_t size;
        int32_t lineWidth;
        double angle;
        Point centre;
        Point end;
    };
    // Length = size - lineWidth / 2 - 1.
    const Row rows[] = {
        { "15 seconds in a 100 x 100 clock of size 50, width 4", { 0, 0, 100, 100 }, 50, 4, 0, { 50, 50 },
            { 97, 50 } },
        { "straight up: y shrinks", { 0, 0, 100, 100 }, 50, 4, Pi / 2, { 50, 50 }, { 50, 3 } },
        // sin(-1.570796) is a hair above -1: 50 + 46.99999999999 truncates to 96.
        { "straight down", { 0, 0, 100, 100 }, 50, 4, -Pi / 2, { 50, 50 }, { 50, 96 } },
        // cos(3 pi / 4) * 47 = -33.23...: 50 - 33.23 = 16.77 truncated to 16.
        { "up and left truncates toward zero", { 0, 0, 100, 100 }, 50, 4, 3 * Pi / 4, { 50, 50 },
            { 16, 16 } },
        { "odd sizes halve toward zero", { 1, 2, 4, 7 }, 3, 1, 0, { 2, 4 }, { 4, 4 } },
        { "size 0 reaches behind the centre", { 0, 0, 10, 10 }, 0, 4, 0, { 5, 5 }, { 2, 5 } },
    };
    for (const Row& row : rows) {
        HandGeometry geometry = handGeometry(row.rect, row.size, row.lineWidth, row.angle);
        EXPECT_EQ(geometry.centre, row.centre) << row.name;
        EXPECT_EQ(geometry.end, row.end) << row.name;
    }
}

TEST(ClockHand, HugeSizesDoNotOverflow)
{
    HandGeometry geometry = handGeometry({ INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX }, INT32_MAX, -5, 0);
    EXPECT_EQ(geometry.centre, (Point { 0, 0 }));
    EXPECT_EQ(geometry.end.x, INT32_MAX);
}

TEST(ClockHand, TheSecondHandAtFifteenSecondsIsDrawnAlongItsRow)
{
    for (Color outline : { NoColor, Color { 0x00FF00 } }) {
        SCOPED_TRACE(outline == NoColor ? "plain line" : "outlined");
        RefPtr<Surface> surface = createSurface(100, 100, 24);
        DeviceContext* context = nullptr;
        ASSERT_TRUE(surface->getDC(context).ok());
        context->selectPen(Pen::solid(1, 0x123456));
        HandGeometry geometry
            = handGeometry({ 0, 0, 100, 100 }, 50, 4, handAngle(HandKind::Second, timeOf(0, 0, 15)));
        drawHand(*context, geometry, 4, 0x0000FF, outline);
        EXPECT_EQ(context->pen(), Pen::solid(1, 0x123456)) << "the previous pen is back";
        EXPECT_EQ(context->brush(), Brush::solid(0xFFFFFF)) << "and the previous brush";

        SurfaceInfo info;
        ASSERT_TRUE(surface->getInfo(info).ok());
        auto marked = [&](int32_t x, int32_t y) {
            const uint8_t* p = info.bits + y * info.stride + x * 3;
            return p[0] != 0 || p[1] != 0 || p[2] != 0;
        };
        auto red = [&](int32_t x, int32_t y) {
            const uint8_t* p = info.bits + y * info.stride + x * 3;
            return p[0] == 0 && p[1] == 0 && p[2] == 0xFF;
        };
        for (int32_t x = 50; x <= 97; ++x)
            EXPECT_TRUE(red(x, 50)) << "along the hand at " << x;
        int32_t lowest = 100, highest = -1, rightmost = -1, leftmost = 100;
        for (int32_t y = 0; y < 100; ++y) {
            for (int32_t x = 0; x < 100; ++x) {
                if (!marked(x, y))
                    continue;
                lowest = std::min(lowest, y);
                highest = std::max(highest, y);
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
            }
        }
        // Round ends and the width of 4 (plus the outline) reach a few pixels past the line.
        EXPECT_GE(leftmost, 46);
        EXPECT_LE(rightmost, 100);
        EXPECT_GE(rightmost, 98);
        EXPECT_GE(lowest, 46);
        EXPECT_LE(highest, 54);
    }
}

// An outlined hand one pixel wide (or less) has no outline of its own: it is drawn as a one-pixel
// line in the outline's colour. At 15 seconds the hand runs along row 50 from the centre (50, 50)
// to x = 50 + 50 - 0 - 1 = 99.
TEST(ClockHand, AThinOutlinedHandIsALineInTheOutlineColour)
{
    for (int32_t lineWidth : { 1, 0 }) {
        SCOPED_TRACE(lineWidth);
        RefPtr<Surface> surface = createSurface(100, 100, 24);
        DeviceContext* context = nullptr;
        ASSERT_TRUE(surface->getDC(context).ok());
        HandGeometry geometry
            = handGeometry({ 0, 0, 100, 100 }, 50, lineWidth, handAngle(HandKind::Second, timeOf(0, 0, 15)));
        ASSERT_EQ(geometry.end, (Point { 99, 50 }));
        drawHand(*context, geometry, lineWidth, 0x0000FF, 0x00FF00);

        SurfaceInfo info;
        ASSERT_TRUE(surface->getInfo(info).ok());
        auto pixel = [&](int32_t x, int32_t y) {
            const uint8_t* p = info.bits + y * info.stride + x * 3;
            return uint32_t { p[0] } << 16 | uint32_t { p[1] } << 8 | p[2];
        };
        for (int32_t x = 51; x <= 98; ++x)
            EXPECT_EQ(pixel(x, 50), 0x00FF00u) << "along the hand at " << x;
        for (int32_t y = 0; y < 100; ++y) {
            for (int32_t x = 0; x < 100; ++x) {
                if (y != 50)
                    EXPECT_EQ(pixel(x, y), 0u) << "one pixel wide: " << x << "," << y;
                else
                    EXPECT_NE(pixel(x, y), 0x0000FFu) << "never the fill colour: " << x;
            }
        }
    }
}

}
}
