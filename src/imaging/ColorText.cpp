#include <imaging/ColorText.h>

namespace nimbolt {

Color parseColor(const char* text, int32_t length)
{
    if (!text || length <= 0 || text[0] != '#')
        return NoColor;
    int32_t red, green, blue;
    if (length >= 7) {
        red = 16 * hexDigitValue(text[1]) + hexDigitValue(text[2]);
        green = 16 * hexDigitValue(text[3]) + hexDigitValue(text[4]);
        blue = 16 * hexDigitValue(text[5]) + hexDigitValue(text[6]);
    } else if (length >= 4) {
        red = 17 * hexDigitValue(text[1]);
        green = 17 * hexDigitValue(text[2]);
        blue = 17 * hexDigitValue(text[3]);
    } else {
        return NoColor;
    }
    return static_cast<Color>(red | green << 8 | blue << 16);
}

}
