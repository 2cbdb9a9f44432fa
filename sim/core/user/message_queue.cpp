#include "user/message_queue.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "device/journal.h"
#include "device/person.h"
#include "kernel/clock.h"
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
    bool quit_pending = false;
    int quit_code = 0;
    std::vector<Timer> timers;
    UINT_PTR next_thread_timer = 1;
};

Queue& q() {
    static Queue s;
    return s;
}

// A filter window takes its children's messages too.
bool matches(HWND filter, HWND hwnd) {
    return !filter || filter == hwnd || is_inside(window_from_handle(hwnd), window_from_handle(filter));
}

MSG make(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    MSG msg{};
    msg.hwnd = h;
    msg.message = m;
    msg.wParam = wp;
    msg.lParam = lp;
    msg.time = DWORD(clock().now_ms());
    return msg;
}

}  // namespace

void post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { q().posted.push_back(make(hwnd, msg, wp, lp)); }

void post_quit(int code) {
    q().quit_pending = true;
    q().quit_code = code;
}

bool next_message(MSG* out, HWND filter, WhenIdle idle, Removal removal) {
    auto& s = q();
    const bool remove = removal == Removal::Remove;
    for (;;) {
        for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
            if (!matches(filter, it->hwnd)) continue;
            *out = *it;
            if (remove) s.posted.erase(it);
            return true;
        }
        if (s.quit_pending && !filter) {
            *out = make(nullptr, WM_QUIT, WPARAM(s.quit_code), 0);
            if (remove) s.quit_pending = false;
            return true;
        }
        while (input_pending()) {
            MSG m;
            if (take_input(&m)) {
                if (!remove) s.posted.push_front(m);
                *out = m;
                return true;
            }
        }
        // Unlike the other messages, WM_PAINT comes for the filter window
        // itself only, not for the windows inside it.
        if (Window* w = find_window_needing_paint(filter)) {
            *out = make(handle_of(w), WM_PAINT, 0, 0);
            return true;
        }
        uint64_t now = clock().now_ms();
        for (auto& t : s.timers) {
            if (t.due > now || !matches(filter, t.hwnd)) continue;
            *out = make(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
            if (remove) t.due = now + t.period;
            return true;
        }
        if (idle == WhenIdle::Return) return false;
        free_destroyed_windows();
        person().idle(next_timer_due());
    }
}

LRESULT dispatch(const MSG& msg) {
    if (msg.message == WM_TIMER && msg.lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
        proc(msg.hwnd, WM_TIMER, UINT(msg.wParam), DWORD(clock().now_ms()));
        return 0;
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

UINT_PTR set_timer(HWND hwnd, UINT_PTR id, UINT period_ms, TIMERPROC proc) {
    auto& s = q();
    if (!hwnd) id = s.next_thread_timer++;
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
    auto& p = q().posted;
    p.erase(std::remove_if(p.begin(), p.end(), [&](const MSG& m) { return m.hwnd == h; }), p.end());
}

void clear_queue() {
    q() = Queue{};
    clear_input();
}

}  // namespace sim
