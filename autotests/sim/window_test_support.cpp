#include "window_test_support.h"

#include <sstream>

#include "device.h"
#include "framebuffer.h"
#include "input.h"
#include "screen.h"
#include "text.h"
#include "window.h"

namespace wintest {

WindowTest* WindowTest::current_ = nullptr;

std::string message_name(UINT msg) {
    static const std::map<UINT, const char*> names = {
        {WM_NULL, "WM_NULL"},
        {WM_CREATE, "WM_CREATE"},
        {WM_DESTROY, "WM_DESTROY"},
        {WM_MOVE, "WM_MOVE"},
        {WM_SIZE, "WM_SIZE"},
        {WM_ACTIVATE, "WM_ACTIVATE"},
        {WM_SETFOCUS, "WM_SETFOCUS"},
        {WM_KILLFOCUS, "WM_KILLFOCUS"},
        {WM_ENABLE, "WM_ENABLE"},
        {WM_SETTEXT, "WM_SETTEXT"},
        {WM_GETTEXT, "WM_GETTEXT"},
        {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"},
        {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},
        {WM_QUIT, "WM_QUIT"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
        {WM_SETFONT, "WM_SETFONT"},
        {WM_GETFONT, "WM_GETFONT"},
        {WM_HELP, "WM_HELP"},
        {WM_NCHITTEST, "WM_NCHITTEST"},
        {WM_GETDLGCODE, "WM_GETDLGCODE"},
        {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"},
        {WM_CHAR, "WM_CHAR"},
        {WM_INITDIALOG, "WM_INITDIALOG"},
        {WM_COMMAND, "WM_COMMAND"},
        {WM_TIMER, "WM_TIMER"},
        {WM_CTLCOLORBTN, "WM_CTLCOLORBTN"},
        {WM_CTLCOLORDLG, "WM_CTLCOLORDLG"},
        {WM_CTLCOLORSTATIC, "WM_CTLCOLORSTATIC"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
        {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
        {WM_HOTKEY, "WM_HOTKEY"},
    };
    auto it = names.find(msg);
    if (it != names.end()) return it->second;
    std::ostringstream s;
    if (msg >= WM_USER)
        s << "WM_USER+" << (msg - WM_USER);
    else
        s << "0x" << std::hex << msg;
    return s.str();
}

namespace {

std::string describe(const Logged& m) {
    std::ostringstream s;
    s << m.window << " " << message_name(m.msg) << " wp=" << m.wp << " lp=" << m.lp;
    return s.str();
}

std::string describe(const Expected& e) {
    std::ostringstream s;
    s << e.window << " " << message_name(e.msg);
    if (e.flags & kWparam) s << " wp=" << e.wp;
    if (e.flags & kLparam) s << " lp=" << e.lp;
    if (e.flags & kOptional) s << " (optional)";
    return s.str();
}

bool same(const Logged& g, const Expected& e) {
    if (g.window != e.window || g.msg != e.msg) return false;
    if ((e.flags & kWparam) && g.wp != e.wp) return false;
    if ((e.flags & kLparam) && g.lp != e.lp) return false;
    return true;
}

}  // namespace

::testing::AssertionResult sequence_matches(const std::vector<Logged>& got, const std::vector<Expected>& want) {
    size_t g = 0, w = 0;
    std::string problem;
    while (w < want.size()) {
        if (g < got.size() && same(got[g], want[w])) {
            ++g;
            ++w;
            continue;
        }
        if (want[w].flags & kOptional) {
            ++w;
            continue;
        }
        problem = g < got.size() ? "message " + std::to_string(g) + " is " + describe(got[g]) + ", expected " +
                                       describe(want[w])
                                 : "the sequence ends where " + describe(want[w]) + " was expected";
        break;
    }
    if (problem.empty() && g < got.size())
        problem = "unexpected message " + std::to_string(g) + ": " + describe(got[g]);
    if (problem.empty()) return ::testing::AssertionSuccess();
    std::ostringstream s;
    s << problem << "\nexpected:\n";
    for (auto& e : want) s << "  " << describe(e) << "\n";
    s << "got:\n";
    for (auto& m : got) s << "  " << describe(m) << "\n";
    return ::testing::AssertionFailure() << s.str();
}

// ------------------------------------------------------------ the user

void StepUser::idle(std::optional<uint64_t> next_due) {
    next_due_ = next_due;
    if (steps_.empty()) throw sim::PowerOff{};
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
}

// ------------------------------------------------------------ dialog templates

DialogTemplateBuilder::DialogTemplateBuilder(DWORD style, short x, short y, short cx, short cy,
                                             const char16_t* title) {
    word(WORD(style & 0xFFFF));
    word(WORD(style >> 16));
    word(0);
    word(0);  // extended style
    count_at_ = words_.size();
    word(0);
    word(WORD(x));
    word(WORD(y));
    word(WORD(cx));
    word(WORD(cy));
    word(0);  // no menu
    word(0);  // the dialog class
    text(title);
    if (style & DS_SETFONT) {
        word(8);
        text(u"Tahoma");
    }
}

void DialogTemplateBuilder::text(const char16_t* s) {
    for (; s && *s; ++s) word(WORD(*s));
    word(0);
}

void DialogTemplateBuilder::align() {
    if (words_.size() % 2) word(0);
}

DialogTemplateBuilder& DialogTemplateBuilder::item(WORD class_ordinal, DWORD style, short x, short y, short cx,
                                                   short cy, WORD id, const char16_t* label) {
    align();
    word(WORD(style & 0xFFFF));
    word(WORD(style >> 16));
    word(0);
    word(0);
    word(WORD(x));
    word(WORD(y));
    word(WORD(cx));
    word(WORD(cy));
    word(id);
    word(0xFFFF);
    word(class_ordinal);
    text(label);
    word(0);  // no creation data
    ++words_[count_at_];
    return *this;
}

LPCDLGTEMPLATEW DialogTemplateBuilder::get() {
    return reinterpret_cast<LPCDLGTEMPLATEW>(words_.data());
}

// ------------------------------------------------------------ the fixture

void WindowTest::SetUp() {
    current_ = this;
    handlers_.clear();
    names_.clear();
    sim::set_clock(&clock_);
    sim::set_user(&user_);
    sim::tear_down_device();
    sim::boot_device();
    struct ClassSpec {
        const char16_t* name;
        HBRUSH brush;
    };
    const ClassSpec classes[] = {
        {u"Recorder", nullptr},
        {u"RedRecorder", CreateSolidBrush(RGB(255, 0, 0))},
        {u"BlueRecorder", CreateSolidBrush(RGB(0, 0, 255))},
        {u"GreenRecorder", CreateSolidBrush(RGB(0, 255, 0))},
    };
    for (const ClassSpec& c : classes) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = window_proc;
        wc.hbrBackground = c.brush;
        wc.lpszClassName = c.name;
        ASSERT_NE(RegisterClassW(&wc), 0);
    }
    pump();  // the shell paints its bars
    log_.clear();
    paints_.clear();
}

void WindowTest::TearDown() {
    sim::tear_down_device();
    sim::set_user(nullptr);
    sim::set_clock(nullptr);
    current_ = nullptr;
}

std::string WindowTest::remember(HWND h) {
    auto it = names_.find(h);
    if (it != names_.end()) return it->second;
    sim::Window* w = sim::window_from_handle(h);
    std::string name = w ? sim::to_utf8(w->text) : "?";
    if (name.empty() && w && w->cls) name = sim::to_utf8(w->cls->name);
    names_[h] = name;
    return name;
}

std::string WindowTest::name_of(HWND h) const {
    auto it = names_.find(h);
    return it == names_.end() ? std::string() : it->second;
}

const WindowTest::Handler* WindowTest::find_handler(const std::string& name, UINT msg) const {
    auto it = handlers_.find({name, msg});
    return it == handlers_.end() ? nullptr : &it->second;
}

LRESULT CALLBACK WindowTest::window_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    WindowTest* t = current_;
    if (!t) return DefWindowProcW(h, msg, wp, lp);
    std::string name = t->remember(h);
    t->log_.push_back({name, msg, wp, lp});
    if (const Handler* handler = t->find_handler(name, msg)) return (*handler)(h, wp, lp);
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        t->paints_.push_back({name, ps.rcPaint, ps.fErase != FALSE});
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

BOOL CALLBACK WindowTest::dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    WindowTest* t = current_;
    if (!t) return FALSE;
    std::string name = t->remember(h);
    t->log_.push_back({name, msg, wp, lp});
    if (const Handler* handler = t->find_handler(name, msg)) return BOOL((*handler)(h, wp, lp));
    return FALSE;
}

HWND WindowTest::create(const char* name, DWORD style, int x, int y, int width, int height, HWND parent,
                        DWORD ex_style, int id, const char16_t* cls) {
    std::u16string title = sim::to_u16(name);
    HMENU menu = reinterpret_cast<HMENU>(intptr_t(id));
    return CreateWindowExW(ex_style, cls, title.c_str(), style, x, y, width, height, parent, menu, nullptr, nullptr);
}

HWND WindowTest::create_control(const char16_t* cls, const char16_t* text, DWORD style, int x, int y, int width,
                                int height, HWND parent, int id) {
    return CreateWindowExW(0, cls, text, style | WS_CHILD, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(intptr_t(id)), nullptr, nullptr);
}

std::vector<Logged> WindowTest::take() {
    std::vector<Logged> out;
    out.swap(log_);
    return out;
}

std::vector<Logged> WindowTest::take_only(std::initializer_list<UINT> messages) {
    std::vector<Logged> out;
    for (const Logged& m : log_)
        for (UINT wanted : messages)
            if (m.msg == wanted) {
                out.push_back(m);
                break;
            }
    log_.clear();
    return out;
}

std::vector<Painted> WindowTest::take_paints() {
    std::vector<Painted> out;
    out.swap(paints_);
    return out;
}

void WindowTest::pump() {
    MSG m;
    try {
        for (int i = 0; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(int(m.wParam));  // left for the test's own loop
                return;
            }
            if (i > 10000) {
                ADD_FAILURE() << "the queue never empties (last: " << message_name(m.message) << ")";
                return;
            }
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    } catch (const sim::PowerOff&) {
        ADD_FAILURE() << "a modal loop was still running when the user had nothing more to do";
    }
}

bool WindowTest::run_loop(int* quit_code) {
    MSG m;
    try {
        while (GetMessageW(&m, nullptr, 0, 0)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    } catch (const sim::PowerOff&) {
        return false;
    }
    if (quit_code) *quit_code = int(m.wParam);
    return true;
}

int WindowTest::ask(HWND owner, const char16_t* text, const char16_t* caption, UINT style) {
    try {
        return MessageBoxW(owner, text, caption, style);
    } catch (const sim::PowerOff&) {
        ADD_FAILURE() << "the message box was still open when the user had nothing more to do";
        return -2;
    }
}

INT_PTR WindowTest::run_dialog(DialogTemplateBuilder& t, HWND owner, LPARAM init) {
    try {
        return DialogBoxIndirectParamW(nullptr, t.get(), owner, dialog_proc, init);
    } catch (const sim::PowerOff&) {
        ADD_FAILURE() << "the dialog was still open when the user had nothing more to do";
        return -2;
    }
}

void WindowTest::queue_tap(int x, int y) {
    sim::queue_input({sim::RawInput::StylusDown, x, y, 0});
    sim::queue_input({sim::RawInput::StylusUp, x, y, 0});
}

void WindowTest::queue_stroke(int down_x, int down_y, int up_x, int up_y) {
    sim::queue_input({sim::RawInput::StylusDown, down_x, down_y, 0});
    sim::queue_input({sim::RawInput::StylusUp, up_x, up_y, 0});
}

void WindowTest::queue_press(int vk) {
    sim::queue_input({sim::RawInput::KeyDown, 0, 0, vk});
    sim::queue_input({sim::RawInput::KeyUp, 0, 0, vk});
}

void WindowTest::queue_key(int vk, bool down) {
    sim::queue_input({down ? sim::RawInput::KeyDown : sim::RawInput::KeyUp, 0, 0, vk});
}

void WindowTest::then_tap(int x, int y) {
    then([x, y] { queue_tap(x, y); });
}

void WindowTest::queue_tap_window(HWND h) {
    RECT r;
    ASSERT_TRUE(GetWindowRect(h, &r)) << "no window to tap";
    queue_tap(int(r.left + r.right) / 2, int(r.top + r.bottom) / 2);
}

void WindowTest::then_tap_window(HWND h) {
    then([h] { queue_tap_window(h); });
}

void WindowTest::then_press(int vk) {
    then([vk] { queue_press(vk); });
}

void WindowTest::then_advance_to_next_timer() {
    then([this] {
        ASSERT_TRUE(user_.next_due().has_value()) << "no timer is set";
        clock_.advance_to(*user_.next_due());
    });
}

HWND WindowTest::message_box() {
    for (sim::Window* w : sim::top_level_windows())
        if (!w->destroyed && sim::is_visible(w) && w->cls && w->cls->name == u"msgbox") return sim::handle_of(w);
    return nullptr;
}

HWND WindowTest::message_box_button(int id) {
    HWND box = message_box();
    return box ? GetDlgItem(box, id) : nullptr;
}

uint16_t WindowTest::pixel(int x, int y) { return sim::framebuffer().pixels[y][x]; }

uint16_t WindowTest::colour(COLORREF c) { return sim::colorref_to_565(c); }

::testing::AssertionResult WindowTest::all_pixels(const RECT& r, uint16_t colour565) {
    for (int y = int(r.top); y < int(r.bottom); ++y)
        for (int x = int(r.left); x < int(r.right); ++x)
            if (pixel(x, y) != colour565)
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is 0x" << std::hex
                                                     << pixel(x, y) << ", not 0x" << colour565;
    return ::testing::AssertionSuccess();
}

std::vector<std::string> WindowTest::z_order() const {
    std::vector<std::string> out;
    for (sim::Window* w : sim::top_level_windows()) {
        if (w->destroyed || !sim::is_visible(w)) continue;
        std::string name = name_of(sim::handle_of(w));
        if (name.empty() && w->cls) name = sim::to_utf8(w->cls->name);
        out.push_back(name);
    }
    return out;
}

}  // namespace wintest
