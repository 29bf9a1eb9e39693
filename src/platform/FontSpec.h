// What a font is asked for: the six numbers an element keeps. height is the character cell
// height in pixels, weight runs from 1 to 1000 (400 normal, 700 bold), the last three are flags.
#pragma once

#include <cstdint>

namespace nimbolt {

struct FontSpec {
    int32_t height { 16 };
    int32_t pitchAndFamily { 0 };
    int32_t weight { 400 };
    int32_t italic { 0 };
    int32_t underline { 0 };
    int32_t strikeout { 0 };

    friend constexpr bool operator==(const FontSpec&, const FontSpec&) = default;
};

}
