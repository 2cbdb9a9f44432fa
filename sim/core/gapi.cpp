// GAPI, the direct display access library: the program draws into the
// display's memory and the panel shows it when the pass ends.  The display
// is described by the profile's "display" (width, height, xpitch, ypitch,
// bpp, format; default the device's 240 x 320, 2, 480, 16 bits, 5-6-5), so a
// rotated (negative pitches), 8-bit (shown through a fixed 3-3-2 palette)
// or 5-5-5 panel can be simulated.  "begin_draw_fails" lists the 1-based
// numbers of the GXBeginDraw calls since power-on that return null.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "journal.h"
#include "platform/ce_api.h"
#include "profile.h"
#include "screen.h"
#include "window.h"

namespace sim {

namespace {

struct Display {
    GXDisplayProperties props{240, 320, 2, 480, 16, kfDirect565};
    std::vector<uint8_t> memory;
    size_t base_offset = 0;  // where pixel (0, 0) lies in memory
    bool drawing = false;
    int begin_calls = 0;
};

Display& display() {
    static Display d;
    return d;
}

GXDisplayProperties profile_properties() {
    GXDisplayProperties p{240, 320, 2, 480, 16, kfDirect565};
    const auto& raw = profile().raw();
    if (!raw.contains("display") || !raw["display"].is_object()) return p;
    const auto& d = raw["display"];
    p.cxWidth = d.value("width", 240u);
    p.cyHeight = d.value("height", 320u);
    p.cbxPitch = d.value("xpitch", 2L);
    p.cbyPitch = d.value("ypitch", 480L);
    p.cBPP = d.value("bpp", 16L);
    p.ffFormat = d.value("format", uint32_t(kfDirect565));
    return p;
}

// Sizes the display memory so that every pixel of the frame, whatever the
// pitches' signs, lies inside it.
void prepare_memory(Display& d) {
    const GXDisplayProperties& p = d.props;
    long bytes_per_pixel = p.cBPP >= 8 ? p.cBPP / 8 : 1;
    long w = long(p.cxWidth), h = long(p.cyHeight);
    long min = 0, max = 0;
    long corners[4] = {0, (w - 1) * p.cbxPitch, (h - 1) * p.cbyPitch, (w - 1) * p.cbxPitch + (h - 1) * p.cbyPitch};
    for (long c : corners) {
        min = std::min(min, c);
        max = std::max(max, c);
    }
    size_t size = (w > 0 && h > 0) ? size_t(max - min + bytes_per_pixel) : 0;
    d.memory.assign(size, 0);
    d.base_offset = size_t(-min);
}

uint16_t to_screen(const Display& d, const uint8_t* px) {
    if (d.props.cBPP == 8) {
        uint8_t v = *px;  // 3-3-2
        return rgb565(uint8_t(((v >> 5) & 7) * 255 / 7), uint8_t(((v >> 2) & 7) * 255 / 7), uint8_t((v & 3) * 255 / 3));
    }
    uint16_t v = uint16_t(px[0] | px[1] << 8);
    if (d.props.cBPP == 16 && !(d.props.ffFormat & kfDirect565) && (d.props.ffFormat & kfDirect555))
        return uint16_t(((v & 0x7FE0) << 1) | (v & 0x1F) | ((v & 0x200) >> 4));
    return v;
}

// The panel shows the frame: pixel (x, y) of the display at screen (x, y).
void show_frame(const Display& d) {
    if (d.memory.empty() || (d.props.cBPP != 8 && d.props.cBPP != 16)) return;
    Framebuffer& fb = framebuffer();
    int w = std::min<int>(int(d.props.cxWidth), kScreenWidth), h = std::min<int>(int(d.props.cyHeight), kScreenHeight);
    const uint8_t* base = d.memory.data() + d.base_offset;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) fb.pixels[y][x] = to_screen(d, base + long(x) * d.props.cbxPitch + long(y) * d.props.cbyPitch);
}

bool begin_fails(int call) {
    const auto& raw = profile().raw();
    if (!raw.contains("begin_draw_fails")) return false;
    for (auto& n : raw["begin_draw_fails"])
        if (n.is_number_integer() && n.get<int>() == call) return true;
    return false;
}

uint32_t g_random_state = 1;

}  // namespace

void reset_display_access() {
    display() = Display{};
    const auto& raw = profile().raw();
    g_random_state = uint32_t(raw.contains("seed") && raw["seed"].is_number_integer() ? raw["seed"].get<int64_t>() : 1);
    if (!g_random_state) g_random_state = 1;
}

}  // namespace sim

using namespace sim;

int GXOpenDisplay(HWND hwnd, DWORD flags) {
    Display& d = display();
    d.props = profile_properties();
    prepare_memory(d);
    log_event("gx", {{"op", "open"}, {"flags", flags}, {"ok", true}, {"window", describe(window_from_handle(hwnd))}});
    return 1;
}

int GXCloseDisplay() {
    log_event("gx", {{"op", "close"}, {"ok", true}});
    return 1;
}

GXDisplayProperties GXGetDisplayProperties() { return display().memory.empty() ? profile_properties() : display().props; }

void* GXBeginDraw() {
    Display& d = display();
    int call = ++d.begin_calls;
    bool ok = !d.memory.empty() && !d.drawing && !begin_fails(call);
    log_event("gx", {{"op", "begin"}, {"call", call}, {"ok", ok}});
    if (!ok) return nullptr;
    d.drawing = true;
    return d.memory.data() + d.base_offset;
}

int GXEndDraw() {
    Display& d = display();
    bool ok = d.drawing;
    d.drawing = false;
    if (ok) show_frame(d);
    log_event("gx", {{"op", "end"}, {"call", d.begin_calls}, {"ok", ok}});
    return ok ? 1 : 0;
}

extern "C" DWORD WINAPI Random(void) {
    // xorshift32: repeatable from the profile's "seed".
    uint32_t x = g_random_state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    g_random_state = x;
    return x;
}
