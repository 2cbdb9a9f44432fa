// The message queue of the device's one user-interface thread: posted
// messages, the quit flag, hardware input, paint and timer messages, in
// the order GetMessage returns them.
#pragma once

#include <cstdint>
#include <optional>

#include <windows.h>

namespace sim {

struct Window;

void post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
void post_quit(int code);
// What next_message does when nothing is due: return false at once
// (PeekMessage), or wait, asking the person holding the device (script,
// demo or window) to act until something is (GetMessage).
enum class WhenIdle { Return, Wait };
// Whether the message fetched leaves the queue (GetMessage, PM_REMOVE) or
// stays to be fetched again (PM_NOREMOVE).
enum class Removal { Remove, Keep };

// Fetches the next message for `filter` (null: any window) and the windows
// inside it.  Returns false only when nothing is due and `idle` says not
// to wait; with WhenIdle::Wait the message may be WM_QUIT.
bool next_message(MSG* msg, HWND filter, WhenIdle idle, Removal removal);
LRESULT dispatch(const MSG& msg);

// Timers.
UINT_PTR set_timer(HWND hwnd, UINT_PTR id, UINT period_ms, TIMERPROC proc);
bool kill_timer(HWND hwnd, UINT_PTR id);
std::optional<uint64_t> next_timer_due();
void forget_timers(Window* w);
void forget_posted_messages(Window* w);

// Drops everything queued (device teardown).
void clear_queue();

}  // namespace sim
