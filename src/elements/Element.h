// An element is a visible thing of a document: a rectangle of the window's client area with a
// background colour or picture, a text colour and font, six mouse handlers written as script
// text, a visibility flag and an opacity. The document window drives it through its operations
// (paint, hit test, mouse events, ticks); scripts reach it through one member table shared by
// every element of the document. Most members act by calling an operation of the element itself,
// so a class changes a member's effect by overriding the operation (a body ignores moves).
// Every change only asks the document to repaint a rectangle; drawing happens when it paints.
#pragma once

#include <elements/ElementHostLink.h>
#include <platform/Color.h>
#include <platform/Font.h>
#include <platform/FontSpec.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptArray.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace nimbolt {

// The mouse events, which are also the indices of their handlers.
enum class MouseEvent : int32_t {
    Down = 0,
    Up = 1,
    Out = 2,
    Over = 3,
    Move = 4,
    Click = 5, // this program's addition: a press and release without a drag between
};
inline constexpr int32_t HandlerCount = 6;
// The attribute and member name of an event's handler ("onmousedown" ...).
const char* handlerName(MouseEvent event);

// How the pointer stands to an element since the last hit test.
enum class HitResult : int32_t {
    Entered = 1,
    Inside = 2,
    Left = -1,
    Outside = -2,
};

// The green that blended background pictures leave out (pictures without alpha only).
inline constexpr uint32_t BackgroundKey = 0x00FF00;

// How a background picture with alpha is drawn: laid over what the back buffer holds below it
// (the element's own colour first, if it has one), or copied with its straight colour for a
// desktop that applies the alpha itself.
enum class PictureAlpha {
    Over,
    Straight,
};

struct ElementStyle {
    int32_t visible { 1 };
    Rect rect { 0, 0, 16, 16 };
    RefPtr<ElementPicture> backgroundImage;
    // The picture coordinate shown at the element's top-left corner.
    int32_t backgroundX { 0 };
    int32_t backgroundY { 0 };
    Color bgcolor { NoColor };
    Color color { 0 };
    FontSpec fontSpec;
    std::optional<Font> font;
    RefPtr<ScriptString> handlers[HandlerCount];
    // 0 opaque ... 255 invisible background picture.
    int32_t transparency { 0 };
    bool hover { false };
};

class Element : public ScriptObject {
public:
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    // Runs the handler of the event, if there is one, with node as this.
    virtual void mouseEvent(MouseEvent event, ScriptObject* node);
    int32_t visible() const { return m_style.visible; }
    virtual void setVisible(int32_t visible);
    Color color() const { return m_style.color; }
    virtual void setColor(Color color);
    Color bgColor() const { return m_style.bgcolor; }
    virtual void setBgColor(Color color);
    // Draws the element into the context, clipped to the repaint rectangle; leaves the text
    // colour and font that the node's text is written with selected.
    virtual void paint(DeviceContext& context, const Rect& repaint);
    virtual void moveBy(int32_t dx, int32_t dy);
    virtual void moveTo(int32_t left, int32_t top);
    virtual void resizeBy(int32_t dw, int32_t dh);
    virtual void resizeTo(int32_t width, int32_t height);
    // Loads the named picture (document bytes) as the background.
    virtual void setBackground(std::string_view file);
    virtual void setFont(const FontSpec& fontSpec);
    virtual HitResult hitTest(int32_t x, int32_t y);
    void setHandler(MouseEvent event, ScriptString* code);
    RefPtr<ScriptString> handler(MouseEvent event) const;
    const Rect& rect() const { return m_style.rect; }
    // Asks for a repaint of what the element draws, visible or not: its rectangle and whatever
    // reaches beyond it (its node's text, a clock's hand).
    void invalidateRect();
    // Whether the element's node has text children: they are written from the element's corner
    // downwards as far as they need, below its rectangle too.
    void setHasText(bool hasText) { m_hasText = hasText; }
    virtual void setBackgroundPosition(int32_t x, int32_t y);
    virtual void tick();

    const ElementStyle& style() const { return m_style; }

    // The member table of the elements, with count 1; null when memory runs out. A document
    // builds it once and hands it to its elements through ElementScripting.
    static RefPtr<PropertyTable> buildMembers(AtomTable& atoms);

protected:
    explicit Element(Ref<ElementHostLink> host);
    ~Element() override;

    // Reads the attributes and sends them to the element itself. It runs once the object is
    // complete, so that the class's own answers apply; a class adds its steps after the common
    // ones.
    virtual void initialize(const ScriptArray& attributes);
    void paintBackground(DeviceContext& context, const Rect& repaint, PictureAlpha alpha = PictureAlpha::Over);
    // Whether a repaint rectangle asks this element to paint (an edge touching counts).
    bool needsPaint(const Rect& repaint) const;
    // Leaves the element's text colour (unless it has none) and font selected in the context.
    void selectTextSettings(DeviceContext& context) const;
    void invalidateIfVisible();
    ElementCanvas* canvas() const { return m_host->canvas(); }
    ElementScripting* scripting() const { return m_host->scripting(); }
    ElementWindow* hostWindow() const { return m_host->window(); }
    TimeSource* timeSource() const { return m_host->time(); }
    // Asks for a repaint of what the element draws outside its rectangle.
    virtual void invalidateBeyondRect(ElementCanvas& canvas);

    ElementStyle m_style;

private:
    friend RefPtr<Element> createElement(std::string_view, Ref<ElementHostLink>, const ScriptArray&);

    Ref<ElementHostLink> m_host;
    bool m_hasText { false };

    // Shows the picture (none: no picture), registered with it as one of its viewers.
    void setBackgroundImage(RefPtr<ElementPicture> picture);

    // The script members.
    Status callMoveTo(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callMoveBy(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callResizeTo(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status callResizeBy(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status getColor(ScriptValue* result);
    Status putColor(const ScriptValue& value, ScriptValue* result);
    Status getBgColor(ScriptValue* result);
    Status putBgColor(const ScriptValue& value, ScriptValue* result);
    Status getLeft(ScriptValue* result);
    Status getTop(ScriptValue* result);
    Status getWidth(ScriptValue* result);
    Status getHeight(ScriptValue* result);
    Status getBackground(ScriptValue* result);
    Status putBackground(const ScriptValue& value, ScriptValue* result);
    Status callSetBackgroundPosition(int32_t argc, const ScriptValue* args, ScriptValue* result);
    template<MouseEvent Event>
    Status getHandler(ScriptValue* result);
    template<MouseEvent Event>
    Status putHandler(const ScriptValue& value, ScriptValue* result);
    Status callAttachImage(int32_t argc, const ScriptValue* args, ScriptValue* result);
    Status getOpacity(ScriptValue* result);
    Status putOpacity(const ScriptValue& value, ScriptValue* result);
    static const MemberTableRow s_members[];
};

// Whether an element of the tag reads the attribute (handlers and id included).
bool isKnownAttribute(std::string_view tag, std::string_view name);

// A new element for the tag (body, clock or div, matched exactly) built from the node's
// attributes; null for any other tag or when memory runs out.
RefPtr<Element> createElement(std::string_view tag, Ref<ElementHostLink> host, const ScriptArray& attributes);

// A colour given by a script: an integer as it is, a string as a colour text, anything else
// through its integer conversion.
Color colorFromValue(const ScriptValue& value);

}
