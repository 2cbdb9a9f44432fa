// Reading PNG files back (tests compare screenshots with what was drawn).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Reads any PNG as 8-bit RGB, top row first, 3 bytes a pixel (alpha, if
// any, is composited over black).  False (and why in *error) on failure.
bool read_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string* error);

}  // namespace sim
