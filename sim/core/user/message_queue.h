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
// Fetches the next message.  With `wait` false returns false when there is
// none; with `wait` true asks the user (script, demo or window) to act
// whenever nothing is due, and returns false only for WM_QUIT.
bool next_message(MSG* msg, HWND filter, bool wait, bool remove = true);
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
