// A picture in memory, 0x00RRGGBB a pixel, with the few shapes the device
// window's artwork needs.  Round shapes are smoothed at their edges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Colour = uint32_t;  // 0x00RRGGBB

constexpr Colour rgb(int r, int g, int b) { return Colour((r & 255) << 16 | (g & 255) << 8 | (b & 255)); }

class Picture {
public:
    Picture() = default;
    Picture(int width, int height, Colour fill = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    Colour at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    void set(int x, int y, Colour c) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[size_t(y) * size_t(width_) + size_t(x)] = c;
    }
    // Mixes `c` into the pixel; `cover` 0 leaves it, 1 replaces it.
    void blend(int x, int y, Colour c, double cover);
    const uint32_t* data() const { return pixels_.data(); }
    uint32_t* data() { return pixels_.data(); }

    // Rectangles are [x0, x1) x [y0, y1).
    void fill_rect(int x0, int y0, int x1, int y1, Colour c);
    void fill_round_rect(double x0, double y0, double x1, double y1, double radius, Colour c);
    // `alpha` below 1 lets what is under the circle show through (a glow).
    void fill_circle(double cx, double cy, double r, Colour c, double alpha = 1);
    // A ring between radius r - thickness and r.
    void ring(double cx, double cy, double r, double thickness, Colour c);
    void fill_triangle(double ax, double ay, double bx, double by, double cx, double cy, Colour c);
    void line(double x0, double y0, double x1, double y1, double thickness, Colour c);
    // Copies `from` with its top-left corner at (x, y).
    void paste(const Picture& from, int x, int y);

    // 8-bit RGB PNG; false (with *error) when the file cannot be written.
    bool write_png(const std::string& path, std::string* error) const;

private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace sim
