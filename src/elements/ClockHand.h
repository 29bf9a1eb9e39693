// The geometry and drawing of one clock hand: a thick line from the centre of the clock's
// rectangle, at an angle measured in radians counter-clockwise from the 3 o'clock direction. The
// second and minute hands jump once a second and once a minute; the hour hand moves with the
// minutes and goes round twice a day.
#pragma once

#include <platform/Color.h>
#include <platform/DeviceContext.h>
#include <platform/Rect.h>

#include <cstdint>
#include <ctime>

namespace nimbolt {

enum class HandKind : int32_t {
    Digital = 0,
    Second = 1,
    Minute = 2,
    Hour = 3,
};

struct HandGeometry {
    Point centre;
    Point end;
};

// The hand's angle for the time; 0 for Digital, which has no hand.
double handAngle(HandKind hand, const std::tm& time);

// Centre (the middle of rect, halves rounded toward zero) and end point, which lies
// size - lineWidth / 2 - 1 pixels from the centre along the angle (truncated toward zero; y grows
// downwards).
HandGeometry handGeometry(const Rect& rect, int32_t size, int32_t lineWidth, double angle);

// Draws the hand as a line lineWidth wide in color, or, when outline is not NoColor, as the
// outline of that line filled with color and edged one pixel wide in outline. The context's pen,
// brush and everything else it had selected are as before afterwards.
void drawHand(
    DeviceContext& context, const HandGeometry& geometry, int32_t lineWidth, Color color, Color outline);

}
