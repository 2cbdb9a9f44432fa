// GDI objects (pens, brushes, fonts, bitmaps) and device contexts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "gdi/canvas.h"
#include "gdi/geometry.h"

namespace sim {

class Font;

struct GdiObject {
    enum Kind { Pen, Brush, FontObj, Bitmap } kind;
    bool stock = false;
    // Pen and brush.
    int pen_style = PS_SOLID;
    int pen_width = 1;
    bool null_brush = false;
    COLORREF colour = 0;
    // Font, and the font it is realized as (once asked for).
    LOGFONTW logfont{};
    const Font* realized = nullptr;
    // Bitmap: 5-6-5 pixels, top row first.
    int width = 0, height = 0, bits_per_pixel = 16;
    std::vector<uint16_t> pixels;
    std::string resource;  // the resource a bitmap was loaded from ("124", "ARROW"), for the journal
};

struct DeviceContext {
    HWND window = nullptr;     // null: the whole screen, or a memory DC
    bool memory = false;
    bool painting = false;     // from BeginPaint: clipped to the update area
    Rect paint_area;           // client coordinates
    HGDIOBJ pen, brush, font, bitmap;
    COLORREF text_colour = 0;
    COLORREF bk_colour = 0xFFFFFF;
    int bk_mode = OPAQUE;
};

GdiObject* gdi_object(HGDIOBJ h);
HGDIOBJ add_gdi_object(std::unique_ptr<GdiObject> obj);
HGDIOBJ stock_object(int index);

DeviceContext* device_context(HDC h);
// GetDC: the window's client area (null: the whole screen).
HDC make_window_dc(HWND window);
// BeginPaint: the window's client area clipped to the area being painted.
HDC make_paint_dc(HWND window, const Rect& paint_area);
HDC make_memory_dc();
void release_dc(HDC h);
// Whether a device context not yet released draws for the window.
bool window_has_dc(HWND window);

// What GDI knows of windows is what the window manager above it tells: a
// window's DC asks, each time it draws, where the window's client area
// stands now (windows move), and the journal names the window by its title.
struct WindowAreas {
    // False when the window is hidden or gone: nothing drawn lands.
    bool (*area)(HWND window, Point* origin, Rect* client) = nullptr;
    std::string (*title)(HWND window) = nullptr;
};
void set_window_areas(const WindowAreas& areas);
std::string window_title(HWND window);  // "" for none

// Where a device context's drawing lands now (windows move).
Canvas canvas_of(DeviceContext& dc);
// The realized font of a font object (the system font for null).
const Font& font_of(HGDIOBJ font);
const Font& system_font();

void clear_gdi();

}  // namespace sim
