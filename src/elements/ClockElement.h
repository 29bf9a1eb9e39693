// A clock shows the local time of its last tick: as text formatted with a strftime pattern in a
// time locale, or as one hand (second, minute or hour) drawn from the centre of its rectangle. A
// dial with several hands is several clocks over one rectangle. A digital clock grows to fit its
// text on every tick and never shrinks.
#pragma once

#include <elements/ClockHand.h>
#include <elements/Element.h>

#include <ctime>

namespace nimbolt {

class ClockElement final : public Element {
public:
    static constexpr int32_t TextCapacity = 256;
    static constexpr int32_t NameCapacity = 32;

    explicit ClockElement(Ref<ElementHostLink> host);

    void paint(DeviceContext& context, const Rect& repaint) override;
    void tick() override;

    HandKind hand() const { return m_hand; }
    std::string_view text() const { return { m_text, static_cast<size_t>(m_textLength) }; }

private:
    void initialize(const ScriptArray& attributes) override;
    // The pixels the hand covers at the time.
    Rect handBounds(const std::tm& time) const;
    // The hand may reach beyond the rectangle.
    void invalidateBeyondRect(ElementCanvas& canvas) override;

    char m_text[TextCapacity] {};
    int32_t m_textLength { 0 };
    HandKind m_hand { HandKind::Digital };
    int32_t m_lineWidth { 1 };
    int32_t m_size { 0 };
    Color m_handBgcolor { NoColor };
    char m_locale[NameCapacity] = "japanese";
    char m_format[NameCapacity] = "%H:%M:%S";
    std::tm m_time {};
    bool m_ticked { false };
};

}
