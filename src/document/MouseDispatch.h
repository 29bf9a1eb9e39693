// The mouse of one document: a button or a move becomes a hit test of every element, each child
// from the last to the first before its parent and the root last, and each element that the test
// answers for gets its event (and so runs its handler). The position and the event code of the
// last dispatch are kept.
#pragma once

#include <document/DocObj.h>
#include <document/WindowSystem.h>
#include <elements/Element.h>
#include <platform/Rect.h>

#include <cstdint>

namespace nimbolt {

class MouseDispatch {
public:
    // The button's event to every element that the point is inside (root null: the position and
    // the code are kept, nothing is dispatched).
    void button(MouseButtonEvent event, int32_t x, int32_t y, DocObj* root);
    // Over, Move or Out to every element that the point entered, stays in or left.
    void move(int32_t x, int32_t y, DocObj& root);

    Point position() const { return { m_x, m_y }; }
    // The event last sent (for a move, the one sent last in the walk).
    MouseEvent lastEvent() const { return m_event; }

private:
    int32_t m_x { 0 };
    int32_t m_y { 0 };
    MouseEvent m_event { MouseEvent::Down };
};

}
