#include "people/screen_compare.h"

#include <cstdio>
#include <cstring>

#include "device/png.h"

namespace sim {

namespace {

const uint8_t* picture_pixel(const std::vector<uint8_t>& picture, int x, int y) {
    return picture.data() + (size_t(y) * kScreenWidth + size_t(x)) * 3;
}

bool differs(const Framebuffer& fb, const std::vector<uint8_t>& picture, int x, int y) {
    const uint8_t* p = picture_pixel(picture, x, y);
    return rgb565(p[0], p[1], p[2]) != fb.pixels[y][x];
}

}  // namespace

ScreenDifference compare_screen(const Framebuffer& fb, const std::vector<uint8_t>& picture) {
    ScreenDifference d;
    if (picture.size() != size_t(kScreenWidth) * kScreenHeight * 3) {
        d.pixels = kScreenWidth * kScreenHeight;
        return d;
    }
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            if (!differs(fb, picture, x, y)) continue;
            if (d.pixels++ == 0) {
                d.first = {x, y};
                std::memcpy(d.expected, picture_pixel(picture, x, y), 3);
                rgb565_to_rgb(fb.pixels[y][x], d.seen[0], d.seen[1], d.seen[2]);
            }
        }
    return d;
}

bool write_difference_png(const Framebuffer& fb, const std::vector<uint8_t>& picture, const std::string& path,
                          std::string* error) {
    if (picture.size() != size_t(kScreenWidth) * kScreenHeight * 3) {
        if (error) *error = "the picture is not of the screen's size";
        return false;
    }
    std::vector<uint8_t> out(picture.size());
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            uint8_t* o = out.data() + (size_t(y) * kScreenWidth + size_t(x)) * 3;
            if (differs(fb, picture, x, y)) {
                o[0] = 255, o[1] = 0, o[2] = 0;
                continue;
            }
            // A quarter of the picture's brightness over white, in grey:
            // the screen stays recognisable and no red is left in it.
            const uint8_t* p = picture_pixel(picture, x, y);
            int grey = (p[0] * 30 + p[1] * 59 + p[2] * 11) / 100;
            o[0] = o[1] = o[2] = uint8_t(255 - (255 - grey) / 4);
        }
    return write_rgb_png(path, kScreenWidth, kScreenHeight, out, error);
}

std::string picture_beside(const std::string& path, const std::string& tag) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + "." + tag + ".png";
    return path.substr(0, dot) + "." + tag + path.substr(dot);
}

std::string colour_name(const uint8_t rgb[3]) {
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
    return s;
}

}  // namespace sim
