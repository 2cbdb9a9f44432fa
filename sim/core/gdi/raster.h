// Raster primitives in a device context's logical coordinates, drawn
// through a Canvas (so clipped to its clip rectangle and owner map): lines,
// ellipses, rectangles, fills and copies of 5-6-5 images.  Colours are 5-6-5.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gdi/canvas.h"
#include "gdi/geometry.h"

namespace sim {

struct Pen {
    bool null = false;  // PS_NULL: draws nothing
    int width = 1;      // > 1: a square brush of width x width pixels
    uint16_t colour = 0;
};

struct Brush {
    bool null = false;  // NULL_BRUSH: leaves the inside as it is
    uint16_t colour = 0;
};

// A 5-6-5 pixel store, top row first.
struct Image565 {
    const uint16_t* pixels = nullptr;
    int width = 0, height = 0;
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint16_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// A line from `from` to `to` with GDI's Bresenham rule: the end point is not
// drawn, and a line covers the same pixels whichever end it starts from.
void draw_line(Canvas& canvas, const Pen& pen, Point from, Point to);
// Polyline: each segment as draw_line, so every point but the last is drawn.
void draw_polyline(Canvas& canvas, const Pen& pen, const Point* points, size_t count);

// Ellipse and rectangle in the box (left, top) to (right, bottom), right and
// bottom exclusive: the pen draws the outline inside the box (width pixels
// thick), the brush fills what lies inside the outline.  Without a pen the
// brush fills the figure one pixel smaller at the right and bottom, as GDI
// does.  The ellipse is symmetric about both axes of its box.
void draw_ellipse(Canvas& canvas, const Pen& pen, const Brush& brush, const Rect& box);
void draw_rectangle(Canvas& canvas, const Pen& pen, const Brush& brush, const Rect& box);

void fill_rect(Canvas& canvas, const Rect& rect, uint16_t colour);

// SRCCOPY: the image's pixels from (src_x, src_y) onwards into `dest`.
// Parts of `dest` that fall outside the image are left alone.
void blit(Canvas& canvas, const Rect& dest, const Image565& src, int src_x, int src_y);
// The image's `src` rectangle scaled (nearest pixel) into `dest`.
void stretch_blit(Canvas& canvas, const Rect& dest, const Image565& src, const Rect& src_rect);
// As stretch_blit, skipping source pixels equal to `transparent`
// (TransparentImage).
void transparent_blit(Canvas& canvas, const Rect& dest, const Image565& src, const Rect& src_rect,
                      uint16_t transparent);
// SRCCOPY between canvases (the source read through its own origin; it may
// be the same surface, overlapping).
void copy_canvas(Canvas& canvas, const Rect& dest, const Canvas& src, int src_x, int src_y);

}  // namespace sim
