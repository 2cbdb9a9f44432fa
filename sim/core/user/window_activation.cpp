// Activation, focus and capture.
#include "user/window.h"

#include <algorithm>

#include "base/verify.h"
#include "user/window_state.h"

namespace sim {

bool can_be_active(const Window* w) {
    return w && !w->destroyed && !w->shell && !w->parent && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

// The window to activate when `gone` (the active one) goes or is hidden:
// its owner, else the frontmost window that can be active.
Window* next_active_after(Window* gone) {
    if (gone && gone->owner && !gone->owner->destroyed && (gone->owner->style & WS_VISIBLE) &&
        !(gone->owner->style & WS_DISABLED))
        return gone->owner;
    for (Window* t : ws().top_level)
        if (t != gone && !t->shell && !t->destroyed && (t->style & WS_VISIBLE) && !(t->style & WS_DISABLED)) return t;
    return nullptr;
}

namespace {

// What activating `w` activates: w itself, or for a disabled w the window
// it owns that was active last or, failing that, the frontmost enabled one
// it owns; null when there is none.
Window* activation_target(Window* w) {
    if (!(w->style & WS_DISABLED)) return w;
    Window* last = last_active_popup(w);
    if (last != w) return last;
    for (Window* t : ws().top_level)
        if (is_in_group(t, w) && can_be_active(t)) return t;
    return nullptr;
}

}  // namespace

bool enable_window(Window* w, bool enable) {
    HWND h = handle_of(w);
    bool was_disabled = (w->style & WS_DISABLED) != 0;
    if (enable == !was_disabled) return was_disabled;
    if (enable)
        w->style &= ~DWORD(WS_DISABLED);
    else
        w->style |= WS_DISABLED;
    // A window being disabled loses the focus before it hears WM_ENABLE.
    if (!enable && is_inside(ws().focus, w)) set_focus(nullptr);
    if (!(w = window_from_handle(h))) return was_disabled;
    // Controls repaint themselves on WM_ENABLE; other windows are not
    // repainted (a dialog's owner does not flash when the dialog opens).
    send(w, WM_ENABLE, enable, 0);
    return was_disabled;
}

bool activation_ok(const Window* active, const Window* focus, const std::vector<Window*>& leaving) {
    if (active && (active->destroyed || active->parent)) return false;
    if (!focus) return true;
    if (focus->destroyed) return false;
    if (is_inside(focus, active)) return true;
    for (const Window* w : leaving)
        if (is_inside(focus, w)) return true;
    return false;
}

Window* active_window() { return ws().active; }
Window* focus_window() { return ws().focus; }

namespace {

// Marks `w` as losing the activation while the activation passes on.
struct Leaving {
    explicit Leaving(Window* w) { ws().leaving.push_back(w); }
    ~Leaving() { ws().leaving.pop_back(); }
};

// The end of an activation: the focus is in the active window or nowhere.
void focus_follows_activation() {
    auto& s = ws();
    if (!s.active)
        set_focus(nullptr);
    else if (!is_inside(s.focus, s.active))
        set_focus(s.active);
}

}  // namespace

void activate(Window* w, int how) {
    auto& s = ws();
    if (w && (w->destroyed || w->shell)) return;
    if (w && !(w = activation_target(w))) return;
    if (w == s.active) {
        if (w) bring_to_top(w);
        return;
    }
    Window* old = s.active;
    // The window losing the activation hears of it while it is still the
    // active one (what it does with the focus then stays inside it).
    if (old && !old->destroyed) send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), LPARAM(handle_of(w)));
    if (w && w->destroyed) return;
    // Its window procedure may have activated another window meanwhile:
    // that one is what `w` takes over from.
    Window* prev = s.active;
    {
        Leaving leaving(prev);
        s.active = w;
        for (Window* o = w; o; o = o->owner) o->last_active = w;
        if (w) bring_to_top(w);
        if (w && !w->destroyed && s.active == w)
            send(w, WM_ACTIVATE, MAKEWPARAM(how, 0), LPARAM(prev && !prev->destroyed ? handle_of(prev) : nullptr));
        // A window procedure that activated another window meanwhile has
        // seen that activation through.
        if (s.active == w) focus_follows_activation();
    }
    announce_window_change();
}

Window* last_active_popup(Window* w) {
    Window* last = w ? w->last_active : nullptr;
    if (last && is_in_group(last, w) && can_be_active(last)) return last;
    return w;
}

void activate_next_after(Window* gone) {
    // While `gone` is still a window it hears that it is no longer active,
    // then the next one that it is, and from which window.
    activate(next_active_after(gone), WA_ACTIVE);
}

HWND set_focus(Window* w) {
    auto& s = ws();
    Window* old = s.focus;
    if (w) {
        Window* top = top_level_of(w);
        if (top != s.active) {
            activate(top, WA_ACTIVE);
            if (w->destroyed) return handle_of(old);
            // A disabled window's tree cannot be activated, so it takes no focus.
            if (s.active != top) return nullptr;
        }
        old = s.focus;
    }
    if (old == w) return handle_of(old);
    s.focus = w;
    if (old && !old->destroyed) send(old, WM_KILLFOCUS, WPARAM(handle_of(w)), 0);
    if (w && !w->destroyed && s.focus == w) send(w, WM_SETFOCUS, WPARAM(old && !old->destroyed ? handle_of(old) : nullptr), 0);
    VERIFY(activation_ok(s.active, s.focus, s.leaving));
    return old && !old->destroyed ? handle_of(old) : nullptr;
}

void focus_leaves(Window* w) {
    if (!is_inside(ws().focus, w)) return;
    Window* parent = w->parent && !w->parent->destroyed ? w->parent : nullptr;
    set_focus(parent && top_level_of(parent) == ws().active ? parent : nullptr);
}

Window* capture_window() { return ws().capture; }
void set_capture(Window* w) { ws().capture = w; }

}  // namespace sim
