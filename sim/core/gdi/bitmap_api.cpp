// LoadBitmapW: a bitmap resource of the module, as a GDI bitmap object.
#include <windows.h>

#include "base/journal.h"
#include "gdi/framebuffer.h"
#include "gdi/gdi_objects.h"
#include "base/text.h"
#include "resources/compiled_resources.h"
#include "resources/dib.h"

namespace {

// A resource name as the journal shows it: the ordinal, or the text.
std::string resource_name(LPCWSTR name) {
    auto id = sim::ResourceId::from_win32(name);
    if (!id) return "";
    return id->is_ordinal ? std::to_string(id->ordinal) : sim::to_utf8(id->name);
}

}  // namespace

extern "C" HBITMAP WINAPI LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    std::string shown = resource_name(name);
    HRSRC info = FindResourceW(instance, name, RT_BITMAP);
    HGLOBAL data = info ? LoadResource(instance, info) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    sim::Dib dib;
    std::string error;
    if (!bytes || !sim::parse_dib(bytes, SizeofResource(instance, info), &dib, &error)) {
        if (!error.empty()) sim::log_event("debug", {{"text", "bitmap resource: " + error}});
        sim::log_event("bitmap", {{"op", "load"}, {"name", shown}, {"ok", false}});
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto o = std::make_unique<sim::GdiObject>();
    o->kind = sim::GdiObject::Bitmap;
    o->width = dib.width;
    o->height = dib.height;
    o->bits_per_pixel = dib.bit_count;
    o->pixels.resize(dib.pixels.size());
    for (size_t i = 0; i < dib.pixels.size(); ++i) o->pixels[i] = sim::colorref_to_565(dib.pixels[i]);
    o->resource = shown;
    sim::log_event("bitmap", {{"op", "load"},
                              {"name", shown},
                              {"ok", true},
                              {"width", dib.width},
                              {"height", dib.height},
                              {"bpp", dib.bit_count}});
    return static_cast<HBITMAP>(sim::add_gdi_object(std::move(o)));
}

// A bitmap in the display's colour format (5-6-5), black until drawn on.
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa453164(v=msdn.10)
extern "C" HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) {
    bool ok = sim::device_context(dc) && width > 0 && height > 0 && width <= 4096 && height <= 4096;
    sim::log_event("bitmap", {{"op", "create"}, {"width", width}, {"height", height}, {"ok", ok}});
    if (!ok) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto o = std::make_unique<sim::GdiObject>();
    o->kind = sim::GdiObject::Bitmap;
    o->width = width;
    o->height = height;
    o->pixels.assign(size_t(width) * size_t(height), 0);
    o->resource = "compatible";
    return static_cast<HBITMAP>(sim::add_gdi_object(std::move(o)));
}
