// The dialog manager's rules for moving the focus and for the default
// button beyond the keys themselves (dialog_keys_test.cpp): WM_NEXTDLGCTL,
// DM_SETDEFID, GetNextDlgTabItem and GetNextDlgGroupItem past hidden and
// disabled controls, a dialog nested in another as a control (DS_CONTROL),
// the direction keys choosing automatic radio buttons, and the dialog's
// own colour (WM_CTLCOLORDLG).
//   Dialog Boxes Messages (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms927574(v=msdn.10)
#include "window_test_support.h"

namespace {

using wintest::kButton;
using wintest::kDialogStyle;
namespace navigation {

using wintest::DialogTemplateBuilder;

constexpr DWORD kTabPush = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr int kDone = 55;  // the command that ends a dialog when a case is done

class DialogNavigation : public wintest::WindowTest {
protected:
    HWND make_main() {
        HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
        pump();
        take();
        return main;
    }
    static bool looks_default(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON; }
    // The dialog of this name ends on kDone, and with the id of a command
    // from a push button; other commands (a radio button's) it only hears.
    void end_on_done_or_push(const char* name) {
        on(name, WM_COMMAND, [](HWND h, WPARAM wp, LPARAM lp) {
            bool push = lp && (SendMessageW(HWND(lp), WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
            if (LOWORD(wp) == kDone || push) EndDialog(h, LOWORD(wp));
            return LRESULT(TRUE);
        });
    }
    static void done(HWND dlg) { PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(kDone, BN_CLICKED), 0); }
    static void shift_tab() {
        queue_key(VK_SHIFT, true);
        queue_press(VK_TAB);
        queue_key(VK_SHIFT, false);
    }
};

// WM_NEXTDLGCTL moves the focus as Tab does (wParam 0: the next tab stop,
// else the previous; lParam TRUE: to the control wParam names), and the
// default button's frame goes with it: to a push button that takes the
// focus, back to the dialog's default from anything else.  DM_SETDEFID
// names another default: DM_GETDEFID answers with it, it wears the frame
// and Enter presses it.  (WM_NEXTDLGCTL:
// https://learn.microsoft.com/en-us/windows/win32/dlgbox/wm-nextdlgctl;
// DM_SETDEFID (Windows CE 5.0):
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ee501770(v=winembedded.60))
TEST_F(DialogNavigation, NextDlgCtlAndSetDefIdMoveTheFocusAndTheDefault) {
    struct Case {
        const char* what;
        std::vector<std::pair<WPARAM, int>> moves;  // (wParam, or a control's id when lParam TRUE)
        int focus;
        int looks_default;
    };
    const Case cases[] = {
        {"next", {{0, 0}}, 101, 101},
        {"previous, wrapping", {{1, 0}}, IDCANCEL, IDCANCEL},
        {"next twice: a check box", {{0, 0}, {0, 0}}, 102, IDOK},
        {"to the check box by its handle", {{0, 102}}, 102, IDOK},
        {"to Cancel by its handle", {{0, IDCANCEL}}, IDCANCEL, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = make_main();
        DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
        t.item(kButton, kTabPush | WS_GROUP, 5, 5, 40, 12, 100, TEXT("A"))
            .item(kButton, kTabPush, 50, 5, 40, 12, 101, TEXT("B"))
            .item(kButton, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 5, 25, 60, 12, 102, TEXT("C"))
            .item(kButton, kTabPush | WS_GROUP | BS_DEFPUSHBUTTON, 5, 62, 40, 12, IDOK, TEXT("OK"))
            .item(kButton, kTabPush, 50, 62, 40, 12, IDCANCEL, TEXT("Cancel"));
        HWND dlg = nullptr;
        keep_handle("dlg", &dlg);
        end_on_done_or_push("dlg");
        then([&] {
            ASSERT_EQ(GetDlgCtrlID(GetFocus()), 100);
            for (auto& m : c.moves) {
                if (m.second)
                    SendMessageW(dlg, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dlg, m.second)), TRUE);
                else
                    SendMessageW(dlg, WM_NEXTDLGCTL, m.first, FALSE);
            }
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.focus);
            for (int id : {100, 101, IDOK, IDCANCEL})
                EXPECT_EQ(looks_default(GetDlgItem(dlg, id)), id == c.looks_default) << "button " << id;
            done(dlg);
        });
        EXPECT_EQ(run_dialog(t, main), kDone);
    }

    // DM_SETDEFID with the focus on the check box.
    start_afresh();
    HWND main = make_main();
    DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
    t.item(kButton, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 25, 60, 12, 102, TEXT("C"))
        .item(kButton, kTabPush, 50, 5, 40, 12, 101, TEXT("B"))
        .item(kButton, kTabPush | BS_DEFPUSHBUTTON, 5, 62, 40, 12, IDOK, TEXT("OK"));
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    end_on_done_or_push("dlg");
    then([&] {
        ASSERT_EQ(GetDlgCtrlID(GetFocus()), 102);
        EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
        SendMessageW(dlg, DM_SETDEFID, 101, 0);
        EXPECT_EQ(SendMessageW(dlg, DM_GETDEFID, 0, 0), MAKELONG(101, DC_HASDEFID));
        EXPECT_TRUE(looks_default(GetDlgItem(dlg, 101)));
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(run_dialog(t, main), 101) << "Enter pressed another button than the new default";
}

// GetNextDlgTabItem and GetNextDlgGroupItem pass over hidden and disabled
// controls; the tab stops wrap round the dialog, the group items round
// their group (from the WS_GROUP control to the next one).
// (GetNextDlgTabItem:
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getnextdlgtabitem;
// GetNextDlgGroupItem:
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getnextdlggroupitem)
TEST_F(DialogNavigation, NextItemsPassHiddenAndDisabledControls) {
    HWND main = make_main();
    // A, B (disabled), C (hidden), D: one group of tab stops; E, F: a group
    // without tab stops.
    DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
    t.item(kButton, kTabPush | WS_GROUP, 5, 5, 40, 12, 100, TEXT("A"))
        .item(kButton, kTabPush | WS_DISABLED, 50, 5, 40, 12, 101, TEXT("B"))
        .item(kButton, WS_TABSTOP | BS_PUSHBUTTON, 5, 20, 40, 12, 102, TEXT("C"))
        .item(kButton, kTabPush, 50, 20, 40, 12, 103, TEXT("D"))
        .item(kButton, WS_VISIBLE | WS_GROUP | BS_AUTOCHECKBOX, 5, 40, 60, 12, 104, TEXT("E"))
        .item(kButton, WS_VISIBLE | BS_AUTOCHECKBOX, 5, 55, 60, 12, 105, TEXT("F"));
    struct Case {
        bool group;  // GetNextDlgGroupItem, else GetNextDlgTabItem
        int from;    // 0: no control
        bool previous;
        int next;
    };
    const Case cases[] = {
        {false, 100, false, 103}, {false, 103, false, 100}, {false, 100, true, 103}, {false, 0, false, 100},
        {true, 100, false, 103},  {true, 103, false, 100},  {true, 100, true, 103},  {true, 104, false, 105},
        {true, 105, false, 104},  {true, 104, true, 105},
    };
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    end_on_done_or_push("dlg");
    then([&] {
        for (const Case& c : cases) {
            HWND from = c.from ? GetDlgItem(dlg, c.from) : nullptr;
            HWND next = c.group ? GetNextDlgGroupItem(dlg, from, c.previous) : GetNextDlgTabItem(dlg, from, c.previous);
            EXPECT_EQ(GetDlgCtrlID(next), c.next) << (c.group ? "group item" : "tab item") << " from " << c.from
                                                   << (c.previous ? ", previous" : "");
        }
        done(dlg);
    });
    EXPECT_EQ(run_dialog(t, main), kDone);
}

// A dialog made with DS_CONTROL as a child of another is one of its
// controls: Tab and Shift+Tab go through the nested dialog's controls as if
// they were the outer dialog's own, GetNextDlgTabItem goes in and out of
// it, the default frame follows the focus into it, and Enter there presses
// the outer dialog's default button.  (DS_CONTROL, Dialog Box Styles:
// https://learn.microsoft.com/en-us/windows/win32/dlgbox/dialog-box-styles)
TEST_F(DialogNavigation, NestedDialogJoinsTheTabOrder) {
    HWND main = make_main();
    DialogTemplateBuilder outer(kDialogStyle, 5, 5, 130, 100, TEXT("outer"));
    outer.item(kButton, kTabPush, 5, 5, 40, 12, 100, TEXT("A"))
        .item(kButton, kTabPush | BS_DEFPUSHBUTTON, 5, 80, 40, 12, IDOK, TEXT("OK"));
    DialogTemplateBuilder inner(WS_CHILD | WS_VISIBLE | DS_CONTROL | DS_SETFONT, 5, 25, 110, 45, TEXT("inner"));
    inner.item(kButton, kTabPush, 5, 5, 40, 12, 200, TEXT("X"))
        .item(kButton, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 25, 60, 12, 201, TEXT("Y"));
    HWND dlg = nullptr, nested = nullptr;
    on("outer", WM_INITDIALOG, [&](HWND h, WPARAM, LPARAM) {
        dlg = h;
        nested = CreateDialogIndirectParamW(nullptr, inner.get(), h, dialog_proc, 0);
        return LRESULT(TRUE);
    });
    end_on_done_or_push("outer");
    auto focus_is = [&](HWND parent, int id, const char* what) {
        EXPECT_EQ(GetFocus(), GetDlgItem(parent, id)) << what;
    };
    then([&] {
        ASSERT_NE(nested, nullptr);
        EXPECT_NE(GetWindowLongW(nested, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0) << "DS_CONTROL makes a control parent";
        focus_is(dlg, 100, "the first focus");
        EXPECT_EQ(GetNextDlgTabItem(dlg, GetDlgItem(dlg, IDOK), FALSE), GetDlgItem(nested, 200));
        EXPECT_EQ(GetNextDlgTabItem(dlg, GetDlgItem(nested, 201), FALSE), GetDlgItem(dlg, 100));
        EXPECT_EQ(GetNextDlgTabItem(dlg, GetDlgItem(dlg, 100), TRUE), GetDlgItem(nested, 201));
        queue_press(VK_TAB);
        queue_press(VK_TAB);
    });
    then([&] {
        focus_is(nested, 200, "Tab twice: into the nested dialog");
        EXPECT_TRUE(looks_default(GetDlgItem(nested, 200))) << "the focused push button is the default";
        EXPECT_FALSE(looks_default(GetDlgItem(dlg, IDOK)));
        queue_press(VK_TAB);
    });
    then([&] {
        focus_is(nested, 201, "Tab: the nested check box");
        EXPECT_FALSE(looks_default(GetDlgItem(nested, 200)));
        EXPECT_TRUE(looks_default(GetDlgItem(dlg, IDOK))) << "the default frame came back";
        queue_press(VK_TAB);
    });
    then([&] {
        focus_is(dlg, 100, "Tab: out again, round to the first");
        shift_tab();
    });
    then([&] {
        focus_is(nested, 201, "Shift+Tab: back into the nested dialog");
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(run_dialog(outer, main), IDOK) << "Enter in the nested dialog";
}

// The direction keys in a group of automatic radio buttons move the focus
// and choose the button they reach: it is checked, the others cleared, and
// the dialog hears BN_CLICKED.  ("Dialog Box Keyboard Interface",
// https://techshelps.github.io/Win32/html/fguhcd.htm; Radio Buttons,
// https://techshelps.github.io/Win32Api%20Documentation/html/16z6zq4.htm)
TEST_F(DialogNavigation, DirectionKeysChooseRadioButtons) {
    struct Case {
        const char* what;
        std::vector<int> keys;
        int chosen;
    };
    const Case cases[] = {
        {"down", {VK_DOWN}, 101},
        {"down twice", {VK_DOWN, VK_DOWN}, 102},
        {"down round the group", {VK_DOWN, VK_DOWN, VK_DOWN}, 100},
        {"up round the group", {VK_UP}, 102},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = make_main();
        DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
        t.item(kButton, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 5, 5, 60, 12, 100, TEXT("One"))
            .item(kButton, WS_VISIBLE | BS_AUTORADIOBUTTON, 5, 20, 60, 12, 101, TEXT("Two"))
            .item(kButton, WS_VISIBLE | BS_AUTORADIOBUTTON, 5, 35, 60, 12, 102, TEXT("Three"))
            .item(kButton, kTabPush | WS_GROUP | BS_DEFPUSHBUTTON, 5, 62, 40, 12, IDOK, TEXT("OK"));
        HWND dlg = nullptr;
        on("dlg", WM_INITDIALOG, [&](HWND h, WPARAM, LPARAM) {
            dlg = h;
            SendMessageW(GetDlgItem(h, 100), BM_SETCHECK, BST_CHECKED, 0);
            return LRESULT(TRUE);
        });
        end_on_done_or_push("dlg");
        then([&] {
            ASSERT_EQ(GetDlgCtrlID(GetFocus()), 100);
            take();
            for (int vk : c.keys) queue_press(vk);
        });
        then([&] {
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.chosen);
            for (int id : {100, 101, 102})
                EXPECT_EQ(IsDlgButtonChecked(dlg, id), id == c.chosen ? BST_CHECKED : BST_UNCHECKED) << "button " << id;
            std::vector<wintest::Logged> commands = take_only({WM_COMMAND});
            ASSERT_FALSE(commands.empty()) << "the dialog did not hear of the choice";
            EXPECT_EQ(commands.back().wp, MAKEWPARAM(c.chosen, BN_CLICKED));
            done(dlg);
        });
        EXPECT_EQ(run_dialog(t, main), kDone);
    }
}

// The dialog paints its background with the brush its procedure answers
// WM_CTLCOLORDLG with.  (WM_CTLCOLORDLG (Windows CE 5.0), in Dialog Boxes
// Messages; https://learn.microsoft.com/en-us/windows/win32/dlgbox/wm-ctlcolordlg)
TEST_F(DialogNavigation, DialogTakesItsBackgroundFromCtlColorDlg) {
    HWND main = make_main();
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    DialogTemplateBuilder t(kDialogStyle, 5, 5, 120, 90, TEXT("dlg"));
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    end_on_done_or_push("dlg");
    on("dlg", WM_CTLCOLORDLG, [&](HWND, WPARAM, LPARAM) { return LRESULT(green); });
    then([&] {
        RECT c;
        GetClientRect(dlg, &c);
        POINT o{0, 0};
        ClientToScreen(dlg, &o);
        RECT inside{o.x + 10, o.y + 10, o.x + c.right - 10, o.y + c.bottom - 10};
        EXPECT_TRUE(all_pixels(inside, colour(RGB(0, 255, 0))));
        done(dlg);
    });
    EXPECT_EQ(run_dialog(t, main), kDone);
    DeleteObject(green);
}

}  // namespace navigation
}  // namespace
