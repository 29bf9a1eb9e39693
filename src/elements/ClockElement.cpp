#include <elements/ClockElement.h>

#include <elements/AttributeReaders.h>
#include <elements/TimeFormat.h>
#include <base/Assert.h>
#include <base/WrappingInt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nimbolt {

ClockElement::ClockElement(Ref<ElementHostLink> host)
    : Element(std::move(host))
{
}

void ClockElement::initialize(const ScriptArray& attributes)
{
    Element::initialize(attributes);
    char text[256];
    if (readAttributeText(attributes, "fmt", text, sizeof text).ok()) {
        std::snprintf(m_format, sizeof m_format, "%.31s", text);
        tick();
    }
    if (readAttributeText(attributes, "locale", text, sizeof text).ok()) {
        std::snprintf(m_locale, sizeof m_locale, "%.31s", text);
        tick();
    }
    if (readAttributeText(attributes, "hand", text, sizeof text).ok()) {
        if (std::strcmp(text, "sec") == 0)
            m_hand = HandKind::Second;
        else if (std::strcmp(text, "min") == 0)
            m_hand = HandKind::Minute;
        else if (std::strcmp(text, "hour") == 0)
            m_hand = HandKind::Hour;
        else
            m_hand = HandKind::Digital;
        invalidateIfVisible();
    }
    if (readAttributeInt(attributes, "lineWidth", m_lineWidth).ok())
        invalidateIfVisible();
    if (readAttributeInt(attributes, "size", m_size).ok())
        invalidateIfVisible();
    if (readAttributeColor(attributes, "handBgcolor", m_handBgcolor).ok())
        invalidateIfVisible();
    // A clock shows the time from the start, not midnight until the window's first tick.
    if (!m_ticked)
        tick();
}

void ClockElement::tick()
{
    // The link is cut as a whole: with the canvas goes the time source.
    ElementCanvas* canvas = this->canvas();
    if (!canvas)
        return;
    TimeSource* time = timeSource();
    NIMBOLT_ASSERT(time);
    std::tm previous = m_time;
    bool first = !m_ticked;
    m_time = time->localTime();
    m_ticked = true;
    if (m_hand != HandKind::Digital && !first) {
        // Only the hand changes: repaint where it was and where it is, when it moved at all.
        Rect before = handBounds(previous), after = handBounds(m_time);
        if (before != after && m_style.visible) {
            canvas->invalidate(&before);
            canvas->invalidate(&after);
        }
        return;
    }
    if (m_hand == HandKind::Digital) {
        // An unknown locale name keeps the one in use.
        setTimeLocale(m_locale);
        m_textLength = formatTime(m_format, m_time, currentTimeLocale(), m_text, TextCapacity);
        if (DeviceContext* context = canvas->getDC()) {
            int32_t saved = context->saveDC();
            if (m_style.font)
                context->selectFont(*m_style.font);
            Size extent = context->getTextExtent(m_text, m_textLength);
            context->restoreDC(saved);
            canvas->releaseDC(context);
            Rect& rect = m_style.rect;
            rect.right = wrapAdd(rect.left, std::max(wrapSubtract(rect.right, rect.left), extent.width));
            rect.bottom = wrapAdd(rect.top, std::max(wrapSubtract(rect.bottom, rect.top), extent.height));
        }
    }
    invalidateIfVisible();
}

void ClockElement::invalidateBeyondRect(ElementCanvas& canvas)
{
    Element::invalidateBeyondRect(canvas);
    if (m_hand == HandKind::Digital)
        return;
    Rect bounds = handBounds(m_time);
    canvas.invalidate(&bounds);
}

Rect ClockElement::handBounds(const std::tm& time) const
{
    HandGeometry geometry = handGeometry(m_style.rect, m_size, m_lineWidth, handAngle(m_hand, time));
    // Half the pen on each side, the outline's pixel and a pixel of rounding; the edges wrap at the
    // ends of the 32-bit range as the clock's own rectangle does.
    int32_t margin = std::max(m_lineWidth, 1) / 2 + 3;
    return { wrapSubtract(std::min(geometry.centre.x, geometry.end.x), margin),
        wrapSubtract(std::min(geometry.centre.y, geometry.end.y), margin),
        wrapAdd(std::max(geometry.centre.x, geometry.end.x), margin + 1),
        wrapAdd(std::max(geometry.centre.y, geometry.end.y), margin + 1) };
}

void ClockElement::paint(DeviceContext& context, const Rect& repaint)
{
    if (!needsPaint(repaint))
        return;
    paintBackground(context, repaint);
    if (m_hand == HandKind::Digital) {
        bool box = m_style.bgcolor != NoColor && !m_style.backgroundImage;
        context.setBkMode(box ? BackgroundMode::Opaque : BackgroundMode::Transparent);
        if (box)
            context.setBkColor(m_style.bgcolor);
        context.setTextColor(m_style.color);
        if (m_style.font)
            context.selectFont(*m_style.font);
        context.textOut(m_style.rect.left, m_style.rect.top, m_text, m_textLength);
        return;
    }
    // A hand outside the repaint rectangle has nothing to draw there.
    if (handBounds(m_time).intersected(repaint).isEmpty())
        return;
    HandGeometry geometry = handGeometry(m_style.rect, m_size, m_lineWidth, handAngle(m_hand, m_time));
    drawHand(context, geometry, m_lineWidth, m_style.color, m_handBgcolor);
}

}
