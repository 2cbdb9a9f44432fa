// The dialog keyboard interface of a modal dialog (IsDialogMessage): Tab
// and Shift+Tab through the tab stops, the direction keys inside a group,
// Enter on the focused push button or the default one, Escape, the
// controls that ask for keys with WM_GETDLGCODE, and the focus frame.
#include "window_test_support.h"

#include <cstdlib>

namespace {

using wintest::kButton;
using wintest::kCheck;
using wintest::kDialogStyle;
using wintest::kPush;
using wintest::kStatic;
using wintest::DialogTemplateBuilder;
using wintest::kWparam;
using wintest::sequence_matches;

enum Key { Tab, ShiftTab, Left, Up, Right, Down, Enter, Escape };

class DialogKeys : public wintest::WindowTest {
protected:
    static void queue_key_press(Key k) {
        switch (k) {
            case Tab: queue_press(VK_TAB); break;
            case ShiftTab:
                queue_key(VK_SHIFT, true);
                queue_press(VK_TAB);
                queue_key(VK_SHIFT, false);
                break;
            case Left: queue_press(VK_LEFT); break;
            case Up: queue_press(VK_UP); break;
            case Right: queue_press(VK_RIGHT); break;
            case Down: queue_press(VK_DOWN); break;
            case Enter: queue_press(VK_RETURN); break;
            case Escape: queue_press(VK_ESCAPE); break;
        }
    }
    HWND make_main() {
        HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
        pump();
        take();
        return main;
    }
    // Two groups of push buttons around a group of check boxes behind a
    // label:  [A B] [label C D] [OK Cancel], with tab stops on A, B, C, OK
    // and Cancel; OK is the default button.
    static void build(DialogTemplateBuilder& t) {
        t.item(kButton, kPush | WS_GROUP, 5, 5, 40, 12, 100, TEXT("A"))
            .item(kButton, kPush, 50, 5, 40, 12, 101, TEXT("B"))
            .item(kStatic, WS_VISIBLE | WS_GROUP, 5, 20, 80, 10, 0xFFFF, TEXT("Label"))
            .item(kButton, kCheck | WS_TABSTOP, 5, 32, 60, 12, 102, TEXT("C"))
            .item(kButton, kCheck, 5, 46, 60, 12, 103, TEXT("D"))
            .item(kButton, kPush | WS_GROUP | BS_DEFPUSHBUTTON, 5, 62, 40, 12, IDOK, TEXT("OK"))
            .item(kButton, kPush, 50, 62, 40, 12, IDCANCEL, TEXT("Cancel"));
    }
    static bool looks_default(HWND dlg, int id) {
        return (GetWindowLongW(GetDlgItem(dlg, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    }
};

// Keys from the first focus (A): where the focus ends, which push button
// wears the default frame then, or which command the keys sent.
TEST_F(DialogKeys, KeysMoveTheFocusOrPressAButton) {
    struct Case {
        const char* what;
        std::vector<Key> keys;
        int focus;     // the control with the focus afterwards (0: the keys ended the dialog)
        int looks_default;  // the push button with the default frame then
        int command;   // the command that ended the dialog (0: none)
        int defid = 0;  // the dialog answers DM_GETDEFID with this id itself
        const char* documented_only = nullptr;
    };
    const char* const statics = wintest::kDirectionKeys;
    const Case cases[] = {
        {"Tab: the next tab stop", {Tab}, 101, 101, 0},
        {"Tab passes the label and the box without a tab stop", {Tab, Tab}, 102, IDOK, 0},
        {"Tab wraps round", {Tab, Tab, Tab, Tab, Tab}, 100, 100, 0},
        {"Shift+Tab: the previous tab stop, wrapping", {ShiftTab}, IDCANCEL, IDCANCEL, 0},
        {"Shift+Tab twice", {ShiftTab, ShiftTab}, IDOK, IDOK, 0},
        {"Right: the next control of the group", {Right}, 101, 101, 0},
        {"Down twice wraps inside the group", {Down, Down}, 100, 100, 0},
        {"Left wraps backwards inside the group", {Left}, 101, 101, 0},
        {"Down in the boxes' group reaches the box without a tab stop", {Tab, Tab, Down}, 103, IDOK, 0},
        {"Down again passes the label", {Tab, Tab, Down, Down}, 102, IDOK, 0, 0, statics},
        {"Up passes the label backwards", {Tab, Tab, Up}, 103, IDOK, 0, 0, statics},
        {"Enter on the focused push button presses it", {Tab, Enter}, 0, 0, 101},
        {"Enter on the first focus", {Enter}, 0, 0, 100, 0, wintest::kFocusedDefault},
        {"Enter on a box presses the default button", {Tab, Tab, Enter}, 0, 0, IDOK},
        {"Enter presses what DM_GETDEFID names", {Tab, Tab, Enter}, 0, 0, 101, 101},
        {"Escape: IDCANCEL", {Tab, Tab, Escape}, 0, 0, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.documented_only && !wintest::documented_only(c.documented_only)) continue;
        start_afresh();
        HWND main = make_main();
        DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
        build(t);
        HWND dlg = nullptr;
        keep_handle("dlg", &dlg);
        end_on_command("dlg");
        if (c.defid)
            on("dlg", DM_GETDEFID, [&](HWND h, WPARAM, LPARAM) {
                SetWindowLongW(h, DWL_MSGRESULT, MAKELONG(c.defid, DC_HASDEFID));
                return LRESULT(TRUE);
            });
        then([&] {
            ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 100));
            for (Key k : c.keys) queue_key_press(k);
        });
        if (c.focus) {
            then([&] {
                EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus);
                for (int id : {100, 101, IDOK, IDCANCEL})
                    EXPECT_EQ(looks_default(dlg, id), id == c.looks_default) << "button " << id;
                EXPECT_EQ(IsDlgButtonChecked(dlg, 102) + IsDlgButtonChecked(dlg, 103), 0u) << "a key ticked a box";
                PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(55, BN_CLICKED), 0);
            });
        }
        EXPECT_EQ(run_dialog(t, main), c.focus ? 55 : c.command);
        std::vector<wintest::Logged> commands = take_only({WM_COMMAND});
        ASSERT_EQ(commands.size(), 1u) << "one command, and no key reached a control as a click";
        EXPECT_EQ(user_.steps_left(), 0u);
    }
}

// A control that answers WM_GETDLGCODE with what it wants gets those keys
// itself; the others stay the dialog's.
TEST_F(DialogKeys, ControlsAskingForKeysGetThem) {
    struct Case {
        const char* what;
        LRESULT code;
        Key key;
        bool control_gets_it;
        bool focus_moves;
    };
    const Case cases[] = {
        {"nothing wanted: the arrow moves the focus", 0, Right, false, true},
        {"DLGC_WANTARROWS: the arrow", DLGC_WANTARROWS, Right, true, false},
        {"DLGC_WANTARROWS: not Tab", DLGC_WANTARROWS, Tab, false, true},
        {"DLGC_WANTTAB: Tab", DLGC_WANTTAB, Tab, true, false},
        {"DLGC_WANTALLKEYS: Enter", DLGC_WANTALLKEYS, Enter, true, false},
    };
    const WPARAM vk_of[] = {VK_TAB, VK_TAB, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN, VK_ESCAPE};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = make_main();
        DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
        t.item(kButton, kPush, 5, 40, 40, 12, 101, TEXT("Next"));
        HWND dlg = nullptr, pad = nullptr;
        on("dlg", WM_INITDIALOG, [&](HWND h, WPARAM, LPARAM) {
            dlg = h;
            // Made after the button, so after it in the tab order; first in
            // the dialog's only group.
            pad = create("pad", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5, 5, 50, 20, h, 0, 300);
            SetFocus(pad);
            return LRESULT(FALSE);
        });
        end_on_command("dlg");
        on("pad", WM_GETDLGCODE, [&](HWND, WPARAM, LPARAM) { return c.code; });
        then([&] {
            ASSERT_EQ(GetFocus(), pad);
            take();
            queue_key_press(c.key);
        });
        then([&] {
            std::vector<wintest::Logged> got = take_only({WM_GETDLGCODE, WM_KEYDOWN});
            WPARAM vk = vk_of[c.key];
            ASSERT_FALSE(got.empty());
            EXPECT_TRUE(got[0].window == "pad" && got[0].msg == WM_GETDLGCODE && got[0].wp == vk)
                << "the control was not asked about the key first";
            bool keydown = false;
            for (auto& m : got)
                if (m.window == "pad" && m.msg == WM_KEYDOWN && m.wp == vk) keydown = true;
            EXPECT_EQ(keydown, c.control_gets_it);
            EXPECT_EQ(GetFocus() != pad, c.focus_moves);
            PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(55, BN_CLICKED), 0);
        });
        EXPECT_EQ(run_dialog(t, main), 55) << "the key pressed a button";
    }
}

// The focused push button shows the focus as DrawFocusRect draws it: a
// dotted frame inside its edge, every other pixel unlike the face.  It
// moves with the focus.  (The keys come first: the desktop hides the focus
// until the keyboard is used.)
TEST_F(DialogKeys, FocusedPushButtonShowsADottedFrame) {
    HWND main = make_main();
    DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
    t.item(kButton, kPush, 5, 5, 50, 14, 100, TEXT("A")).item(kButton, kPush, 60, 5, 50, 14, 101, TEXT("B"));
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    end_on_command("dlg");
    // Down the button's left side, 3 pixels in from its edge: the dots
    // (pixels unlike the face two pixels further in) and the face pixels.
    auto dots = [&](int id) {
        RECT r;
        GetWindowRect(GetDlgItem(dlg, id), &r);
        int dark = 0, light = 0;
        for (int y = int(r.top) + 4; y < int(r.bottom) - 4; ++y)
            (pixel(int(r.left) + 3, y) != pixel(int(r.left) + 5, y) ? dark : light) += 1;
        return std::make_pair(dark, light);
    };
    then([&] { queue_press(VK_TAB); });
    then([&] {
        auto a = dots(100), b = dots(101);
        EXPECT_GT(b.first, 2) << "no dots on the focused button";
        EXPECT_LE(std::abs(b.first - b.second), 1) << "not every other pixel";
        EXPECT_EQ(a.first, 0) << "dots on a button without the focus";
        queue_press(VK_TAB);
    });
    then([&] {
        EXPECT_EQ(dots(101).first, 0) << "the frame stayed behind";
        EXPECT_GT(dots(100).first, 2);
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(55, BN_CLICKED), 0);
    });
    EXPECT_EQ(run_dialog(t, main), 55);
}

}  // namespace
