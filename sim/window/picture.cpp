#include "picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "device/png.h"

namespace sim {

namespace {

double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

int channel(Colour c, int shift) { return int((c >> shift) & 255); }

// Distance from (px, py) to the segment (ax, ay)-(bx, by).
double segment_distance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? clamp01(((px - ax) * dx + (py - ay) * dy) / len2) : 0;
    double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

}  // namespace

Picture::Picture(int width, int height, Colour fill)
    : width_(width), height_(height), pixels_(size_t(width) * size_t(height), fill) {}

void Picture::blend(int x, int y, Colour c, double cover) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || cover <= 0) return;
    Colour& p = pixels_[size_t(y) * size_t(width_) + size_t(x)];
    if (cover >= 1) {
        p = c;
        return;
    }
    auto mix = [&](int shift) { return int(std::lround(channel(p, shift) * (1 - cover) + channel(c, shift) * cover)); };
    p = rgb(mix(16), mix(8), mix(0));
}

void Picture::fill_rect(int x0, int y0, int x1, int y1, Colour c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    for (int y = y0; y < y1; ++y) std::fill(&pixels_[size_t(y) * width_ + x0], &pixels_[size_t(y) * width_ + x1], c);
}

void Picture::fill_round_rect(double x0, double y0, double x1, double y1, double radius, Colour c) {
    radius = std::min({radius, (x1 - x0) / 2, (y1 - y0) / 2});
    int ix0 = int(std::floor(x0)), iy0 = int(std::floor(y0)), ix1 = int(std::ceil(x1)), iy1 = int(std::ceil(y1));
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            double px = x + 0.5, py = y + 0.5;
            // Signed distance to the rounded box.
            double qx = std::max({x0 + radius - px, px - (x1 - radius), 0.0});
            double qy = std::max({y0 + radius - py, py - (y1 - radius), 0.0});
            double outside = std::sqrt(qx * qx + qy * qy) - radius;
            double edge = std::min({px - x0, x1 - px, py - y0, y1 - py});
            double cover = qx > 0 && qy > 0 ? clamp01(0.5 - outside) : clamp01(edge + 0.5);
            blend(x, y, c, cover);
        }
}

void Picture::fill_circle(double cx, double cy, double r, Colour c, double alpha) {
    for (int y = int(std::floor(cy - r - 1)); y <= int(std::ceil(cy + r + 1)); ++y)
        for (int x = int(std::floor(cx - r - 1)); x <= int(std::ceil(cx + r + 1)); ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            blend(x, y, c, clamp01(r - d + 0.5) * alpha);
        }
}

void Picture::ring(double cx, double cy, double r, double thickness, Colour c) {
    for (int y = int(std::floor(cy - r - 1)); y <= int(std::ceil(cy + r + 1)); ++y)
        for (int x = int(std::floor(cx - r - 1)); x <= int(std::ceil(cx + r + 1)); ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            blend(x, y, c, std::min(clamp01(r - d + 0.5), clamp01(d - (r - thickness) + 0.5)));
        }
}

void Picture::fill_triangle(double ax, double ay, double bx, double by, double cx, double cy, Colour c) {
    int x0 = int(std::floor(std::min({ax, bx, cx}))), x1 = int(std::ceil(std::max({ax, bx, cx})));
    int y0 = int(std::floor(std::min({ay, by, cy}))), y1 = int(std::ceil(std::max({ay, by, cy})));
    auto side = [](double px, double py, double qx, double qy, double rx, double ry) {
        return (qx - px) * (ry - py) - (qy - py) * (rx - px);
    };
    double area = side(ax, ay, bx, by, cx, cy);
    if (area == 0) return;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            double px = x + 0.5, py = y + 0.5;
            double w0 = side(bx, by, cx, cy, px, py), w1 = side(cx, cy, ax, ay, px, py), w2 = side(ax, ay, bx, by, px, py);
            bool inside = area > 0 ? (w0 >= 0 && w1 >= 0 && w2 >= 0) : (w0 <= 0 && w1 <= 0 && w2 <= 0);
            if (inside) set(x, y, c);
        }
}

void Picture::line(double x0, double y0, double x1, double y1, double thickness, Colour c) {
    double h = thickness / 2;
    for (int y = int(std::floor(std::min(y0, y1) - h - 1)); y <= int(std::ceil(std::max(y0, y1) + h + 1)); ++y)
        for (int x = int(std::floor(std::min(x0, x1) - h - 1)); x <= int(std::ceil(std::max(x0, x1) + h + 1)); ++x)
            blend(x, y, c, clamp01(h - segment_distance(x + 0.5, y + 0.5, x0, y0, x1, y1) + 0.5));
}

void Picture::paste(const Picture& from, int x, int y) {
    for (int row = 0; row < from.height_; ++row) {
        int ty = y + row;
        if (ty < 0 || ty >= height_) continue;
        int sx0 = std::max(0, -x), sx1 = std::min(from.width_, width_ - x);
        if (sx1 <= sx0) continue;
        std::memcpy(&pixels_[size_t(ty) * width_ + size_t(x + sx0)], &from.pixels_[size_t(row) * from.width_ + sx0],
                    size_t(sx1 - sx0) * sizeof(uint32_t));
    }
}

bool Picture::write_png(const std::string& path, std::string* error) const {
    std::vector<uint8_t> rgb_bytes(pixels_.size() * 3);
    for (size_t i = 0; i < pixels_.size(); ++i) {
        rgb_bytes[i * 3] = uint8_t(pixels_[i] >> 16);
        rgb_bytes[i * 3 + 1] = uint8_t(pixels_[i] >> 8);
        rgb_bytes[i * 3 + 2] = uint8_t(pixels_[i]);
    }
    return sim::write_rgb_png(path, width_, height_, rgb_bytes, error);
}

}  // namespace sim
