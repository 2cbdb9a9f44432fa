// GDI object and device-context tables.
#include <map>

#include "gdi/font.h"
#include "gdi/gdi_objects.h"
#include "gdi/screen.h"

namespace sim {

namespace {

struct Tables {
    std::map<uintptr_t, std::unique_ptr<GdiObject>> objects;
    std::map<uintptr_t, std::unique_ptr<DeviceContext>> dcs;
    uintptr_t next_object = 0x20000;
    uintptr_t next_dc = 0x30000;
};

Tables& tables() {
    static Tables t;
    return t;
}

constexpr uintptr_t kStockBase = 0x8000;

std::unique_ptr<GdiObject> make_stock(int index) {
    auto o = std::make_unique<GdiObject>();
    o->stock = true;
    switch (index) {
        case WHITE_BRUSH: o->kind = GdiObject::Brush; o->colour = RGB(255, 255, 255); break;
        case LTGRAY_BRUSH: o->kind = GdiObject::Brush; o->colour = RGB(192, 192, 192); break;
        case GRAY_BRUSH: o->kind = GdiObject::Brush; o->colour = RGB(128, 128, 128); break;
        case DKGRAY_BRUSH: o->kind = GdiObject::Brush; o->colour = RGB(64, 64, 64); break;
        case BLACK_BRUSH: o->kind = GdiObject::Brush; o->colour = RGB(0, 0, 0); break;
        case NULL_BRUSH: o->kind = GdiObject::Brush; o->null_brush = true; break;
        case WHITE_PEN: o->kind = GdiObject::Pen; o->colour = RGB(255, 255, 255); break;
        case BLACK_PEN: o->kind = GdiObject::Pen; o->colour = RGB(0, 0, 0); break;
        case NULL_PEN: o->kind = GdiObject::Pen; o->pen_style = PS_NULL; break;
        case SYSTEM_FONT:
        case DEFAULT_GUI_FONT: {
            o->kind = GdiObject::FontObj;
            // The device's system font: Tahoma, 8 points.
            o->logfont.lfHeight = -11;
            o->logfont.lfWeight = FW_NORMAL;
            const char16_t face[] = u"Tahoma";
            for (size_t i = 0; i < sizeof face / sizeof face[0]; ++i) o->logfont.lfFaceName[i] = face[i];
            break;
        }
        default: return nullptr;
    }
    return o;
}

}  // namespace

HGDIOBJ stock_object(int index) {
    uintptr_t h = kStockBase + uintptr_t(index);
    auto& objects = tables().objects;
    if (!objects.count(h)) {
        auto o = make_stock(index);
        if (!o) return nullptr;
        objects[h] = std::move(o);
    }
    return reinterpret_cast<HGDIOBJ>(h);
}

GdiObject* gdi_object(HGDIOBJ h) {
    auto& objects = tables().objects;
    uintptr_t key = reinterpret_cast<uintptr_t>(h);
    if (key >= kStockBase && key < kStockBase + 32) stock_object(int(key - kStockBase));
    auto it = objects.find(key);
    return it == objects.end() ? nullptr : it->second.get();
}

HGDIOBJ add_gdi_object(std::unique_ptr<GdiObject> obj) {
    uintptr_t h = tables().next_object;
    tables().next_object += 4;
    tables().objects[h] = std::move(obj);
    return reinterpret_cast<HGDIOBJ>(h);
}

bool delete_gdi_object(HGDIOBJ h) {
    auto& objects = tables().objects;
    auto it = objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == objects.end()) return false;
    if (it->second->stock) return true;
    // A bitmap stays while a memory device context holds it.
    if (it->second->kind == GdiObject::Bitmap)
        for (auto& [handle, dc] : tables().dcs)
            if (dc->bitmap == h) return false;
    objects.erase(it);
    return true;
}

DeviceContext* device_context(HDC h) {
    auto it = tables().dcs.find(reinterpret_cast<uintptr_t>(h));
    return it == tables().dcs.end() ? nullptr : it->second.get();
}

static WindowAreas& window_areas() {
    static WindowAreas areas;
    return areas;
}

static HDC add_dc(std::unique_ptr<DeviceContext> dc) {
    dc->pen = stock_object(BLACK_PEN);
    dc->brush = stock_object(WHITE_BRUSH);
    dc->font = stock_object(SYSTEM_FONT);
    dc->bitmap = nullptr;
    uintptr_t h = tables().next_dc;
    tables().next_dc += 4;
    tables().dcs[h] = std::move(dc);
    return reinterpret_cast<HDC>(h);
}

HDC make_window_dc(HWND window) {
    auto dc = std::make_unique<DeviceContext>();
    dc->window = window;
    return add_dc(std::move(dc));
}

HDC make_paint_dc(HWND window, const Rect& paint_area) {
    auto dc = std::make_unique<DeviceContext>();
    dc->window = window;
    dc->painting = true;
    dc->paint_area = paint_area;
    return add_dc(std::move(dc));
}

HDC make_memory_dc() {
    auto dc = std::make_unique<DeviceContext>();
    dc->memory = true;
    return add_dc(std::move(dc));
}

void release_dc(HDC h) { tables().dcs.erase(reinterpret_cast<uintptr_t>(h)); }

bool window_has_dc(HWND window) {
    for (auto& [handle, dc] : tables().dcs)
        if (dc->window == window) return true;
    return false;
}

Canvas canvas_of(DeviceContext& dc) {
    Canvas c;
    c.fb = &framebuffer();
    if (dc.memory) {
        GdiObject* bmp = gdi_object(dc.bitmap);
        if (bmp && bmp->kind == GdiObject::Bitmap) {
            c.memory = &bmp->pixels;
            c.memory_width = bmp->width;
            c.memory_height = bmp->height;
            c.clip = {0, 0, bmp->width, bmp->height};
        } else {
            // A memory DC without a bitmap has a 1 x 1 monochrome surface: nothing shows.
            c.clip = {};
        }
        return c;
    }
    if (!dc.window) {
        c.clip = Framebuffer::bounds();
        return c;
    }
    Point o;
    Rect client;
    if (!window_areas().area || !window_areas().area(dc.window, &o, &client)) {
        c.clip = {};
        return c;
    }
    c.origin_x = o.x;
    c.origin_y = o.y;
    Rect area = dc.painting ? dc.paint_area.intersect(client) : client;
    c.clip = area.offset(o.x, o.y).intersect(Framebuffer::bounds());
    c.owner = uint32_t(reinterpret_cast<uintptr_t>(dc.window));
    return c;
}

void set_window_areas(const WindowAreas& areas) { window_areas() = areas; }

std::string window_title(HWND window) {
    return window && window_areas().title ? window_areas().title(window) : std::string();
}

const Font& font_of(HGDIOBJ h) {
    GdiObject* o = gdi_object(h);
    if (!o || o->kind != GdiObject::FontObj) o = gdi_object(stock_object(SYSTEM_FONT));
    if (o->realized) return *o->realized;
    FontRequest request;
    request.height = int(o->logfont.lfHeight);
    request.weight = int(o->logfont.lfWeight);
    request.italic = o->logfont.lfItalic != 0;
    request.quality = o->logfont.lfQuality;
    for (int i = 0; i < LF_FACESIZE && o->logfont.lfFaceName[i]; ++i) request.face += o->logfont.lfFaceName[i];
    o->realized = &Font::realize(request);
    return *o->realized;
}

const Font& system_font() { return font_of(stock_object(SYSTEM_FONT)); }

void clear_gdi() {
    tables().dcs.clear();
    auto& objects = tables().objects;
    for (auto it = objects.begin(); it != objects.end();)
        it = it->second->stock ? std::next(it) : objects.erase(it);
}

}  // namespace sim
