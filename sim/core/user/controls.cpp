// The "button" and "static" classes.
//
// Buttons: push buttons (drawn pressed while held), check boxes (two and
// three states), radio buttons, group boxes and owner-drawn buttons, each
// plain or automatic as its style says.  A tap or BM_CLICK takes the focus
// and, released over the button, sets the check of an automatic one and
// tells the parent with BN_CLICKED.  Before drawing a button asks its
// parent for colours: WM_CTLCOLORBTN for push buttons and owner-drawn ones,
// WM_CTLCOLORSTATIC for check boxes, radio buttons and group boxes, as the
// platform's controls do on the desktop and the device alike ("Transparent
// controls with custom image backgrounds on PocketPC",
// https://www.codeproject.com/Articles/4772/transparent_controls).
//   Buttons Messages (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms907108(v=msdn.10)
//   Radio Buttons: https://techshelps.github.io/Win32Api%20Documentation/html/16z6zq4.htm
//   WM_CTLCOLORBTN (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms914119(v=msdn.10)
//
// Statics: text (left, centred, right, or one unwrapped line) and bitmaps
// (SS_BITMAP, STM_SETIMAGE), coloured by the parent's WM_CTLCOLORSTATIC;
// with SS_NOTIFY a tap is STN_CLICKED and enabling is STN_ENABLE or
// STN_DISABLE.
//   Static Controls Messages (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa452761(v=msdn.10)
//   Static Control Styles (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms940359(v=msdn.10)
#include <windows.h>

#include <algorithm>
#include <memory>

#include "base/journal.h"
#include "gdi/draw.h"
#include "gdi/gdi_objects.h"
#include "user/control_order.h"
#include "user/controls.h"
#include "user/window.h"

namespace sim {

namespace {

constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kGreyInk = RGB(128, 128, 128);

// ------------------------------------------------------------ colours

bool is_brush(HBRUSH b) {
    GdiObject* o = gdi_object(b);
    return o && o->kind == GdiObject::Brush;
}

// Asks the parent for the colours of a control about to be drawn.  A
// parent that answers with no brush gets the default colours, as if it had
// passed the message on to the default window procedure.
HBRUSH parent_colours(Window* w, UINT msg, HDC dc) {
    HBRUSH brush = nullptr;
    if (w->parent) brush = reinterpret_cast<HBRUSH>(send(w->parent, msg, WPARAM(dc), LPARAM(handle_of(w))));
    if (!is_brush(brush)) brush = reinterpret_cast<HBRUSH>(default_control_colours(msg, dc));
    return brush;
}

void fill(HDC dc, const Rect& r, HBRUSH brush) {
    RECT rc{r.left, r.top, r.right, r.bottom};
    FillRect(dc, &rc, brush);
}

// ------------------------------------------------------------ buttons

struct ButtonState {
    int check = BST_UNCHECKED;
    bool pushed = false;      // highlighted: the stylus or Space holds it, or BM_SETSTATE
    bool tracking = false;    // the stylus went down on it
    bool space_down = false;  // Space went down on it
    bool focused = false;
};

ButtonState& state(Window* w) {
    if (!w->control) w->control = std::make_shared<ButtonState>();
    return *static_cast<ButtonState*>(w->control.get());
}

enum class Kind { Push, Check, Radio, Group, OwnerDraw };

DWORD type_of(const Window* w) { return w->style & BS_TYPEMASK; }

Kind kind_of(const Window* w) {
    switch (type_of(w)) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: return Kind::Check;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return Kind::Radio;
        case BS_GROUPBOX: return Kind::Group;
        case BS_OWNERDRAW: return Kind::OwnerDraw;
        default: return Kind::Push;
    }
}

// The highest check state the button holds: 2 for three-state boxes, 1 for
// the other boxes and radio buttons, -1 for buttons without a check
// ("BM_SETCHECK has no effect on push buttons").
int max_check(const Window* w) {
    switch (kind_of(w)) {
        case Kind::Check: return type_of(w) == BS_3STATE || type_of(w) == BS_AUTO3STATE ? BST_INDETERMINATE : BST_CHECKED;
        case Kind::Radio: return BST_CHECKED;
        default: return -1;
    }
}

// Drawn as a push button: push buttons, and check boxes and radio buttons
// with BS_PUSHLIKE, which look pressed while checked.
bool looks_pushed_in(const Window* w) {
    return kind_of(w) == Kind::Push || ((w->style & BS_PUSHLIKE) && max_check(w) > 0);
}

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

void set_pushed(Window* w, bool pushed) {
    ButtonState& s = state(w);
    if (s.pushed == pushed) return;
    s.pushed = pushed;
    invalidate(w, nullptr, Erase::Yes);
}

// An automatic radio button chosen: it is checked and every other radio
// button of its group is cleared.
void choose_radio(Window* w) {
    HWND h = handle_of(w);
    for (Window* other : group_of(w)) {
        if (other == w || other->destroyed) continue;
        if (send(other, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) send(other, BM_SETCHECK, BST_UNCHECKED, 0);
        if (!window_from_handle(h)) return;
    }
    set_check(w, BST_CHECKED);
}

// The user chose the button: an automatic one changes its check, then the
// parent hears of it.
void click(Window* w) {
    HWND h = handle_of(w);
    switch (type_of(w)) {
        case BS_AUTOCHECKBOX: set_check(w, state(w).check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED); break;
        case BS_AUTO3STATE: set_check(w, (state(w).check + 1) % 3); break;
        case BS_AUTORADIOBUTTON: choose_radio(w); break;
        default: break;
    }
    if ((w = window_from_handle(h))) notify_parent(w, BN_CLICKED);
}

// Where a button's label goes: BS_LEFT, BS_RIGHT, BS_CENTER across (push
// buttons centre by default, the others start at the left), BS_TOP,
// BS_BOTTOM, BS_VCENTER down (centred by default).
UINT label_format(const Window* w, bool centred_by_default) {
    UINT fmt = DT_NOPREFIX;
    switch (w->style & BS_CENTER) {
        case BS_LEFT: fmt |= DT_LEFT; break;
        case BS_RIGHT: fmt |= DT_RIGHT; break;
        case BS_CENTER: fmt |= DT_CENTER; break;
        default: fmt |= centred_by_default ? DT_CENTER : DT_LEFT; break;
    }
    return fmt;
}

// The label: one line in `single`, or with BS_MULTILINE wrapped lines in
// `multi`.
void draw_label(HDC dc, Window* w, Rect single, Rect multi, bool centred_by_default) {
    UINT fmt = label_format(w, centred_by_default);
    DWORD down = w->style & BS_VCENTER;
    if (w->style & BS_MULTILINE) {
        int space = multi.height() - dc_text_height(dc, w->text.c_str(), multi.width());
        multi.top += down == BS_TOP ? 0 : std::max(0, down == BS_BOTTOM ? space : space / 2);
        dc_draw_text(dc, w->text.c_str(), -1, multi, fmt | DT_WORDBREAK);
    } else {
        fmt |= DT_SINGLELINE | (down == BS_TOP ? DT_TOP : down == BS_BOTTOM ? DT_BOTTOM : DT_VCENTER);
        dc_draw_text(dc, w->text.c_str(), -1, single, fmt);
    }
}

void paint_push(HDC dc, Window* w, bool enabled) {
    ButtonState& s = state(w);
    Rect rc = client_rect(w);
    // Push buttons take no colour from the parent's answer: they are drawn
    // in the system's colours (WM_CTLCOLORBTN).
    parent_colours(w, WM_CTLCOLORBTN, dc);
    COLORREF ink = enabled ? kInk : kGreyInk;
    bool down = s.pushed || (kind_of(w) != Kind::Push && s.check != BST_UNCHECKED);
    dc_fill(dc, rc, down ? kInk : RGB(255, 255, 255));
    dc_frame(dc, rc, ink, type_of(w) == BS_DEFPUSHBUTTON ? 2 : 1);
    dc_set_text_colour(dc, down ? RGB(255, 255, 255) : ink);
    draw_label(dc, w, rc, {2, 0, rc.right - 2, rc.bottom}, true);
    // The focus: a dotted frame inside the button's edge, as DrawFocusRect
    // draws it.
    if (s.focused) dc_focus_rect(dc, {3, 3, rc.right - 3, rc.bottom - 3});
}

// Check boxes and radio buttons: the box (or circle) and the label in the
// text colour the parent chose, on its brush.
void paint_check(HDC dc, Window* w, bool enabled) {
    ButtonState& s = state(w);
    Rect rc = client_rect(w);
    fill(dc, rc, parent_colours(w, WM_CTLCOLORSTATIC, dc));
    if (!enabled) SetTextColor(dc, kGreyInk);
    COLORREF ink = GetTextColor(dc);
    const int box = 13;
    bool box_right = (w->style & BS_RIGHTBUTTON) != 0;
    int left = box_right ? rc.right - box : 0;
    int top = (rc.height() - box) / 2;
    Rect b{left, top, left + box, top + box};
    if (kind_of(w) == Kind::Radio) {
        dc_ellipse(dc, b, RGB(255, 255, 255), ink);
        if (s.check == BST_CHECKED) dc_ellipse(dc, {left + 4, top + 4, left + box - 4, top + box - 4}, ink, ink);
    } else {
        dc_frame(dc, b, ink);
        if (s.pushed) dc_frame(dc, {left + 1, top + 1, left + box - 1, top + box - 1}, ink);
        if (s.check == BST_CHECKED) {
            // The tick: two strokes, two pixels thick.
            for (int d = 0; d < 2; ++d) {
                dc_line(dc, left + 3, top + 5 + d, left + 5, top + 7 + d, ink);
                dc_line(dc, left + 5, top + 7 + d, left + 10, top + 2 + d, ink);
            }
        } else if (s.check == BST_INDETERMINATE) {
            dc_fill(dc, {left + 3, top + 3, left + box - 3, top + box - 3}, kGreyInk);
        }
    }
    Rect text = box_right ? Rect{0, 0, left - 4, rc.bottom} : Rect{box + 4, 0, rc.right, rc.bottom};
    draw_label(dc, w, text, text, false);
    if (s.focused) {
        // The focus: a dotted frame around the label.
        int width = std::min(dc_text_width(dc, w->text.c_str()), text.width());
        dc_focus_rect(dc, {text.left - 2, 1, text.left + width + 2, rc.bottom - 1});
    }
}

// A group box: a frame with the label over its top edge.  The text colour
// is the label's; the frame keeps the system's.
void paint_group(HDC dc, Window* w, bool enabled) {
    Rect rc = client_rect(w);
    HBRUSH brush = parent_colours(w, WM_CTLCOLORSTATIC, dc);
    fill(dc, rc, brush);
    if (!enabled) SetTextColor(dc, kGreyInk);
    int line = dc_text_height(dc, u"X", rc.width()) / 2;
    dc_frame(dc, {0, line, rc.right, rc.bottom}, kGreyInk);
    if (!w->text.empty()) {
        int width = std::min(dc_text_width(dc, w->text.c_str()), rc.width() - 16);
        fill(dc, {6, line, 10 + width, line + 1}, brush);
        Rect label{8, 0, 8 + width, rc.bottom};
        dc_draw_text(dc, w->text.c_str(), -1, label, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
}

// An owner-drawn button: the parent draws it, told how with WM_DRAWITEM.
void paint_owner_drawn(HDC dc, Window* w, bool enabled) {
    ButtonState& s = state(w);
    Rect rc = client_rect(w);
    fill(dc, rc, parent_colours(w, WM_CTLCOLORBTN, dc));
    if (!w->parent) return;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = UINT(w->control_id);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (s.pushed ? ODS_SELECTED : 0) | (s.focused ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
    dis.hwndItem = handle_of(w);
    dis.hDC = dc;
    dis.rcItem = {rc.left, rc.top, rc.right, rc.bottom};
    send(w->parent, WM_DRAWITEM, WPARAM(w->control_id), LPARAM(&dis));
}

void paint_button(HWND h, Window* w) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    dc_select_font(dc, w->font);
    // Greyed when the control itself is disabled, not when its dialog or
    // window is (under a modal box).
    bool enabled = !(w->style & WS_DISABLED);
    switch (kind_of(w)) {
        case Kind::Group: paint_group(dc, w, enabled); break;
        case Kind::OwnerDraw: paint_owner_drawn(dc, w, enabled); break;
        default:
            if (looks_pushed_in(w))
                paint_push(dc, w, enabled);
            else
                paint_check(dc, w, enabled);
            break;
    }
    EndPaint(h, &ps);
}

// WM_GETDLGCODE's answer by the button's kind ("WM_GETDLGCODE",
// https://learn.microsoft.com/en-us/windows/win32/dlgbox/wm-getdlgcode).
LRESULT button_dialog_code(const Window* w) {
    switch (type_of(w)) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
    }
}

// The focus arrived from the keyboard or the program (not the stylus) on a
// radio button that is not checked: the user chose it, as the direction
// keys choose radio buttons in a dialog.
void radio_focused(Window* w) {
    if (kind_of(w) != Kind::Radio || state(w).tracking || state(w).check == BST_CHECKED) return;
    HWND h = handle_of(w);
    if (type_of(w) == BS_AUTORADIOBUTTON) choose_radio(w);
    if ((w = window_from_handle(h))) notify_parent(w, BN_CLICKED);
}

LRESULT CALLBACK button_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = window_from_handle(h);
    if (!w) return 0;
    ButtonState& s = state(w);
    bool group = kind_of(w) == Kind::Group;
    switch (msg) {
        case WM_PAINT: paint_button(h, w); return 0;
        case WM_ERASEBKGND: return 1;
        // A group box is not there for the stylus: taps go through it.
        case WM_NCHITTEST:
            if (group) return HTTRANSPARENT;
            return DefWindowProcW(h, msg, wp, lp);
        // The stylus leaves the keyboard focus where it is: on the device the
        // focus moves with the pad and the program, so a tap on a check box
        // does not take the pad's place in a dialog away from its buttons
        // (desktop buttons take the focus on a click).
        case WM_LBUTTONDOWN:
            s.tracking = true;
            SetCapture(h);
            set_pushed(w, true);
            return 0;
        case WM_MOUSEMOVE:
            if (s.tracking) set_pushed(w, client_rect(w).contains(short(LOWORD(lp)), short(HIWORD(lp))));
            return 0;
        case WM_LBUTTONUP: {
            if (!s.tracking) return 0;
            s.tracking = false;
            bool inside = client_rect(w).contains(short(LOWORD(lp)), short(HIWORD(lp)));
            set_pushed(w, false);
            ReleaseCapture();
            if (inside && (w = window_from_handle(h))) click(w);
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (s.tracking) {
                s.tracking = false;
                set_pushed(w, false);
            }
            return 0;
        // Space presses the focused button: down holds it, up chooses it.
        case WM_KEYDOWN:
            if (wp == VK_SPACE && !group && !s.space_down) {
                s.space_down = true;
                set_pushed(w, true);
            }
            return 0;
        case WM_KEYUP:
            if (wp == VK_SPACE && s.space_down) {
                s.space_down = false;
                bool was_pushed = s.pushed;
                set_pushed(w, false);
                if (was_pushed) click(w);
            }
            return 0;
        case BM_GETCHECK: return max_check(w) > 0 ? s.check : 0;
        case BM_SETCHECK: {
            int most = max_check(w);
            if (most > 0) set_check(w, std::min(int(wp), most));
            return 0;
        }
        case BM_GETSTATE: return s.check | (s.pushed ? BST_PUSHED : 0) | (s.focused ? BST_FOCUS : 0);
        case BM_SETSTATE: set_pushed(w, wp != 0); return 0;
        case BM_SETSTYLE:
            w->style = (w->style & ~DWORD(BS_TYPEMASK)) | (DWORD(wp) & BS_TYPEMASK);
            if (LOWORD(lp)) invalidate(w, nullptr, Erase::Yes);
            return 0;
        // "This message causes the button to receive the WM_LBUTTONDOWN and
        // WM_LBUTTONUP messages" (BM_CLICK,
        // https://techshelps.github.io/Win32/html/16s9sjo.htm).
        case BM_CLICK:
            send(w, WM_LBUTTONDOWN, 0, 0);
            if ((w = window_from_handle(h))) send(w, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_SETFOCUS:
            s.focused = true;
            invalidate(w, nullptr, Erase::Yes);
            if (w->style & BS_NOTIFY) notify_parent(w, BN_SETFOCUS);
            if ((w = window_from_handle(h))) radio_focused(w);
            return 0;
        case WM_KILLFOCUS:
            s.focused = false;
            s.space_down = false;
            if (s.tracking && GetCapture() == h) ReleaseCapture();
            if (!(w = window_from_handle(h))) return 0;
            state(w).pushed = false;
            invalidate(w, nullptr, Erase::Yes);
            if (w->style & BS_NOTIFY) notify_parent(w, BN_KILLFOCUS);
            return 0;
        case WM_ENABLE: invalidate(w, nullptr, Erase::Yes); return 0;
        case WM_SETTEXT:
            DefWindowProcW(h, msg, wp, lp);
            invalidate(w, nullptr, Erase::Yes);
            return TRUE;
        case WM_GETDLGCODE: return button_dialog_code(w);
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// ------------------------------------------------------------ statics

struct StaticState {
    HANDLE image = nullptr;  // SS_BITMAP: the bitmap; SS_ICON: the icon
};

StaticState& static_state(Window* w) {
    if (!w->control) w->control = std::make_shared<StaticState>();
    return *static_cast<StaticState*>(w->control.get());
}

DWORD static_type(const Window* w) { return w->style & SS_TYPEMASK; }

void paint_static(HWND h, Window* w) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    Rect rc = client_rect(w);
    fill(dc, rc, parent_colours(w, WM_CTLCOLORSTATIC, dc));
    DWORD type = static_type(w);
    if (type == SS_BITMAP) {
        GdiObject* bmp = gdi_object(static_state(w).image);
        if (bmp && bmp->kind == GdiObject::Bitmap) {
            int x = 0, y = 0;
            if (w->style & SS_CENTERIMAGE) {
                x = (rc.width() - bmp->width) / 2;
                y = (rc.height() - bmp->height) / 2;
            }
            dc_draw_bitmap(dc, static_cast<HBITMAP>(static_state(w).image), x, y);
        }
    } else if (type != SS_ICON) {
        dc_select_font(dc, w->font);
        if (w->style & WS_DISABLED) SetTextColor(dc, kGreyInk);
        UINT fmt = DT_EXPANDTABS;
        switch (type) {
            case SS_CENTER: fmt |= DT_CENTER | DT_WORDBREAK; break;
            case SS_RIGHT: fmt |= DT_RIGHT | DT_WORDBREAK; break;
            case SS_LEFTNOWORDWRAP: fmt |= DT_LEFT; break;
            default: fmt |= DT_LEFT | DT_WORDBREAK; break;
        }
        if (w->style & SS_NOPREFIX) fmt |= DT_NOPREFIX;
        dc_draw_text(dc, w->text.c_str(), -1, rc, fmt);
    }
    EndPaint(h, &ps);
}

// STM_SETIMAGE: a bitmap for an SS_BITMAP static, an icon for an SS_ICON
// one; the static takes the bitmap's size unless SS_CENTERIMAGE keeps its
// own.  Returns the image it had.
LRESULT set_image(Window* w, WPARAM type, HANDLE image) {
    DWORD style_type = static_type(w);
    if (!((type == IMAGE_BITMAP && style_type == SS_BITMAP) || (type == IMAGE_ICON && style_type == SS_ICON)))
        return 0;
    StaticState& s = static_state(w);
    HANDLE old = s.image;
    s.image = image;
    GdiObject* bmp = type == IMAGE_BITMAP ? gdi_object(image) : nullptr;
    if (bmp && bmp->kind == GdiObject::Bitmap && !(w->style & SS_CENTERIMAGE)) {
        Rect r = w->rect;
        set_window_rect(w, {r.left, r.top, r.left + bmp->width, r.top + bmp->height}, Repaint::Yes);
    }
    invalidate(w, nullptr, Erase::Yes);
    return reinterpret_cast<LRESULT>(old);
}

LRESULT CALLBACK static_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = window_from_handle(h);
    if (!w) return 0;
    switch (msg) {
        case WM_PAINT: paint_static(h, w); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SETTEXT:
            DefWindowProcW(h, msg, wp, lp);
            invalidate(w, nullptr, Erase::Yes);
            return TRUE;
        case WM_ENABLE:
            invalidate(w, nullptr, Erase::Yes);
            if ((w->style & SS_NOTIFY) && w->parent)
                send(w->parent, WM_COMMAND, MAKEWPARAM(w->control_id, wp ? STN_ENABLE : STN_DISABLE), LPARAM(h));
            return 0;
        case WM_GETDLGCODE: return DLGC_STATIC;
        case STM_SETIMAGE: return set_image(w, wp, reinterpret_cast<HANDLE>(lp));
        case STM_GETIMAGE: {
            DWORD type = static_type(w);
            bool matches = (wp == IMAGE_BITMAP && type == SS_BITMAP) || (wp == IMAGE_ICON && type == SS_ICON);
            return matches ? reinterpret_cast<LRESULT>(static_state(w).image) : 0;
        }
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
                send(w->parent, WM_COMMAND, MAKEWPARAM(w->control_id, STN_CLICKED), LPARAM(h));
            return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

LRESULT default_control_colours(UINT msg, HDC dc) {
    // The device's system colours: black text on white for statics,
    // buttons and dialogs alike.
    int text = msg == WM_CTLCOLORBTN ? COLOR_BTNTEXT : msg == WM_CTLCOLORSTATIC ? COLOR_STATICTEXT : COLOR_WINDOWTEXT;
    int face = msg == WM_CTLCOLORBTN ? COLOR_BTNFACE : msg == WM_CTLCOLORSTATIC ? COLOR_STATIC : COLOR_WINDOW;
    if (DeviceContext* d = device_context(dc)) {
        d->text_colour = GetSysColor(text);
        d->bk_colour = GetSysColor(face);
    }
    return reinterpret_cast<LRESULT>(GetSysColorBrush(face));
}

void register_control_classes() {
    register_system_class(u"button", button_proc, nullptr);
    register_system_class(u"static", static_proc, nullptr);
}

}  // namespace sim
