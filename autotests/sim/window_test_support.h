// The window system's test harness: a freshly booted device on a virtual
// clock, a user who performs queued steps whenever the program waits for
// input, windows whose procedure records every message they receive, and
// expected message sequences written as tables.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "clock.h"
#include "user.h"

namespace wintest {

// One message as a recording procedure saw it.
struct Logged {
    std::string window;
    UINT msg = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
};

// What a table expects: the window and the message always; the parameters
// only when the flags ask for them.  An optional entry may be missing.
enum : unsigned { kWparam = 1, kLparam = 2, kOptional = 4, kParams = kWparam | kLparam };
struct Expected {
    const char* window;
    UINT msg;
    unsigned flags = 0;
    WPARAM wp = 0;
    LPARAM lp = 0;
};

std::string message_name(UINT msg);
::testing::AssertionResult sequence_matches(const std::vector<Logged>& got, const std::vector<Expected>& want);

// A paint request as a recording procedure handled it.
struct Painted {
    std::string window;
    RECT area{};       // PAINTSTRUCT.rcPaint
    bool erase = false;  // PAINTSTRUCT.fErase: the background is still to be erased
};

// The person at the device: whenever the program waits and nothing is due,
// the next queued step runs; with none left the device is switched off
// (sim::PowerOff).
class StepUser : public sim::User {
public:
    void idle(std::optional<uint64_t> next_due) override;
    void add(std::function<void()> step) { steps_.push_back(std::move(step)); }
    std::optional<uint64_t> next_due() const { return next_due_; }
    size_t steps_left() const { return steps_.size(); }

private:
    std::deque<std::function<void()>> steps_;
    std::optional<uint64_t> next_due_;
};

// A dialog template built in memory, as the resource compiler lays it out.
class DialogTemplateBuilder {
public:
    DialogTemplateBuilder(DWORD style, short x, short y, short cx, short cy, const char16_t* title);
    // A control of a predefined class: 0x80 button, 0x82 static.
    DialogTemplateBuilder& item(WORD class_ordinal, DWORD style, short x, short y, short cx, short cy, WORD id,
                                const char16_t* text);
    LPCDLGTEMPLATEW get();

private:
    void word(WORD w) { words_.push_back(w); }
    void text(const char16_t* s);
    void align();
    std::vector<WORD> words_;
    size_t count_at_ = 0;  // where the item count lives
};

class WindowTest : public ::testing::Test {
public:
    using Handler = std::function<LRESULT(HWND, WPARAM, LPARAM)>;

    // The recording procedures (the test in progress keeps the log).
    static LRESULT CALLBACK window_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static BOOL CALLBACK dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

    // The screen.
    static uint16_t pixel(int x, int y);
    static uint16_t colour(COLORREF c);  // as the 5-6-5 screen holds it
    // Every pixel of a screen rectangle has this 5-6-5 colour.
    static ::testing::AssertionResult all_pixels(const RECT& screen, uint16_t colour565);

protected:
    void SetUp() override;
    void TearDown() override;

    // A window of a recording class; its title is its name in the log.
    // Classes: "Recorder" (no background brush), "RedRecorder",
    // "BlueRecorder", "GreenRecorder" (solid brushes of those colours).
    HWND create(const char* name, DWORD style, int x, int y, int width, int height, HWND parent = nullptr,
                DWORD ex_style = 0, int id = 0, const char16_t* cls = u"Recorder");
    // A system control (not recorded): "button" or "static".
    HWND create_control(const char16_t* cls, const char16_t* text, DWORD style, int x, int y, int width, int height,
                        HWND parent, int id);

    // What a window (or dialog) of this name does with a message instead of
    // the default procedure.  For dialogs the result is the BOOL returned.
    void on(const std::string& name, UINT msg, Handler h) { handlers_[{name, msg}] = std::move(h); }

    // The log, from the last take() on.
    std::vector<Logged> take();
    // The log restricted to these messages.
    std::vector<Logged> take_only(std::initializer_list<UINT> messages);
    std::vector<Painted> take_paints();
    std::string name_of(HWND h) const;

    // Dispatches what is queued, without waiting (PeekMessage loop); a modal
    // loop entered on the way must be ended by the user's steps.
    void pump();
    // GetMessage loop: true with the quit code when WM_QUIT ended it, false
    // when the user had nothing more to do.
    bool run_loop(int* quit_code = nullptr);

    // Modal calls that the user's steps must end (MessageBoxW, and
    // DialogBoxIndirectParamW with the recording dialog procedure).  When the
    // user runs out of steps first, the test fails and the result is -2.
    int ask(HWND owner, const char16_t* text, const char16_t* caption, UINT style);
    INT_PTR run_dialog(DialogTemplateBuilder& t, HWND owner, LPARAM init = 0);

    // Steps for the user.
    void then(std::function<void()> step) { user_.add(std::move(step)); }
    void then_tap(int x, int y);
    void then_tap_window(HWND h);  // the centre of its window rectangle
    void then_press(int vk);
    void then_advance_to_next_timer();
    static void queue_tap(int x, int y);
    static void queue_tap_window(HWND h);  // the centre of its window rectangle
    // The stylus goes down at one point and comes up at another.
    static void queue_stroke(int down_x, int down_y, int up_x, int up_y);
    static void queue_press(int vk);
    // A button going down or up alone (a key held while others are pressed).
    static void queue_key(int vk, bool down);

    // The open message box (or null) and one of its buttons.
    static HWND message_box();
    static HWND message_box_button(int id);

    // Visible top-level windows, front first: recorded ones by name, the
    // others by class ("HHTaskBar", "msgbox", ...).
    std::vector<std::string> z_order() const;

    sim::VirtualClock clock_{0};
    StepUser user_;
    std::vector<Logged> log_;
    std::vector<Painted> paints_;
    std::map<std::pair<std::string, UINT>, Handler> handlers_;

private:
    static WindowTest* current_;
    const Handler* find_handler(const std::string& name, UINT msg) const;
    std::string remember(HWND h);
    std::map<HWND, std::string> names_;
};

}  // namespace wintest
