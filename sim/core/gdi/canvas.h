// Where drawing lands: the framebuffer, seen through a device context's
// origin and clipping.  A pixel (x, y) in logical coordinates is written
// when its screen position lies inside `clip` and, for a window's device
// context, when the owner map gives that pixel to the window.
#pragma once

#include <cstdint>
#include <vector>

#include "gdi/framebuffer.h"

namespace sim {

struct Canvas {
    Framebuffer* fb = nullptr;
    // For memory device contexts: an off-screen pixel store instead of fb.
    std::vector<uint16_t>* memory = nullptr;
    int memory_width = 0, memory_height = 0;

    int origin_x = 0, origin_y = 0;  // screen position of logical (0, 0)
    Rect clip;                        // in screen coordinates
    uint32_t owner = 0;               // 0: no owner test (screen or memory)

    // The pixels that exist, in screen coordinates: the screen or the
    // memory image.
    Rect surface() const {
        if (memory) return {0, 0, memory_width, memory_height};
        return Framebuffer::bounds();
    }
    bool visible(int sx, int sy) const {
        if (!clip.contains(sx, sy) || !surface().contains(sx, sy)) return false;
        return memory || owner == 0 || fb->owner[sy][sx] == owner;
    }
    // Logical coordinates.
    void put(int x, int y, uint16_t colour) {
        int sx = x + origin_x, sy = y + origin_y;
        if (!visible(sx, sy)) return;
        if (memory)
            (*memory)[size_t(sy) * memory_width + sx] = colour;
        else
            fb->pixels[sy][sx] = colour;
    }
    uint16_t get(int x, int y) const {
        int sx = x + origin_x, sy = y + origin_y;
        if (memory) {
            if (sx < 0 || sy < 0 || sx >= memory_width || sy >= memory_height) return 0;
            return (*memory)[size_t(sy) * memory_width + sx];
        }
        if (!Framebuffer::bounds().contains(sx, sy)) return 0;
        return fb->pixels[sy][sx];
    }
    // Blends `colour` over the pixel with coverage 0..255 (antialiased text).
    void blend(int x, int y, uint16_t colour, uint8_t coverage);
    void fill_rect(const Rect& logical, uint16_t colour);
    // The same canvas with its clip narrowed to a logical rectangle.
    Canvas clipped_to(const Rect& logical) const {
        Canvas c = *this;
        c.clip = clip.intersect(logical.offset(origin_x, origin_y));
        return c;
    }
};

}  // namespace sim
