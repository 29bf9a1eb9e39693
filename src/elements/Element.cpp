#include <elements/Element.h>

#include <elements/AttributeReaders.h>
#include <elements/BodyElement.h>
#include <elements/ClockElement.h>
#include <elements/DivElement.h>
#include <imaging/Blend.h>
#include <imaging/ColorText.h>
#include <base/WrappingInt.h>
#include <script/runtime/MemberTable.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace nimbolt {

Element::Element(Ref<ElementHostLink> host)
    : m_host(std::move(host))
{
}

void Element::initialize(const ScriptArray& attributes)
{
    int32_t left = 0, top = 0, width = 16, height = 8, fontSize = 0, fontWeight = 400;
    Color bgcolor = NoColor, color = 0;
    char background[256] = {};
    static constexpr const char* absentKeepsDefault = "an absent attribute keeps the default";
    ignoreStatus(readAttributeInt(attributes, "left", left), absentKeepsDefault);
    ignoreStatus(readAttributeInt(attributes, "top", top), absentKeepsDefault);
    ignoreStatus(readAttributeInt(attributes, "width", width), absentKeepsDefault);
    ignoreStatus(readAttributeInt(attributes, "height", height), absentKeepsDefault);
    ignoreStatus(readAttributeText(attributes, "background", background, sizeof background), absentKeepsDefault);
    ignoreStatus(readAttributeColor(attributes, "bgcolor", bgcolor), absentKeepsDefault);
    ignoreStatus(readAttributeColor(attributes, "color", color), absentKeepsDefault);
    ignoreStatus(readAttributeInt(attributes, "fontSize", fontSize), absentKeepsDefault);
    ignoreStatus(readAttributeInt(attributes, "fontWeight", fontWeight), absentKeepsDefault);

    moveTo(left, top);
    resizeTo(width, height);
    setColor(color);
    setBgColor(bgcolor);
    if (background[0])
        setBackground(background);
    if (fontSize > 0 || fontWeight != 400)
        setFont({ fontSize != 0 ? fontSize : 16, 0, fontWeight, 0, 0, 0 });

    for (int32_t index = 0; index < HandlerCount; ++index) {
        char code[512];
        if (!readAttributeText(attributes, handlerName(static_cast<MouseEvent>(index)), code, sizeof code).ok())
            continue;
        if (RefPtr<ScriptString> string = createString(code, static_cast<int32_t>(std::strlen(code))))
            setHandler(static_cast<MouseEvent>(index), string.ptr());
    }
}

bool isKnownAttribute(std::string_view tag, std::string_view name)
{
    static const char* const common[] = { "id", "left", "top", "width", "height", "background", "bgcolor", "color",
        "fontSize", "fontWeight" };
    static const char* const clock[] = { "fmt", "locale", "hand", "lineWidth", "size", "handBgcolor" };
    auto among = [&](const auto& names) { return std::find(std::begin(names), std::end(names), name) != std::end(names); };
    for (int32_t index = 0; index < HandlerCount; ++index) {
        if (name == handlerName(static_cast<MouseEvent>(index)))
            return true;
    }
    return among(common) || (tag == "clock" && among(clock)) || (tag == "body" && name == "type");
}

const char* handlerName(MouseEvent event)
{
    static const char* const names[HandlerCount] = {
        "onmousedown", "onmouseup", "onmouseout", "onmouseover", "onmousemove", "onclick",
    };
    return names[static_cast<int32_t>(event)];
}

RefPtr<Element> createElement(std::string_view tag, Ref<ElementHostLink> host, const ScriptArray& attributes)
{
    RefPtr<Element> created;
    if (tag == "body")
        created = adoptRef(new (std::nothrow) BodyElement(std::move(host)));
    else if (tag == "clock")
        created = adoptRef(new (std::nothrow) ClockElement(std::move(host)));
    else if (tag == "div")
        created = adoptRef(new (std::nothrow) DivElement(std::move(host)));
    if (created)
        created->initialize(attributes);
    return created;
}

Element::~Element()
{
    if (m_style.backgroundImage)
        m_style.backgroundImage->removeViewer(*this);
}

void Element::setBackgroundImage(RefPtr<ElementPicture> picture)
{
    if (m_style.backgroundImage)
        m_style.backgroundImage->removeViewer(*this);
    m_style.backgroundImage = std::move(picture);
    if (m_style.backgroundImage)
        m_style.backgroundImage->addViewer(*this);
}

void ElementPicture::repaintViewers()
{
    for (Element* viewer : m_viewers) {
        if (viewer->visible())
            viewer->invalidateRect();
    }
}

void Element::invalidateRect()
{
    ElementCanvas* canvas = this->canvas();
    if (!canvas)
        return;
    canvas->invalidate(&m_style.rect);
    invalidateBeyondRect(*canvas);
}

void Element::invalidateBeyondRect(ElementCanvas& canvas)
{
    if (!m_hasText)
        return;
    // The text's lines are as wide as the element, or one character when that is wider, and go
    // down as far as the text needs.
    const Rect& rect = m_style.rect;
    int32_t character = 2 * std::max(m_style.fontSpec.height, 16);
    Rect column { rect.left, rect.top, std::max(rect.right, wrapAdd(rect.left, character)),
        std::numeric_limits<int32_t>::max() };
    canvas.invalidate(&column);
}

void Element::invalidateIfVisible()
{
    if (m_style.visible)
        invalidateRect();
}

void Element::mouseEvent(MouseEvent event, ScriptObject* node)
{
    RefPtr<ScriptString> code = handler(event);
    ElementScripting* scripting = this->scripting();
    if (!code || !scripting)
        return;
    // The handler may replace the document; this element and its node stay until it returns.
    Ref<Element> protect(*this);
    RefPtr<ScriptObject> protectNode(node);
    ScriptValue result;
    ignoreStatus(scripting->evaluate(node, *code, &result), "a failing handler was reported by the runner");
    releaseValue(result);
}

void Element::setVisible(int32_t visible)
{
    m_style.visible = visible;
    invalidateRect();
}

void Element::setColor(Color color)
{
    m_style.color = color;
    invalidateIfVisible();
}

void Element::setBgColor(Color color)
{
    m_style.bgcolor = color;
    invalidateIfVisible();
}

void Element::moveBy(int32_t dx, int32_t dy)
{
    invalidateIfVisible();
    Rect& rect = m_style.rect;
    rect = { wrapAdd(rect.left, dx), wrapAdd(rect.top, dy), wrapAdd(rect.right, dx), wrapAdd(rect.bottom, dy) };
    invalidateIfVisible();
}

void Element::moveTo(int32_t left, int32_t top)
{
    moveBy(wrapSubtract(left, m_style.rect.left), wrapSubtract(top, m_style.rect.top));
}

void Element::resizeBy(int32_t dw, int32_t dh)
{
    invalidateIfVisible();
    m_style.rect.right = wrapAdd(m_style.rect.right, dw);
    m_style.rect.bottom = wrapAdd(m_style.rect.bottom, dh);
    invalidateIfVisible();
}

void Element::resizeTo(int32_t width, int32_t height)
{
    invalidateIfVisible();
    m_style.rect.right = wrapAdd(m_style.rect.left, width);
    m_style.rect.bottom = wrapAdd(m_style.rect.top, height);
    invalidateIfVisible();
}

void Element::setBackground(std::string_view file)
{
    ElementCanvas* canvas = this->canvas();
    if (!canvas)
        return;
    RefPtr<ScriptString> name = createString(file);
    if (!m_style.backgroundImage)
        setBackgroundImage(canvas->createImage(0, 0, 0));
    if (m_style.backgroundImage)
        m_style.backgroundImage->setSource(name.ptr());
    invalidateIfVisible();
}

void Element::setFont(const FontSpec& fontSpec)
{
    m_style.fontSpec = fontSpec;
    m_style.font = Font::create(fontSpec);
    invalidateIfVisible();
}

HitResult Element::hitTest(int32_t x, int32_t y)
{
    if (!m_style.visible)
        return HitResult::Outside;
    bool inside = m_style.rect.contains(x, y);
    bool wasInside = m_style.hover;
    m_style.hover = inside;
    if (inside)
        return wasInside ? HitResult::Inside : HitResult::Entered;
    return wasInside ? HitResult::Left : HitResult::Outside;
}

void Element::setHandler(MouseEvent event, ScriptString* code)
{
    m_style.handlers[static_cast<int32_t>(event)] = code;
}

RefPtr<ScriptString> Element::handler(MouseEvent event) const
{
    return m_style.handlers[static_cast<int32_t>(event)];
}

void Element::setBackgroundPosition(int32_t x, int32_t y)
{
    m_style.backgroundX = x;
    m_style.backgroundY = y;
    invalidateIfVisible();
}

void Element::tick() { }

bool Element::needsPaint(const Rect& repaint) const
{
    const Rect& rect = m_style.rect;
    return repaint.left <= rect.right && repaint.right > rect.left && repaint.top <= rect.bottom
        && repaint.bottom > rect.top;
}

void Element::paint(DeviceContext& context, const Rect& repaint)
{
    if (needsPaint(repaint))
        paintBackground(context, repaint);
}

void Element::selectTextSettings(DeviceContext& context) const
{
    if (m_style.color != NoColor)
        context.setTextColor(m_style.color);
    if (m_style.font)
        context.selectFont(*m_style.font);
}

void Element::paintBackground(DeviceContext& context, const Rect& repaint, PictureAlpha alpha)
{
    const Rect& rect = m_style.rect;
    Rect area = rect.intersected(repaint);
    RefPtr<Surface> picture = m_style.backgroundImage ? m_style.backgroundImage->surface() : nullptr;
    bool hasAlpha = picture && picture->bitsPerPixel() == 32;
    bool withAlpha = hasAlpha && alpha == PictureAlpha::Over;
    if (!picture || withAlpha) {
        if (m_style.bgcolor != NoColor && !area.isEmpty())
            context.fillRect(area, Brush::solid(m_style.bgcolor));
        if (!picture)
            return;
    }
    int32_t dx = m_style.backgroundX - rect.left, dy = m_style.backgroundY - rect.top;
    Rect source { area.left + dx, area.top + dy, area.right + dx, area.bottom + dy };
    // The straight colour of a picture with alpha is copied whatever the transparency (the desktop
    // shows the alpha); a hidden one is not.
    bool copied = hasAlpha ? !withAlpha && m_style.transparency < 255 : m_style.transparency == 0;
    if (copied) {
        ignoreStatus(picture->draw(context, area.left, area.top, source), "a picture that cannot be drawn leaves the area as it was");
        return;
    }
    ElementCanvas* canvas = this->canvas();
    if (m_style.transparency >= 255 || !canvas || area.isEmpty())
        return;
    SurfaceInfo pictureInfo;
    if (!picture->lock(pictureInfo).ok())
        return;
    SurfaceInfo backBuffer;
    if (canvas->lockBackBuffer(backBuffer).ok()) {
        if (withAlpha)
            compositeRect(backBuffer, area.left, area.top, pictureInfo, source, m_style.transparency);
        else
            blendRect(backBuffer, area.left, area.top, pictureInfo, source, BackgroundKey, m_style.transparency);
        ignoreStatus(canvas->unlockBackBuffer(backBuffer), "unlocking what was locked cannot fail");
    }
    ignoreStatus(picture->unlock(pictureInfo), "unlocking what was locked cannot fail");
}

Color colorFromValue(const ScriptValue& value)
{
    if (value.tag == ValueTag::Integer)
        return static_cast<Color>(value.payload.integer);
    if (value.tag == ValueTag::String) {
        const ScriptString* text = stringOf(value);
        return parseColor(text->bytes(), text->length());
    }
    return static_cast<Color>(valueToInteger(value));
}

// The members.

Status Element::callMoveTo(int32_t, const ScriptValue* args, ScriptValue*)
{
    moveTo(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Element::callMoveBy(int32_t, const ScriptValue* args, ScriptValue*)
{
    moveBy(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Element::callResizeTo(int32_t, const ScriptValue* args, ScriptValue*)
{
    resizeTo(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Element::callResizeBy(int32_t, const ScriptValue* args, ScriptValue*)
{
    resizeBy(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

Status Element::getColor(ScriptValue* result)
{
    *result = ScriptValue::integer(static_cast<int32_t>(color()));
    return Status::Ok;
}

Status Element::putColor(const ScriptValue& value, ScriptValue*)
{
    setColor(colorFromValue(value));
    return Status::Ok;
}

Status Element::getBgColor(ScriptValue* result)
{
    *result = ScriptValue::integer(static_cast<int32_t>(bgColor()));
    return Status::Ok;
}

Status Element::putBgColor(const ScriptValue& value, ScriptValue* result)
{
    Color color = colorFromValue(value);
    setBgColor(color);
    *result = ScriptValue::integer(static_cast<int32_t>(color));
    return Status::Ok;
}

Status Element::getLeft(ScriptValue* result)
{
    *result = ScriptValue::integer(m_style.rect.left);
    return Status::Ok;
}

Status Element::getTop(ScriptValue* result)
{
    *result = ScriptValue::integer(m_style.rect.top);
    return Status::Ok;
}

Status Element::getWidth(ScriptValue* result)
{
    *result = ScriptValue::integer(wrapSubtract(m_style.rect.right, m_style.rect.left));
    return Status::Ok;
}

Status Element::getHeight(ScriptValue* result)
{
    *result = ScriptValue::integer(wrapSubtract(m_style.rect.bottom, m_style.rect.top));
    return Status::Ok;
}

Status Element::getBackground(ScriptValue* result)
{
    if (m_style.backgroundImage) {
        if (RefPtr<ScriptString> source = m_style.backgroundImage->source())
            *result = makeStringValue(source.releaseNonNull());
    }
    return Status::Ok;
}

Status Element::putBackground(const ScriptValue& value, ScriptValue*)
{
    ElementCanvas* canvas = this->canvas();
    if (!canvas)
        return Status::Ok;
    RefPtr<ScriptString> text = valueToString(value);
    if (!m_style.backgroundImage)
        setBackgroundImage(canvas->createImage(0, 0, 0));
    if (m_style.backgroundImage)
        m_style.backgroundImage->setSource(text.ptr());
    invalidateIfVisible();
    return Status::Ok;
}

Status Element::callSetBackgroundPosition(int32_t, const ScriptValue* args, ScriptValue*)
{
    setBackgroundPosition(valueToInteger(args[0]), valueToInteger(args[1]));
    return Status::Ok;
}

template<MouseEvent Event>
Status Element::getHandler(ScriptValue* result)
{
    if (RefPtr<ScriptString> code = handler(Event))
        *result = makeStringValue(code.releaseNonNull());
    return Status::Ok;
}

template<MouseEvent Event>
Status Element::putHandler(const ScriptValue& value, ScriptValue*)
{
    RefPtr<ScriptString> code = valueToString(value);
    setHandler(Event, code.ptr());
    return Status::Ok;
}

Status Element::callAttachImage(int32_t argc, const ScriptValue* args, ScriptValue*)
{
    // Only picture objects can be shown; anything else is refused and the background stays.
    ElementPicture* picture = nullptr;
    if (argc >= 1 && args[0].tag == ValueTag::Object) {
        picture = dynamic_cast<ElementPicture*>(args[0].objectPayload());
        if (!picture)
            return Status::SomeError;
    }
    setBackgroundImage(picture);
    invalidateIfVisible();
    return Status::Ok;
}

Status Element::getOpacity(ScriptValue* result)
{
    *result = ScriptValue::integer((255 - m_style.transparency) * 100 / 255);
    return Status::Ok;
}

Status Element::putOpacity(const ScriptValue& value, ScriptValue*)
{
    int32_t opacity = std::clamp(valueToInteger(value), 0, 100);
    m_style.transparency = (100 - opacity) * 255 / 100;
    invalidateIfVisible();
    return Status::Ok;
}

// color and filterAlphaOpacity answer a call as a read.
template<auto Get, auto Put>
static Status readableProperty(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue* args,
    ScriptValue* result)
{
    return property<Get, Put>(self, op == InvokeOp::CallMember ? InvokeOp::GetMember : op, argc, args, result);
}

const MemberTableRow Element::s_members[] = {
    { "moveTo", method<&Element::callMoveTo, 2> },
    { "moveBy", method<&Element::callMoveBy, 2> },
    { "resizeTo", method<&Element::callResizeTo, 2> },
    { "resizeBy", method<&Element::callResizeBy, 2> },
    { "color", readableProperty<&Element::getColor, &Element::putColor> },
    { "bgcolor", property<&Element::getBgColor, &Element::putBgColor> },
    { "left", getter<&Element::getLeft, PutRule::ReadOnly> },
    { "top", getter<&Element::getTop, PutRule::ReadOnly> },
    { "width", getter<&Element::getWidth, PutRule::ReadOnly> },
    { "height", getter<&Element::getHeight, PutRule::ReadOnly> },
    { "background", property<&Element::getBackground, &Element::putBackground> },
    { "setBackgroundPosition", method<&Element::callSetBackgroundPosition, 2> },
    { "onmousedown", property<&Element::getHandler<MouseEvent::Down>, &Element::putHandler<MouseEvent::Down>> },
    { "onmouseup", property<&Element::getHandler<MouseEvent::Up>, &Element::putHandler<MouseEvent::Up>> },
    { "onmouseout", property<&Element::getHandler<MouseEvent::Out>, &Element::putHandler<MouseEvent::Out>> },
    { "onmouseover", property<&Element::getHandler<MouseEvent::Over>, &Element::putHandler<MouseEvent::Over>> },
    { "onmousemove", property<&Element::getHandler<MouseEvent::Move>, &Element::putHandler<MouseEvent::Move>> },
    { "onclick", property<&Element::getHandler<MouseEvent::Click>, &Element::putHandler<MouseEvent::Click>> },
    { "attachImage", method<&Element::callAttachImage> },
    { "filterAlphaOpacity", readableProperty<&Element::getOpacity, &Element::putOpacity> },
    { nullptr, nullptr },
};

RefPtr<PropertyTable> Element::buildMembers(AtomTable& atoms)
{
    return buildMemberTable(atoms, s_members);
}

Status Element::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::PutMember && op != InvokeOp::GetMember && op != InvokeOp::CallMember)
        return Status::SomeError;
    ElementScripting* scripting = this->scripting();
    PropertyTable* members = scripting ? scripting->elementMembers() : nullptr;
    if (!members)
        return Status::SomeError;
    return dispatchMember(*members, this, atom, op, argc, args, result);
}

}
