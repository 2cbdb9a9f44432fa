// PNG files of the screen: screenshots written from the framebuffer, and
// read back (tests compare screenshots with what was drawn).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gdi/framebuffer.h"

namespace sim {

// Writes the framebuffer as an 8-bit RGB PNG, each device pixel repeated
// scale x scale times.  Returns false (and says why in *error) on failure.
bool write_png(const Framebuffer& fb, const std::string& path, int scale, std::string* error);

// Writes width x height pixels of 8-bit RGB, top row first, 3 bytes a
// pixel.  The name is taken whole (one with a control character is
// refused) and a symbolic link in its place is not followed.
bool write_rgb_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                   std::string* error);

// Reads any PNG as 8-bit RGB, top row first, 3 bytes a pixel (alpha, if
// any, is composited over black).  False (and why in *error) on failure.
bool read_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string* error);

}  // namespace sim
