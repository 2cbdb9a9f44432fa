// GAPI, the direct display access library: the program draws into the
// display's memory and the panel shows it when the pass ends.  The display
// is described by the profile's "display" (width, height, xpitch, ypitch,
// bpp, format; default the device's 240 x 320, 2, 480, 16 bits, 5-6-5), so a
// rotated (negative pitches), 8-bit (shown through a fixed 3-3-2 palette)
// or 5-5-5 panel can be simulated.  "begin_draw_fails" lists the 1-based
// numbers of the GXBeginDraw calls since power-on that return null.
#include "drivers/gapi.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/journal.h"
#include "base/profile.h"
#include "gdi/screen.h"
#include "platform/ce_api.h"
#include "user/window.h"

namespace sim {

namespace {

struct Display {
    GXDisplayProperties props{240, 320, 2, 480, 16, kfDirect565};
    bool open = false;
    std::vector<uint8_t> memory;
    size_t base_offset = 0;  // where pixel (0, 0) lies in memory
    bool drawing = false;
    int begin_calls = 0;
    std::function<void(int)> observer;
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

// Sizes the display memory so that every pixel of the frame lies inside
// it, whatever the pitches' signs, both for byte stores through the byte
// pitches and for 16-bit stores through the pitches with their lowest bit
// cleared (how 16-bit pixels are addressed).  An empty frame still has a
// little memory, as a real panel does.
void prepare_memory(Display& d) {
    const GXDisplayProperties& p = d.props;
    long w = long(p.cxWidth), h = long(p.cyHeight);
    long min = 0, max = 0;
    if (w > 0 && h > 0) {
        long x_pitches[2] = {long(p.cbxPitch), long(p.cbxPitch >> 1) * 2};
        long y_pitches[2] = {long(p.cbyPitch), long(p.cbyPitch >> 1) * 2};
        for (int i = 0; i < 2; ++i) {
            long corners[4] = {0, (w - 1) * x_pitches[i], (h - 1) * y_pitches[i],
                               (w - 1) * x_pitches[i] + (h - 1) * y_pitches[i]};
            for (long c : corners) {
                min = std::min(min, c);
                max = std::max(max, c);
            }
        }
    }
    long bytes_per_pixel = std::max(1L, long(p.cBPP + 7) / 8);
    d.memory.assign(size_t(max - min + bytes_per_pixel), 0);
    d.base_offset = size_t(-min);
}

// 8 bits: red 3, green 3, blue 2 bits.
uint16_t palette_332(uint8_t v) {
    return rgb565(uint8_t(((v >> 5) & 7) * 255 / 7), uint8_t(((v >> 2) & 7) * 255 / 7), uint8_t((v & 3) * 255 / 3));
}

struct Palette332 {
    uint16_t colour[256];
    Palette332() {
        for (int v = 0; v < 256; ++v) colour[v] = palette_332(uint8_t(v));
    }
};

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kLittleEndianHost = true;
#else
constexpr bool kLittleEndianHost = false;
#endif

// 5-5-5 (the top bit unused) as 5-6-5: green's lowest bit repeats its highest.
inline uint16_t from_555(uint16_t v) { return uint16_t(((v & 0x7FE0) << 1) | (v & 0x1F) | ((v & 0x200) >> 4)); }

// The panel shows the frame: pixel (x, y) of the display at screen (x, y),
// addressed as the program addresses it.  Other depths show nothing.  The
// format is looked at once a frame and each row converted in one loop.
void show_frame(const Display& d) {
    if (d.props.cBPP != 8 && d.props.cBPP != 16) return;
    Framebuffer& fb = framebuffer();
    int w = std::min<long>(long(d.props.cxWidth), kScreenWidth);
    int h = std::min<long>(long(d.props.cyHeight), kScreenHeight);
    long xp = d.props.cbxPitch, yp = d.props.cbyPitch;
    const bool eight = d.props.cBPP == 8;
    const bool five_five_five = !eight && !(d.props.ffFormat & kfDirect565) && (d.props.ffFormat & kfDirect555);
    if (!eight) {
        xp = (xp >> 1) * 2;
        yp = (yp >> 1) * 2;
    }
    static const Palette332 palette;
    const uint8_t* base = d.memory.data() + d.base_offset;
    // The device's own layout: the frame is the screen's memory as it is.
    if (!eight && !five_five_five && kLittleEndianHost && xp == 2 && yp == long(sizeof fb.pixels[0]) &&
        w == kScreenWidth) {
        std::memcpy(fb.pixels, base, size_t(h) * sizeof fb.pixels[0]);
        return;
    }
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = base + long(y) * yp;
        uint16_t* out = fb.pixels[y];
        if (eight) {
            for (int x = 0; x < w; ++x) out[x] = palette.colour[in[long(x) * xp]];
        } else if (five_five_five) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = in + long(x) * xp;
                out[x] = from_555(uint16_t(p[0] | p[1] << 8));
            }
        } else if (xp == 2 && kLittleEndianHost) {
            std::memcpy(out, in, size_t(w) * sizeof *out);  // the device's order is the host's
        } else {
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = in + long(x) * xp;
                out[x] = uint16_t(p[0] | p[1] << 8);
            }
        }
    }
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
    std::function<void(int)> observer = std::move(display().observer);
    display() = Display{};
    display().observer = std::move(observer);
    const auto& raw = profile().raw();
    g_random_state = uint32_t(raw.contains("seed") && raw["seed"].is_number_integer() ? raw["seed"].get<int64_t>() : 1);
    if (!g_random_state) g_random_state = 1;
}

void set_frame_observer(std::function<void(int)> observer) { display().observer = std::move(observer); }

}  // namespace sim

using namespace sim;

// Opening again while open keeps the display memory as it is.
int GXOpenDisplay(HWND hwnd, DWORD flags) {
    Display& d = display();
    if (!d.open) {
        d.props = profile_properties();
        prepare_memory(d);
        d.open = true;
    }
    log_event("gx", {{"op", "open"}, {"flags", flags}, {"ok", true}, {"window", describe(window_from_handle(hwnd))}});
    return 1;
}

int GXCloseDisplay() {
    Display& d = display();
    bool ok = d.open;
    d.open = false;
    d.drawing = false;
    log_event("gx", {{"op", "close"}, {"ok", ok}});
    return ok ? 1 : 0;
}

GXDisplayProperties GXGetDisplayProperties() { return display().open ? display().props : profile_properties(); }

void* GXBeginDraw() {
    Display& d = display();
    int call = ++d.begin_calls;
    bool ok = d.open && !d.drawing && !begin_fails(call);
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
    if (ok && d.observer) d.observer(d.begin_calls);
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
