// PNG files of the screen: screenshots written from the framebuffer, and
// pictures of the screen read back (expect-screen's pictures, tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gdi/framebuffer.h"

namespace sim {

// The largest picture file read: a 240 x 320 picture is a few hundred KiB
// at most, whatever chunks it carries besides.
constexpr size_t kMaxPictureBytes = size_t(8) << 20;  // 8 MiB

// Writes the framebuffer as an 8-bit RGB PNG, each device pixel repeated
// scale x scale times, through write_output_file (base/output_file.h).
// Returns false (and says why in *error) on failure.
bool write_png(const Framebuffer& fb, const std::string& path, int scale, std::string* error);

// Writes width x height pixels of 8-bit RGB, top row first, 3 bytes a
// pixel, the same way.
bool write_rgb_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                   std::string* error);

// The same pixels as the bytes of a PNG file.
bool encode_rgb_png(int width, int height, const std::vector<uint8_t>& rgb, std::string* png, std::string* error);

// Reads a picture of the screen: PNG bytes of exactly 240 x 320 pixels,
// as 8-bit RGB, top row first, 3 bytes a pixel (alpha, if any, composited
// over black).  The size in the header is checked before anything is
// decoded.  False with *error (one line naming `name`) otherwise.
bool read_screen_picture(const std::string& bytes, const std::string& name, std::vector<uint8_t>* rgb,
                         std::string* error);

// Reads any PNG file of at most kMaxPictureBytes and 16 million pixels as
// 8-bit RGB (alpha composited over black).  False (and why in *error) on
// failure.
bool read_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string* error);

}  // namespace sim
