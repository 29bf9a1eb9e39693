#include <document/MouseDispatch.h>

#include <vector>

namespace nimbolt {

// The nodes the mouse visits, in visiting order: every element node, each child from the last
// to the first before its parent, the root last.
static std::vector<Ref<DocObj>> mouseWalk(DocObj& root)
{
    std::vector<Ref<DocObj>> order;
    struct Frame {
        DocObj* node;
        size_t remaining;
    };
    std::vector<Frame> stack { { &root, root.childNodes().size() } };
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.remaining == 0) {
            order.push_back(*frame.node);
            stack.pop_back();
            continue;
        }
        DocObj& child = *frame.node->childNodes()[--frame.remaining];
        if (!child.isText())
            stack.push_back({ &child, child.childNodes().size() });
    }
    return order;
}

void MouseDispatch::button(MouseButtonEvent event, int32_t x, int32_t y, DocObj* root)
{
    m_x = x;
    m_y = y;
    m_event = event == MouseButtonEvent::Down ? MouseEvent::Down
        : event == MouseButtonEvent::Up       ? MouseEvent::Up
                                              : MouseEvent::Click;
    if (!root)
        return;
    MouseEvent code = m_event;
    for (const Ref<DocObj>& node : mouseWalk(*root)) {
        RefPtr<Element> element = node->element();
        if (!element)
            continue;
        HitResult hit = element->hitTest(x, y);
        if (hit == HitResult::Entered || hit == HitResult::Inside)
            element->mouseEvent(code, node.ptr());
    }
}

void MouseDispatch::move(int32_t x, int32_t y, DocObj& root)
{
    m_x = x;
    m_y = y;
    m_event = MouseEvent::Move;
    for (const Ref<DocObj>& node : mouseWalk(root)) {
        RefPtr<Element> element = node->element();
        if (!element)
            continue;
        switch (element->hitTest(x, y)) {
        case HitResult::Entered:
            m_event = MouseEvent::Over;
            element->mouseEvent(MouseEvent::Over, node.ptr());
            break;
        case HitResult::Inside:
            m_event = MouseEvent::Move;
            element->mouseEvent(MouseEvent::Move, node.ptr());
            break;
        case HitResult::Left:
            m_event = MouseEvent::Out;
            element->mouseEvent(MouseEvent::Out, node.ptr());
            break;
        case HitResult::Outside:
            break;
        }
    }
}

}
