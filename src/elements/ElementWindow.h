// The window the elements are shown in, as a body or a clock sizes and shapes it.
#pragma once

#include <imaging/Surface.h>
#include <platform/Region.h>

#include <cstdint>
#include <optional>

namespace nimbolt {

class ElementWindow {
public:
    // The window's client size, or its outer size grown by the offsets.
    virtual void resizeTo(int32_t width, int32_t height) = 0;
    virtual void resizeBy(int32_t dw, int32_t dh) = 0;
    // The window's shape (none: the whole rectangle); the window owns it from then on. A picture
    // with alpha (32 bits) that the window shows from its top-left corner gives each pixel its
    // opacity (null: opaque inside the shape).
    virtual void setRegion(std::optional<Region> region, const Surface* opacityPicture) = 0;
    // Whether the desktop shows the window's pixels as translucent as their opacity says (the
    // shape then only says where the pointer reaches the window). May change while it lives.
    virtual bool showsOpacity() const = 0;

protected:
    ~ElementWindow() = default;
};

}
