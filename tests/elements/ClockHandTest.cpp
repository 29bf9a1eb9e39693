// Clock hands: angles and end points. The render cases show the drawn hands.
#include <elements/ClockHand.h>

#include <cmath>
#include <gtest/gtest.h>

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
    // Radians counter-clockwise from 3 o'clock.
    struct Row { const char* what; HandKind hand; std::tm time; double expected; };
    const Row rows[] = {
        { "second hand at 12:00:00 points up", HandKind::Second, timeOf(12, 0, 0), Pi / 2 },
        { "second hand at 30 s points down", HandKind::Second, timeOf(7, 9, 30), -Pi / 2 },
        { "minute hand at 45, whatever the seconds, points left", HandKind::Minute, timeOf(5, 45, 40), -Pi },
        { "hour hand at 12:00:00: a turn less than up", HandKind::Hour, timeOf(12, 0, 0), Pi / 2 - 2 * Pi },
        { "hour hand at 03:30:59 is 15 degrees below right", HandKind::Hour, timeOf(3, 30, 59), -Pi / 12 },
        // 9:45 is 22.5 degrees past 9 (180 degrees) towards 10, i.e. clockwise: 157.5 degrees.
        { "hour hand at 09:45", HandKind::Hour, timeOf(9, 45, 0), -6.75 * Pi / 6 },
        { "a digital clock has no hand", HandKind::Digital, timeOf(1, 2, 3), 0 },
    };
    for (const Row& row : rows)
        EXPECT_NEAR(handAngle(row.hand, row.time), row.expected, 1e-9) << row.what;
}

TEST(ClockHand, EndPointsForWorkedClocks)
{
    // Length = size - lineWidth / 2 - 1.
    struct Row { const char* what; Rect rect; int32_t size, lineWidth; double angle; Point centre, end; };
    const Row rows[] = {
        { "15 seconds: size 50, width 4", { 0, 0, 100, 100 }, 50, 4, 0, { 50, 50 }, { 97, 50 } },
        { "straight up: y shrinks", { 0, 0, 100, 100 }, 50, 4, Pi / 2, { 50, 50 }, { 50, 3 } },
        // sin(-1.570796) is a hair above -1: 50 + 46.99999999999 truncates to 96.
        { "straight down", { 0, 0, 100, 100 }, 50, 4, -Pi / 2, { 50, 50 }, { 50, 96 } },
        // cos(3 pi / 4) * 47 = -33.23...: 50 - 33.23 = 16.77 truncated to 16.
        { "up and left, truncated", { 0, 0, 100, 100 }, 50, 4, 3 * Pi / 4, { 50, 50 }, { 16, 16 } },
        { "odd sizes halve toward zero", { 1, 2, 4, 7 }, 3, 1, 0, { 2, 4 }, { 4, 4 } },
        { "size 0 reaches behind the centre", { 0, 0, 10, 10 }, 0, 4, 0, { 5, 5 }, { 2, 5 } },
        { "huge sizes do not overflow", { INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX }, INT32_MAX, -5, 0,
            { 0, 0 }, { INT32_MAX, 0 } },
    };
    for (const Row& row : rows) {
        HandGeometry geometry = handGeometry(row.rect, row.size, row.lineWidth, row.angle);
        EXPECT_EQ(geometry.centre, row.centre) << row.what;
        EXPECT_EQ(geometry.end, row.end) << row.what;
    }
}

}
}
