// Hit testing: which window a screen point belongs to.
#include "user/window.h"

#include <algorithm>

#include "user/window_state.h"
#include "gdi/framebuffer.h"
#include "gdi/screen.h"

namespace sim {

namespace {

// The deepest visible window under the screen point inside `w` (which
// contains it), leaving out those in `skip`.
Window* deepest_at(Window* w, int x, int y, const std::vector<Window*>& skip) {
    Point o = client_origin(w);
    if (client_rect(w).offset(o.x, o.y).contains(x, y))
        for (Window* c : w->children) {
            if (c->destroyed || !(c->style & WS_VISIBLE) || !screen_rect(c).contains(x, y)) continue;
            if (Window* d = deepest_at(c, x, y, skip)) return d;
        }
    return std::find(skip.begin(), skip.end(), w) == skip.end() ? w : nullptr;
}

}  // namespace

Window* window_at(int x, int y) {
    if (!Framebuffer::bounds().contains(x, y)) return nullptr;
    return window_from_handle(reinterpret_cast<HWND>(uintptr_t(framebuffer().owner[y][x])));
}

// As WindowFromPoint: the deepest window there is asked with WM_NCHITTEST;
// one that answers HTTRANSPARENT lets the point through to the window
// beneath it (a sibling further back, else its parent, else the next
// top-level window).  All windows share the device's one thread, so every
// window's answer counts.
// https://learn.microsoft.com/en-us/windows/win32/inputdev/wm-nchittest
Window* window_from_point(int x, int y) {
    if (!Framebuffer::bounds().contains(x, y)) return nullptr;
    std::vector<Window*> transparent;
    for (;;) {
        Window* found = nullptr;
        for (Window* t : ws().top_level) {
            if (t->destroyed || !(t->style & WS_VISIBLE) || !t->rect.contains(x, y)) continue;
            if ((found = deepest_at(t, x, y, transparent))) break;
        }
        if (!found) return nullptr;
        HWND h = handle_of(found);
        LRESULT hit = send(found, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (!window_from_handle(h)) return nullptr;
        if (hit != LRESULT(HTTRANSPARENT)) return found;
        transparent.push_back(found);
    }
}

}  // namespace sim
