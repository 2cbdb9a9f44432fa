// The window manager's Win32 entry points.
#include <windows.h>

#include <algorithm>

#include "base/journal.h"
#include "base/profile.h"
#include "kernel/arguments.h"
#include "kernel/process.h"
#include "base/text.h"
#include "platform/ce_api.h"
#include "user/hotkeys.h"
#include "user/input.h"
#include "user/message_queue.h"
#include "user/window.h"
#include "user/window_journal.h"

using sim::Window;

namespace {

Window* win(HWND h) {
    Window* w = sim::window_from_handle(h);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::u16string str(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

// A class name as the calls take it: a string, or the atom of a class
// (MAKEINTATOM); an atom no class has names nothing.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-createwindowexw
std::u16string class_name(LPCWSTR s) {
    if (!s) return {};
    if (IS_INTRESOURCE(s)) return sim::class_name_of_atom(ATOM(reinterpret_cast<uintptr_t>(s)));
    return s;
}

sim::json control_id_json(const Window* w) { return w->parent ? sim::json(w->control_id) : sim::json(nullptr); }

}  // namespace

extern "C" {

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string name = class_name(wc->lpszClassName);
    if (name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    sim::Process* p = sim::current_process();
    sim::WindowClass* existing = sim::find_class(name, p);
    if (existing && !existing->system && existing->process == p) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    sim::WindowClass c;
    c.name = name;
    c.proc = wc->lpfnWndProc;
    c.style = wc->style;
    c.background = wc->hbrBackground;
    c.instance = wc->hInstance;
    c.window_extra = wc->cbWndExtra;
    c.process = p;
    return sim::register_class(c)->atom;
}

// Classes belong to the process that registered them: the instance
// handle is not looked at.  A class with windows left stays.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-unregisterclassw
BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE) {
    switch (sim::unregister_class(class_name(name), sim::current_process())) {
        case sim::Unregistered::Done: return TRUE;
        case sim::Unregistered::HasWindows: SetLastError(ERROR_CLASS_HAS_WINDOWS); return FALSE;
        default: SetLastError(ERROR_CLASS_DOES_NOT_EXIST); return FALSE;
    }
}

HWND WINAPI CreateWindowExW(DWORD ex_style, LPCWSTR cls, LPCWSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    sim::CreateParams p;
    p.ex_style = ex_style;
    p.class_name = class_name(cls);
    p.title = str(title);
    p.style = style;
    p.x = x;
    p.y = y;
    p.width = width;
    p.height = height;
    p.parent = parent;
    p.menu = menu;
    p.instance = instance;
    p.param = param;
    return sim::handle_of(sim::create_window(p));
}

BOOL WINAPI DestroyWindow(HWND h) {
    Window* w = win(h);
    return w && sim::destroy_window(w) ? TRUE : FALSE;
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return proc ? proc(h, msg, wp, lp) : 0;
}

HWND WINAPI FindWindowW(LPCWSTR cls, LPCWSTR title) {
    std::u16string c = sim::lower(class_name(cls)), t = str(title);
    for (Window* w : sim::top_level_windows()) {
        if (w->destroyed) continue;
        if (cls && (!w->cls || sim::lower(w->cls->name) != c)) continue;
        if (title && w->text != t) continue;
        return sim::handle_of(w);
    }
    return nullptr;
}

BOOL WINAPI IsWindow(HWND h) { return sim::window_from_handle(h) ? TRUE : FALSE; }

BOOL WINAPI IsWindowVisible(HWND h) {
    Window* w = sim::window_from_handle(h);
    return w && sim::is_visible(w) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND h) {
    Window* w = sim::window_from_handle(h);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND h, BOOL enable) {
    Window* w = win(h);
    if (!w) return FALSE;
    sim::log_event("enable", {{"id", control_id_json(w)}, {"enabled", enable != FALSE}});
    return sim::enable_window(w, enable != FALSE) ? TRUE : FALSE;
}

// Every command but SW_HIDE shows the window as it is: windows here are
// never minimized or maximized, so SW_MINIMIZE, SW_MAXIMIZE and the like
// show it as SW_SHOW does.
BOOL WINAPI ShowWindow(HWND h, int cmd) {
    Window* w = win(h);
    if (!w) return FALSE;
    BOOL was = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    if (cmd == SW_HIDE)
        sim::hide_window(w);
    else
        sim::show_window(w, cmd == SW_SHOWNA || cmd == SW_SHOWNOACTIVATE ? sim::Activation::KeepActive
                                                                         : sim::Activation::Activate);
    return was;
}

BOOL WINAPI UpdateWindow(HWND h) {
    Window* w = win(h);
    if (!w) return FALSE;
    sim::update_window(w);
    return TRUE;
}

// With bRepaint FALSE nothing is repainted: not the window, not what the
// move uncovers.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-movewindow
BOOL WINAPI MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint) {
    Window* w = win(h);
    if (!w) return FALSE;
    sim::set_window_rect(w, {x, y, x + width, y + height}, repaint ? sim::Repaint::Yes : sim::Repaint::No);
    return TRUE;
}

// The z-order places: HWND_TOP, HWND_BOTTOM, just behind a sibling, and
// for top-level windows HWND_TOPMOST and HWND_NOTOPMOST.  Unless
// SWP_NOACTIVATE (or SWP_HIDEWINDOW) is given, a visible top-level window is
// activated, which brings it to the top of its band.  SWP_NOREDRAW repaints
// nothing for the move, the size and SWP_FRAMECHANGED; a window shown or
// hidden by the same call is still repainted as ShowWindow would.  A moved
// window's picture is never copied to its new place, as if SWP_NOCOPYBITS
// were always given, and WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED are
// not sent, so SWP_NOSENDCHANGING changes nothing; nor does
// SWP_NOOWNERZORDER.
// https://learn.microsoft.com/en-us/previous-versions/ms961540(v=msdn.10)
BOOL WINAPI SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Window* w = win(h);
    if (!w) return FALSE;
    const bool place = !(flags & SWP_NOZORDER);
    Window* behind = nullptr;
    if (place && after != HWND_TOP && after != HWND_BOTTOM && after != HWND_TOPMOST && after != HWND_NOTOPMOST &&
        !(behind = win(after)))
        return FALSE;
    sim::Repaint repaint = (flags & SWP_NOREDRAW) ? sim::Repaint::No : sim::Repaint::Yes;
    if (place) {
        if (after == HWND_TOP)
            sim::bring_to_top(w);
        else if (after == HWND_BOTTOM)
            sim::place_behind(w, nullptr);
        else if (behind && behind->parent == w->parent)
            sim::place_behind(w, behind);
        else if (!w->parent && (after == HWND_TOPMOST || after == HWND_NOTOPMOST))
            sim::set_topmost(w, after == HWND_TOPMOST);
    }
    if (!(flags & SWP_NOMOVE) || !(flags & SWP_NOSIZE)) {
        sim::Rect r = w->rect;
        if (!(flags & SWP_NOMOVE)) r = {x, y, x + r.width(), y + r.height()};
        if (!(flags & SWP_NOSIZE)) r.right = r.left + cx, r.bottom = r.top + cy;
        sim::set_window_rect(w, r, repaint);
    }
    if ((w = sim::window_from_handle(h))) {
        if (flags & SWP_SHOWWINDOW) sim::show_window(w, sim::Activation::KeepActive);
        if (flags & SWP_HIDEWINDOW) sim::hide_window(w);
    }
    if ((w = sim::window_from_handle(h))) {
        if (!(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) && !w->parent && sim::is_visible(w))
            sim::activate(w, WA_ACTIVE);
    }
    if ((w = sim::window_from_handle(h)) && (flags & SWP_FRAMECHANGED) && repaint == sim::Repaint::Yes)
        sim::invalidate(w, nullptr, sim::Erase::Yes);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND h, LPRECT rc) {
    Window* w = win(h);
    if (!w || sim::missing(rc)) return FALSE;
    sim::Rect r = sim::screen_rect(w);
    *rc = {r.left, r.top, r.right, r.bottom};
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND h, LPRECT rc) {
    Window* w = win(h);
    if (!w || sim::missing(rc)) return FALSE;
    sim::Rect r = sim::client_rect(w);
    *rc = {r.left, r.top, r.right, r.bottom};
    return TRUE;
}

BOOL WINAPI SetWindowTextW(HWND h, LPCWSTR text) {
    Window* w = win(h);
    if (!w) return FALSE;
    sim::log_event("window_text", {{"id", control_id_json(w)}, {"text", sim::to_utf8(text)}});
    sim::send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u""));
    if (!w->parent) sim::announce_window_change();
    return TRUE;
}

int WINAPI GetWindowTextW(HWND h, LPWSTR out, int max) {
    Window* w = win(h);
    if (!w || sim::missing(out) || max <= 0) return 0;
    return int(sim::send(w, WM_GETTEXT, WPARAM(max), reinterpret_cast<LPARAM>(out)));
}

int WINAPI GetWindowTextLengthW(HWND h) {
    Window* w = win(h);
    return w ? int(sim::send(w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

LONG WINAPI GetWindowLongW(HWND h, int index) {
    Window* w = win(h);
    if (!w) return 0;
    switch (index) {
        case GWL_STYLE: return LONG(w->style);
        case GWL_EXSTYLE: return LONG(w->ex_style);
        case GWL_WNDPROC: return reinterpret_cast<LONG>(w->proc);
        case GWL_ID: return w->control_id;
        case GWL_USERDATA: return w->user_data;
        default:
            if (w->is_dialog && index == DWL_MSGRESULT) return w->dialog_result;
            if (w->is_dialog && index == DWL_DLGPROC) return reinterpret_cast<LONG>(w->dialog_proc);
            if (w->is_dialog && index == DWL_USER) return w->dialog_user;
            if (index >= 0 && size_t(index) / 4 < w->extra.size()) return w->extra[size_t(index) / 4];
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

LONG WINAPI SetWindowLongW(HWND h, int index, LONG value) {
    Window* w = win(h);
    if (!w) return 0;
    LONG old = GetWindowLongW(h, index);
    switch (index) {
        case GWL_STYLE: {
            DWORD visible = w->style & WS_VISIBLE;
            w->style = (DWORD(value) & ~DWORD(WS_VISIBLE)) | visible;
            break;
        }
        case GWL_EXSTYLE: w->ex_style = DWORD(value); break;
        case GWL_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); break;
        case GWL_ID: w->control_id = int(value); break;
        case GWL_USERDATA: w->user_data = value; break;
        default:
            if (w->is_dialog && index == DWL_MSGRESULT) {
                w->dialog_result = value;
                break;
            }
            if (w->is_dialog && index == DWL_DLGPROC) {
                w->dialog_proc = reinterpret_cast<DLGPROC>(value);
                break;
            }
            if (w->is_dialog && index == DWL_USER) {
                w->dialog_user = value;
                break;
            }
            if (index >= 0 && size_t(index) / 4 < w->extra.size()) {
                w->extra[size_t(index) / 4] = value;
                break;
            }
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
    return old;
}

HWND WINAPI GetParent(HWND h) {
    Window* w = win(h);
    if (!w) return nullptr;
    return sim::handle_of(w->parent ? w->parent : w->owner);
}

HWND WINAPI GetWindow(HWND h, UINT cmd) {
    Window* w = win(h);
    if (!w) return nullptr;
    const std::vector<Window*>& siblings = w->parent ? w->parent->children : sim::top_level_windows();
    auto it = std::find(siblings.begin(), siblings.end(), w);
    switch (cmd) {
        case GW_CHILD: return w->children.empty() ? nullptr : sim::handle_of(w->children.front());
        case GW_OWNER: return sim::handle_of(w->owner);
        case GW_HWNDFIRST: return siblings.empty() ? nullptr : sim::handle_of(siblings.front());
        case GW_HWNDLAST: return siblings.empty() ? nullptr : sim::handle_of(siblings.back());
        case GW_HWNDNEXT: return (it == siblings.end() || it + 1 == siblings.end()) ? nullptr : sim::handle_of(*(it + 1));
        case GW_HWNDPREV: return (it == siblings.end() || it == siblings.begin()) ? nullptr : sim::handle_of(*(it - 1));
        default: return nullptr;
    }
}

HWND WINAPI GetDlgItem(HWND h, int id) {
    Window* w = win(h);
    Window* c = sim::find_child_by_id(w, id);
    if (!c) SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return sim::handle_of(c);
}

int WINAPI GetDlgCtrlID(HWND h) {
    Window* w = win(h);
    return w ? w->control_id : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND h, int id, LPCWSTR text) {
    HWND c = GetDlgItem(h, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

LRESULT WINAPI SendDlgItemMessageW(HWND h, int id, UINT msg, WPARAM wp, LPARAM lp) {
    HWND c = GetDlgItem(h, id);
    return c ? SendMessageW(c, msg, wp, lp) : 0;
}

HWND WINAPI SetFocus(HWND h) {
    Window* w = nullptr;
    if (h && !(w = win(h))) return nullptr;
    return sim::set_focus(w);
}

HWND WINAPI GetFocus(void) { return sim::handle_of(sim::focus_window()); }

HWND WINAPI SetActiveWindow(HWND h) {
    Window* w = win(h);
    HWND old = sim::handle_of(sim::active_window());
    if (!w) return nullptr;
    w = sim::top_level_of(w);
    sim::activate(w, WA_ACTIVE);
    // A disabled window is not activated (its enabled owned window may be).
    return sim::active_window() == w ? old : nullptr;
}

// The state of a button as of the key message being handled: the top bit
// set while it is down.
SHORT WINAPI GetKeyState(int vk) { return sim::key_is_down(vk) ? SHORT(0x8000) : SHORT(0); }

HWND WINAPI GetActiveWindow(void) { return sim::handle_of(sim::active_window()); }

// With the lowest bit of the handle set, the window comes forward with the
// windows it owns, and the one of them that was active last is activated
// again ("combine the handle to the window with 0x01"):
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms940024(v=msdn.10)
// A disabled window is never activated: its enabled owned window is (the
// box or dialog that disabled it), as a tap on it would bring that forward.
BOOL WINAPI SetForegroundWindow(HWND h) {
    bool with_owned = (reinterpret_cast<uintptr_t>(h) & 1) != 0;
    HWND plain = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(h) & ~uintptr_t(1));
    Window* w = win(plain);
    sim::log_event("foreground",
                   {{"window", sim::describe(w)}, {"with_owned", with_owned}, {"number", sim::window_number(w)}});
    if (!w) return FALSE;
    w = sim::top_level_of(w);
    if (w->shell) return FALSE;
    Window* target = w;
    if (with_owned) {
        sim::bring_to_top(w);  // the owned windows come along, above it
        target = sim::last_active_popup(w);
    }
    sim::activate(target, WA_ACTIVE);
    // Done when the window or one it owns is active now.
    return sim::is_in_group(sim::active_window(), w) ? TRUE : FALSE;
}

HWND WINAPI GetForegroundWindow(void) { return sim::handle_of(sim::active_window()); }

HWND WINAPI SetCapture(HWND h) {
    HWND old = sim::handle_of(sim::capture_window());
    sim::set_capture(sim::window_from_handle(h));
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    sim::set_capture(nullptr);
    return TRUE;
}

HWND WINAPI GetCapture(void) { return sim::handle_of(sim::capture_window()); }

BOOL WINAPI InvalidateRect(HWND h, const RECT* rc, BOOL erase) {
    sim::Erase how = erase ? sim::Erase::Yes : sim::Erase::No;
    if (!h) {
        sim::invalidate_all(how);
        return TRUE;
    }
    Window* w = win(h);
    if (!w) return FALSE;
    if (rc) {
        sim::Rect r{int(rc->left), int(rc->top), int(rc->right), int(rc->bottom)};
        sim::invalidate(w, &r, how);
    } else {
        sim::invalidate(w, nullptr, how);
    }
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND h, const RECT* rc) {
    Window* w = win(h);
    if (!w) return FALSE;
    if (rc) {
        sim::Rect r{int(rc->left), int(rc->top), int(rc->right), int(rc->bottom)};
        sim::validate(w, &r);
    } else {
        sim::validate(w, nullptr);
    }
    return TRUE;
}

// The update region is kept as its bounding rectangle.  bErase is not
// looked at: the background is erased by the next BeginPaint, not here.
BOOL WINAPI GetUpdateRect(HWND h, LPRECT rc, BOOL) {
    Window* w = win(h);
    if (!w) return FALSE;
    if (rc) *rc = {w->update.left, w->update.top, w->update.right, w->update.bottom};
    return w->update.empty() ? FALSE : TRUE;
}

BOOL WINAPI ScreenToClient(HWND h, LPPOINT pt) {
    Window* w = win(h);
    if (!w || sim::missing(pt)) return FALSE;
    sim::Point o = sim::client_origin(w);
    pt->x -= o.x;
    pt->y -= o.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND h, LPPOINT pt) {
    Window* w = win(h);
    if (!w || sim::missing(pt)) return FALSE;
    sim::Point o = sim::client_origin(w);
    pt->x += o.x;
    pt->y += o.y;
    return TRUE;
}

// Only the screen's size is known; every other metric is 0.
int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN: return 240;
        case SM_CYSCREEN: return 320;
        default: return 0;
    }
}

BOOL WINAPI MessageBeep(UINT type) {
    sim::log_event("beep", {{"type", type}});
    return TRUE;
}

// ------------------------------------------------------------ messages

// The window filter takes the window's messages and its children's (null:
// every window's and the thread's own); the range wMsgFilterMin to
// wMsgFilterMax takes those numbers (0 to 0: all), WM_PAINT and WM_TIMER
// included; WM_QUIT comes whatever the range.  Of the handles only NULL has
// a meaning of its own on the device, so (HWND)-1 is no window either.  A
// handle that is not a window makes GetMessage return -1 at once, and a
// null lpMsg makes it return 0, without waiting and without touching the
// queue.
// https://learn.microsoft.com/en-us/previous-versions/ms960724(v=msdn.10)
BOOL WINAPI GetMessageW(LPMSG msg, HWND filter, UINT min, UINT max) {
    if (filter && !win(filter)) return -1;
    if (sim::missing(msg)) return FALSE;
    if (!sim::next_message(msg, {filter, min, max}, sim::WhenIdle::Wait, sim::Removal::Remove)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);  // the window went while the program waited
        return -1;
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

// Filters as GetMessageW.  PM_NOYIELD changes nothing: there is no other
// thread to yield to.  A handle that is not a window or a null lpMsg fails
// the call (FALSE, with ERROR_INVALID_WINDOW_HANDLE or
// ERROR_INVALID_PARAMETER) and leaves the queue as it is.  A poll that
// finds nothing costs device time (sim::empty_poll).
// https://learn.microsoft.com/en-us/previous-versions/ms961300(v=msdn.10)
BOOL WINAPI PeekMessageW(LPMSG msg, HWND filter, UINT min, UINT max, UINT remove) {
    if (filter && !win(filter)) return FALSE;
    if (sim::missing(msg)) return FALSE;
    sim::Removal removal = (remove & PM_REMOVE) ? sim::Removal::Remove : sim::Removal::Keep;
    if (sim::next_message(msg, {filter, min, max}, sim::WhenIdle::Return, removal)) return TRUE;
    sim::empty_poll();
    return FALSE;
}

// The device's buttons and the keys the program presses: Enter, Escape,
// Backspace, Tab, Space, digits and letters, the letters as capitals (no
// Shift, no keyboard layout).
BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    WPARAM ch = 0;
    switch (msg->wParam) {
        case VK_RETURN: ch = '\r'; break;
        case VK_ESCAPE: ch = 27; break;
        case VK_BACK: ch = 8; break;
        case VK_TAB: ch = '\t'; break;
        case VK_SPACE: ch = ' '; break;
        default:
            if ((msg->wParam >= '0' && msg->wParam <= '9') || (msg->wParam >= 'A' && msg->wParam <= 'Z'))
                ch = msg->wParam;
    }
    if (!ch) return FALSE;
    sim::post(msg->hwnd, WM_CHAR, ch, msg->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) { return msg ? sim::dispatch(*msg) : 0; }

BOOL WINAPI PostMessageW(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (h && !sim::window_from_handle(h)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    sim::post(h, m, wp, lp);
    return TRUE;
}

LRESULT WINAPI SendMessageW(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    Window* w = win(h);
    return w ? sim::send(w, m, wp, lp) : 0;
}

void WINAPI PostQuitMessage(int code) { sim::post_quit(code); }

UINT_PTR WINAPI SetTimer(HWND h, UINT_PTR id, UINT ms, TIMERPROC proc) {
    if (h && !win(h)) return 0;
    // The journal's line comes before the timer starts counting: on a real
    // clock no WM_TIMER is then journaled sooner than its period after it.
    if (!h) id = sim::new_thread_timer_id();
    sim::log_event("timer", {{"op", "set"}, {"id", id}, {"ms", ms}});
    return sim::set_timer(h, id, ms, proc);
}

BOOL WINAPI KillTimer(HWND h, UINT_PTR id) {
    bool ok = sim::kill_timer(h, id);
    sim::log_event("timer", {{"op", "kill"}, {"id", id}, {"ok", ok}});
    return ok ? TRUE : FALSE;
}

BOOL WINAPI RegisterHotKey(HWND h, int id, UINT mods, UINT vk) {
    Window* w = win(h);
    bool forced_failure = sim::another_program_holds(vk);
    bool ok = w && !forced_failure && sim::register_hotkey(w, id, mods, vk);
    if (forced_failure) SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
    sim::log_event("hotkey", {{"op", "register"}, {"id", id}, {"vk", vk}, {"mods", mods}, {"ok", ok},
                              {"window", sim::describe(w)}, {"number", sim::window_number(w)}});
    return ok ? TRUE : FALSE;
}

BOOL WINAPI UnregisterHotKey(HWND h, int id) {
    Window* w = sim::window_from_handle(h);
    UINT vk = 0, mods = 0;
    bool ok = w && sim::unregister_hotkey(w, id, &vk, &mods);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    sim::json fields = {{"op", "unregister"}, {"id", id}};
    fields["vk"] = ok ? sim::json(vk) : sim::json(nullptr);
    fields["mods"] = ok ? sim::json(mods) : sim::json(nullptr);
    fields["ok"] = ok;
    fields["window"] = sim::describe(w);
    fields["number"] = sim::window_number(w);
    sim::log_event("hotkey", fields);
    return ok ? TRUE : FALSE;
}

// Exported by coredll and looked up by name: frees a hardware button
// whoever holds it (the shell, or a window of this or another program), so
// that the next RegisterHotKey for it succeeds.  The window that held it
// hears nothing and gets no more WM_HOTKEY for it.
BOOL WINAPI UnregisterFunc1(UINT mods, UINT vk) {
    sim::HotKey held;
    sim::HotKeyHolder holder = sim::release_hotkey(mods, vk, &held);
    bool ok = holder != sim::HotKeyHolder::None;
    sim::json fields = {{"vk", vk}, {"mods", mods}, {"ok", ok}};
    fields["holder"] = holder == sim::HotKeyHolder::Window ? "window" : holder == sim::HotKeyHolder::Shell ? "shell" : "none";
    if (holder == sim::HotKeyHolder::Window) {
        fields["window"] = sim::describe(held.window);
        fields["number"] = sim::window_number(held.window);
    }
    sim::log_event("unregister_func", fields);
    return ok ? TRUE : FALSE;
}

}  // extern "C"
