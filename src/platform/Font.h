// A font made from a FontSpec: the IPAGothic face at the fontSpec's pixel height, half as wide as it
// is high, with the fontSpec's weight, italic, underline and strikeout. A Font is a shared handle:
// copies (a device context's selection among them) keep the font alive, so dropping the owner's
// copy while a context still has it selected is safe. The default-constructed Font is the
// context's stock font (16 pixels, normal weight).
#pragma once

#include <platform/FontSpec.h>

#include <memory>

namespace nimbolt {

class FontData;

class Font {
public:
    Font() = default;
    static Font create(const FontSpec& fontSpec);

    // The fontSpec the font was made from (the stock fontSpec for the default font).
    const FontSpec& fontSpec() const;
    bool isStock() const { return !m_data; }

    friend bool operator==(const Font& a, const Font& b) { return a.m_data == b.m_data; }

private:
    friend class DeviceContext;
    friend class DeviceContextImpl;
    const FontData& data() const;

    std::shared_ptr<FontData> m_data;
};

}
