// The plain element: a box with a background whose text children the document window writes in
// the element's colour and font.
#pragma once

#include <elements/Element.h>

namespace nimbolt {

class DivElement final : public Element {
public:
    explicit DivElement(Ref<ElementHostLink> host)
        : Element(std::move(host))
    {
    }

    void paint(DeviceContext& context, const Rect& repaint) override;
};

}
