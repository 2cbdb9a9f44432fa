#include "user/message_queue.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "base/journal.h"
#include "base/person.h"
#include "base/clock.h"
#include "user/input.h"
#include "user/window.h"

namespace sim {

namespace {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    uint64_t due;
    TIMERPROC proc;
};

struct Queue {
    std::deque<MSG> posted;
    // Input turned into messages that a filter passed over: they wait, in
    // order, ahead of the input not yet looked at.
    std::deque<MSG> input;
    bool quit_pending = false;
    int quit_code = 0;
    std::vector<Timer> timers;
    UINT_PTR next_thread_timer = 1;
    unsigned empty_polls = 0;
};

Queue& q() {
    static Queue s;
    return s;
}

// Takes the first message of `from` that passes the filter.
bool take_first(std::deque<MSG>& from, const MessageFilter& filter, bool remove, MSG* out) {
    for (auto it = from.begin(); it != from.end(); ++it) {
        if (!filter.passes(it->hwnd, it->message)) continue;
        *out = *it;
        if (remove) from.erase(it);
        return true;
    }
    return false;
}

// Input is turned into messages in the order it came, as far as needed to
// find one that passes the filter; those passed over stay queued.
bool take_input_message(const MessageFilter& filter, bool remove, MSG* out) {
    auto& s = q();
    for (;;) {
        if (take_first(s.input, filter, remove, out)) return true;
        if (!input_pending()) return false;
        MSG m;
        if (take_input(&m)) s.input.push_back(m);
    }
}

bool take_timer(const MessageFilter& filter, bool remove, MSG* out) {
    if (!filter.in_range(WM_TIMER)) return false;
    uint64_t now = clock().now_ms();
    for (auto& t : q().timers) {
        if (t.due > now || !filter.passes(t.hwnd, WM_TIMER)) continue;
        *out = make_message(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
        if (remove) t.due = now + t.period;
        return true;
    }
    return false;
}

}  // namespace

// A filter window takes its children's messages too; the thread's own
// messages (no window) pass only when no window is named.
bool MessageFilter::passes(HWND hwnd, UINT msg) const {
    if (!in_range(msg)) return false;
    return !window || window == hwnd || is_inside(window_from_handle(hwnd), window_from_handle(window));
}

MSG make_message(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    MSG msg{};
    msg.hwnd = h;
    msg.message = m;
    msg.wParam = wp;
    msg.lParam = lp;
    msg.time = DWORD(clock().now_ms());
    return msg;
}

void post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { q().posted.push_back(make_message(hwnd, msg, wp, lp)); }

void post_quit(int code) {
    q().quit_pending = true;
    q().quit_code = code;
}

bool next_message(MSG* out, const MessageFilter& filter, WhenIdle idle, Removal removal) {
    auto& s = q();
    const bool remove = removal == Removal::Remove;
    for (;;) {
        if (filter.window && !window_from_handle(filter.window)) return false;
        if (take_first(s.posted, filter, remove, out)) return true;
        if (s.quit_pending && !filter.window) {
            *out = make_message(nullptr, WM_QUIT, WPARAM(s.quit_code), 0);
            if (remove) s.quit_pending = false;
            return true;
        }
        if (take_input_message(filter, remove, out)) return true;
        // A window to paint stays until it is validated, whatever `removal` says.
        if (filter.in_range(WM_PAINT))
            if (Window* w = find_window_needing_paint(window_from_handle(filter.window))) {
                *out = make_message(handle_of(w), WM_PAINT, 0, 0);
                return true;
            }
        if (take_timer(filter, remove, out)) return true;
        if (idle == WhenIdle::Return) return false;
        free_destroyed_windows();
        person().idle(next_timer_due());
    }
}

void empty_poll() {
    auto& s = q();
    if (++s.empty_polls < kEmptyPollsPerMs) return;
    s.empty_polls = 0;
    clock().pass(1);
}

// A WM_TIMER's lParam is called only when it is the procedure of a timer
// that is set ("A pointer to an application-defined callback function that
// was passed to the SetTimer function"); any other WM_TIMER (one the
// program posted, say) goes to the window like other messages.
// https://learn.microsoft.com/en-us/windows/win32/winmsg/wm-timer
LRESULT dispatch(const MSG& msg) {
    if (msg.message == WM_TIMER && msg.lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
        for (const Timer& t : q().timers)
            if (t.hwnd == msg.hwnd && t.id == msg.wParam && t.proc == proc) {
                proc(msg.hwnd, WM_TIMER, UINT(msg.wParam), DWORD(clock().now_ms()));
                return 0;
            }
    }
    Window* w = window_from_handle(msg.hwnd);
    if (!w) return 0;
    if (msg.message == WM_PAINT) {
        if (w->update.empty()) return 0;
        unsigned validations = w->validations;
        LRESULT r = send(w, WM_PAINT, 0, 0);
        // The system validates a window whose procedure did not, so that it
        // is not asked again and again.  When the procedure did, what became
        // invalid since (a box it showed from its paint handler, gone now)
        // stays to be painted.
        if ((w = window_from_handle(msg.hwnd)) && w->validations == validations) validate(w, nullptr);
        return r;
    }
    return send(w, msg.message, msg.wParam, msg.lParam);
}

UINT_PTR new_thread_timer_id() { return q().next_thread_timer++; }

UINT_PTR set_timer(HWND hwnd, UINT_PTR id, UINT period_ms, TIMERPROC proc) {
    auto& s = q();
    // "The smallest possible interval that a timer can measure is the
    // system tick interval."
    // https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms906595(v=msdn.10)
    period_ms = std::max(period_ms, 1u);
    uint64_t now = clock().now_ms();
    for (auto& t : s.timers)
        if (t.hwnd == hwnd && t.id == id) {
            t.period = period_ms;
            t.due = now + period_ms;
            t.proc = proc;
            return hwnd ? 1 : id;
        }
    s.timers.push_back({hwnd, id, period_ms, now + period_ms, proc});
    return hwnd ? 1 : id;
}

bool kill_timer(HWND hwnd, UINT_PTR id) {
    auto& v = q().timers;
    auto it = std::find_if(v.begin(), v.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == v.end()) return false;
    v.erase(it);
    // A WM_TIMER already fetched but not yet dispatched is dropped as well.
    auto& p = q().posted;
    p.erase(std::remove_if(p.begin(), p.end(),
                           [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; }),
            p.end());
    return true;
}

std::optional<uint64_t> next_timer_due() {
    std::optional<uint64_t> best;
    for (auto& t : q().timers)
        if (!best || t.due < *best) best = t.due;
    return best;
}

void forget_timers(Window* w) {
    HWND h = handle_of(w);
    auto& v = q().timers;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const Timer& t) { return t.hwnd == h; }), v.end());
}

void forget_posted_messages(Window* w) {
    HWND h = handle_of(w);
    for (auto* p : {&q().posted, &q().input})
        p->erase(std::remove_if(p->begin(), p->end(), [&](const MSG& m) { return m.hwnd == h; }), p->end());
}

void clear_queue() {
    q() = Queue{};
    clear_input();
}

}  // namespace sim
