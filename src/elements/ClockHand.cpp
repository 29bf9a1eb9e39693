#include <elements/ClockHand.h>

#include <algorithm>
#include <cmath>

namespace nimbolt {

// pi / 60 as 3.141592 / 60: a minute or a second of the dial is 2 x this.
static constexpr double SixtiethOfPi = 0.05235986666666667;
static constexpr double MinusOneSixtieth = -0.016666666666666666;
// -pi / 6 as -3.141592 / 6: one hour of the dial.
static constexpr double MinusSixthOfPi = -0.5235986666666667;

double handAngle(HandKind hand, const std::tm& time)
{
    switch (hand) {
    case HandKind::Second:
        return (15 - time.tm_sec) * 2 * SixtiethOfPi;
    case HandKind::Minute:
        return (15 - time.tm_min) * 2 * SixtiethOfPi;
    case HandKind::Hour:
        return ((time.tm_hour - 3) - time.tm_min * MinusOneSixtieth) * MinusSixthOfPi;
    case HandKind::Digital:
        break;
    }
    return 0;
}

static int32_t toCoordinate(double value)
{
    if (!(value == value))
        return 0;
    return static_cast<int32_t>(
        std::clamp(value, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
}

HandGeometry handGeometry(const Rect& rect, int32_t size, int32_t lineWidth, double angle)
{
    int64_t cx = (int64_t { rect.left } + rect.right) / 2;
    int64_t cy = (int64_t { rect.top } + rect.bottom) / 2;
    int64_t length = int64_t { size } - lineWidth / 2 - 1;
    double ex = static_cast<double>(cx) + static_cast<double>(length) * std::cos(angle);
    double ey = static_cast<double>(cy) - static_cast<double>(length) * std::sin(angle);
    return { { static_cast<int32_t>(cx), static_cast<int32_t>(cy) }, { toCoordinate(ex), toCoordinate(ey) } };
}

void drawHand(
    DeviceContext& context, const HandGeometry& geometry, int32_t lineWidth, Color color, Color outline)
{
    Pen previousPen = context.selectPen(Pen::solid(lineWidth, color));
    if (outline == NoColor) {
        context.beginPath();
        context.moveTo(geometry.centre.x, geometry.centre.y);
        context.lineTo(geometry.end.x, geometry.end.y);
        context.endPath();
        context.strokePath();
    } else {
        Brush previousBrush = context.selectBrush(Brush::solid(color));
        context.beginPath();
        context.moveTo(geometry.centre.x, geometry.centre.y);
        context.lineTo(geometry.end.x, geometry.end.y);
        context.endPath();
        context.widenPath();
        context.selectPen(Pen::solid(1, outline));
        context.strokeAndFillPath();
        context.selectBrush(previousBrush);
    }
    context.selectPen(previousPen);
}

}
