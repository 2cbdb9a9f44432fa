// The screen against a picture of it: how many pixels differ, and a picture
// that shows where.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gdi/framebuffer.h"

namespace sim {

struct ScreenDifference {
    int pixels = 0;          // how many pixels differ
    Point first;             // the first of them, row by row from the top
    uint8_t expected[3] = {};  // its colour in the picture (8-bit RGB)
    uint8_t seen[3] = {};      // and on the screen
};

// Compares the screen with `picture` (8-bit RGB, 240 x 320, top row first)
// at the screen's colour depth: a pixel differs when the picture's colour,
// reduced to 5-6-5, is not the screen's.  So a screenshot matches the
// screen it was taken of exactly.
ScreenDifference compare_screen(const Framebuffer& fb, const std::vector<uint8_t>& picture);

// Writes the difference picture: the picture's pixels faded where they
// match the screen, pure red where they do not.  False (with *error) when
// the file cannot be written.
bool write_difference_png(const Framebuffer& fb, const std::vector<uint8_t>& picture, const std::string& path,
                          std::string* error);

// "dir/panel.png" -> "dir/panel.seen.png" for tag "seen".
std::string picture_beside(const std::string& path, const std::string& tag);

// "#rrggbb"
std::string colour_name(const uint8_t rgb[3]);

}  // namespace sim
