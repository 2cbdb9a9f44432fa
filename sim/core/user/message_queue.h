// The message queue of the device's one user-interface thread: posted
// messages, the quit flag, hardware input, paint and timer messages, in
// the order GetMessage returns them.
#pragma once

#include <cstdint>
#include <optional>

#include <windows.h>

namespace sim {

struct Window;

// A message for `hwnd`, stamped with the clock's time.
MSG make_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
void post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
void post_quit(int code);
// What next_message does when nothing is due: return false at once
// (PeekMessage), or wait, asking the person holding the device (script,
// demo or window) to act until something is (GetMessage).
enum class WhenIdle { Return, Wait };
// Whether the message fetched leaves the queue (GetMessage, PM_REMOVE) or
// stays to be fetched again (PM_NOREMOVE).
enum class Removal { Remove, Keep };

// What GetMessage and PeekMessage ask for: the messages of a window and the
// windows inside it (null: any window, and the thread's own messages), and
// a range of message numbers (0 to 0: all).  WM_QUIT passes any range.
struct MessageFilter {
    HWND window = nullptr;
    UINT min = 0, max = 0;
    bool passes(HWND hwnd, UINT msg) const;
    bool in_range(UINT msg) const { return (min == 0 && max == 0) || (msg >= min && msg <= max); }
};

// Fetches the next message that passes `filter`, in the queue's order:
// posted messages, WM_QUIT, input, WM_PAINT, WM_TIMER.  Returns false when
// nothing is due and `idle` says not to wait, or when the filter's window
// is gone; with WhenIdle::Wait the message may be WM_QUIT.
bool next_message(MSG* msg, const MessageFilter& filter, WhenIdle idle, Removal removal);

// A program that polls its queue (PeekMessage) and finds nothing spends
// device time doing so: each empty poll costs a tenth of a millisecond,
// and every tenth one since power-on moves the clock on by 1 ms.  Polls
// that find a message cost nothing, nor does anything else the program
// does between waits, so a headless run still repeats exactly.
constexpr unsigned kEmptyPollsPerMs = 10;
void empty_poll();
LRESULT dispatch(const MSG& msg);

// Timers.  A period below the system tick of 1 ms is 1 ms.  A thread
// timer (no window) takes the identifier new_thread_timer_id() gave it.
UINT_PTR new_thread_timer_id();
UINT_PTR set_timer(HWND hwnd, UINT_PTR id, UINT period_ms, TIMERPROC proc);
bool kill_timer(HWND hwnd, UINT_PTR id);
std::optional<uint64_t> next_timer_due();
void forget_timers(Window* w);
// Drops the messages posted to the window and the input turned into
// messages for it that nobody fetched.
void forget_posted_messages(Window* w);

// Drops everything queued (device teardown).
void clear_queue();

}  // namespace sim
