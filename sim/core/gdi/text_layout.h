// DrawText: lays text out in a rectangle (alignment, line breaks, word
// wrap, tabs, "&" prefixes) and draws it with a font into a Canvas.
#pragma once

#include <cstdint>

#include "gdi/canvas.h"
#include "gdi/font.h"
#include "gdi/geometry.h"

namespace sim {

// As DrawTextW.  `format` holds the DT_ flags of windows.h: DT_LEFT,
// DT_CENTER, DT_RIGHT; DT_TOP, DT_VCENTER, DT_BOTTOM (these two only with
// DT_SINGLELINE); DT_SINGLELINE (CR and LF are characters, not breaks);
// DT_WORDBREAK; DT_EXPANDTABS (a stop every 8 average character widths);
// DT_NOCLIP; DT_CALCRECT (measure only: sets rect.right and rect.bottom,
// draws nothing); DT_NOPREFIX (otherwise "&x" underlines x and "&&" is "&").
// `count` -1: `text` is null-terminated.  `rect` is in logical coordinates.
// Each line is one font height (tmHeight) tall.  With
// TextBackground::Opaque each line's text extent is filled with
// `bk_colour` before its glyphs are drawn (the OPAQUE background mode).
// Returns the height of the text: with DT_VCENTER or DT_BOTTOM, from
// rect.top to the bottom of the text.
enum class TextBackground { Transparent, Opaque };
int draw_text(Canvas& canvas, const Font& font, const char16_t* text, int count, Rect& rect, unsigned format,
              uint16_t text_colour, TextBackground background, uint16_t bk_colour);

struct TextSize {
    int width = 0, height = 0;
};

// The size of the text laid out as draw_text would in a rectangle `width`
// pixels wide (only the line-breaking and prefix flags of `format` count):
// the widest line and the lines' total height.
TextSize measure_text(const Font& font, const char16_t* text, int count, int width, unsigned format);

}  // namespace sim
