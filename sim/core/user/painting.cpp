// Painting: the window manager hands GDI its device contexts.  BeginPaint
// and GetDC make a DC for a window's client area, and GDI asks here, each
// time it draws, where that area stands on the screen and whether it shows,
// so GDI itself keeps no window state.
#include <windows.h>

#include "base/text.h"
#include "gdi/gdi_objects.h"
#include "kernel/arguments.h"
#include "user/window.h"

namespace sim {
namespace {

bool client_area_of(HWND hwnd, Point* origin, Rect* client) {
    Window* w = window_from_handle(hwnd);
    if (!w || !is_visible(w)) return false;
    *origin = client_origin(w);
    *client = client_rect(w);
    return true;
}

std::string title_of(HWND hwnd) { return describe(window_from_handle(hwnd)); }

[[maybe_unused]] const bool areas_told = (set_window_areas({client_area_of, title_of}), true);

}  // namespace
}  // namespace sim

using namespace sim;

extern "C" {

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    Window* w = window_from_handle(hwnd);
    if (!w || missing(ps)) return nullptr;
    Rect area = w->update;
    bool erase = w->erase_pending;
    validate(w, nullptr);
    HDC dc = make_paint_dc(hwnd, area);
    *ps = PAINTSTRUCT{};
    ps->hdc = dc;
    ps->rcPaint = {area.left, area.top, area.right, area.bottom};
    if (erase) ps->fErase = send(w, WM_ERASEBKGND, WPARAM(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* ps) {
    if (ps) release_dc(ps->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd) {
    if (!hwnd) return make_window_dc(nullptr);
    return window_from_handle(hwnd) ? make_window_dc(hwnd) : nullptr;
}

int WINAPI ReleaseDC(HWND, HDC dc) {
    if (!device_context(dc)) return 0;
    release_dc(dc);
    return 1;
}

}  // extern "C"
