#include "gdi/raster.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <utility>
#include <vector>

#include "gdi/pixel_runs.h"

namespace sim {

namespace {

void plot(Canvas& canvas, const Pen& pen, int x, int y) {
    if (pen.width <= 1) {
        canvas.put(x, y, pen.colour);
        return;
    }
    int o = pen.width / 2;
    canvas.fill_rect({x - o, y - o, x - o + pen.width, y - o + pen.width}, pen.colour);
}

void fill_span(Canvas& canvas, int y, int left, int right_inclusive, uint16_t colour) {
    if (right_inclusive >= left) canvas.fill_rect({left, y, right_inclusive + 1, y + 1}, colour);
}

Rect normalized(const Rect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

struct Span {
    int left = 0, right = -1;  // inclusive columns; right < left: empty
    bool empty() const { return right < left; }
};

// The rows of an ellipse filling a w x h box: for each row, the columns whose
// pixel centres lie inside the ellipse, relative to the box.  Worked out for
// the upper left quarter in exact integers and mirrored, so the figure is
// symmetric.  Every row holds at least its middle pixel(s).
std::vector<Span> ellipse_rows(int w, int h) {
    std::vector<Span> rows(size_t(std::max(h, 0)));
    if (w <= 0 || h <= 0) return rows;
    // Pixel (c, r) has its centre at u/2, v/2 from the box's centre, with
    // u = 2c + 1 - w, v = 2r + 1 - h; inside when u²h² + v²w² <= w²h².
    const long long ww = 1LL * w * w, hh = 1LL * h * h;
    for (int r = 0; r <= (h - 1) / 2; ++r) {
        long long v = 2LL * r + 1 - h;
        int c = 0;
        for (; c < (w - 1) / 2; ++c) {
            long long u = 2LL * c + 1 - w;
            if (u * u * hh + v * v * ww <= ww * hh) break;
        }
        Span s{c, w - 1 - c};
        rows[size_t(r)] = s;
        rows[size_t(h - 1 - r)] = s;
    }
    return rows;
}

}  // namespace

void draw_line(Canvas& canvas, const Pen& pen, Point from, Point to) {
    if (pen.null) return;
    int dx = to.x - from.x, dy = to.y - from.y;
    int adx = std::abs(dx), ady = std::abs(dy);
    bool x_major = adx > ady;
    // GDI breaks ties (the ideal line passing exactly between two pixels)
    // one way in octants 1, 2, 4, 7 and the other in 3, 5, 6, 8, so a line
    // and its reverse light the same pixels.
    int octant;
    if (dy > 0)
        octant = dx > 0 ? (dx > dy ? 1 : 2) : (-dx > dy ? 4 : 3);
    else
        octant = dx < 0 ? (-dx > -dy ? 5 : 6) : (dx > -dy ? 8 : 7);
    int bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
    int x_inc = dx < 0 ? -1 : 1, y_inc = dy < 0 ? -1 : 1;
    int major = x_major ? adx : ady, minor = x_major ? ady : adx;
    int err = 2 * minor - major;
    int x = from.x, y = from.y;
    for (int i = 0; i < major; ++i) {
        plot(canvas, pen, x, y);
        bool step_minor = err + bias > 0;
        err += step_minor ? 2 * minor - 2 * major : 2 * minor;
        if (x_major) {
            if (step_minor) y += y_inc;
            x += x_inc;
        } else {
            if (step_minor) x += x_inc;
            y += y_inc;
        }
    }
}

void draw_polyline(Canvas& canvas, const Pen& pen, const Point* points, size_t count) {
    for (size_t i = 0; i + 1 < count; ++i) draw_line(canvas, pen, points[i], points[i + 1]);
}

void draw_ellipse(Canvas& canvas, const Pen& pen, const Brush& brush, const Rect& box) {
    Rect b = normalized(box);
    if (pen.null) {
        if (brush.null) return;
        std::vector<Span> rows = ellipse_rows(b.width() - 1, b.height() - 1);
        for (size_t r = 0; r < rows.size(); ++r)
            fill_span(canvas, b.top + int(r), b.left + rows[r].left, b.left + rows[r].right, brush.colour);
        return;
    }
    int w = b.width(), h = b.height();
    std::vector<Span> outer = ellipse_rows(w, h);
    // The inside: the ellipse of the box narrowed by the pen's extra width,
    // less that ellipse's own boundary pixels (those with a neighbour above,
    // below, left or right outside it).
    int inset = std::max(1, pen.width) - 1;
    std::vector<Span> inner = ellipse_rows(w - 2 * inset, h - 2 * inset);
    std::vector<Span> inside(outer.size());
    for (size_t i = 1; i + 1 < inner.size(); ++i) {
        Span s{std::max({inner[i].left + 1, inner[i - 1].left, inner[i + 1].left}),
               std::min({inner[i].right - 1, inner[i - 1].right, inner[i + 1].right})};
        inside[i + size_t(inset)] = {s.left + inset, s.right + inset};
    }
    for (size_t r = 0; r < outer.size(); ++r) {
        int y = b.top + int(r);
        const Span& o = outer[r];
        const Span& in = inside[r];
        if (in.empty()) {
            fill_span(canvas, y, b.left + o.left, b.left + o.right, pen.colour);
            continue;
        }
        if (!brush.null) fill_span(canvas, y, b.left + in.left, b.left + in.right, brush.colour);
        fill_span(canvas, y, b.left + o.left, b.left + in.left - 1, pen.colour);
        fill_span(canvas, y, b.left + in.right + 1, b.left + o.right, pen.colour);
    }
}

void draw_rectangle(Canvas& canvas, const Pen& pen, const Brush& brush, const Rect& box) {
    Rect b = normalized(box);
    if (pen.null) {
        if (!brush.null) canvas.fill_rect({b.left, b.top, b.right - 1, b.bottom - 1}, brush.colour);
        return;
    }
    int pw = std::max(1, pen.width);
    Rect inside{b.left + pw, b.top + pw, b.right - pw, b.bottom - pw};
    if (!brush.null && !inside.empty()) canvas.fill_rect(inside, brush.colour);
    int band_y = std::min(pw, b.height());
    int band_x = std::min(pw, b.width());
    canvas.fill_rect({b.left, b.top, b.right, b.top + band_y}, pen.colour);
    canvas.fill_rect({b.left, b.bottom - band_y, b.right, b.bottom}, pen.colour);
    canvas.fill_rect({b.left, b.top, b.left + band_x, b.bottom}, pen.colour);
    canvas.fill_rect({b.right - band_x, b.top, b.right, b.bottom}, pen.colour);
}

void fill_rect(Canvas& canvas, const Rect& rect, uint16_t colour) { canvas.fill_rect(rect, colour); }

void blit(Canvas& canvas, const Rect& dest, const Image565& src, int src_x, int src_y) {
    if (!src.pixels) return;
    for (int y = dest.top; y < dest.bottom; ++y)
        for (int x = dest.left; x < dest.right; ++x) {
            int sx = src_x + x - dest.left, sy = src_y + y - dest.top;
            if (src.contains(sx, sy)) canvas.put(x, y, src.at(sx, sy));
        }
}

namespace {

template <typename Write>
void stretch(const Rect& dest, const Image565& src, const Rect& src_rect, Write write) {
    if (!src.pixels || dest.empty() || src_rect.empty()) return;
    for (int y = dest.top; y < dest.bottom; ++y) {
        int sy = src_rect.top + int(1LL * (y - dest.top) * src_rect.height() / dest.height());
        for (int x = dest.left; x < dest.right; ++x) {
            int sx = src_rect.left + int(1LL * (x - dest.left) * src_rect.width() / dest.width());
            if (src.contains(sx, sy)) write(x, y, src.at(sx, sy));
        }
    }
}

}  // namespace

void stretch_blit(Canvas& canvas, const Rect& dest, const Image565& src, const Rect& src_rect) {
    stretch(dest, src, src_rect, [&](int x, int y, uint16_t p) { canvas.put(x, y, p); });
}

void transparent_blit(Canvas& canvas, const Rect& dest, const Image565& src, const Rect& src_rect,
                      uint16_t transparent) {
    stretch(dest, src, src_rect, [&](int x, int y, uint16_t p) {
        if (p != transparent) canvas.put(x, y, p);
    });
}

namespace {

// The first pixel of a canvas's row at a screen (or memory) position inside
// its surface.
uint16_t* row_at(const Canvas& c, int sx, int sy) {
    if (c.memory) return c.memory->data() + size_t(sy) * size_t(c.memory_width) + size_t(sx);
    return &c.fb->pixels[sy][sx];
}

}  // namespace

// A pixel is copied when the source has it (it lies on the source's
// surface) and it lands where the destination may draw (its clip, its
// surface and, for a window, the pixels the window owns): both are
// rectangles, so the copy goes row by row.
void copy_canvas(Canvas& canvas, const Rect& dest, const Canvas& src, int src_x, int src_y) {
    if (dest.empty()) return;
    const Rect whole{0, 0, dest.width(), dest.height()};
    // In the copy's own coordinates, (0, 0) at dest's top left.
    const int from_x = src_x + src.origin_x, from_y = src_y + src.origin_y;
    const int to_x = dest.left + canvas.origin_x, to_y = dest.top + canvas.origin_y;
    Rect have = src.surface().offset(-from_x, -from_y).intersect(whole);
    Rect lands = canvas.clip.intersect(canvas.surface()).offset(-to_x, -to_y).intersect(have);
    if (lands.empty()) return;
    // Read everything first: source and destination may overlap.
    const int w = lands.width();
    thread_local std::vector<uint16_t> pixels;  // kept: a copy needs no zeroed buffer of its own
    if (pixels.size() < size_t(w) * size_t(lands.height())) pixels.resize(size_t(w) * size_t(lands.height()));
    for (int y = lands.top; y < lands.bottom; ++y)
        std::memcpy(&pixels[size_t(y - lands.top) * size_t(w)], row_at(src, from_x + lands.left, from_y + y),
                    size_t(w) * sizeof(uint16_t));
    const bool owned = !canvas.memory && canvas.owner != 0;
    for (int y = lands.top; y < lands.bottom; ++y) {
        const uint16_t* from = &pixels[size_t(y - lands.top) * size_t(w)];
        uint16_t* to = row_at(canvas, to_x + lands.left, to_y + y);
        if (owned)
            copy_owned(to, from, &canvas.fb->owner[to_y + y][to_x + lands.left], w, canvas.owner);
        else
            std::memcpy(to, from, size_t(w) * sizeof(uint16_t));
    }
}

}  // namespace sim
