// The device context the program draws with: a target (pixel memory of one of the system's
// depths, or a window's paint surface) and a drawing state that can be saved and restored as a
// whole. The state is the text colour, the background mode and colour, the selected font, pen and
// brush and the current position; the path under construction is not part of it.
//
// Conventions kept from the classic drawing model:
//   - coordinates are pixels with (0, 0) at the top-left; a rectangle excludes its right column
//     and bottom row;
//   - integer line coordinates lie on pixel centres; a pen of width w covers w pixels across the
//     line, centred on it, with round ends and joins; lines and paths are not anti-aliased;
//   - text is Shift-JIS bytes, drawn with the top of its cell at the given y; in opaque mode a box
//     of the background colour as large as the text's extent is filled first;
//   - colours are 0x00BBGGRR.
// Nothing is ever drawn outside the target.
#pragma once

#include <platform/Brush.h>
#include <platform/Color.h>
#include <platform/Font.h>
#include <platform/Pen.h>
#include <platform/PixelBuffer.h>
#include <platform/Rect.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace nimbolt {

enum class BackgroundMode : int32_t {
    Transparent = 1,
    Opaque = 2,
};

struct TextFit {
    // Bytes of the whole characters whose accumulated width stays within the limit; a two-byte
    // character counts as its two bytes.
    int32_t fitBytes { 0 };
    // The extent of the whole text.
    Size extent;
};

class DeviceContextImpl;

class DeviceContext {
public:
    // A context over pixel memory that the caller keeps alive (and whose colour table, for 8 bits,
    // stays where it is) for the context's whole life.
    explicit DeviceContext(const PixelBuffer& target);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    Rect bounds() const;
    // The depth of the pixel memory drawn into; 0 for a window's paint surface.
    int32_t memoryDepth() const;
    // Limits fills, drawing and copies into the target to the rectangle (null: no limit). Scaled
    // copies are not limited.
    void setClipRect(const Rect* clip);

    // Pushes the state and returns the new depth (1 for the first save).
    int32_t saveDC();
    // Restores a saved state: a positive level restores the state saved as that level, a negative
    // one the state that many saves back (-1 the last). False, and nothing changes, when there is
    // no such state.
    bool restoreDC(int32_t level);

    Color setTextColor(Color color);
    Color textColor() const;
    BackgroundMode setBkMode(BackgroundMode mode);
    BackgroundMode bkMode() const;
    Color setBkColor(Color color);
    Color bkColor() const;
    // Each returns the previous selection.
    Font selectFont(const Font& font);
    Pen selectPen(const Pen& pen);
    Brush selectBrush(const Brush& brush);
    const Font& font() const;
    const Pen& pen() const;
    const Brush& brush() const;

    void fillRect(const Rect& rect, const Brush& brush);

    void textOut(int32_t x, int32_t y, const char* text, int32_t length);
    Size getTextExtent(const char* text, int32_t length) const;
    TextFit getTextExtentEx(const char* text, int32_t length, int32_t maxExtent) const;

    // Moves the current position; inside a path it also starts a new figure.
    Point moveTo(int32_t x, int32_t y);
    // Inside a path adds a segment; outside draws the line with the pen. Either way the current
    // position moves to (x, y).
    void lineTo(int32_t x, int32_t y);
    Point currentPosition() const;

    void beginPath();
    void endPath();
    // The path operations consume the closed path; false when there is none.
    bool strokePath();
    bool strokeAndFillPath();
    // Replaces the closed path by the outline of its stroke with the selected pen. A pen one pixel
    // wide or thinner has no outline to give: false, and the path stays as it was (so stroking it
    // then draws the path itself).
    bool widenPath();

    // Copies width x height pixels from (sourceX, sourceY) of the source to (x, y).
    void bitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const PixelBuffer& source,
        int32_t sourceX, int32_t sourceY);
    // Scales sourceRect onto targetRect by picking pixels (colours are never mixed).
    void stretchBlt(const Rect& targetRect, const PixelBuffer& source, const Rect& sourceRect);

private:
    friend class DeviceContextImpl;
    explicit DeviceContext(std::unique_ptr<DeviceContextImpl> impl);

    struct State {
        Color textColor { 0 };
        BackgroundMode bkMode { BackgroundMode::Opaque };
        Color bkColor { 0xFFFFFF };
        Font font;
        Pen pen;
        Brush brush;
        Point position;
    };

    State m_state;
    std::vector<State> m_saved;
    std::unique_ptr<DeviceContextImpl> m_impl;
};

}
