// The dialog manager: dialogs made from resource templates, their default
// procedure, modal dialogs and the keyboard interface of IsDialogMessage
// (Tab, the direction keys, Enter, Escape).
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/journal.h"
#include "gdi/font.h"
#include "gdi/gdi_objects.h"
#include "base/text.h"
#include "resources/compiled_resources.h"
#include "resources/dialog_template.h"
#include "user/control_order.h"
#include "user/controls.h"
#include "user/input.h"
#include "user/message_queue.h"
#include "user/modal_loop.h"
#include "user/window.h"
#include "user/window_journal.h"

namespace sim {

namespace {

constexpr const char16_t* kDialogClass = u"Dialog";

// The resource name of a template handed over by pointer, for the journal.
TemplateName template_name(HINSTANCE inst, const void* p) {
    TemplateName out;
    const ResourceTable* table = module_resources(reinterpret_cast<HMODULE>(inst));
    if (table)
        for (const ResourceEntry& e : table->entries())
            if (p >= static_cast<const void*>(e.data) && p < static_cast<const void*>(e.data + e.size)) {
                out.present = true;
                out.is_ordinal = e.name.is_ordinal;
                if (e.name.is_ordinal)
                    out.ordinal = e.name.ordinal;
                else
                    out.name = to_utf8(e.name.name);
                break;
            }
    return out;
}

Window* first_tab_stop(Window* dlg) { return next_tab_stop(dlg, nullptr, false); }

// The control that the dialog gives the focus back to: the one that had it
// last, unless it has been hidden, disabled or destroyed meanwhile; then the
// first tab stop.
Window* focus_to_restore(Window* dlg) {
    Window* f = window_from_handle(dlg->dialog_focus);
    bool usable = is_inside(f, dlg);
    for (Window* x = f; usable && x != dlg; x = x->parent) usable = can_take_focus(x);
    return usable ? f : first_tab_stop(dlg);
}

Window* default_button(Window* dlg) {
    for (Window* c : tab_order(dlg))
        if (c->cls && lower(c->cls->name) == u"button" && (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return c;
    return nullptr;
}

// The dialog's control with this id: its own child, else one of a nested
// dialog's.
Window* control_with_id(Window* dlg, int id) {
    if (Window* c = find_child_by_id(dlg, id)) return c;
    for (Window* c : tab_order(dlg))
        if (c->control_id == id) return c;
    return nullptr;
}

LRESULT dialog_code(Window* c, WPARAM key = 0, LPARAM msg = 0) { return send(c, WM_GETDLGCODE, key, msg); }

HFONT template_font(const DialogTemplate& t) {
    LOGFONTW lf{};
    // Points to pixels at the device's 96 dots per inch.
    int points = t.has_font ? t.point_size : 8;
    lf.lfHeight = -((points * 96 + 36) / 72);
    lf.lfWeight = t.weight ? t.weight : FW_NORMAL;
    std::u16string face = t.has_font && !t.font_face.empty() ? t.font_face : u"Tahoma";
    for (size_t i = 0; i < face.size() && i + 1 < LF_FACESIZE; ++i) lf.lfFaceName[i] = face[i];
    return CreateFontIndirectW(&lf);
}

struct DialogInfo {
    HFONT font = nullptr;
    int base_x = 4, base_y = 8;
    HINSTANCE instance = nullptr;
    int default_id = 0;  // DM_GETDEFID's answer; 0 for none
};

DialogInfo& info_of(Window* w) {
    if (!w->control) w->control = std::make_shared<DialogInfo>();
    return *static_cast<DialogInfo*>(w->control.get());
}

enum class Modality { Modal, Modeless };

Window* create_from_template(HINSTANCE inst, const void* data, HWND owner_handle, DLGPROC proc, LPARAM param,
                             Modality modality) {
    size_t size = resource_bytes_available(data);
    if (!size) size = 1 << 16;  // a template built in memory: trust the caller, as Windows does
    DialogTemplate t;
    std::string error;
    if (!parse_dialog_template(data, size, &t, &error)) {
        log_event("debug", {{"text", "dialog template: " + error}});
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HFONT font = template_font(t);
    const FontMetrics& m = font_of(font).metrics();
    int bx = std::max(1, m.alphabet_char_width), by = std::max(1, m.height);
    auto px = [&](int v) { return (v * bx) / 4; };
    auto py = [&](int v) { return (v * by) / 8; };

    Window* owner = window_from_handle(owner_handle);
    int x = px(t.x), y = py(t.y);
    DWORD style = t.style & ~DWORD(WS_VISIBLE);
    DWORD ex_style = t.ex_style;
    // A dialog made to be another's control (DS_CONTROL) has no caption of
    // its own, and its controls join the outer dialog's tab order.
    if (t.style & DS_CONTROL) {
        style &= ~DWORD(WS_CAPTION | WS_SYSMENU);
        ex_style |= WS_EX_CONTROLPARENT;
    }
    if (owner && !(t.style & (DS_ABSALIGN | WS_CHILD))) {
        Point o = client_origin(owner);
        x += o.x;
        y += o.y;
    }
    CreateParams p;
    p.class_name = kDialogClass;
    p.title = t.title;
    p.style = style;
    p.ex_style = ex_style;
    p.x = x;
    p.y = y;
    p.width = px(t.cx);
    p.height = py(t.cy);
    p.parent = owner_handle;
    p.instance = inst;
    p.is_dialog = true;
    p.dialog_proc = proc;
    p.dialog_template = template_name(inst, data);
    Window* dlg = create_window(p);
    if (!dlg) {
        DeleteObject(font);
        return nullptr;
    }
    HWND h = handle_of(dlg);
    DialogInfo& info = info_of(dlg);
    info.font = font;
    info.base_x = bx;
    info.base_y = by;
    info.instance = inst;
    dlg->font = font;
    log_event("dialog", {{"op", "open"},
                         {"template", template_of(dlg)},
                         {"modal", modality == Modality::Modal},
                         {"number", window_number(dlg)}});

    for (const DialogItemTemplate& item : t.items) {
        CreateParams c;
        c.class_name = item.class_name;
        c.title = item.title.is_string() ? item.title.text : u"";
        c.style = item.style | WS_CHILD;
        c.ex_style = item.ex_style;
        c.x = px(item.x);
        c.y = py(item.y);
        c.width = px(item.cx);
        c.height = py(item.cy);
        c.parent = h;
        c.menu = reinterpret_cast<HMENU>(intptr_t(int16_t(item.id)));
        c.instance = inst;
        Window* control = create_window(c);
        if (control) send(control, WM_SETFONT, WPARAM(font), FALSE);
        if (!window_from_handle(h)) return nullptr;
    }
    if (Window* d = default_button(dlg)) info.default_id = d->control_id;
    Window* first = first_tab_stop(dlg);
    LRESULT focus_default = send(dlg, WM_INITDIALOG, WPARAM(handle_of(first)), param);
    if (!(dlg = window_from_handle(h))) return nullptr;
    if (focus_default && !dlg->dialog_focus) dlg->dialog_focus = handle_of(first_tab_stop(dlg));
    if (t.style & WS_VISIBLE) show_window(dlg, Activation::Activate);
    return window_from_handle(h);
}

// Push buttons show which one Enter presses: the focused push button, or
// with the focus elsewhere the dialog's default one, wears the default
// button's thick frame.
void show_default_on(Window* dlg, Window* button) {
    for (Window* c : tab_order(dlg)) {
        LRESULT code = dialog_code(c);
        if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
        bool wanted = c == button;
        if (wanted != ((code & DLGC_DEFPUSHBUTTON) != 0))
            send(c, BM_SETSTYLE, wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

Window* dialog_default(Window* dlg) {
    LRESULT def = send(dlg, DM_GETDEFID, 0, 0);
    return HIWORD(def) == DC_HASDEFID ? control_with_id(dlg, LOWORD(def)) : nullptr;
}

// The dialog manager moving the focus (Tab, the direction keys): the
// default frame goes with it to a push button and back to the dialog's
// default button from anything else.
void move_focus(Window* dlg, Window* to) {
    HWND h = handle_of(to);
    if (dialog_code(to) & DLGC_UNDEFPUSHBUTTON)
        show_default_on(dlg, to);
    else if (!(dialog_code(to) & DLGC_DEFPUSHBUTTON))
        show_default_on(dlg, dialog_default(dlg));
    if (Window* w = window_from_handle(h)) set_focus(w);
}

// The dialog keyboard interface, as IsDialogMessage gives it: Tab and
// Shift+Tab go through the WS_TABSTOP controls, the direction keys through
// the group (past static controls), Enter presses the focused push button
// or the default button (DM_GETDEFID, else IDOK), Escape sends IDCANCEL.  A
// control whose WM_GETDLGCODE asks for a key gets it instead.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-isdialogmessagew
// https://techshelps.github.io/Win32/html/1n40c32.htm (Dialog Box Keyboard Interface)
// https://techshelps.github.io/Win32/html/fguhcd.htm (direction keys and groups)
bool handle_dialog_keys(Window* dlg, MSG* msg) {
    UINT m = msg->message;
    if (m != WM_KEYDOWN && m != WM_KEYUP && m != WM_CHAR) return false;
    Window* target = window_from_handle(msg->hwnd);
    Window* control = tab_item_holding(dlg, target);
    LRESULT code = control ? dialog_code(target, msg->wParam, LPARAM(msg)) : 0;
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    bool down = m == WM_KEYDOWN;
    HWND h = handle_of(dlg);
    switch (msg->wParam) {
        case VK_TAB: {
            if (code & DLGC_WANTTAB) return false;
            if (!down) return true;  // the rest of the press is the dialog's
            Window* next = next_tab_stop(dlg, control, key_is_down(VK_SHIFT));
            if (next) move_focus(dlg, next);
            return true;
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (m == WM_CHAR) return false;  // '%', '&', '\'' and '(' are characters
            if (code & DLGC_WANTARROWS) return false;
            if (!down) return true;
            if (!control) return true;
            bool previous = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
            Window* next = next_in_group(control, previous);
            for (size_t left = group_of(control).size(); next != control && left > 0; --left) {
                if (!(dialog_code(next) & DLGC_STATIC)) break;
                next = next_in_group(next, previous);
            }
            if (next != control && !(dialog_code(next) & DLGC_STATIC)) move_focus(dlg, next);
            return true;
        }
        case VK_ESCAPE: {
            if (!down) return true;
            Window* cancel = control_with_id(dlg, IDCANCEL);
            if (cancel && !can_take_focus(cancel)) return true;
            send(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), LPARAM(handle_of(cancel)));
            return true;
        }
        case VK_RETURN: {
            if (!down) return true;
            Window* button = nullptr;
            int id = IDOK;
            if (control && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
                button = control;
                id = control->control_id;
            } else {
                LRESULT def = send(dlg, DM_GETDEFID, 0, 0);
                if (!window_from_handle(h)) return true;
                if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
                button = control_with_id(dlg, id);
            }
            if (button && !can_take_focus(button)) return true;  // a greyed default does nothing
            if (window_from_handle(h)) send(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(handle_of(button)));
            return true;
        }
        default: return false;
    }
}

}  // namespace

void register_dialog_class() { register_system_class(kDialogClass, DefDlgProcW, nullptr); }

}  // namespace sim

using namespace sim;

extern "C" {

LRESULT WINAPI DefDlgProcW(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = window_from_handle(h);
    if (!w) return 0;
    if (w->dialog_proc) {
        w->dialog_result = 0;
        BOOL handled = w->dialog_proc(h, msg, wp, lp);
        if (!(w = window_from_handle(h))) return handled;
        if (handled) {
            if (msg == WM_INITDIALOG || msg == WM_GETDLGCODE || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN ||
                msg == WM_CTLCOLORDLG)
                return handled;
            return w->dialog_result ? w->dialog_result : handled;
        }
    }
    switch (msg) {
        case WM_INITDIALOG: return TRUE;
        // The background in the brush the dialog's WM_CTLCOLORDLG answers
        // with ("WM_CTLCOLORDLG",
        // https://learn.microsoft.com/en-us/windows/win32/dlgbox/wm-ctlcolordlg).
        case WM_ERASEBKGND: {
            HDC dc = reinterpret_cast<HDC>(wp);
            auto brush = reinterpret_cast<HBRUSH>(send(w, WM_CTLCOLORDLG, wp, LPARAM(h)));
            GdiObject* o = gdi_object(brush);
            if (!o || o->kind != GdiObject::Brush) brush = reinterpret_cast<HBRUSH>(default_control_colours(WM_CTLCOLORDLG, dc));
            RECT rc;
            GetClientRect(h, &rc);
            FillRect(dc, &rc, brush);
            return 1;
        }
        case WM_CLOSE:
            PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), LPARAM(handle_of(find_child_by_id(w, IDCANCEL))));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) {
                Window* f = focus_window();
                if (f != w && is_inside(f, w)) w->dialog_focus = handle_of(f);
            } else {
                Window* f = focus_to_restore(w);
                set_focus(f ? f : w);
            }
            return 0;
        case WM_SETFOCUS:
            if (Window* f = focus_to_restore(w)) set_focus(f);
            return 0;
        case WM_DESTROY: {
            auto info = w->control;
            if (info) DeleteObject(static_cast<DialogInfo*>(info.get())->font);
            return 0;
        }
        case DM_GETDEFID: {
            int id = w->control ? static_cast<DialogInfo*>(w->control.get())->default_id : 0;
            return id ? MAKELONG(id, DC_HASDEFID) : 0;
        }
        case DM_SETDEFID: {
            info_of(w).default_id = int(wp);
            Window* c = tab_item_holding(w, focus_window());
            if (!c || !(dialog_code(c) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
                show_default_on(w, control_with_id(w, int(wp)));
            return TRUE;
        }
        // The focus to a given control (lParam's low word TRUE, wParam its
        // handle), or to the next (wParam 0) or previous tab stop, the
        // default frame going with it as with Tab ("WM_NEXTDLGCTL",
        // https://learn.microsoft.com/en-us/windows/win32/dlgbox/wm-nextdlgctl).
        case WM_NEXTDLGCTL: {
            Window* to = LOWORD(lp) ? window_from_handle(reinterpret_cast<HWND>(wp))
                                    : next_tab_stop(w, tab_item_holding(w, focus_window()), wp != 0);
            if (to && to != w && is_inside(to, w)) move_focus(w, to);
            return 0;
        }
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND owner_handle, DLGPROC proc,
                                       LPARAM param) {
    if (!tmpl) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    Window* owner = owner_handle ? top_level_of(window_from_handle(owner_handle)) : nullptr;
    HWND owner_h = handle_of(owner);
    HWND disabled = disable_owner(owner);
    Window* dlg = create_from_template(inst, tmpl, owner_h, proc, param, Modality::Modal);
    if (!dlg) {
        if (Window* o = window_from_handle(disabled)) enable_window(o, true);
        return -1;
    }
    HWND h = handle_of(dlg);
    if (!dlg->dialog_ended && !(dlg->style & WS_VISIBLE)) show_window(dlg, Activation::Activate);
    ModalExit exit = run_modal_loop(
        h, [h] { return window_from_handle(h)->dialog_ended; },
        [h](MSG& msg) { return IsDialogMessageW(h, &msg) != FALSE; });
    dlg = window_from_handle(h);
    INT_PTR code = dlg ? dlg->end_code : 0;
    close_modal_window(h, disabled, exit);
    return code;
}

HWND WINAPI CreateDialogIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND owner, DLGPROC proc, LPARAM param) {
    if (!tmpl) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return handle_of(create_from_template(inst, tmpl, owner, proc, param, Modality::Modeless));
}

BOOL WINAPI EndDialog(HWND h, INT_PTR code) {
    Window* w = window_from_handle(h);
    if (!w || !w->is_dialog) return FALSE;
    log_event("dialog", {{"op", "end"}, {"template", template_of(w)}, {"code", code}, {"number", window_number(w)}});
    w->dialog_ended = true;
    w->end_code = code;
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND h, LPRECT rc) {
    Window* w = window_from_handle(h);
    if (!w || !w->is_dialog || !rc) return FALSE;
    DialogInfo& info = info_of(w);
    rc->left = rc->left * info.base_x / 4;
    rc->right = rc->right * info.base_x / 4;
    rc->top = rc->top * info.base_y / 8;
    rc->bottom = rc->bottom * info.base_y / 8;
    return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND h, HWND control, BOOL previous) {
    Window* dlg = window_from_handle(h);
    if (!dlg) return nullptr;
    Window* from = tab_item_holding(dlg, window_from_handle(control));
    return handle_of(next_tab_stop(dlg, from, previous != FALSE));
}

HWND WINAPI GetNextDlgGroupItem(HWND h, HWND control, BOOL previous) {
    Window* dlg = window_from_handle(h);
    if (!dlg) return nullptr;
    Window* from = tab_item_holding(dlg, window_from_handle(control));
    if (!from) return handle_of(next_tab_stop(dlg, nullptr, false));
    return handle_of(next_in_group(from, previous != FALSE));
}

BOOL WINAPI IsDialogMessageW(HWND h, LPMSG msg) {
    Window* dlg = window_from_handle(h);
    if (!dlg || !msg) return FALSE;
    Window* target = window_from_handle(msg->hwnd);
    if (!is_inside(target, dlg)) return FALSE;
    if (handle_dialog_keys(dlg, msg)) return TRUE;
    TranslateMessage(msg);
    dispatch(*msg);
    return TRUE;
}

}  // extern "C"
