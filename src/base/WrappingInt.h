// Sums and differences of 32-bit integers as the machine's 32-bit registers give them: they wrap
// around instead of overflowing. Coordinates from documents and scripts may be anything, and the
// element rectangles they move are 32-bit fields.
#pragma once

#include <cstdint>

namespace nimbolt {

constexpr int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr int32_t wrapSubtract(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}
