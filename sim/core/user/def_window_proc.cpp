// The system's default window procedure.
#include <windows.h>

#include "gdi/gdi_objects.h"
#include "gdi/raster.h"
#include "gdi/screen.h"
#include "user/controls.h"
#include "user/message_queue.h"
#include "user/window.h"

extern "C" LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    sim::Window* w = sim::window_from_handle(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            HBRUSH brush = w->cls ? w->cls->background : nullptr;
            if (!brush) return 0;
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
            return 1;
        }
        case WM_ACTIVATE:
            if (LOWORD(wp) != WA_INACTIVE) SetFocus(hwnd);
            return 0;
        case WM_SETTEXT:
            w->text = lp ? std::u16string(reinterpret_cast<LPCWSTR>(lp)) : std::u16string();
            return TRUE;
        case WM_GETTEXT: {
            auto* out = reinterpret_cast<LPWSTR>(lp);
            if (wp == 0 || !out) return 0;
            size_t n = std::min(w->text.size(), size_t(wp) - 1);
            std::copy(w->text.begin(), w->text.begin() + long(n), out);
            out[n] = 0;
            return LRESULT(n);
        }
        case WM_GETTEXTLENGTH:
            return LRESULT(w->text.size());
        case WM_SETFONT:
            w->font = reinterpret_cast<HFONT>(wp);
            if (LOWORD(lp)) sim::invalidate(w, nullptr, sim::Erase::Yes);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(w->font);
        case WM_NCHITTEST: {
            // The device's windows have no frame: the whole window is client.
            sim::Rect r = sim::screen_rect(w);
            return r.contains(short(LOWORD(lp)), short(HIWORD(lp))) ? HTCLIENT : HTNOWHERE;
        }
        // The system's colours for a control about to be drawn.
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
            return sim::default_control_colours(msg, reinterpret_cast<HDC>(wp));
        case WM_HELP:
            // Unhandled help goes to the parent, as far as a top-level window.
            if (w->parent) return sim::send(w->parent, WM_HELP, wp, lp);
            return 0;
        default:
            return 0;
    }
}
