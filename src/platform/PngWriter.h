// Writing pictures as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbolt {

// Writes width x height pixels of four bytes each (red, green, blue, alpha; rows top down) as an
// RGBA PNG file; false when the file cannot be written.
bool writeRgbaPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgba);

}
