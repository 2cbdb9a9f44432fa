// Invalidation and painting: update regions, and WM_PAINT for the windows
// that need it.
#include "user/window.h"

#include <algorithm>

#include "user/window_state.h"

namespace sim {

namespace {

Window* paint_search(Window* w) {
    if (!(w->style & WS_VISIBLE)) return nullptr;
    if (!w->update.empty()) return w;
    for (Window* c : w->children)
        if (Window* found = paint_search(c)) return found;
    return nullptr;
}

}  // namespace

void invalidate(Window* w, const Rect* area, Erase erase) {
    Rect whole = client_rect(w);
    Rect r = area ? area->intersect(whole) : whole;
    if (r.empty()) return;
    w->update = w->update.unite(r);
    if (erase == Erase::Yes) w->erase_pending = true;
}

void invalidate_all(Erase erase) {
    for (Window* w : all_windows())
        if (is_visible(w)) invalidate(w, nullptr, erase);
}

void validate(Window* w, const Rect* area) {
    if (!area) {
        w->update = {};
        w->erase_pending = false;
        ++w->validations;
        return;
    }
    // A rectangle that covers the update bounds empties them; a partial one
    // leaves them (the bounds cannot express a hole).
    Rect r = *area;
    if (r.left <= w->update.left && r.top <= w->update.top && r.right >= w->update.right &&
        r.bottom >= w->update.bottom) {
        w->update = {};
        w->erase_pending = false;
        ++w->validations;
    }
}

Window* find_window_needing_paint(Window* within) {
    if (within) return is_visible(within) ? paint_search(within) : nullptr;
    for (Window* t : ws().top_level)
        if (Window* w = paint_search(t)) return w;
    return nullptr;
}

void update_window(Window* w) {
    if (!w || !is_visible(w)) return;
    HWND h = handle_of(w);
    if (!w->update.empty()) {
        unsigned validations = w->validations;
        send(w, WM_PAINT, 0, 0);
        w = window_from_handle(h);
        if (!w) return;
        // A procedure that does not validate would be asked forever; the
        // system validates for it once it has been asked.  What became
        // invalid after the procedure validated stays to be painted.
        if (w->validations == validations) validate(w, nullptr);
    }
    std::vector<Window*> kids = w->children;
    for (Window* c : kids)
        if (!c->destroyed) update_window(c);
}

}  // namespace sim
