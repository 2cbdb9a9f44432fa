// The owner map (Framebuffer::owner): which window shows each screen pixel.
//
// The windows shown make a list of layers, back to front: each one's
// rectangle on the screen, clipped to the client areas of the windows it
// lies in.  A pixel belongs to the frontmost layer that covers it, or to no
// window (0).  When windows are shown, hidden, moved or restacked, the map
// is painted again only where a layer came, went, changed its area or
// changed places with another (the damaged area), as a window system with
// damage regions does; the pixels outside it keep their owner.  The result
// is the map that painting every layer afresh would give.
#pragma once

#include <cstdint>
#include <vector>

#include "gdi/framebuffer.h"
#include "gdi/geometry.h"

namespace sim {

struct Window;

struct OwnerLayer {
    uint32_t handle = 0;  // the window's handle value
    Rect area;            // screen pixels it may show, never empty
    bool operator==(const OwnerLayer& o) const { return handle == o.handle && area == o.area; }
};

// The bounds of the pixels a window gained in one update.
struct OwnerGain {
    uint32_t handle = 0;
    Rect area;
};

using OwnerPixels = uint32_t[kScreenHeight][kScreenWidth];

// The layers of the visible windows of `top_level` (front first), back to
// front, each window before its children and the children back to front.
void list_owner_layers(const std::vector<Window*>& top_level, std::vector<OwnerLayer>* out);

// What the map must hold after an update to `layers`.  owner_map_ok: every
// pixel belongs to the frontmost layer that covers it, or to none (a pass
// over the whole screen).  owner_map_ok_at: the same at a few pixels only,
// those where a mistake in the update would show first: the corners of
// each rectangle in `changed` and of each layer's area within their bounds.
bool owner_map_ok(const std::vector<OwnerLayer>& layers, const OwnerPixels& owner);
bool owner_map_ok_at(const std::vector<OwnerLayer>& layers, const OwnerPixels& owner, const std::vector<Rect>& changed);

class OwnerMap {
public:
    // Brings `owner`, which shows the layers of the last update (or none,
    // all 0, at first and after clear()), to `layers`.  When `gained` is
    // not null it receives, by handle, what each window gained.
    void update(const std::vector<OwnerLayer>& layers, OwnerPixels& owner, std::vector<OwnerGain>* gained);
    // No window shows: every pixel 0.
    void clear(OwnerPixels& owner);

private:
    void repaint(const std::vector<Rect>& damage, const std::vector<OwnerLayer>& layers, OwnerPixels& owner,
                 std::vector<OwnerGain>* gained);

    std::vector<OwnerLayer> shown_;
    // Scratch kept between updates so that an update allocates nothing.
    std::vector<Rect> damage_;
    std::vector<int> edges_;
    std::vector<std::pair<int, int>> spans_;
    struct Run {
        int left, right;
        uint32_t owner;
        Rect changed;
    };
    std::vector<Run> runs_;
    std::vector<unsigned> lcs_;
};

}  // namespace sim
