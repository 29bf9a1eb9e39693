// The window the elements are shown in, as a body or a clock sizes and shapes it.
#pragma once

#include <platform/Region.h>

#include <cstdint>
#include <optional>

namespace nimbolt {

class ElementWindow {
public:
    // The window's client size, or its outer size grown by the offsets.
    virtual void resizeTo(int32_t width, int32_t height) = 0;
    virtual void resizeBy(int32_t dw, int32_t dh) = 0;
    // The window's shape (none: the whole rectangle); the window owns it from then on.
    virtual void setRegion(std::optional<Region> region) = 0;

protected:
    ~ElementWindow() = default;
};

}
