// Drawing for the system's own windows (controls, message boxes, the
// shell).  Unlike the program's GDI calls these are not journaled.
#pragma once

#include <windows.h>

#include "gdi/geometry.h"

namespace sim {

// DrawTextW's layout with the device context's font, colours and mode.
int dc_draw_text(HDC dc, const char16_t* text, int count, Rect& rect, UINT format);
// Height of `text` wrapped to `width` in the device context's font.
int dc_text_height(HDC dc, const char16_t* text, int width);
int dc_text_width(HDC dc, const char16_t* text);
void dc_fill(HDC dc, const Rect& r, COLORREF colour);
void dc_frame(HDC dc, const Rect& r, COLORREF colour, int thickness = 1);
void dc_line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour);
// DrawFocusRect's dotted frame: every other pixel of the rectangle's edge
// inverted, so that drawing it twice takes it away.
void dc_focus_rect(HDC dc, const Rect& r);
void dc_ellipse(HDC dc, const Rect& r, COLORREF fill, COLORREF outline);
void dc_select_font(HDC dc, HFONT font);  // null: the system font
// A bitmap's pixels at (x, y), clipped as the device context clips.
void dc_draw_bitmap(HDC dc, HBITMAP bitmap, int x, int y);
// The colour of text, drawn over what lies beneath (TRANSPARENT).
void dc_set_text_colour(HDC dc, COLORREF colour);

}  // namespace sim
