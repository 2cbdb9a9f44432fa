// The "button" class: push buttons (drawn pressed while the stylus holds
// them) and automatic check boxes (a tap toggles the tick, then the parent
// hears BN_CLICKED).
#include <windows.h>

#include <algorithm>
#include <memory>

#include "device/journal.h"
#include "gdi/draw.h"
#include "user/controls.h"
#include "user/window.h"

namespace sim {

namespace {

struct ButtonState {
    int check = BST_UNCHECKED;
    bool pushed = false;   // stylus down on it
    bool tracking = false;
    bool focused = false;
};

ButtonState& state(Window* w) {
    if (!w->control) w->control = std::make_shared<ButtonState>();
    return *static_cast<ButtonState*>(w->control.get());
}

DWORD type_of(Window* w) { return w->style & BS_TYPEMASK; }
bool is_check_box(Window* w) {
    DWORD t = type_of(w);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
}
bool is_push(Window* w) { return type_of(w) == BS_PUSHBUTTON || type_of(w) == BS_DEFPUSHBUTTON; }

void notify_parent(Window* w, WORD code) {
    if (!w->parent) return;
    send(w->parent, WM_COMMAND, MAKEWPARAM(w->control_id, code), LPARAM(handle_of(w)));
}

void set_check(Window* w, int check) {
    ButtonState& s = state(w);
    if (s.check == check) return;
    s.check = check;
    log_event("check", {{"id", w->control_id}, {"state", check}});
    invalidate(w, nullptr, Erase::Yes);
}

void paint(HWND h, Window* w) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    ButtonState& s = state(w);
    Rect rc = client_rect(w);
    // Greyed when the control itself is disabled, not when its dialog or
    // window is (under a modal box).
    bool enabled = !(w->style & WS_DISABLED);
    COLORREF ink = enabled ? RGB(0, 0, 0) : RGB(128, 128, 128);
    dc_select_font(dc, w->font);
    if (is_check_box(w)) {
        dc_fill(dc, rc, RGB(255, 255, 255));
        int box = 13;
        int top = (rc.height() - box) / 2;
        Rect b{0, top, box, top + box};
        dc_frame(dc, b, ink);
        if (s.check == BST_CHECKED) {
            // The tick: two strokes, two pixels thick.
            for (int d = 0; d < 2; ++d) {
                dc_line(dc, 3, top + 5 + d, 5, top + 7 + d, ink);
                dc_line(dc, 5, top + 7 + d, 10, top + 2 + d, ink);
            }
        } else if (s.check == BST_INDETERMINATE) {
            dc_fill(dc, {3, top + 3, box - 3, top + box - 3}, RGB(128, 128, 128));
        }
        dc_set_text_colour(dc, ink);
        Rect text{box + 4, 0, rc.right, rc.bottom};
        UINT fmt = DT_LEFT | DT_NOPREFIX;
        if (w->style & BS_MULTILINE) {
            int height = dc_text_height(dc, w->text.c_str(), text.width());
            text.top = std::max(0, (rc.height() - height) / 2);
            fmt |= DT_WORDBREAK;
        } else {
            fmt |= DT_SINGLELINE | DT_VCENTER;
        }
        dc_draw_text(dc, w->text.c_str(), -1, text, fmt);
        if (s.focused) {
            // The focus: a dotted frame around the label.
            int width = std::min(dc_text_width(dc, w->text.c_str()), int(rc.right) - (box + 4));
            dc_focus_rect(dc, {box + 2, 1, box + 4 + width + 2, rc.bottom - 1});
        }
    } else {
        bool down = s.pushed;
        COLORREF face = down ? RGB(0, 0, 0) : RGB(255, 255, 255);
        COLORREF text_colour = down ? RGB(255, 255, 255) : ink;
        dc_fill(dc, rc, face);
        dc_frame(dc, rc, ink, type_of(w) == BS_DEFPUSHBUTTON ? 2 : 1);
        dc_set_text_colour(dc, text_colour);
        Rect text = rc;
        UINT fmt = DT_CENTER | DT_NOPREFIX;
        if (w->style & BS_MULTILINE) {
            int height = dc_text_height(dc, w->text.c_str(), text.width() - 4);
            text = {2, std::max(0, (rc.height() - height) / 2), rc.right - 2, rc.bottom};
            fmt |= DT_WORDBREAK;
        } else {
            fmt |= DT_SINGLELINE | DT_VCENTER;
        }
        dc_draw_text(dc, w->text.c_str(), -1, text, fmt);
        // The focus: a dotted frame inside the button's edge, as
        // DrawFocusRect draws it.
        if (s.focused) dc_focus_rect(dc, {3, 3, rc.right - 3, rc.bottom - 3});
    }
    EndPaint(h, &ps);
}

void click(Window* w) {
    HWND h = handle_of(w);
    DWORD t = type_of(w);
    if (t == BS_AUTOCHECKBOX) set_check(w, state(w).check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    if (t == BS_AUTO3STATE) set_check(w, (state(w).check + 1) % 3);
    if ((w = window_from_handle(h))) notify_parent(w, BN_CLICKED);
}

LRESULT CALLBACK button_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = window_from_handle(h);
    if (!w) return 0;
    ButtonState& s = state(w);
    switch (msg) {
        case WM_PAINT: paint(h, w); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONDOWN:
            s.tracking = true;
            s.pushed = true;
            SetCapture(h);
            invalidate(w, nullptr, Erase::Yes);
            return 0;
        case WM_MOUSEMOVE:
            if (s.tracking) {
                Rect rc = client_rect(w);
                bool inside = rc.contains(short(LOWORD(lp)), short(HIWORD(lp)));
                if (inside != s.pushed) {
                    s.pushed = inside;
                    invalidate(w, nullptr, Erase::Yes);
                }
            }
            return 0;
        case WM_LBUTTONUP: {
            if (!s.tracking) return 0;
            s.tracking = false;
            bool inside = client_rect(w).contains(short(LOWORD(lp)), short(HIWORD(lp)));
            s.pushed = false;
            ReleaseCapture();
            invalidate(w, nullptr, Erase::Yes);
            if (inside) click(w);
            return 0;
        }
        case WM_KEYDOWN:
            if (wp == VK_SPACE || (wp == VK_RETURN && is_push(w))) click(w);
            return 0;
        case BM_GETCHECK: return s.check;
        case BM_SETCHECK:
            if (is_check_box(w)) set_check(w, int(wp));
            return 0;
        case BM_GETSTATE: return s.check | (s.pushed ? BST_PUSHED : 0) | (s.focused ? BST_FOCUS : 0);
        case BM_SETSTATE:
            s.pushed = wp != 0;
            invalidate(w, nullptr, Erase::Yes);
            return 0;
        case BM_SETSTYLE:
            w->style = (w->style & ~DWORD(BS_TYPEMASK)) | (DWORD(wp) & BS_TYPEMASK);
            if (LOWORD(lp)) invalidate(w, nullptr, Erase::Yes);
            return 0;
        case BM_CLICK: click(w); return 0;
        case WM_SETFOCUS:
            s.focused = true;
            invalidate(w, nullptr, Erase::Yes);
            return 0;
        case WM_KILLFOCUS:
            s.focused = false;
            invalidate(w, nullptr, Erase::Yes);
            return 0;
        case WM_ENABLE: invalidate(w, nullptr, Erase::Yes); return 0;
        case WM_SETTEXT:
            DefWindowProcW(h, msg, wp, lp);
            invalidate(w, nullptr, Erase::Yes);
            return TRUE;
        case WM_GETDLGCODE: {
            DWORD t = type_of(w);
            if (t == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (t == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            return DLGC_BUTTON;
        }
        case WM_CAPTURECHANGED: s.tracking = false; s.pushed = false; return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK static_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = window_from_handle(h);
    if (!w) return 0;
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            Rect rc = client_rect(w);
            dc_fill(dc, rc, RGB(255, 255, 255));
            dc_select_font(dc, w->font);
            dc_set_text_colour(dc, !(w->style & WS_DISABLED) ? RGB(0, 0, 0) : RGB(128, 128, 128));
            UINT fmt = DT_WORDBREAK | DT_EXPANDTABS;
            switch (w->style & 0x3) {
                case SS_CENTER: fmt |= DT_CENTER; break;
                case SS_RIGHT: fmt |= DT_RIGHT; break;
                default: fmt |= DT_LEFT; break;
            }
            if (w->style & SS_NOPREFIX) fmt |= DT_NOPREFIX;
            dc_draw_text(dc, w->text.c_str(), -1, rc, fmt);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_SETTEXT:
            DefWindowProcW(h, msg, wp, lp);
            invalidate(w, nullptr, Erase::Yes);
            return TRUE;
        case WM_ENABLE: invalidate(w, nullptr, Erase::Yes); return 0;
        case WM_GETDLGCODE: return DLGC_STATIC;
        // Without SS_NOTIFY a static is not there for the stylus: it answers
        // the hit test with HTTRANSPARENT and the tap goes to the window
        // beneath; with it, a tap is STN_CLICKED for the parent.  ("Static
        // Control Default Message Processing",
        // https://techshelps.github.io/Win32/html/1qsxsdo.htm)
        case WM_NCHITTEST:
            if (!(w->style & SS_NOTIFY)) return HTTRANSPARENT;
            return DefWindowProcW(h, msg, wp, lp);
        case WM_LBUTTONDOWN:
            if ((w->style & SS_NOTIFY) && w->parent)
                send(w->parent, WM_COMMAND, MAKEWPARAM(w->control_id, 0 /* STN_CLICKED */), LPARAM(h));
            return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

void register_control_classes() {
    register_system_class(u"button", button_proc, nullptr);
    register_system_class(u"static", static_proc, nullptr);
}

}  // namespace sim
