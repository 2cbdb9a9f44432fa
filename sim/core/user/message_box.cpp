// Message boxes: a real modal window on the device screen (caption, icon,
// wrapped text, buttons) that runs the modal loop.  The keys are a
// dialog's: Tab and the direction keys move the focus from button to
// button, Enter answers the focused button (the default one at first),
// Escape answers Cancel, or No, or the only OK.
#include <windows.h>

#include <vector>

#include "base/journal.h"
#include "gdi/draw.h"
#include "gdi/screen.h"
#include "base/text.h"
#include "user/message_box.h"
#include "user/modal_loop.h"
#include "user/window.h"
#include "user/window_journal.h"

namespace sim {

namespace {

constexpr int kBoxLeft = 8;
constexpr int kBoxWidth = kScreenWidth - 2 * kBoxLeft;
constexpr int kCaptionHeight = 20;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 20;
constexpr int kMargin = 8;
constexpr int kIconSize = 32;

struct BoxState {
    UINT style = 0;
    std::u16string caption;
    std::u16string text;
    Rect text_rect;
    bool ended = false;
    int result = 0;
};

BoxState& box_state(Window* w) { return *static_cast<BoxState*>(w->control.get()); }

std::vector<int> buttons_for(UINT style) {
    switch (style & MB_TYPEMASK) {
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
        default: return {IDOK};
    }
}

const char16_t* button_text(int id) {
    switch (id) {
        case IDOK: return u"OK";
        case IDCANCEL: return u"Cancel";
        case IDABORT: return u"Abort";
        case IDRETRY: return u"Retry";
        case IDIGNORE: return u"Ignore";
        case IDYES: return u"Yes";
        case IDNO: return u"No";
        default: return u"?";
    }
}

int escape_answer(UINT style) {
    std::vector<int> b = buttons_for(style);
    for (int id : b)
        if (id == IDCANCEL) return IDCANCEL;
    for (int id : b)
        if (id == IDNO) return IDNO;
    if (b.size() == 1) return b[0];
    return 0;
}

void draw_icon(HDC dc, UINT style, int x, int y) {
    Rect r{x, y, x + kIconSize, y + kIconSize};
    dc_select_font(dc, nullptr);
    switch (style & MB_ICONMASK) {
        case MB_ICONHAND: {
            dc_ellipse(dc, r, RGB(204, 0, 0), RGB(128, 0, 0));
            for (int d = -1; d <= 1; ++d) {
                dc_line(dc, x + 10 + d, y + 10, x + 22 + d, y + 22, RGB(255, 255, 255));
                dc_line(dc, x + 22 + d, y + 10, x + 10 + d, y + 22, RGB(255, 255, 255));
            }
            break;
        }
        case MB_ICONEXCLAMATION: {
            for (int row = 0; row < kIconSize - 2; ++row) {
                int half = row / 2;
                dc_line(dc, x + 16 - half, y + 1 + row, x + 16 + half + 1, y + 1 + row, RGB(255, 204, 0));
            }
            dc_line(dc, x, y + kIconSize - 1, x + kIconSize, y + kIconSize - 1, RGB(96, 64, 0));
            dc_fill(dc, {x + 15, y + 10, x + 18, y + 22}, RGB(0, 0, 0));
            dc_fill(dc, {x + 15, y + 24, x + 18, y + 27}, RGB(0, 0, 0));
            break;
        }
        case MB_ICONASTERISK:
        case MB_ICONQUESTION: {
            dc_ellipse(dc, r, RGB(0, 82, 204), RGB(0, 41, 102));
            dc_set_text_colour(dc, RGB(255, 255, 255));
            Rect t = r;
            dc_draw_text(dc, (style & MB_ICONMASK) == MB_ICONQUESTION ? u"?" : u"i", -1, t,
                         DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            break;
        }
        default: break;
    }
}

LRESULT CALLBACK box_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = window_from_handle(h);
    if (!w || !w->control) return w ? DefWindowProcW(h, msg, wp, lp) : 0;
    BoxState& s = box_state(w);
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            Rect rc = client_rect(w);
            dc_fill(dc, rc, RGB(255, 255, 255));
            dc_frame(dc, rc, RGB(0, 0, 0));
            dc_fill(dc, {1, 1, rc.right - 1, kCaptionHeight}, RGB(0, 51, 153));
            HFONT bold = nullptr;
            LOGFONTW lf{};
            lf.lfHeight = -11;
            lf.lfWeight = FW_BOLD;
            const char16_t face[] = u"Tahoma";
            std::copy(face, face + 7, lf.lfFaceName);
            bold = CreateFontIndirectW(&lf);
            dc_select_font(dc, bold);
            dc_set_text_colour(dc, RGB(255, 255, 255));
            Rect cap{6, 1, rc.right - 6, kCaptionHeight};
            dc_draw_text(dc, s.caption.c_str(), -1, cap, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            dc_select_font(dc, nullptr);
            DeleteObject(bold);
            if (s.style & MB_ICONMASK) draw_icon(dc, s.style, kMargin, kCaptionHeight + kMargin);
            dc_set_text_colour(dc, RGB(0, 0, 0));
            Rect t = s.text_rect;
            dc_draw_text(dc, s.text.c_str(), -1, t, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED && !s.ended) {
                s.ended = true;
                s.result = LOWORD(wp);
            }
            return 0;
        case WM_CLOSE:
            if (!s.ended) {
                int esc = escape_answer(s.style);
                if (esc) {
                    s.ended = true;
                    s.result = esc;
                }
            }
            return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// The focus moves to `to`, and the default frame with it.
void focus_button(Window* box, Window* to) {
    for (Window* c : box->children)
        if (!c->destroyed) {
            DWORD want = c == to ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            if ((c->style & BS_TYPEMASK) != want) send(c, BM_SETSTYLE, want, TRUE);
        }
    set_focus(to);
}

// The box's keyboard interface; true for a key it took.  An answer ends
// the box.
bool box_keys(Window* box, HWND default_button, const MSG& msg) {
    if ((msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) || !is_inside(window_from_handle(msg.hwnd), box))
        return false;
    BoxState& state = box_state(box);
    Window* focused = window_from_handle(msg.hwnd);
    if (focused && focused->parent != box) focused = nullptr;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        Window* d = focused ? focused : window_from_handle(default_button);
        state.ended = true;
        state.result = d ? d->control_id : IDOK;
        return true;
    }
    HWND box_handle = handle_of(box);
    bool back = msg.wParam == VK_LEFT || msg.wParam == VK_UP || (msg.wParam == VK_TAB && GetKeyState(VK_SHIFT) < 0);
    if (msg.wParam == VK_TAB || (msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN)) {
        if (msg.message == WM_KEYDOWN && focused) {
            HWND next = msg.wParam == VK_TAB ? GetNextDlgTabItem(box_handle, msg.hwnd, back)
                                             : GetNextDlgGroupItem(box_handle, msg.hwnd, back);
            if (Window* n = window_from_handle(next)) focus_button(box, n);
        }
        return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        if (int esc = escape_answer(state.style)) {
            state.ended = true;
            state.result = esc;
            return true;
        }
    }
    return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
}

}  // namespace

void register_message_box_class() { register_system_class(u"msgbox", box_proc, nullptr); }

bool message_box_text(const Window* box, std::u16string* text) {
    if (!box || box->destroyed || !box->cls || box->cls->name != u"msgbox" || !box->control) return false;
    *text = static_cast<const BoxState*>(box->control.get())->text;
    return true;
}

}  // namespace sim

extern "C" int WINAPI MessageBoxW(HWND owner_handle, LPCWSTR text, LPCWSTR caption, UINT style) {
    using namespace sim;
    Window* owner = owner_handle ? window_from_handle(owner_handle) : nullptr;
    if (owner) owner = top_level_of(owner);
    json ev = {{"owner", owner ? json(describe(owner)) : json(nullptr)},
               {"text", to_utf8(text)},
               {"caption", caption ? json(to_utf8(caption)) : json(nullptr)},
               {"style", style},
               {"owner_number", window_number(owner)},
               {"owner_template", template_of(owner)}};
    log_event("msgbox", ev);

    auto state = std::make_shared<BoxState>();
    state->style = style;
    state->caption = caption ? std::u16string(caption) : u"Error";
    state->text = text ? std::u16string(text) : u"";

    // Lay the box out: icon at the left, text wrapped beside it, buttons below.
    HDC screen = GetDC(nullptr);
    dc_select_font(screen, nullptr);
    int text_left = kMargin + ((style & MB_ICONMASK) ? kIconSize + kMargin : 0);
    int text_width = kBoxWidth - text_left - kMargin;
    int text_height = dc_text_height(screen, state->text.c_str(), text_width);
    ReleaseDC(nullptr, screen);
    int body = std::max(text_height, (style & MB_ICONMASK) ? kIconSize : 0);
    int height = kCaptionHeight + kMargin + body + kMargin + kButtonHeight + kMargin;
    int area_top = kTaskBarHeight, area_bottom = kScreenHeight - kMenuBarHeight;
    height = std::min(height, area_bottom - area_top);
    int top = area_top + (area_bottom - area_top - height) / 2;
    state->text_rect = {text_left, kCaptionHeight + kMargin, text_left + text_width,
                        height - kMargin - kButtonHeight - kMargin};

    CreateParams p;
    p.class_name = u"msgbox";
    p.title = state->caption;
    p.style = WS_POPUP;
    p.x = kBoxLeft;
    p.y = top;
    p.width = kBoxWidth;
    p.height = height;
    p.parent = handle_of(owner);
    p.journaled = false;
    Window* box = create_window(p);
    if (!box) return 0;
    box->control = state;
    HWND box_handle = handle_of(box);

    std::vector<int> ids = buttons_for(style);
    int default_index = int((style & MB_DEFMASK) >> 8);
    if (default_index >= int(ids.size())) default_index = 0;
    int total = int(ids.size()) * kButtonWidth + (int(ids.size()) - 1) * kMargin;
    int x = (kBoxWidth - total) / 2;
    HWND default_button = nullptr;
    for (size_t i = 0; i < ids.size(); ++i) {
        CreateParams b;
        b.class_name = u"button";
        b.title = button_text(ids[i]);
        b.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (int(i) == default_index ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        b.x = x + int(i) * (kButtonWidth + kMargin);
        b.y = height - kMargin - kButtonHeight;
        b.width = kButtonWidth;
        b.height = kButtonHeight;
        b.parent = box_handle;
        b.menu = reinterpret_cast<HMENU>(intptr_t(ids[i]));
        b.journaled = false;
        Window* bw = create_window(b);
        if (int(i) == default_index) default_button = handle_of(bw);
    }

    HWND disabled = disable_owner(owner);
    show_window(box, Activation::Activate);
    if (default_button) SetFocus(default_button);

    ModalExit exit = run_modal_loop(
        box_handle, [&] { return state->ended; },
        [&](MSG& msg) { return box_keys(window_from_handle(box_handle), default_button, msg); });
    close_modal_window(box_handle, disabled, exit);
    int result = state->ended ? state->result : 0;
    log_event("msgbox_result", {{"result", result}});
    return result;
}
