// An off-screen 5-6-5 surface the drawing tests draw on through a Canvas,
// and what they read back: a pixel, the box of the ink, the rows of ink,
// the pixels of one colour.
#pragma once

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "gdi/canvas.h"
#include "gdi/framebuffer.h"
#include "gdi/geometry.h"

namespace simtest {

constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kBlack = 0x0000;
const uint16_t kRed = sim::rgb565(255, 0, 0);
const uint16_t kGreen = sim::rgb565(0, 255, 0);
const uint16_t kBlue = sim::rgb565(0, 0, 255);

struct Surface {
    std::vector<uint16_t> px;
    sim::Canvas canvas;
    int w, h;
    Surface(int width, int height, uint16_t background = kWhite)
        : px(size_t(width) * size_t(height), background), w(width), h(height) {
        canvas.memory = &px;
        canvas.memory_width = width;
        canvas.memory_height = height;
        canvas.clip = {0, 0, width, height};
    }
    Surface(const Surface&) = delete;
    uint16_t at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
    // Bounding box of the pixels that are not `background`.
    sim::Rect ink(uint16_t background = kWhite) const {
        sim::Rect box;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) != background) box = box.unite({x, y, x + 1, y + 1});
        return box;
    }
    // Rows holding ink (not white), as runs [top, bottom).
    std::vector<std::pair<int, int>> ink_bands() const {
        std::vector<std::pair<int, int>> bands;
        for (int y = 0; y < h; ++y) {
            bool any = false;
            for (int x = 0; x < w && !any; ++x) any = at(x, y) != kWhite;
            if (!any) continue;
            if (!bands.empty() && bands.back().second == y)
                bands.back().second = y + 1;
            else
                bands.push_back({y, y + 1});
        }
        return bands;
    }
    std::set<std::pair<int, int>> pixels(uint16_t colour) const {
        std::set<std::pair<int, int>> out;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) == colour) out.insert({x, y});
        return out;
    }
};

}  // namespace simtest
