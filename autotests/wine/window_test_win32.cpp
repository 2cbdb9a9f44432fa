// The window tests' backend on a desktop Win32 system (Wine under a private
// X server, its screen the device's 240 x 320).  The person's steps run
// whenever the thread waits with nothing to do: in the test's own loops
// directly, inside the system's modal loops (message boxes, dialogs) on a
// thread timer, which Win32 delivers only when no posted message, input or
// paint is waiting.  Taps and key presses are real input (SendInput).
#include "window_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace wintest {

const bool kOnDevice = false;

namespace {

std::set<std::string>& marks() {
    static std::set<std::string> m;
    return m;
}
std::set<std::string>& departures() {
    static std::set<std::string> m;
    return m;
}
int g_marks_met = 0, g_departures_met = 0;

// Lists, at the end of the run, the expectations left to the device.
class MarksReport : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("[ DEVICE   ] %d expectation(s) marked as the device's were left out, from %zu source(s):\n",
                    g_marks_met, marks().size());
        for (const std::string& m : marks()) std::printf("[ DEVICE   ]   %s\n", m.c_str());
        std::printf("[ WINE     ] %d documented expectation(s) this Win32 does not meet were left out, from %zu "
                    "source(s):\n",
                    g_departures_met, departures().size());
        for (const std::string& m : departures()) std::printf("[ WINE     ]   %s\n", m.c_str());
    }
};
const auto* const g_report = ::testing::AddGlobalTestEnvironment(new MarksReport);
// Everything printed reaches the log at once, even from a run that hangs.
const int g_unbuffered = setvbuf(stdout, nullptr, _IONBF, 0);

// The person between the test and the thread's loops.
StepUser* g_steps = nullptr;
UINT_PTR g_idle_timer = 0;
int g_idle_users = 0;       // loops of ours that keep the idle timer running
bool g_done = false;        // the person ran out of steps inside a modal loop: WM_QUIT ends them all
bool g_in_step = false;
constexpr int kDoneCode = 0x7E57;  // the quit code of that WM_QUIT
// "Wait for the next timer": no step runs until a recording window got a WM_TIMER.
bool g_waiting_for_timer = false;
size_t g_timers_before = 0;
DWORD g_wait_started = 0;
size_t* g_timers_seen = nullptr;

// True while the person is still waiting for a timer.
bool still_waiting() {
    if (!g_waiting_for_timer) return false;
    if (*g_timers_seen > g_timers_before) {
        g_waiting_for_timer = false;
        return false;
    }
    if (GetTickCount() - g_wait_started > 10000) {
        ADD_FAILURE() << "no timer fell due within 10 s";
        g_waiting_for_timer = false;
        return false;
    }
    return true;
}

// One idle moment: the next step, or the end of the person's patience.
// False when there was no step left.
bool idle_step() {
    if (g_in_step || still_waiting()) return true;
    g_in_step = true;
    bool ran = g_steps && g_steps->run_next();
    g_in_step = false;
    return ran;
}

std::vector<HWND> thread_windows();
std::string class_of(HWND h);

// A dialog box that its modal loop has not shown yet: it shows it once the
// queue is empty, and the person acts on what is on the screen.
bool dialog_still_hidden() {
    for (HWND h : thread_windows())
        if (class_of(h) == "#32770" && !IsWindowVisible(h) && IsWindowEnabled(h)) return true;
    return false;
}

void CALLBACK idle_tick(HWND, UINT, UINT_PTR, DWORD) {
    // Reached only from a loop that is not ours: a modal loop of the system.
    if (g_done || dialog_still_hidden()) return;
    if (!idle_step()) {
        g_done = true;
        PostQuitMessage(kDoneCode);
    }
}

bool is_idle_tick(const MSG& m) { return m.message == WM_TIMER && !m.hwnd && m.wParam == g_idle_timer; }

// Keeps the idle timer running while one of our loops (or a modal call) is on.
struct IdleTimer {
    IdleTimer() {
        if (g_idle_users++ == 0) g_idle_timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, idle_tick);
    }
    ~IdleTimer() {
        if (--g_idle_users == 0) {
            KillTimer(nullptr, g_idle_timer);
            g_idle_timer = 0;
        }
    }
};

// Takes back the WM_QUIT that ended the modal loops when the person was done.
bool take_done_quit() {
    if (!g_done) return false;
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    g_done = false;
    return true;
}

BOOL CALLBACK collect(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::vector<HWND> thread_windows() {
    std::vector<HWND> out;
    EnumThreadWindows(GetCurrentThreadId(), collect, LPARAM(&out));
    return out;
}

std::string class_of(HWND h) {
    WCHAR cls[64] = {};
    GetClassNameW(h, cls, 64);
    return utf8(cls);
}

void send(INPUT* in, UINT count) {
    UINT sent = SendInput(count, in, sizeof(INPUT));
    EXPECT_EQ(sent, count) << "SendInput failed: " << GetLastError();
}

uint16_t to565(COLORREF c) {
    return uint16_t(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) | (GetBValue(c) >> 3));
}

const WCHAR* const kClasses[] = {TEXT("Recorder"), TEXT("RedRecorder"), TEXT("BlueRecorder"), TEXT("GreenRecorder")};

}  // namespace

bool device_only(const char* source) {
    marks().insert(source);
    ++g_marks_met;
    return false;
}

bool documented_only(const char* source) {
    departures().insert(source);
    ++g_departures_met;
    return false;
}

void WindowTest::start_backend() {
    g_steps = &user_;
    g_timers_seen = &timers_seen_;
    g_done = false;
    g_waiting_for_timer = false;
}

void WindowTest::stop_backend() {
    ReleaseCapture();
    for (HWND h : thread_windows())
        if (IsWindow(h)) { if (getenv("WINTEST_TRACE")) fprintf(stderr, "destroy %s\n", class_of(h).c_str()); DestroyWindow(h); }
    for (const WCHAR* cls : kClasses) UnregisterClassW(cls, nullptr);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    g_steps = nullptr;
    g_done = false;
    g_waiting_for_timer = false;
}

std::string WindowTest::default_name(HWND h, bool* titled) {
    WCHAR text[256] = {};
    InternalGetWindowText(h, text, 256);  // GetWindowTextW would send WM_GETTEXT to the recorder
    std::string name = utf8(text);
    if (titled) *titled = !name.empty();
    return name.empty() ? class_of(h) : name;
}

bool WindowTest::virtual_clock() { return false; }
uint64_t WindowTest::now_ms() { return GetTickCount(); }

void WindowTest::pump() {
    IdleTimer idle;
    MSG m;
    for (int i = 0; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (is_idle_tick(m)) continue;
        if (m.message == WM_QUIT) {
            if (take_done_quit()) {
                ADD_FAILURE() << "a modal loop was still running when the user had nothing more to do";
            } else {
                PostQuitMessage(int(m.wParam));  // left for the test's own loop
            }
            return;
        }
        if (i > 10000) {
            ADD_FAILURE() << "the queue never empties (last: " << message_name(m.message) << ")";
            return;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

bool WindowTest::run_loop(int* quit_code) {
    IdleTimer idle;
    MSG m;
    for (;;) {
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (still_waiting()) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
                continue;
            }
            if (!idle_step()) return false;
            continue;
        }
        if (is_idle_tick(m)) continue;
        if (m.message == WM_QUIT) {
            if (take_done_quit()) return false;
            if (quit_code) *quit_code = int(m.wParam);
            return true;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

int WindowTest::ask(HWND owner, const WCHAR* text, const WCHAR* caption, UINT style) {
    IdleTimer idle;
    int answer = MessageBoxW(owner, text, caption, style);
    if (take_done_quit()) {
        ADD_FAILURE() << "the message box was still open when the user had nothing more to do";
        return -2;
    }
    return answer;
}

INT_PTR WindowTest::run_dialog(DialogTemplateBuilder& t, HWND owner, LPARAM init) {
    IdleTimer idle;
    INT_PTR code = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), owner, dialog_proc, init);
    if (take_done_quit()) {
        ADD_FAILURE() << "the dialog was still open when the user had nothing more to do";
        return -2;
    }
    return code;
}

void WindowTest::then_advance_to_next_timer() {
    then([this] {
        g_waiting_for_timer = true;
        g_timers_before = timers_seen_;
        g_wait_started = GetTickCount();
    });
}

// A mouse event at a screen point, in SendInput's absolute coordinates
// (0 to 65535 across the screen: the middle of the pixel).
static void mouse_at(int x, int y, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = LONG((x * 65536LL + 32768) / GetSystemMetrics(SM_CXSCREEN));
    in.mi.dy = LONG((y * 65536LL + 32768) / GetSystemMetrics(SM_CYSCREEN));
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    send(&in, 1);
}

// The stylus reaches a point without touching the screen: where a mouse
// pointer would hover there, a stylus does not, so the pointer's moves on
// the way are dropped.
static void move_without_touching(int x, int y) {
    mouse_at(x, y, 0);
    MSG m;
    for (int i = 0; i < 10 && PeekMessageW(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE); ++i) {
    }
}

void WindowTest::queue_tap(int x, int y) { queue_stroke(x, y, x, y); }

void WindowTest::queue_stroke(int down_x, int down_y, int up_x, int up_y) {
    move_without_touching(down_x, down_y);
    mouse_at(down_x, down_y, MOUSEEVENTF_LEFTDOWN);
    mouse_at(up_x, up_y, MOUSEEVENTF_LEFTUP);
}

void WindowTest::queue_press(int vk) {
    INPUT in[2] = {};
    for (INPUT& i : in) {
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = WORD(vk);
        i.ki.wScan = WORD(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC));
    }
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    send(in, 2);
}

void WindowTest::queue_key(int vk, bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = WORD(vk);
    in.ki.wScan = WORD(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC));
    if (!down) in.ki.dwFlags = KEYEVENTF_KEYUP;
    send(&in, 1);
}

HWND WindowTest::message_box() {
    for (HWND h : thread_windows())
        if (IsWindowVisible(h) && class_of(h) == "#32770" && (!current_ || current_->name_of(h).empty())) return h;
    return nullptr;
}

// Wine keeps what windows draw in surfaces that reach the screen when the
// thread looks at its queue, at most every 50 ms: let them, before the
// screen is read.
static void let_drawing_reach_the_screen() {
    GdiFlush();
    Sleep(60);
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
}

uint16_t WindowTest::pixel(int x, int y) {
    let_drawing_reach_the_screen();
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(nullptr, dc);
    return to565(c);
}

uint16_t WindowTest::colour(COLORREF c) { return to565(c); }

std::vector<uint16_t> WindowTest::screen_pixels() {
    let_drawing_reach_the_screen();
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen_dc = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen_dc);
    HBITMAP bmp = CreateDIBSection(screen_dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen_dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<uint16_t> out(size_t(w) * size_t(h));
    const auto* px = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < out.size(); ++i) {
        uint32_t p = px[i];  // 0x00RRGGBB
        out[i] = to565(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen_dc);
    return out;
}

RECT WindowTest::work_area() {
    // A strip as high as the device's task bar is left free at the top, so
    // that windows land where they do on the device.
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    r.top += 26;
    return r;
}

std::vector<std::string> WindowTest::z_order(bool system) const {
    std::vector<std::string> out;
    const DWORD me = GetCurrentThreadId();
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (!IsWindowVisible(h)) continue;
        std::string name = name_of(h);
        if (name.empty()) {
            if (GetWindowThreadProcessId(h, nullptr) == me && class_of(h) == "#32770")
                name = "msgbox";
            else if (system)
                name = class_of(h);
            else
                continue;
        }
        out.push_back(name);
    }
    return out;
}

HWND WindowTest::window_at(int x, int y) { return WindowFromPoint(POINT{x, y}); }

namespace {
BOOL CALLBACK collect_visible(HWND h, LPARAM lp) {
    if (IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}
}  // namespace

std::vector<HWND> WindowTest::visible_windows() {
    std::vector<HWND> out;
    for (HWND h : thread_windows()) {
        if (!IsWindowVisible(h)) continue;
        out.push_back(h);
        EnumChildWindows(h, collect_visible, LPARAM(&out));
    }
    return out;
}

}  // namespace wintest
