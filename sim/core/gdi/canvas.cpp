#include "gdi/canvas.h"

#include <algorithm>

#include "gdi/pixel_runs.h"

namespace sim {

void Canvas::blend(int x, int y, uint16_t colour, uint8_t coverage) {
    if (coverage == 0) return;
    if (coverage == 255) {
        put(x, y, colour);
        return;
    }
    if (!visible(x + origin_x, y + origin_y)) return;
    uint8_t sr, sg, sb, dr, dg, db;
    rgb565_to_rgb(colour, sr, sg, sb);
    rgb565_to_rgb(get(x, y), dr, dg, db);
    auto mix = [coverage](int s, int d) { return uint8_t((s * coverage + d * (255 - coverage) + 127) / 255); };
    put(x, y, rgb565(mix(sr, dr), mix(sg, dg), mix(sb, db)));
}

void Canvas::fill_rect(const Rect& logical, uint16_t colour) {
    Rect r = logical.offset(origin_x, origin_y).intersect(clip).intersect(surface());
    for (int sy = r.top; sy < r.bottom; ++sy) {
        if (memory)
            fill_run(memory->data() + size_t(sy) * size_t(memory_width) + r.left, r.width(), colour);
        else if (owner == 0)
            fill_run(&fb->pixels[sy][r.left], r.width(), colour);
        else
            fill_owned(&fb->pixels[sy][r.left], &fb->owner[sy][r.left], r.width(), owner, colour);
    }
}

}  // namespace sim
