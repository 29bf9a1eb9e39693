// The element of a document's body: it stands for the whole window. It never moves, its size is
// the window's client size, and in mascot mode its background picture gives the window its size
// and shape: for an 8-bit picture every pixel whose index differs from the top-left pixel's, for a
// picture with alpha every pixel at least half opaque, and that picture's alpha is then also the
// window's opacity.
#pragma once

#include <elements/Element.h>

namespace nimbolt {

class BodyElement final : public Element {
public:
    explicit BodyElement(Ref<ElementHostLink> host)
        : Element(std::move(host))
    {
    }
    ~BodyElement() override;

    void paint(DeviceContext& context, const Rect& repaint) override;
    void moveBy(int32_t dx, int32_t dy) override;
    void moveTo(int32_t left, int32_t top) override;
    void resizeBy(int32_t dw, int32_t dh) override;
    void resizeTo(int32_t width, int32_t height) override;

    bool mascot() const { return m_mascot; }
    bool shaped() const { return m_shaped; }

private:
    void initialize(const ScriptArray& attributes) override;
    void reshape();

    bool m_mascot { false };
    bool m_shaped { false };
};

}
