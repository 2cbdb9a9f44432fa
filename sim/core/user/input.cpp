#include "user/input.h"

#include <deque>
#include <set>

#include "base/journal.h"
#include "base/clock.h"
#include "user/hotkeys.h"
#include "user/message_queue.h"
#include "user/window.h"
#include "user/window_journal.h"

namespace sim {

namespace {

std::deque<RawInput>& pending() {
    static std::deque<RawInput> q;
    return q;
}

bool stylus_down = false;
std::set<int> keys_down;  // as of the input last turned into a message

// Where a tap lands: the search for the deepest window under the stylus
// stops at a disabled window.  A disabled child passes the tap to its
// parent; under a disabled top-level window the tap reaches nothing.
Window* tap_target(Window* w) {
    Window* outermost_disabled = nullptr;
    for (Window* a = w; a; a = a->parent)
        if (a->style & WS_DISABLED) outermost_disabled = a;
    if (!outermost_disabled) return w;
    return outermost_disabled->parent;
}

bool stylus_message(const RawInput& in, MSG* out) {
    Window* target = capture_window();
    Window* hit = target ? target : window_from_point(in.x, in.y);
    if (!target) target = tap_target(hit);
    if (in.kind == RawInput::StylusDown) stylus_down = true;
    if (in.kind == RawInput::StylusUp) stylus_down = false;
    if (!target || !is_enabled_tree(target)) {
        // A tap on a disabled window reaches nothing; when the window is
        // disabled by a box or dialog of its own, that comes forward.
        Window* hit_top = hit ? top_level_of(hit) : nullptr;
        if (in.kind == RawInput::StylusDown && hit_top && !hit_top->shell && (hit_top->style & WS_DISABLED))
            activate(hit_top, WA_CLICKACTIVE);
        return false;
    }
    Window* top = top_level_of(target);
    if (in.kind == RawInput::StylusDown && top && !top->shell && top != active_window()) {
        HWND h = handle_of(target);
        activate(top, WA_CLICKACTIVE);
        target = window_from_handle(h);
        if (!target) return false;
    }
    Point o = client_origin(target);
    LPARAM lp = MAKELPARAM(in.x - o.x, in.y - o.y);
    switch (in.kind) {
        case RawInput::StylusDown: *out = make_message(handle_of(target), WM_LBUTTONDOWN, MK_LBUTTON, lp); break;
        case RawInput::StylusMove: *out = make_message(handle_of(target), WM_MOUSEMOVE, stylus_down ? MK_LBUTTON : 0, lp); break;
        default: *out = make_message(handle_of(target), WM_LBUTTONUP, 0, lp); break;
    }
    return true;
}

bool key_message(const RawInput& in, MSG* out) {
    bool down = in.kind == RawInput::KeyDown;
    if (down)
        keys_down.insert(in.vk);
    else
        keys_down.erase(in.vk);
    HotKey hk;
    switch (hotkey_holder(in.vk, &hk)) {
        case HotKeyHolder::Window:
            if (!down && !(hk.mods & MOD_KEYUP)) return false;
            log_event("hotkey_press", {{"vk", in.vk}, {"holder", "window"}, {"id", hk.id}, {"window", describe(hk.window)},
                                       {"msg", down ? "down" : "up"}, {"number", window_number(hk.window)},
                                       {"template", enclosing_template(hk.window)}});
            *out = make_message(handle_of(hk.window), WM_HOTKEY, WPARAM(hk.id), MAKELPARAM(hk.mods, in.vk));
            return true;
        case HotKeyHolder::Shell:
            if (down) log_event("hotkey_press", {{"vk", in.vk}, {"holder", "shell"}});
            return false;
        case HotKeyHolder::None:
            if (another_program_holds(UINT(in.vk))) {
                if (down) log_event("hotkey_press", {{"vk", in.vk}, {"holder", "other"}});
                return false;
            }
            break;
    }
    Window* target = focus_window();
    if (!target) target = active_window();
    if (!target) {
        // No window to take it: the button is pressed all the same.
        log_event("key", {{"msg", down ? "down" : "up"}, {"vk", in.vk}, {"window", nullptr}, {"id", nullptr},
                          {"holder", "none"}, {"number", nullptr}, {"template", nullptr}});
        return false;
    }
    log_event("key", {{"msg", down ? "down" : "up"}, {"vk", in.vk}, {"window", describe(target)},
                      {"id", target->parent ? json(target->control_id) : json(nullptr)}, {"holder", "window"},
                      {"number", window_number(target)}, {"template", enclosing_template(target)}});
    *out = make_message(handle_of(target), down ? WM_KEYDOWN : WM_KEYUP, WPARAM(in.vk), down ? 1 : LPARAM(0xC0000001));
    return true;
}

}  // namespace

void queue_input(const RawInput& in) { pending().push_back(in); }
bool input_pending() { return !pending().empty(); }
void clear_input() {
    pending().clear();
    stylus_down = false;
    keys_down.clear();
}

bool key_is_down(int vk) { return keys_down.count(vk) > 0; }

bool take_input(MSG* out) {
    if (pending().empty()) return false;
    RawInput in = pending().front();
    pending().pop_front();
    if (in.kind == RawInput::KeyDown || in.kind == RawInput::KeyUp) return key_message(in, out);
    return stylus_message(in, out);
}

}  // namespace sim
