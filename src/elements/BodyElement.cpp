#include <elements/BodyElement.h>

#include <elements/AttributeReaders.h>
#include <imaging/WindowShape.h>

#include <cstring>

namespace nimbolt {

BodyElement::~BodyElement()
{
    if (m_shaped) {
        if (ElementWindow* window = hostWindow())
            window->setRegion(std::nullopt, nullptr);
    }
}

void BodyElement::initialize(const ScriptArray& attributes)
{
    Element::initialize(attributes);
    char type[256];
    bool hasType = readAttributeText(attributes, "type", type, sizeof type).ok();
    if (!hasType || std::strcmp(type, "mascot") == 0) {
        m_mascot = true;
        reshape();
    }
    if (!m_style.font)
        setFont(FontSpec {});
}

void BodyElement::reshape()
{
    ElementWindow* window = hostWindow();
    if (!window)
        return;
    std::optional<Region> region;
    RefPtr<Surface> picture = m_mascot && m_style.backgroundImage ? m_style.backgroundImage->surface() : nullptr;
    bool withAlpha = false;
    if (picture) {
        SurfaceInfo info;
        if (picture->lock(info).ok()) {
            withAlpha = info.bitsPerPixel == 32;
            if (info.bitsPerPixel == 8 && info.bits)
                region = regionFromPixels(info, 0, 0, info.width, info.height, info.bits[0]);
            else if (withAlpha)
                region = regionFromAlpha(info, 0, 0, info.width, info.height);
            ignoreStatus(picture->unlock(info), "unlocking what was locked cannot fail");
            m_style.rect.right = m_style.rect.left + info.width;
            m_style.rect.bottom = m_style.rect.top + info.height;
            window->resizeTo(info.width, info.height);
        }
    }
    bool shaped = region.has_value();
    window->setRegion(std::move(region), withAlpha ? picture.ptr() : nullptr);
    m_shaped = shaped;
    if (!shaped)
        window->resizeTo(m_style.rect.right, m_style.rect.bottom);
}

void BodyElement::paint(DeviceContext& context, const Rect& repaint)
{
    if (!needsPaint(repaint))
        return;
    // A mascot on a desktop that shows opacity is the picture itself over the desktop.
    ElementWindow* window = hostWindow();
    bool desktopBlends = m_mascot && window && window->showsOpacity();
    // A picture with alpha goes over the body's colour, or over black: never over what the back
    // buffer held from the last paint.
    RefPtr<Surface> picture = m_style.backgroundImage ? m_style.backgroundImage->surface() : nullptr;
    if (!desktopBlends && m_style.bgcolor == NoColor && picture && picture->bitsPerPixel() == 32)
        context.fillRect(m_style.rect.intersected(repaint), Brush::solid(0));
    paintBackground(context, repaint, desktopBlends ? PictureAlpha::Straight : PictureAlpha::Over);
    selectTextSettings(context);
    context.setBkMode(BackgroundMode::Transparent);
}

void BodyElement::moveBy(int32_t, int32_t) { }

void BodyElement::moveTo(int32_t, int32_t) { }

void BodyElement::resizeBy(int32_t dw, int32_t dh)
{
    Element::resizeBy(dw, dh);
    if (ElementWindow* window = hostWindow())
        window->resizeBy(dw, dh);
}

void BodyElement::resizeTo(int32_t width, int32_t height)
{
    Element::resizeTo(width, height);
    if (ElementWindow* window = hostWindow())
        window->resizeTo(width, height);
}

}
