// The Pocket PC shell's windows and its Win32 entry points (aygshell).
#include "shell/shell.h"

#include "base/journal.h"
#include "base/profile.h"
#include "gdi/draw.h"
#include "gdi/screen.h"
#include "kernel/arguments.h"
#include "base/text.h"
#include "platform/ce_api.h"
#include "user/window.h"

namespace sim {

namespace {

constexpr COLORREF kBarColour = RGB(0, 51, 153);
constexpr COLORREF kMenuBarColour = RGB(214, 223, 247);
const Rect kOkButton{204, 4, 236, 22};
const Rect kSipButton{104, kScreenHeight - kMenuBarHeight, 136, kScreenHeight};

struct Shell {
    HWND desktop = nullptr;
    HWND task_bar = nullptr;
    HWND sip_button = nullptr;
    bool start_icon = true;
};

Shell& shell() {
    static Shell s;
    return s;
}

HFONT bar_font() {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_BOLD;
    const char16_t face[] = u"Tahoma";
    std::copy(face, face + 7, lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

// The window whose title and OK button the task bar shows.
Window* titled_window() {
    Window* w = active_window();
    return w && !w->destroyed ? w : nullptr;
}

LRESULT CALLBACK task_bar_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            Rect rc{0, 0, kScreenWidth, kTaskBarHeight};
            dc_fill(dc, rc, kBarColour);
            if (shell().start_icon) {
                const COLORREF flag[4] = {RGB(230, 60, 30), RGB(60, 180, 60), RGB(40, 110, 230), RGB(250, 200, 30)};
                for (int i = 0; i < 4; ++i) {
                    int x = 4 + (i % 2) * 9, y = 5 + (i / 2) * 9;
                    dc_fill(dc, {x, y, x + 8, y + 8}, flag[i]);
                }
            }
            if (Window* t = titled_window()) {
                HFONT f = bar_font();
                dc_select_font(dc, f);
                dc_set_text_colour(dc, RGB(255, 255, 255));
                Rect title{28, 0, t->caption_ok ? kOkButton.left - 4 : kScreenWidth - 4, kTaskBarHeight};
                const std::u16string& text = t->has_nav_text ? t->nav_text : t->text;
                dc_draw_text(dc, text.c_str(), -1, title, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                if (t->caption_ok) {
                    dc_frame(dc, kOkButton, RGB(255, 255, 255));
                    Rect ok = kOkButton;
                    dc_draw_text(dc, u"ok", -1, ok, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
                }
                dc_select_font(dc, nullptr);
                DeleteObject(f);
            }
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONUP: {
            int x = short(LOWORD(lp)), y = short(HIWORD(lp));
            Window* t = titled_window();
            // The OK goes to the active window, which is never a disabled one.
            if (t && t->caption_ok && !(t->style & WS_DISABLED) && kOkButton.contains(x, y))
                PostMessageW(handle_of(t), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            return 0;
        }
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK sip_button_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            Rect rc{0, 0, kSipButton.width(), kSipButton.height()};
            dc_fill(dc, rc, kMenuBarColour);
            // A small keyboard.
            Rect k{6, 8, rc.right - 6, rc.bottom - 7};
            dc_fill(dc, k, RGB(255, 255, 255));
            dc_frame(dc, k, RGB(0, 0, 0));
            for (int x = k.left + 3; x < k.right - 2; x += 4) dc_fill(dc, {x, k.top + 3, x + 2, k.top + 5}, RGB(0, 0, 0));
            dc_fill(dc, {k.left + 5, k.bottom - 4, k.right - 5, k.bottom - 2}, RGB(0, 0, 0));
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK menu_bar_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            Rect rc{0, 0, kScreenWidth, kMenuBarHeight};
            dc_fill(dc, rc, kMenuBarColour);
            dc_line(dc, 0, 0, kScreenWidth, 0, RGB(128, 128, 160));
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK desktop_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            dc_fill(dc, Framebuffer::bounds(), RGB(236, 241, 250));
            dc_select_font(dc, nullptr);
            dc_set_text_colour(dc, RGB(0, 51, 153));
            Rect r{8, 40, kScreenWidth - 8, 60};
            std::u16string model = to_u16(profile().model());
            dc_draw_text(dc, model.c_str(), -1, r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

HWND make_shell_window(const char16_t* cls, const Rect& r, DWORD ex_style) {
    CreateParams p;
    p.class_name = cls;
    p.style = WS_POPUP | WS_VISIBLE;
    p.ex_style = ex_style;
    p.x = r.left;
    p.y = r.top;
    p.width = r.width();
    p.height = r.height();
    p.shell = true;
    p.journaled = false;
    return handle_of(create_window(p));
}

}  // namespace

void start_shell() {
    shell() = Shell{};
    register_system_class(u"DesktopExplorerWindow", desktop_proc, nullptr);
    register_system_class(u"HHTaskBar", task_bar_proc, nullptr);
    register_system_class(u"MS_SIPBUTTON", sip_button_proc, nullptr);
    register_system_class(u"menu_worker", menu_bar_proc, nullptr);
    shell().desktop = make_shell_window(u"DesktopExplorerWindow", Framebuffer::bounds(), 0);
    shell().task_bar = make_shell_window(u"HHTaskBar", {0, 0, kScreenWidth, kTaskBarHeight}, WS_EX_TOPMOST);
    shell().sip_button = make_shell_window(u"MS_SIPBUTTON", kSipButton, WS_EX_TOPMOST);
    // The shell has drawn the Today screen and its bars before any program
    // starts; what a program leaves unpainted shows them.
    for (HWND h : {shell().desktop, shell().task_bar, shell().sip_button})
        if (Window* w = window_from_handle(h)) update_window(w);
}

void shell_window_changed() {
    if (Window* t = window_from_handle(shell().task_bar)) invalidate(t, nullptr, Erase::No);
}

namespace {
[[maybe_unused]] const bool told_of_window_changes = (set_window_change_hook(shell_window_changed), true);
}  // namespace

Window* shell_task_bar() { return window_from_handle(shell().task_bar); }

bool shell_task_bar_visible() {
    Window* t = shell_task_bar();
    return t && is_visible(t);
}

bool shell_caption_ok_visible() {
    Window* t = titled_window();
    return shell_task_bar_visible() && t && t->caption_ok;
}

Rect shell_caption_ok_rect() { return kOkButton; }

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info) {
    if (!info || !info->hwndParent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CreateParams p;
    p.class_name = u"menu_worker";
    p.style = WS_POPUP | WS_VISIBLE;
    p.x = 0;
    p.y = kScreenHeight - kMenuBarHeight;
    p.width = kScreenWidth;
    p.height = kMenuBarHeight;
    p.parent = info->hwndParent;
    p.instance = info->hInstRes;
    p.shell = true;
    Window* bar = create_window(p);
    if (!bar) return FALSE;
    info->hwndMB = handle_of(bar);
    log_event("menubar", {{"op", "create"}, {"flags", info->dwFlags}});
    return TRUE;
}

BOOL WINAPI SHFullScreen(HWND h, DWORD flags) {
    log_event("fullscreen", {{"flags", flags}});
    if (!window_from_handle(h)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Window* bar = window_from_handle(shell().task_bar);
    Window* sip = window_from_handle(shell().sip_button);
    if (bar && (flags & SHFS_HIDETASKBAR)) hide_window(bar);
    if (bar && (flags & SHFS_SHOWTASKBAR)) show_window(bar, Activation::KeepActive);
    if (sip && (flags & SHFS_HIDESIPBUTTON)) hide_window(sip);
    if (sip && (flags & SHFS_SHOWSIPBUTTON)) show_window(sip, Activation::KeepActive);
    if (flags & SHFS_HIDESTARTICON) shell().start_icon = false;
    if (flags & SHFS_SHOWSTARTICON) shell().start_icon = true;
    shell_window_changed();
    return TRUE;
}

BOOL WINAPI SHSetNavBarText(HWND h, LPCWSTR text) {
    log_event("nav_title", {{"text", to_utf8(text)}});
    Window* w = window_from_handle(h);
    if (!w) return FALSE;
    w = top_level_of(w);
    w->has_nav_text = true;
    w->nav_text = text ? std::u16string(text) : std::u16string();
    shell_window_changed();
    return TRUE;
}

BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
    if (missing(info)) return FALSE;
    Window* w = window_from_handle(info->hDlg);
    log_event("shell_init_dialog", {{"flags", info->dwFlags}});
    if (!w || !(info->dwMask & SHIDIM_FLAGS)) return w != nullptr;
    DWORD f = info->dwFlags;
    if (f & SHIDIF_DONEBUTTON) {
        w->caption_ok = true;
        shell_window_changed();
    }
    // Full screen is everything below the task bar, whatever the input
    // panel does; a plainly sized dialog stops above the menu bar.
    if (f & (SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_SIZEDLGFULLSCREEN))
        set_window_rect(w, {0, kTaskBarHeight, kScreenWidth, kScreenHeight}, Repaint::Yes);
    else if (f & SHIDIF_SIZEDLG)
        set_window_rect(w, {0, kTaskBarHeight, kScreenWidth, kScreenHeight - kMenuBarHeight}, Repaint::Yes);
    return TRUE;
}

}  // extern "C"
