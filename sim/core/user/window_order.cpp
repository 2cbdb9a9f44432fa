// Where windows stand: the z-order of top-level windows and its bands,
// positions and sizes, showing and hiding, and the owner map that follows.
#include "user/window.h"

#include <algorithm>

#include "base/verify.h"
#include "user/window_state.h"
#include "gdi/framebuffer.h"
#include "gdi/screen.h"

namespace sim {

bool is_band_topmost(const Window* w) { return w->topmost; }

void insert_top_level(Window* w) {
    auto& list = ws().top_level;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    size_t at = 0;
    if (!w->topmost)
        while (at < list.size() && is_band_topmost(list[at])) ++at;
    list.insert(list.begin() + at, w);
}

void owned_windows(Window* owner, std::vector<Window*>& out) {
    for (Window* t : ws().top_level)
        if (t->owner == owner && std::find(out.begin(), out.end(), t) == out.end()) {
            out.push_back(t);
            owned_windows(t, out);
        }
}

// Gives each screen pixel to the window that shows it; with Repaint::Yes
// each window is invalidated where it gained pixels.
void map_owners(Repaint repaint) {
    auto& s = ws();
    VERIFY(window_list_ok(s.top_level));
    list_owner_layers(s.top_level, &s.layers);
    s.owner_map.update(s.layers, framebuffer().owner, repaint == Repaint::Yes ? &s.gained : nullptr);
    if (repaint == Repaint::No) return;
    for (const OwnerGain& g : s.gained) {
        Window* w = window_from_handle(reinterpret_cast<HWND>(uintptr_t(g.handle)));
        if (!w) continue;
        Point o = client_origin(w);
        Rect local = g.area.offset(-o.x, -o.y);
        invalidate(w, &local, Erase::Yes);
    }
}

Rect screen_rect(const Window* w) {
    if (!w->parent) return w->rect;
    Point o = client_origin(w->parent);
    return w->rect.offset(o.x, o.y);
}

Rect client_rect(const Window* w) { return {0, 0, w->rect.width(), w->rect.height()}; }

Point client_origin(const Window* w) {
    Rect r = screen_rect(w);
    return {r.left, r.top};
}

Window* top_level_of(Window* w) {
    while (w && w->parent) w = w->parent;
    return w;
}

bool is_inside(const Window* w, const Window* outer) {
    if (!outer) return false;
    for (; w; w = w->parent)
        if (w == outer) return true;
    return false;
}

bool is_in_group(const Window* w, const Window* owner) {
    if (!owner) return false;
    for (; w; w = w->owner)
        if (w == owner) return true;
    return false;
}

bool is_visible(const Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE) || w->destroyed) return false;
    return true;
}

bool is_enabled_tree(const Window* w) {
    for (; w; w = w->parent)
        if (w->style & WS_DISABLED) return false;
    return true;
}

// Without repainting, the owner map still follows the move (taps and
// drawing go to the window where it is now) but nothing is invalidated:
// "If bRepaint is FALSE, no repainting of any kind occurs", not of the
// window and not of what it uncovers.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-movewindow
void set_window_rect(Window* w, const Rect& r, Repaint repaint) {
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    bool sized = r.width() != w->rect.width() || r.height() != w->rect.height();
    w->rect = r;
    if (is_visible(w)) {
        map_owners(repaint);
        if (repaint == Repaint::Yes) {
            if (moved || sized) invalidate(w, nullptr, Erase::Yes);
            for (Window* c : w->children) invalidate(c, nullptr, Erase::Yes);
        }
    }
    HWND h = handle_of(w);
    if (moved) send(w, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (sized && window_from_handle(h)) send(w, WM_SIZE, 0, MAKELPARAM(r.width(), r.height()));
}

void show_window(Window* w, Activation activation) {
    bool activates = activation == Activation::Activate && !w->parent && !w->shell;
    if (w->style & WS_VISIBLE) {
        if (activates) activate(w, WA_ACTIVE);
        return;
    }
    HWND h = handle_of(w);
    send(w, WM_SHOWWINDOW, TRUE, 0);
    if (!window_from_handle(h)) return;
    w->style |= WS_VISIBLE;
    recompute_owner_map();
    invalidate(w, nullptr, Erase::Yes);
    if (activates) activate(w, WA_ACTIVE);
    announce_window_change();
}

void hide_window(Window* w) {
    if (!(w->style & WS_VISIBLE)) return;
    HWND h = handle_of(w);
    send(w, WM_SHOWWINDOW, FALSE, 0);
    if (!window_from_handle(h)) return;
    w->style &= ~DWORD(WS_VISIBLE);
    recompute_owner_map();
    // The hidden window hears that it is no longer active, then the next
    // one that it is (with none, the activation just ends).
    if (ws().active == w) activate(next_active_after(w), WA_ACTIVE);
    focus_leaves(w);
    announce_window_change();
}

void bring_to_top(Window* w) {
    if (w->parent) {
        auto& s = w->parent->children;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
        s.insert(s.begin(), w);
    } else {
        std::vector<Window*> owned;
        owned_windows(w, owned);
        // Owned windows stay above their owner, in their present order.
        std::vector<Window*> ordered;
        for (Window* t : ws().top_level)
            if (std::find(owned.begin(), owned.end(), t) != owned.end()) ordered.push_back(t);
        insert_top_level(w);
        for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
            if ((*it)->topmost == w->topmost || (*it)->topmost) insert_top_level(*it);
    }
    recompute_owner_map();
}

void set_topmost(Window* w, bool topmost) {
    std::vector<Window*> group{w};
    owned_windows(w, group);
    std::vector<Window*> ordered;
    for (Window* t : ws().top_level)
        if (std::find(group.begin(), group.end(), t) != group.end()) ordered.push_back(t);
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
        (*it)->topmost = topmost;
        if (topmost)
            (*it)->ex_style |= WS_EX_TOPMOST;
        else
            (*it)->ex_style &= ~DWORD(WS_EX_TOPMOST);
        insert_top_level(*it);
    }
    recompute_owner_map();
}

void place_behind(Window* w, Window* behind) {
    if (behind == w) return;
    if (w->parent) {
        auto& s = w->parent->children;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
        auto at = behind ? std::find(s.begin(), s.end(), behind) : s.end();
        s.insert(at == s.end() ? s.end() : at + 1, w);
        recompute_owner_map();
        return;
    }
    if (w->topmost && (!behind || !behind->topmost)) set_topmost(w, false);
    auto& list = ws().top_level;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    auto at = behind ? std::find(list.begin(), list.end(), behind) : list.end();
    if (at != list.end()) ++at;
    // Not into the topmost band from outside it.
    auto band_end = std::find_if(list.begin(), list.end(), [](Window* t) { return !is_band_topmost(t); });
    if (!w->topmost && at < band_end) at = band_end;
    at = list.insert(at, w);
    // An owned window stands in front of its owner; the windows w owns
    // stay in front of it.
    for (Window* o = w->owner; o; o = o->owner) {
        auto owner_at = std::find(list.begin(), list.end(), o);
        if (owner_at != list.end() && owner_at < std::find(list.begin(), list.end(), w)) {
            list.erase(std::find(list.begin(), list.end(), w));
            list.insert(std::find(list.begin(), list.end(), o), w);
        }
    }
    std::vector<Window*> owned;
    owned_windows(w, owned);
    std::vector<Window*> behind_it;
    for (auto it = std::find(list.begin(), list.end(), w); it != list.end(); ++it)
        if (std::find(owned.begin(), owned.end(), *it) != owned.end()) behind_it.push_back(*it);
    for (Window* t : behind_it) {
        list.erase(std::find(list.begin(), list.end(), t));
        list.insert(std::find(list.begin(), list.end(), w), t);
    }
    recompute_owner_map();
}

bool window_list_ok(const std::vector<Window*>& top_level) {
    bool in_topmost_band = true;
    for (size_t i = 0; i < top_level.size(); ++i) {
        const Window* w = top_level[i];
        if (w->destroyed || w->parent) return false;
        if (w->topmost && !in_topmost_band) return false;
        in_topmost_band = w->topmost;
        // The owner, in the same band, stands behind.
        if (w->owner && w->owner->topmost == w->topmost)
            for (size_t j = 0; j < i; ++j)
                if (top_level[j] == w->owner) return false;
    }
    return true;
}

const std::vector<Window*>& top_level_windows() { return ws().top_level; }

std::vector<Window*> all_windows() {
    std::vector<Window*> out;
    for (Window* t : ws().top_level) collect_tree(t, out);
    return out;
}

void recompute_owner_map() { map_owners(Repaint::Yes); }

}  // namespace sim
