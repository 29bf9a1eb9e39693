// The hash of a run of bytes that the name indexes (atoms, named array entries) share: FNV-1a.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbolt {

inline uint32_t byteHash(const char* bytes, size_t length)
{
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 16777619u;
    }
    return hash;
}

}
