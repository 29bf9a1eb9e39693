// Where elements draw: the window's repaints, its back buffer, a context for measuring text and
// new picture objects. A change never draws at once; it asks for a repaint of its rectangle.
#pragma once

#include <base/Ref.h>
#include <base/Status.h>
#include <elements/ElementPicture.h>
#include <imaging/Surface.h>
#include <platform/DeviceContext.h>
#include <platform/Rect.h>

#include <cstdint>

namespace nimbolt {

class ElementCanvas {
public:
    // Asks for a repaint of the rectangle (the whole window when null); never draws at once.
    virtual void invalidate(const Rect* rect) = 0;
    // The back buffer's pixels, locked for direct writing; -1 when there is no back buffer.
    virtual Status lockBackBuffer(SurfaceInfo& info) = 0;
    virtual Status unlockBackBuffer(const SurfaceInfo& info) = 0;
    // A device context for measuring text; give it back with releaseDC.
    virtual DeviceContext* getDC() = 0;
    virtual void releaseDC(DeviceContext* context) = 0;
    // A new picture object of that size and depth (0 x 0: without picture); null when it cannot
    // be made.
    virtual RefPtr<ElementPicture> createImage(int32_t width, int32_t height, int32_t depth) = 0;

protected:
    ~ElementCanvas() = default;
};

}
