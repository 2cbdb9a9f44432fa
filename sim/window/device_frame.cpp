#include "device_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <windows.h>

#include "platform/ce_api.h"

namespace sim {

namespace {

const Colour kDesk = rgb(0x26, 0x28, 0x2c);
const Colour kCase = rgb(0x4b, 0x50, 0x58);
const Colour kCaseEdge = rgb(0x6a, 0x70, 0x79);
const Colour kBezel = rgb(0x12, 0x13, 0x15);
const Colour kSpeaker = rgb(0x22, 0x24, 0x27);
const Colour kKey = rgb(0x33, 0x36, 0x3b);
const Colour kKeyRim = rgb(0x72, 0x78, 0x82);
const Colour kKeyPressed = rgb(0x8a, 0xb4, 0xf8);
const Colour kGlyph = rgb(0xcf, 0xd3, 0xda);
const Colour kGlyphPressed = rgb(0x1d, 0x2a, 0x40);
const Colour kLetters = rgb(0xa9, 0xae, 0xb6);
const Colour kLedOff = rgb(0x3a, 0x34, 0x34);
const Colour kLedRim = rgb(0x1e, 0x1f, 0x21);
const Colour kDriverLedColours[] = {rgb(0x3e, 0xe8, 0x6a), rgb(0xff, 0xa7, 0x26), rgb(0xff, 0x4d, 0x4d),
                                    rgb(0xd5, 0x6b, 0xff)};
const Colour kControllerLed = rgb(0x42, 0xa5, 0xff);

// Centres and radii in device pixels.
const double kPadX = 144, kPadY = 440, kPadRadius = 34, kActionRadius = 13;
const double kAppKeyRadius = 13;
const double kLedY = 24, kLedRadius = 4, kFirstLedX = 36, kLedSpacing = 18, kControllerLedX = 252;

struct AppKey {
    int vk;
    double x, y;
};
const AppKey kAppKeys[] = {{VK_APP1, 44, 452}, {VK_APP2, 88, 438}, {VK_APP3, 200, 438}, {VK_APP4, 244, 452}};

struct SideKey {
    int vk;
    double x0, y0, x1, y1;
};
const SideKey kSideKeys[] = {
    {VK_DEVICE_C0, 3, 110, 9, 140},   {VK_APP6, 3, 160, 9, 180},         {VK_DEVICE_C7, 3, 186, 9, 206},
    {VK_DEVICE_C8, 279, 110, 285, 140}, {VK_DEVICE_C9, 279, 160, 285, 190},
};

// The pad's four directions: key code and unit vector.
struct PadDirection {
    int vk;
    double dx, dy;
};
const PadDirection kPadDirections[] = {{VK_LEFT, -1, 0}, {VK_UP, 0, -1}, {VK_RIGHT, 1, 0}, {VK_DOWN, 0, 1}};

// A 5 x 7 font for the maker's name on the case.
struct Glyph {
    char c;
    const char* rows[7];
};
const Glyph kGlyphs[] = {
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
};

void letters(Picture* p, const char* text, double cx, double top, double dot, Colour c) {
    int n = int(std::strlen(text));
    double advance = 6 * dot, x = cx - (n * advance - dot) / 2;
    for (const char* t = text; *t; ++t, x += advance)
        for (const Glyph& g : kGlyphs) {
            if (g.c != *t) continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g.rows[row][col] == '#')
                        p->fill_rect(int(std::lround(x + col * dot)), int(std::lround(top + row * dot)),
                                     int(std::lround(x + (col + 1) * dot)), int(std::lround(top + (row + 1) * dot)), c);
        }
}

}  // namespace

DeviceFrame::DeviceFrame(int scale) : scale_(std::max(1, scale)) {
    case_ = Picture(width(), height(), kDesk);
    draw_case(&case_);
}

Rect DeviceFrame::screen_area() const {
    int x = kScreenLeft * scale_, y = kScreenTop * scale_;
    return {x, y, x + kScreenWidth * scale_, y + kScreenHeight * scale_};
}

int DeviceFrame::button_at(int x, int y) const {
    double ux = (x + 0.5) / scale_, uy = (y + 0.5) / scale_;
    for (const AppKey& k : kAppKeys)
        if (std::hypot(ux - k.x, uy - k.y) <= kAppKeyRadius + 2) return k.vk;
    for (const SideKey& k : kSideKeys)
        if (ux >= k.x0 - 2 && ux <= k.x1 + 2 && uy >= k.y0 && uy <= k.y1) return k.vk;
    double dx = ux - kPadX, dy = uy - kPadY, d = std::hypot(dx, dy);
    if (d <= kActionRadius + 1) return VK_RETURN;
    if (d <= kPadRadius) {
        if (std::fabs(dx) >= std::fabs(dy)) return dx < 0 ? VK_LEFT : VK_RIGHT;
        return dy < 0 ? VK_UP : VK_DOWN;
    }
    return 0;
}

bool DeviceFrame::to_screen(int x, int y, int* sx, int* sy) const {
    Rect s = screen_area();
    bool inside = s.contains(x, y);
    *sx = std::clamp((x - s.left) / scale_, 0, kScreenWidth - 1);
    *sy = std::clamp((y - s.top) / scale_, 0, kScreenHeight - 1);
    if (x < s.left) *sx = 0;
    if (y < s.top) *sy = 0;
    return inside;
}

Point DeviceFrame::button_centre(int vk) const {
    auto at = [&](double ux, double uy) { return Point{int(ux * scale_), int(uy * scale_)}; };
    for (const AppKey& k : kAppKeys)
        if (k.vk == vk) return at(k.x, k.y);
    for (const SideKey& k : kSideKeys)
        if (k.vk == vk) return at((k.x0 + k.x1) / 2, (k.y0 + k.y1) / 2);
    if (vk == VK_RETURN) return at(kPadX, kPadY);
    for (const PadDirection& d : kPadDirections)
        if (d.vk == vk) return at(kPadX + d.dx * 24, kPadY + d.dy * 24);
    return {-1, -1};
}

void DeviceFrame::draw_case(Picture* p) const {
    const double s = scale_;
    for (const SideKey& k : kSideKeys) p->fill_round_rect(k.x0 * s, k.y0 * s, k.x1 * s, k.y1 * s, 2 * s, kCaseEdge);
    p->fill_round_rect(8 * s, 4 * s, 280 * s, 504 * s, 30 * s, kCaseEdge);
    p->fill_round_rect(9 * s, 5 * s, 279 * s, 503 * s, 29 * s, kCase);
    // Bezel around the glass.
    p->fill_round_rect((kScreenLeft - 6) * s, (kScreenTop - 6) * s, (kScreenLeft + kScreenWidth + 6) * s,
                       (kScreenTop + kScreenHeight + 6) * s, 8 * s, kBezel);
    // Speaker slot and the maker's name.
    p->fill_round_rect(119 * s, 15 * s, 169 * s, 20 * s, 2.5 * s, kSpeaker);
    letters(p, "ORVEX K7100", 144 * s, 26 * s, 1 * s, kLetters);
    // LED sockets are drawn with the lights, whose number the driver gives.
}

void DeviceFrame::draw_button(Picture* p, int vk, bool pressed) const {
    const double s = scale_;
    for (const SideKey& k : kSideKeys)
        if (k.vk == vk && pressed)
            p->fill_round_rect(k.x0 * s, k.y0 * s, k.x1 * s, k.y1 * s, 2 * s, kKeyPressed);
    for (const AppKey& k : kAppKeys) {
        if (k.vk != vk) continue;
        double cx = k.x * s, cy = k.y * s, r = kAppKeyRadius * s, t = 1.3 * s;
        p->fill_circle(cx, cy, r, kKeyRim);
        p->fill_circle(cx, cy, r - 1.2 * s, pressed ? kKeyPressed : kKey);
        Colour g = pressed ? kGlyphPressed : kGlyph;
        switch (vk) {
            case VK_APP1:  // calendar
                p->fill_rect(int(cx - 6 * s), int(cy - 5 * s), int(cx + 6 * s), int(cy - 2 * s), g);
                p->line(cx - 6 * s, cy - 5 * s, cx - 6 * s, cy + 6 * s, t, g);
                p->line(cx + 6 * s, cy - 5 * s, cx + 6 * s, cy + 6 * s, t, g);
                p->line(cx - 6 * s, cy + 6 * s, cx + 6 * s, cy + 6 * s, t, g);
                p->fill_rect(int(cx - 3 * s), int(cy + 0 * s), int(cx - 1 * s), int(cy + 2 * s), g);
                p->fill_rect(int(cx + 1 * s), int(cy + 0 * s), int(cx + 3 * s), int(cy + 2 * s), g);
                break;
            case VK_APP2:  // contacts
                p->fill_circle(cx, cy - 2.5 * s, 2.8 * s, g);
                p->fill_round_rect(cx - 5.5 * s, cy + 1.5 * s, cx + 5.5 * s, cy + 6.5 * s, 3 * s, g);
                break;
            case VK_APP3:  // messages
                p->line(cx - 6 * s, cy - 4 * s, cx + 6 * s, cy - 4 * s, t, g);
                p->line(cx - 6 * s, cy + 5 * s, cx + 6 * s, cy + 5 * s, t, g);
                p->line(cx - 6 * s, cy - 4 * s, cx - 6 * s, cy + 5 * s, t, g);
                p->line(cx + 6 * s, cy - 4 * s, cx + 6 * s, cy + 5 * s, t, g);
                p->line(cx - 6 * s, cy - 4 * s, cx, cy + 1 * s, t, g);
                p->line(cx, cy + 1 * s, cx + 6 * s, cy - 4 * s, t, g);
                break;
            default:  // home
                p->fill_triangle(cx - 7 * s, cy - 0.5 * s, cx, cy - 7 * s, cx + 7 * s, cy - 0.5 * s, g);
                p->fill_rect(int(cx - 4.5 * s), int(cy - 1 * s), int(cx + 4.5 * s), int(cy + 6 * s), g);
                break;
        }
    }
}

void DeviceFrame::draw_pad(Picture* p, const std::vector<int>& pressed) const {
    const double s = scale_, cx = kPadX * s, cy = kPadY * s;
    auto is_pressed = [&](int vk) { return std::find(pressed.begin(), pressed.end(), vk) != pressed.end(); };
    p->fill_circle(cx, cy, kPadRadius * s, kKeyRim);
    p->fill_circle(cx, cy, (kPadRadius - 1.2) * s, kKey);
    for (const PadDirection& d : kPadDirections) {
        // The pressed side of the rocker lights up around its arrow.
        if (is_pressed(d.vk)) p->fill_circle(cx + d.dx * 23 * s, cy + d.dy * 23 * s, 9 * s, kKeyPressed);
        Colour g = is_pressed(d.vk) ? kGlyphPressed : kGlyph;
        double tx = cx + d.dx * 27 * s, ty = cy + d.dy * 27 * s;  // tip
        double bx = cx + d.dx * 20 * s, by = cy + d.dy * 20 * s;  // base centre
        double px = -d.dy * 5 * s, py = d.dx * 5 * s;              // half the base, across
        p->fill_triangle(tx, ty, bx + px, by + py, bx - px, by - py, g);
    }
    p->fill_circle(cx, cy, (kActionRadius + 1.2) * s, kKeyRim);
    p->fill_circle(cx, cy, kActionRadius * s, is_pressed(VK_RETURN) ? kKeyPressed : rgb(0x3d, 0x41, 0x47));
}

void DeviceFrame::draw_leds(Picture* p, const LedLights& leds) const {
    const double s = scale_;
    auto light = [&](double x, bool on, Colour c) {
        double cx = x * s, cy = kLedY * s;
        p->fill_circle(cx, cy, (kLedRadius + 1) * s, kLedRim);
        if (on) {
            p->fill_circle(cx, cy, (kLedRadius + 4) * s, c, 0.25);
            p->fill_circle(cx, cy, kLedRadius * s, c);
            p->fill_circle(cx - 1.2 * s, cy - 1.2 * s, 1.3 * s, rgb(255, 255, 255), 0.7);
        } else {
            p->fill_circle(cx, cy, kLedRadius * s, kLedOff);
        }
    };
    for (size_t i = 0; i < leds.driver.size(); ++i)
        light(kFirstLedX + kLedSpacing * double(i), leds.driver[i],
              kDriverLedColours[i % (sizeof kDriverLedColours / sizeof kDriverLedColours[0])]);
    light(kControllerLedX, leds.controller, kControllerLed);
}

void DeviceFrame::draw(Picture* out, const Framebuffer& fb, const LedLights& leds, const std::vector<int>& pressed) const {
    if (out->width() != width() || out->height() != height()) *out = Picture(width(), height());
    out->paste(case_, 0, 0);
    for (const AppKey& k : kAppKeys)
        draw_button(out, k.vk, std::find(pressed.begin(), pressed.end(), k.vk) != pressed.end());
    for (const SideKey& k : kSideKeys)
        draw_button(out, k.vk, std::find(pressed.begin(), pressed.end(), k.vk) != pressed.end());
    draw_pad(out, pressed);
    draw_leds(out, leds);

    Rect area = screen_area();
    uint32_t* px = out->data();
    for (int y = 0; y < kScreenHeight; ++y) {
        uint32_t row[kScreenWidth * 8];
        for (int x = 0; x < kScreenWidth; ++x) {
            uint8_t r, g, b;
            rgb565_to_rgb(fb.pixels[y][x], r, g, b);
            Colour c = rgb(r, g, b);
            for (int k = 0; k < scale_; ++k) row[x * scale_ + k] = c;
        }
        for (int k = 0; k < scale_; ++k)
            std::memcpy(px + size_t(area.top + y * scale_ + k) * size_t(out->width()) + size_t(area.left), row,
                        size_t(kScreenWidth * scale_) * sizeof(uint32_t));
    }
}

}  // namespace sim
