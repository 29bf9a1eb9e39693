// What a document needs of the desktop, in one narrow interface: top-level windows with their
// geometry, caption, shape, repaints and timers; message boxes; the popup menu; the screen; the
// desktop's file opener; and the end of the event loop. The desktop program implements it over
// the window system, nimbolt-render without a display, and tests with a recording double.
//
// Windows report back through WindowEvents, always on the one thread that runs everything.
// Geometry is in logical pixels: positions of the window's top-left corner on the screen, sizes
// of the client area unless a name says "outer".
#pragma once

#include <platform/DeviceContext.h>
#include <platform/Rect.h>
#include <platform/Region.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbolt {

// The window kinds a body's type attribute chooses; the numbers are the ones documents see.
enum class WindowKind : int32_t {
    Mascot = 0, // borderless, no taskbar entry, dragged by any point, only button-down events
    Screen = 1, // borderless, no taskbar entry, all mouse events
    ScreenWindow = 5, // an ordinary framed window with a caption
};

enum class MouseButtonEvent : int32_t {
    Down,
    Up,
    // The button came up where the pointer had not gone the drag distance from its press (after
    // Up, for the kinds that send Up).
    Click,
};

// Calls from a window to the one that drew it. A window never calls after it was destroyed.
class WindowEvents {
public:
    // The client area has a new size. Sent at once by every size change, hidden windows included.
    virtual void windowSized(int32_t width, int32_t height) = 0;
    virtual void windowMoved() = 0;
    // Draw the clip rectangle of the client area into target (whose origin is the client's).
    virtual void windowPaint(DeviceContext& target, const Rect& clip) = 0;
    // Left button and pointer movement, in client coordinates. Mascot windows send Down and Click;
    // once the pointer has gone the platform's drag distance with the button held, the window
    // follows it.
    virtual void windowMouseButton(MouseButtonEvent event, int32_t x, int32_t y) = 0;
    virtual void windowMouseMove(int32_t x, int32_t y) = 0;
    // A right click anywhere on the window.
    virtual void windowContextMenu() = 0;
    virtual void windowTimer(int32_t id) = 0;
    // A file dropped on the window: its name in the file system's own encoding.
    virtual void windowFileDropped(const std::string& path) = 0;

protected:
    ~WindowEvents() = default;
};

// How opaque each pixel of a client area is: one byte per pixel, 0 transparent ... 255 opaque,
// rows top down, width x height.
struct OpacityMap {
    int32_t width { 0 };
    int32_t height { 0 };
    std::vector<uint8_t> values;
};

class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    // The top-left corner of the whole window, frame included.
    virtual Point position() const = 0;
    virtual void moveTo(int32_t x, int32_t y) = 0;
    virtual Size clientSize() const = 0;
    // The size of the whole window: the client size plus whatever frame the kind adds.
    virtual Size outerSize() const = 0;
    // Sets the whole window's size; windowSized follows at once with the client size.
    virtual void setOuterSize(int32_t width, int32_t height) = 0;
    // Caption bytes in the document's Shift-JIS.
    virtual void setTitle(std::string_view shiftJis) = 0;
    virtual std::string title() const = 0;
    // The window shows only inside the region (client coordinates); none shows it whole.
    virtual void setShape(std::optional<Region> shape) = 0;
    virtual bool isShaped() const = 0;
    // Whether the window shows per-pixel opacity: a compositing desktop does, and so does the
    // renderer's picture. Elsewhere only the shape cuts the window. May change while it lives.
    virtual bool showsOpacity() const = 0;
    // The opacity of the client area's pixels (null: opaque inside the shape). Where the window
    // shows opacity, the shape is where the pointer reaches the window, and the pixels are shown
    // as translucent as the map says; elsewhere the map is not used.
    virtual void setOpacity(std::shared_ptr<const OpacityMap> opacity) = 0;
    // Asks for a repaint of the rectangle (the whole client area when null); paints come later,
    // through windowPaint.
    virtual void invalidate(const Rect* rect) = 0;
    // A timer that sends windowTimer(id) every period milliseconds; starting an id again replaces
    // its period.
    virtual void startTimer(int32_t id, int32_t milliseconds) = 0;
    virtual void stopTimer(int32_t id) = 0;
};

enum class MessageBoxButtons : int32_t {
    Ok,
    OkCancel,
};

enum class MessageBoxResult : int32_t {
    Ok = 1,
    Cancel = 2,
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // A new hidden window of the kind, reporting to events, with the caption "Nimbolt"; null when
    // the system cannot make one.
    virtual std::unique_ptr<NativeWindow> createWindow(WindowKind kind, WindowEvents& events) = 0;
    // A modal box owned by the window (none: no owner). Timers, paints and mouse events of every
    // window go on while it is open. Closing it counts as Cancel (as Ok for a box with OK only).
    virtual MessageBoxResult messageBox(NativeWindow* owner, std::string_view shiftJisText, const char* caption,
        MessageBoxButtons buttons) = 0;
    // The application's popup menu at the pointer.
    virtual void popupMenu() = 0;
    virtual Size screenSize() const = 0;
    virtual int32_t screenDepth() const = 0;
    // Opens a file or address with the desktop's default application, without waiting for it.
    virtual void openWithDesktop(std::string_view shiftJisTarget) = 0;
    // Ends the event loop; the program then returns 0.
    virtual void quit() = 0;
};

}
