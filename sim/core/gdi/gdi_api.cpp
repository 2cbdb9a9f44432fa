// GDI's Win32 entry points, and the unjournaled drawing the system's own
// windows use (draw.h).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "base/journal.h"
#include "gdi/draw.h"
#include "gdi/font.h"
#include "gdi/gdi_objects.h"
#include "gdi/raster.h"
#include "gdi/text_layout.h"
#include "kernel/arguments.h"
#include "base/text.h"
#include "platform/ce_api.h"

namespace sim {

bool delete_gdi_object(HGDIOBJ h);

namespace {

Pen pen_of(HGDIOBJ h) {
    GdiObject* o = gdi_object(h);
    Pen p;
    if (!o || o->kind != GdiObject::Pen || o->pen_style == PS_NULL) {
        p.null = !o || o->pen_style == PS_NULL;
        return p;
    }
    p.width = std::max(1, o->pen_width);
    p.colour = colorref_to_565(o->colour);
    return p;
}

Brush brush_of(HGDIOBJ h) {
    GdiObject* o = gdi_object(h);
    Brush b;
    if (!o || o->kind != GdiObject::Brush || o->null_brush) {
        b.null = true;
        return b;
    }
    b.colour = colorref_to_565(o->colour);
    return b;
}

int layout_text(DeviceContext& dc, const char16_t* text, int count, Rect& rect, UINT format) {
    Canvas canvas = canvas_of(dc);
    return draw_text(canvas, font_of(dc.font), text, count, rect, format, colorref_to_565(dc.text_colour),
                     dc.bk_mode == OPAQUE ? TextBackground::Opaque : TextBackground::Transparent,
                     colorref_to_565(dc.bk_colour));
}

}  // namespace

int dc_draw_text(HDC h, const char16_t* text, int count, Rect& rect, UINT format) {
    DeviceContext* dc = device_context(h);
    return dc ? layout_text(*dc, text, count, rect, format) : 0;
}

int dc_text_height(HDC h, const char16_t* text, int width) {
    DeviceContext* dc = device_context(h);
    if (!dc) return 0;
    Rect r{0, 0, width, 0};
    return layout_text(*dc, text, -1, r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
}

int dc_text_width(HDC h, const char16_t* text) {
    DeviceContext* dc = device_context(h);
    if (!dc) return 0;
    std::u16string s(text);
    return font_of(dc->font).text_width(s);
}

void dc_fill(HDC h, const Rect& r, COLORREF colour) {
    if (DeviceContext* dc = device_context(h)) {
        Canvas c = canvas_of(*dc);
        fill_rect(c, r, colorref_to_565(colour));
    }
}

void dc_frame(HDC h, const Rect& r, COLORREF colour, int thickness) {
    DeviceContext* dc = device_context(h);
    if (!dc) return;
    Canvas c = canvas_of(*dc);
    uint16_t v = colorref_to_565(colour);
    fill_rect(c, {r.left, r.top, r.right, r.top + thickness}, v);
    fill_rect(c, {r.left, r.bottom - thickness, r.right, r.bottom}, v);
    fill_rect(c, {r.left, r.top, r.left + thickness, r.bottom}, v);
    fill_rect(c, {r.right - thickness, r.top, r.right, r.bottom}, v);
}

void dc_focus_rect(HDC h, const Rect& r) {
    DeviceContext* dc = device_context(h);
    if (!dc || r.empty()) return;
    Canvas c = canvas_of(*dc);
    auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0) c.put(x, y, uint16_t(~c.get(x, y)));
    };
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        if (r.bottom - 1 > r.top) dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        if (r.right - 1 > r.left) dot(r.right - 1, y);
    }
}

void dc_line(HDC h, int x1, int y1, int x2, int y2, COLORREF colour) {
    DeviceContext* dc = device_context(h);
    if (!dc) return;
    Canvas c = canvas_of(*dc);
    Pen p;
    p.colour = colorref_to_565(colour);
    draw_line(c, p, {x1, y1}, {x2, y2});
}

void dc_ellipse(HDC h, const Rect& r, COLORREF fill, COLORREF outline) {
    DeviceContext* dc = device_context(h);
    if (!dc) return;
    Canvas c = canvas_of(*dc);
    Pen p;
    p.colour = colorref_to_565(outline);
    Brush b;
    b.colour = colorref_to_565(fill);
    draw_ellipse(c, p, b, r);
}

void dc_draw_bitmap(HDC h, HBITMAP bitmap, int x, int y) {
    DeviceContext* dc = device_context(h);
    GdiObject* bmp = gdi_object(bitmap);
    if (!dc || !bmp || bmp->kind != GdiObject::Bitmap) return;
    Canvas c = canvas_of(*dc);
    Image565 image{bmp->pixels.data(), bmp->width, bmp->height};
    blit(c, {x, y, x + bmp->width, y + bmp->height}, image, 0, 0);
}

void dc_select_font(HDC h, HFONT font) {
    if (DeviceContext* dc = device_context(h)) dc->font = font ? font : stock_object(SYSTEM_FONT);
}

void dc_set_text_colour(HDC h, COLORREF colour) {
    if (DeviceContext* dc = device_context(h)) {
        dc->text_colour = colour;
        dc->bk_mode = TRANSPARENT;
    }
}

}  // namespace sim

using namespace sim;

namespace {

DeviceContext* dc_or_fail(HDC h) {
    DeviceContext* dc = device_context(h);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

}  // namespace

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC) { return make_memory_dc(); }

BOOL WINAPI DeleteDC(HDC dc) {
    if (!device_context(dc)) return FALSE;
    release_dc(dc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC h, HGDIOBJ obj) {
    DeviceContext* dc = dc_or_fail(h);
    GdiObject* o = gdi_object(obj);
    if (!dc || !o) return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (o->kind) {
        case GdiObject::Pen: slot = &dc->pen; break;
        case GdiObject::Brush: slot = &dc->brush; break;
        case GdiObject::FontObj: slot = &dc->font; break;
        case GdiObject::Bitmap:
            if (!dc->memory) return nullptr;
            slot = &dc->bitmap;
            break;
    }
    HGDIOBJ old = *slot;
    *slot = obj;
    if (o->kind == GdiObject::Bitmap && !old) {
        // A new memory DC starts with the system's 1 x 1 default bitmap.
        static HGDIOBJ default_bitmap = [] {
            auto b = std::make_unique<GdiObject>();
            b->kind = GdiObject::Bitmap;
            b->stock = true;
            b->width = b->height = 1;
            b->pixels.assign(1, 0);
            return add_gdi_object(std::move(b));
        }();
        old = default_bitmap;
    }
    return old;
}

BOOL WINAPI DeleteObject(HGDIOBJ obj) {
    GdiObject* o = gdi_object(obj);
    bool is_bitmap = o && o->kind == GdiObject::Bitmap && !o->stock;
    std::string name = is_bitmap ? o->resource : std::string();
    bool ok = delete_gdi_object(obj);
    if (is_bitmap) log_event("bitmap", {{"op", "delete"}, {"name", name}, {"ok", ok}});
    return ok ? TRUE : FALSE;
}

HGDIOBJ WINAPI GetStockObject(int i) { return stock_object(i); }

int WINAPI GetObjectW(HANDLE h, int size, LPVOID out) {
    GdiObject* o = gdi_object(h);
    if (!o) return 0;
    switch (o->kind) {
        case GdiObject::Bitmap: {
            BITMAP bm{};
            bm.bmType = 0;
            bm.bmWidth = o->width;
            bm.bmHeight = o->height;
            bm.bmPlanes = 1;
            bm.bmBitsPixel = WORD(o->bits_per_pixel);
            bm.bmWidthBytes = ((o->width * o->bits_per_pixel + 15) / 16) * 2;
            if (!out) return sizeof bm;
            std::memcpy(out, &bm, std::min<size_t>(size_t(size), sizeof bm));
            return std::min<int>(size, sizeof bm);
        }
        case GdiObject::FontObj:
            if (!out) return sizeof(LOGFONTW);
            std::memcpy(out, &o->logfont, std::min<size_t>(size_t(size), sizeof(LOGFONTW)));
            return std::min<int>(size, sizeof(LOGFONTW));
        case GdiObject::Pen: {
            LOGPEN lp{UINT(o->pen_style), {o->pen_width, 0}, o->colour};
            if (!out) return sizeof lp;
            std::memcpy(out, &lp, std::min<size_t>(size_t(size), sizeof lp));
            return std::min<int>(size, sizeof lp);
        }
        default: return 0;
    }
}

HPEN WINAPI CreatePen(int style, int width, COLORREF colour) {
    auto o = std::make_unique<GdiObject>();
    o->kind = GdiObject::Pen;
    o->pen_style = style;
    o->pen_width = width;
    o->colour = colour;
    return static_cast<HPEN>(add_gdi_object(std::move(o)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    auto o = std::make_unique<GdiObject>();
    o->kind = GdiObject::Brush;
    o->colour = colour;
    return static_cast<HBRUSH>(add_gdi_object(std::move(o)));
}

HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lf) {
    if (missing(lf)) return nullptr;
    auto o = std::make_unique<GdiObject>();
    o->kind = GdiObject::FontObj;
    o->logfont = *lf;
    return static_cast<HFONT>(add_gdi_object(std::move(o)));
}

COLORREF WINAPI SetTextColor(HDC h, COLORREF c) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->text_colour;
    dc->text_colour = c;
    return old;
}

COLORREF WINAPI GetTextColor(HDC h) {
    DeviceContext* dc = dc_or_fail(h);
    return dc ? dc->text_colour : CLR_INVALID;
}

COLORREF WINAPI SetBkColor(HDC h, COLORREF c) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->bk_colour;
    dc->bk_colour = c;
    return old;
}

int WINAPI SetBkMode(HDC h, int mode) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return 0;
    int old = dc->bk_mode;
    dc->bk_mode = mode;
    return old;
}

int WINAPI DrawTextW(HDC h, LPCWSTR text, int count, LPRECT rc, UINT format) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc || missing(text) || missing(rc)) return 0;
    size_t n = count < 0 ? wcslen(text) : size_t(count);
    log_event("text", {{"window", window_title(dc->window)},
                       {"text", to_utf8(text, n)},
                       {"rect", {rc->left, rc->top, rc->right, rc->bottom}},
                       {"format", format}});
    Rect r{int(rc->left), int(rc->top), int(rc->right), int(rc->bottom)};
    int height = layout_text(*dc, text, count, r, format);
    if (format & DT_CALCRECT) *rc = {r.left, r.top, r.right, r.bottom};
    return height;
}

BOOL WINAPI ExtTextOutW(HDC h, int x, int y, UINT, const RECT*, LPCWSTR text, UINT count, const int*) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc || missing(text)) return FALSE;
    log_event("text", {{"window", window_title(dc->window)}, {"text", to_utf8(text, count)}, {"rect", {x, y, x, y}}});
    const Font& f = font_of(dc->font);
    Canvas c = canvas_of(*dc);
    if (dc->bk_mode == OPAQUE)
        fill_rect(c, {x, y, x + f.text_width(text, count), y + f.metrics().height}, colorref_to_565(dc->bk_colour));
    f.draw(c, x, y, text, count, colorref_to_565(dc->text_colour));
    return TRUE;
}

// The extent of the text and, when asked, how many characters fit in
// max_extent and where each of those ends.
BOOL WINAPI GetTextExtentExPointW(HDC h, LPCWSTR text, int count, int max_extent, LPINT fit, LPINT ends,
                                  LPSIZE size) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc || missing(text) || missing(size)) return FALSE;
    const Font& f = font_of(dc->font);
    size_t n = size_t(std::max(0, count));
    size->cx = f.text_width(text, n);
    size->cy = f.metrics().height;
    if (fit || ends) {
        int fitting = 0;
        for (size_t i = 1; i <= n; ++i) {
            int end = f.text_width(text, i);
            if (fit && end > max_extent) break;
            if (ends) ends[i - 1] = end;
            fitting = int(i);
        }
        if (fit) *fit = fitting;
    }
    return TRUE;
}

BOOL WINAPI GetTextMetricsW(HDC h, LPTEXTMETRICW tm) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc || missing(tm)) return FALSE;
    const FontMetrics& m = font_of(dc->font).metrics();
    *tm = TEXTMETRICW{};
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internal_leading;
    tm->tmExternalLeading = m.external_leading;
    tm->tmAveCharWidth = m.ave_char_width;
    tm->tmMaxCharWidth = m.max_char_width;
    tm->tmWeight = m.weight;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmCharSet = DEFAULT_CHARSET;
    return TRUE;
}

BOOL WINAPI Polyline(HDC h, const POINT* pts, int n) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc || missing(pts) || n < 2) return FALSE;
    std::vector<Point> points;
    for (int i = 0; i < n; ++i) points.push_back({int(pts[i].x), int(pts[i].y)});
    json list = json::array();
    for (auto& p : points) list.push_back({p.x, p.y});
    log_event("draw", {{"op", "polyline"}, {"window", window_title(dc->window)}, {"points", list}});
    Canvas c = canvas_of(*dc);
    draw_polyline(c, pen_of(dc->pen), points.data(), points.size());
    return TRUE;
}

BOOL WINAPI Ellipse(HDC h, int l, int t, int r, int b) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return FALSE;
    log_event("draw", {{"op", "ellipse"}, {"window", window_title(dc->window)}, {"rect", {l, t, r, b}}});
    Canvas c = canvas_of(*dc);
    draw_ellipse(c, pen_of(dc->pen), brush_of(dc->brush), {l, t, r, b});
    return TRUE;
}

BOOL WINAPI Rectangle(HDC h, int l, int t, int r, int b) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return FALSE;
    Canvas c = canvas_of(*dc);
    draw_rectangle(c, pen_of(dc->pen), brush_of(dc->brush), {l, t, r, b});
    return TRUE;
}

int WINAPI FillRect(HDC h, const RECT* rc, HBRUSH brush) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc || missing(rc)) return 0;
    Brush b = brush_of(brush);
    if (b.null) return 1;
    Canvas c = canvas_of(*dc);
    fill_rect(c, {int(rc->left), int(rc->top), int(rc->right), int(rc->bottom)}, b.colour);
    return 1;
}

COLORREF WINAPI SetPixel(HDC h, int x, int y, COLORREF colour) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return CLR_INVALID;
    Canvas c = canvas_of(*dc);
    c.put(x, y, colorref_to_565(colour));
    return colour;
}

COLORREF WINAPI GetPixel(HDC h, int x, int y) {
    DeviceContext* dc = dc_or_fail(h);
    if (!dc) return CLR_INVALID;
    Canvas c = canvas_of(*dc);
    uint8_t r, g, b;
    rgb565_to_rgb(c.get(x, y), r, g, b);
    return RGB(r, g, b);
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop) {
    DeviceContext* d = dc_or_fail(dest);
    if (!d) return FALSE;
    Canvas dc = canvas_of(*d);
    Rect to{x, y, x + cx, y + cy};
    if (rop == BLACKNESS || rop == WHITENESS) {
        fill_rect(dc, to, rop == BLACKNESS ? 0 : 0xFFFF);
        return TRUE;
    }
    DeviceContext* s = dc_or_fail(src);
    if (!s) return FALSE;
    GdiObject* source = s->memory ? gdi_object(s->bitmap) : nullptr;
    log_event("draw", {{"op", "bitblt"},
                       {"window", window_title(d->window)},
                       {"rect", {x, y, x + cx, y + cy}},
                       {"from", {sx, sy}},
                       {"bitmap", source ? json(source->resource) : json(nullptr)},
                       {"rop", rop}});
    Canvas sc = canvas_of(*s);
    copy_canvas(dc, to, sc, sx, sy);
    return TRUE;
}

BOOL WINAPI TransparentImage(HDC dest, LONG x, LONG y, LONG cx, LONG cy, HANDLE src, LONG sx, LONG sy, LONG scx,
                             LONG scy, COLORREF transparent) {
    DeviceContext* d = dc_or_fail(dest);
    if (!d) return FALSE;
    // The source is a device context or a bitmap.
    GdiObject* bmp = gdi_object(src);
    if (!bmp) {
        DeviceContext* s = device_context(static_cast<HDC>(src));
        if (s && s->memory) bmp = gdi_object(s->bitmap);
    }
    if (!bmp || bmp->kind != GdiObject::Bitmap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    log_event("draw", {{"op", "transparent"},
                       {"window", window_title(d->window)},
                       {"rect", {x, y, x + cx, y + cy}},
                       {"from", {sx, sy, sx + scx, sy + scy}},
                       {"bitmap", bmp->resource},
                       {"transparent", transparent}});
    Image565 image{bmp->pixels.data(), bmp->width, bmp->height};
    Canvas c = canvas_of(*d);
    transparent_blit(c, {int(x), int(y), int(x + cx), int(y + cy)}, image,
                     {int(sx), int(sy), int(sx + scx), int(sy + scy)}, colorref_to_565(transparent));
    return TRUE;
}

DWORD WINAPI GetSysColor(int index) {
    switch (index) {
        case COLOR_WINDOWTEXT:
        case COLOR_BTNTEXT:
        case COLOR_STATICTEXT: return RGB(0, 0, 0);
        case COLOR_GRAYTEXT: return RGB(128, 128, 128);
        default: return RGB(255, 255, 255);
    }
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    static std::map<int, HBRUSH> brushes;
    auto it = brushes.find(index);
    if (it != brushes.end()) return it->second;
    auto o = std::make_unique<GdiObject>();
    o->kind = GdiObject::Brush;
    o->stock = true;
    o->colour = GetSysColor(index);
    HBRUSH b = static_cast<HBRUSH>(add_gdi_object(std::move(o)));
    brushes[index] = b;
    return b;
}

}  // extern "C"
