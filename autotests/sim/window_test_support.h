// The window system's test harness: windows whose procedure records every
// message they receive, expected message sequences written as tables, and a
// user who performs queued steps whenever the program waits for input.
//
// The same tests build twice: against the simulated device (a freshly
// booted device on a virtual clock, window_test_sim.cpp) and as a Windows
// program run on another Win32 implementation (autotests/wine/,
// window_test_win32.cpp).  What differs between the two lives in those two
// backends; the tables and the tests are written once.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <windows.h>

namespace wintest {

using wstring = std::basic_string<WCHAR>;
std::string utf8(const WCHAR* s);
wstring wide(const std::string& s);

// True in the build for the simulated device.
extern const bool kOnDevice;

// Dialog templates: the classes of their controls by ordinal, a modal
// dialog's style, and the usual styles of a push button and a check box.
constexpr WORD kButton = 0x80;
constexpr WORD kStatic = 0x82;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kPush = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = WS_VISIBLE | BS_AUTOCHECKBOX;

// A dialog procedure's result: the 64-bit Windows headers name only the
// pointer-sized slot, which starts at the same offset.
#if defined(_WIN32) && !defined(DWL_MSGRESULT)
#define DWL_MSGRESULT DWLP_MSGRESULT
#endif

// Tests that call the device's own interfaces (the shell's aygshell
// functions, the hot keys it holds) exist only in the device's build.
#ifdef _WIN32
#define WINTEST_DEVICE_API 0
#else
#define WINTEST_DEVICE_API 1
#endif

// The public page saying that the device's shell keeps its task bar (and
// input panel button) as windows at the top of the screen, above
// applications that are not full-screen.
extern const char* const kShellBars;

// An expectation that holds on the device's platform but not on desktop
// Win32, with the public page that documents the difference.  On the
// device it is checked (true); elsewhere it is left out (false) and listed
// at the end of the run.
bool device_only(const char* source);
#define WINTEST_DEVICE_ONLY(source) \
    if (!::wintest::device_only(source)) GTEST_SKIP() << "the device's behaviour: " << (source)

// Documented Win32 behaviour that the other Win32 implementation does not
// show (Wine under a bare X server has no window manager to raise and
// restack its windows).  Checked on the device, listed elsewhere.
bool documented_only(const char* source);

// The documentation of the z-order: activation brings a top-level window to
// the top of its band, and a window made (or no longer) topmost takes its
// owned windows with it.
extern const char* const kZOrder;

// A window must be enabled before it can be activated.
extern const char* const kEnableWindow;

// The device's SetForegroundWindow: a handle with its lowest bit set
// reactivates the last active window the window owns.
extern const char* const kForegroundLowBit;

// The dialog manager: a push button that has the focus is the default one
// while it has it; the direction keys pass over static controls.
extern const char* const kFocusedDefault;
extern const char* const kDirectionKeys;

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
// The messages the tables speak of (and application messages from
// WM_USER on): only these are recorded.  Desktop Win32 sends more (the
// non-client, position-changing and input-method messages) that the device
// never sends and no table mentions.
bool recorded_message(UINT msg);
::testing::AssertionResult sequence_matches(const std::vector<Logged>& got, const std::vector<Expected>& want);

// A paint request as a recording procedure handled it.
struct Painted {
    std::string window;
    RECT area{};       // PAINTSTRUCT.rcPaint
    bool erase = false;  // PAINTSTRUCT.fErase: the background is still to be erased
};

// The person at the device: whenever the program waits and nothing is due,
// the next queued step runs.  With none left the person is done: on the
// device it is switched off, elsewhere the modal loops in progress are ended.
class StepUser {
public:
    void add(std::function<void()> step) { steps_.push_back(std::move(step)); }
    bool empty() const { return steps_.empty(); }
    size_t steps_left() const { return steps_.size(); }
    // Runs the next step; false when there is none.
    bool run_next();
    void clear() { steps_.clear(); }

private:
    std::deque<std::function<void()>> steps_;
};

// A dialog template built in memory, as the resource compiler lays it out.
class DialogTemplateBuilder {
public:
    DialogTemplateBuilder(DWORD style, short x, short y, short cx, short cy, const WCHAR* title);
    // A control of a predefined class: 0x80 button, 0x82 static.
    DialogTemplateBuilder& item(WORD class_ordinal, DWORD style, short x, short y, short cx, short cy, WORD id,
                                const WCHAR* text);
    LPCDLGTEMPLATEW get();

private:
    void word(WORD w) { words_.push_back(w); }
    void text(const WCHAR* s);
    void align();
    std::vector<WORD> words_;
    size_t count_at_ = 0;  // where the item count lives
};

class WindowTest : public ::testing::Test {
public:
    using Handler = std::function<LRESULT(HWND, WPARAM, LPARAM)>;
    // What a dialog procedure returns: BOOL on the device, INT_PTR on desktop Win32.
    using DialogResult = std::invoke_result_t<DLGPROC, HWND, UINT, WPARAM, LPARAM>;

    // The recording procedures (the test in progress keeps the log).
    static LRESULT CALLBACK window_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static DialogResult CALLBACK dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

    // The screen, 5-6-5 as the device's panel holds it.
    static uint16_t pixel(int x, int y);
    static uint16_t colour(COLORREF c);
    // The whole screen, row by row.
    static std::vector<uint16_t> screen_pixels();
    static int screen_width() { return GetSystemMetrics(SM_CXSCREEN); }
    // Every pixel of a screen rectangle has this 5-6-5 colour.
    static ::testing::AssertionResult all_pixels(const RECT& screen, uint16_t colour565);
    // Where top-level windows go when nothing else is said: under the
    // device's task bar, the whole screen on a desktop without one.
    static RECT work_area();

protected:
    void SetUp() override;
    void TearDown() override;
    // What happens between two tests, inside one: this case's device (or
    // desktop) goes and a fresh one starts, with no windows, handlers or
    // steps left over.  For tables whose cases each need a clean start.
    void start_afresh() {
        TearDown();
        SetUp();
    }

    // A window of a recording class; its title is its name in the log.
    // Classes: "Recorder" (no background brush), "RedRecorder",
    // "BlueRecorder", "GreenRecorder" (solid brushes of those colours).
    HWND create(const char* name, DWORD style, int x, int y, int width, int height, HWND parent = nullptr,
                DWORD ex_style = 0, int id = 0, const WCHAR* cls = TEXT("Recorder"));
    // A recording pop-up window that fills the work area.
    HWND create_main(const char* name, const WCHAR* cls = TEXT("Recorder"), DWORD style = WS_VISIBLE | WS_POPUP);
    // A system control (not recorded): "button" or "static".
    HWND create_control(const WCHAR* cls, const WCHAR* text, DWORD style, int x, int y, int width, int height,
                        HWND parent, int id);

    // What a window (or dialog) of this name does with a message instead of
    // the default procedure.  For dialogs the result is the BOOL returned.
    void on(const std::string& name, UINT msg, Handler h) { handlers_[{name, msg}] = std::move(h); }
    // The dialog of this name keeps its handle in *dialog when it starts and
    // gives the first focus to its first tab stop.
    void keep_handle(const char* name, HWND* dialog) {
        on(name, WM_INITDIALOG, [dialog](HWND h, WPARAM, LPARAM) {
            *dialog = h;
            return LRESULT(TRUE);
        });
    }
    // The dialog of this name ends with the id of every command it gets.
    void end_on_command(const char* name) {
        on(name, WM_COMMAND, [](HWND h, WPARAM wp, LPARAM) {
            EndDialog(h, LOWORD(wp));
            return LRESULT(TRUE);
        });
    }

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
    int ask(HWND owner, const WCHAR* text, const WCHAR* caption, UINT style);
    INT_PTR run_dialog(DialogTemplateBuilder& t, HWND owner, LPARAM init = 0);

    // Steps for the user.
    void then(std::function<void()> step) { user_.add(std::move(step)); }
    void then_tap(int x, int y);
    void then_tap_window(HWND h);  // the centre of its window rectangle
    void then_press(int vk);
    // The user waits for the next timer to fall due.
    void then_advance_to_next_timer();
    size_t steps_left() const { return user_.steps_left(); }
    static void queue_tap(int x, int y);
    static void queue_tap_window(HWND h);  // the centre of its window rectangle
    // The stylus goes down at one point and comes up at another.
    static void queue_stroke(int down_x, int down_y, int up_x, int up_y);
    static void queue_press(int vk);
    // A button going down or up alone (a key held while others are pressed).
    static void queue_key(int vk, bool down);

    // Device time in milliseconds; exact only on a virtual clock.
    static bool virtual_clock();
    static uint64_t now_ms();

    // The open message box (or null) and one of its buttons.
    static HWND message_box();
    static HWND message_box_button(int id);

    // Visible top-level windows, front first: recorded ones by name, message
    // boxes as "msgbox"; with `system` also the others (the device's shell
    // windows) by class.
    std::vector<std::string> z_order(bool system = false) const;
    // The deepest visible window at a screen point.
    static HWND window_at(int x, int y);
    // Every visible window, top-level or child, of the system's and the test's.
    static std::vector<HWND> visible_windows();

    StepUser user_;
    std::vector<Logged> log_;
    std::vector<Painted> paints_;
    std::map<std::pair<std::string, UINT>, Handler> handlers_;

    // WM_TIMER messages the recording windows have received.
    size_t timers_seen_ = 0;

private:
    // A stylus moves only while it touches the screen, and each move moves
    // it: the hover moves and standing-still moves of a desktop mouse are
    // not recorded.
    bool stylus_made(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    POINT pointer_{-1, -1};
    static WindowTest* current_;
    const Handler* find_handler(const std::string& name, UINT msg) const;
    std::string remember(HWND h);
    std::map<HWND, std::string> names_;
    // What each build adds to SetUp and TearDown: a freshly booted device,
    // or a desktop cleared of the last test's windows.
    void start_backend();
    void stop_backend();

protected:
    // The window's title, else its class (`titled` says which); read without
    // sending the window a message.
    static std::string default_name(HWND h, bool* titled = nullptr);
};

}  // namespace wintest
