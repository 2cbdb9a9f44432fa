#include "window_test_support.h"

#include <cstdio>
#include <sstream>

namespace wintest {

WindowTest* WindowTest::current_ = nullptr;

const char* const kZOrder = "https://techshelps.github.io/Win32/html/2jn_ogc.htm";
const char* const kShellBars = "https://static.codeproject.com/Articles/394120/Windows-Mobile-Kiosk-Mode-Series-Part-2";
const char* const kEnableWindow = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-enablewindow";
const char* const kForegroundLowBit =
    "https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms940024(v=msdn.10)";
const char* const kFocusedDefault =
    "https://learn.microsoft.com/en-us/windows/win32/dlgbox/dlgbox-programming-considerations";
const char* const kDirectionKeys = "https://techshelps.github.io/Win32/html/fguhcd.htm";

std::string utf8(const WCHAR* s) {
    std::string out;
    for (; s && *s; ++s) {
        uint32_t c = uint16_t(*s);
        if (c >= 0xD800 && c < 0xDC00 && s[1] >= 0xDC00 && s[1] < 0xE000) c = 0x10000 + ((c - 0xD800) << 10) + (uint16_t(*++s) - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

wstring wide(const std::string& s) {
    wstring out;
    for (size_t i = 0; i < s.size();) {
        auto b = uint8_t(s[i]);
        uint32_t c = b;
        int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (more) c = b & (0x3F >> more);
        for (++i; more > 0 && i < s.size(); --more, ++i) c = c << 6 | (uint8_t(s[i]) & 0x3F);
        if (c >= 0x10000) {
            out += WCHAR(0xD800 + ((c - 0x10000) >> 10));
            out += WCHAR(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += WCHAR(c);
        }
    }
    return out;
}

namespace {
const std::map<UINT, const char*>& message_names() {
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
        {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
        {WM_SYSKEYUP, "WM_SYSKEYUP"},
        {BM_CLICK, "BM_CLICK"},
        {BM_SETSTATE, "BM_SETSTATE"},
        {BM_SETSTYLE, "BM_SETSTYLE"},
    };
    return names;
}
}  // namespace

bool recorded_message(UINT msg) { return msg >= WM_USER || message_names().count(msg) != 0; }

std::string message_name(UINT msg) {
    auto it = message_names().find(msg);
    if (it != message_names().end()) return it->second;
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
    s << m.window << " " << message_name(m.msg) << " wp=" << uint32_t(m.wp) << " lp=" << uint32_t(m.lp);
    return s.str();
}

std::string describe(const Expected& e) {
    std::ostringstream s;
    s << e.window << " " << message_name(e.msg);
    if (e.flags & kWparam) s << " wp=" << uint32_t(e.wp);
    if (e.flags & kLparam) s << " lp=" << uint32_t(e.lp);
    if (e.flags & kOptional) s << " (optional)";
    return s.str();
}

// The device is 32-bit: its message parameters are the low 32 bits (a
// 64-bit desktop sign-extends some lParams, the simulator does not).
bool same(const Logged& g, const Expected& e) {
    if (g.window != e.window || g.msg != e.msg) return false;
    if ((e.flags & kWparam) && uint32_t(g.wp) != uint32_t(e.wp)) return false;
    if ((e.flags & kLparam) && uint32_t(g.lp) != uint32_t(e.lp)) return false;
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

bool StepUser::run_next() {
    if (steps_.empty()) return false;
    auto step = std::move(steps_.front());
    steps_.pop_front();
    step();
    return true;
}

// ------------------------------------------------------------ dialog templates

DialogTemplateBuilder::DialogTemplateBuilder(DWORD style, short x, short y, short cx, short cy,
                                             const WCHAR* title) {
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
        text(TEXT("Tahoma"));
    }
}

void DialogTemplateBuilder::text(const WCHAR* s) {
    for (; s && *s; ++s) word(WORD(*s));
    word(0);
}

void DialogTemplateBuilder::align() {
    if (words_.size() % 2) word(0);
}

DialogTemplateBuilder& DialogTemplateBuilder::item(WORD class_ordinal, DWORD style, short x, short y, short cx,
                                                   short cy, WORD id, const WCHAR* label) {
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
    user_.clear();
    timers_seen_ = 0;
    start_backend();
    struct ClassSpec {
        const WCHAR* name;
        COLORREF brush;  // CLR_INVALID: none
    };
    const ClassSpec classes[] = {
        {TEXT("Recorder"), CLR_INVALID},
        {TEXT("RedRecorder"), RGB(255, 0, 0)},
        {TEXT("BlueRecorder"), RGB(0, 0, 255)},
        {TEXT("GreenRecorder"), RGB(0, 255, 0)},
    };
    for (const ClassSpec& c : classes) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = window_proc;
        wc.hbrBackground = c.brush == CLR_INVALID ? nullptr : CreateSolidBrush(c.brush);
        wc.lpszClassName = c.name;
        ASSERT_NE(RegisterClassW(&wc), 0);
    }
    pump();  // the shell paints its bars
    log_.clear();
    paints_.clear();
}

void WindowTest::TearDown() {
    stop_backend();
    current_ = nullptr;
}

std::string WindowTest::remember(HWND h) {
    auto it = names_.find(h);
    if (it != names_.end()) return it->second;
    bool titled = false;
    std::string name = default_name(h, &titled);
    // Before creation has set the title (a desktop sends a few messages
    // then) the class name stands in, and is not kept.
    if (titled) names_[h] = name;
    return name;
}

bool WindowTest::stylus_made(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_MOUSEMOVE && msg != WM_LBUTTONDOWN && msg != WM_LBUTTONUP) return true;
    POINT p{short(LOWORD(lp)), short(HIWORD(lp))};
    ClientToScreen(h, &p);
    bool moved = p.x != pointer_.x || p.y != pointer_.y;
    pointer_ = p;
    if (msg != WM_MOUSEMOVE) return true;
    return (wp & MK_LBUTTON) && moved;
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
    if (msg == WM_CREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        if (cs->lpszName && cs->lpszName[0]) t->names_[h] = utf8(cs->lpszName);
    }
    std::string name = t->remember(h);
    if (recorded_message(msg) && t->stylus_made(h, msg, wp, lp)) t->log_.push_back({name, msg, wp, lp});
    if (msg == WM_TIMER) ++t->timers_seen_;
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

WindowTest::DialogResult CALLBACK WindowTest::dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    WindowTest* t = current_;
    if (!t) return FALSE;
    std::string name = t->remember(h);
    // The dialog manager's own DM_ messages (WM_USER to WM_USER + 2) are its business.
    bool dialog_manager = msg >= WM_USER && msg <= WM_USER + 2;
    if (recorded_message(msg) && !dialog_manager) t->log_.push_back({name, msg, wp, lp});
    if (const Handler* handler = t->find_handler(name, msg)) return DialogResult((*handler)(h, wp, lp));
    return FALSE;
}

HWND WindowTest::create(const char* name, DWORD style, int x, int y, int width, int height, HWND parent,
                        DWORD ex_style, int id, const WCHAR* cls) {
    wstring title = wide(name);
    HMENU menu = reinterpret_cast<HMENU>(intptr_t(id));
    return CreateWindowExW(ex_style, cls, title.c_str(), style, x, y, width, height, parent, menu, nullptr, nullptr);
}

HWND WindowTest::create_main(const char* name, const WCHAR* cls, DWORD style) {
    RECT w = work_area();
    return create(name, style, int(w.left), int(w.top), int(w.right - w.left), int(w.bottom - w.top), nullptr, 0, 0,
                  cls);
}

HWND WindowTest::create_control(const WCHAR* cls, const WCHAR* text, DWORD style, int x, int y, int width,
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

HWND WindowTest::message_box_button(int id) {
    HWND box = message_box();
    return box ? GetDlgItem(box, id) : nullptr;
}

::testing::AssertionResult WindowTest::all_pixels(const RECT& r, uint16_t colour565) {
    const std::vector<uint16_t> shot = screen_pixels();
    const int width = screen_width();
    for (int y = int(r.top); y < int(r.bottom); ++y)
        for (int x = int(r.left); x < int(r.right); ++x) {
            uint16_t got = shot[size_t(y) * size_t(width) + size_t(x)];
            if (got != colour565)
            {
                char text[80];
                std::snprintf(text, sizeof text, "pixel (%d, %d) is %04x, not %04x", x, y, unsigned(got),
                              unsigned(colour565));
                return ::testing::AssertionFailure() << text;
            }
        }
    return ::testing::AssertionSuccess();
}

}  // namespace wintest
