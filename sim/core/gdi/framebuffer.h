// The device's display memory: 240 x 320 pixels of 16-bit 5-6-5 colour,
// and the owner map that says which window each pixel belongs to.
#pragma once

#include <cstdint>
#include <string>

#include "gdi/geometry.h"

namespace sim {

constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

inline uint16_t rgb565(uint8_t r, uint8_t g, uint8_t b) {
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
// COLORREF is 0x00BBGGRR.
inline uint16_t colorref_to_565(uint32_t c) { return rgb565(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
inline void rgb565_to_rgb(uint16_t p, uint8_t& r, uint8_t& g, uint8_t& b) {
    r = uint8_t(((p >> 11) & 31) * 255 / 31);
    g = uint8_t(((p >> 5) & 63) * 255 / 63);
    b = uint8_t((p & 31) * 255 / 31);
}

struct Framebuffer {
    uint16_t pixels[kScreenHeight][kScreenWidth] = {};
    // Owner of each pixel: a window's handle value, 0 for none.
    uint32_t owner[kScreenHeight][kScreenWidth] = {};
    static Rect bounds() { return {0, 0, kScreenWidth, kScreenHeight}; }
};

}  // namespace sim
