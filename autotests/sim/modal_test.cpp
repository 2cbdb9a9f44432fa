// Modal loops: message boxes and dialogs from in-memory templates, with
// their owners disabled, their keyboard answers and nesting.
#include "window_test_support.h"

#include <algorithm>

namespace {

using wintest::kButton;
using wintest::kDialogStyle;
using wintest::kStatic;

using wintest::DialogTemplateBuilder;
using wintest::kWparam;
using wintest::sequence_matches;


class Modal : public wintest::WindowTest {
protected:
    HWND make_main() {
        HWND main = create_main("main", TEXT("RedRecorder"));
        pump();
        take();
        take_paints();
        return main;
    }
};

// ------------------------------------------------------------ message boxes

TEST_F(Modal, MessageBoxDisablesItsOwnerAndReturnsTheTappedButton) {
    struct Case {
        UINT style;
        int tapped;
    };
    const Case cases[] = {
        {MB_OK, IDOK},         {MB_OKCANCEL, IDOK},   {MB_OKCANCEL, IDCANCEL},         {MB_YESNO, IDYES},
        {MB_YESNO, IDNO},      {MB_YESNOCANCEL, IDNO}, {MB_ABORTRETRYIGNORE, IDRETRY}, {MB_RETRYCANCEL, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.style) + ", tapped " + std::to_string(c.tapped));
        start_afresh();
        HWND main = make_main();
        then([&] {
            EXPECT_FALSE(IsWindowEnabled(main));
            ASSERT_TRUE(message_box());
            EXPECT_EQ(GetActiveWindow(), message_box());
            queue_tap_window(message_box_button(c.tapped));
        });
        EXPECT_EQ(ask(main, TEXT("Go on?"), TEXT("Question"), c.style | MB_ICONQUESTION), c.tapped);
        EXPECT_EQ(message_box(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(main));
        EXPECT_EQ(GetActiveWindow(), main);
        EXPECT_EQ(GetFocus(), main);
        EXPECT_TRUE(sequence_matches(take_only({WM_ENABLE, WM_ACTIVATE}),
                                     {{"main", WM_ENABLE, kWparam, FALSE},
                                      {"main", WM_ACTIVATE, kWparam, WA_INACTIVE},
                                      {"main", WM_ENABLE, kWparam, TRUE},
                                      {"main", WM_ACTIVATE, kWparam, WA_ACTIVE}}));
    }
}

// Escape in a box without a Cancel button: the desktop's documentation
// says OK answers it where there is an OK button and nothing else does.
const char* const kEscapeDocumented = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-messagebox";
// The device's Back (Escape) answers a two-button box with its negative
// button, No where there is no Cancel.
const char* const kBackKey = "https://docs.microsoft.com/en-us/previous-versions/bb158568%28v%3dmsdn.10%29";

TEST_F(Modal, MessageBoxAnswersEnterAndEscape) {
    struct Case {
        UINT style;
        int key;
        int answer;  // 0: the key leaves the box open
        const char* device_only = nullptr;
        const char* documented_only = nullptr;
    };
    const Case cases[] = {
        {MB_OK, VK_RETURN, IDOK},
        {MB_OKCANCEL, VK_RETURN, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, VK_RETURN, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON2, VK_RETURN, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, VK_RETURN, IDCANCEL},
        {MB_OK, VK_ESCAPE, IDOK, nullptr, kEscapeDocumented},
        {MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_YESNO, VK_ESCAPE, IDNO, kBackKey},
        {MB_YESNOCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_RETRYCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_ABORTRETRYIGNORE, VK_ESCAPE, 0, nullptr, kEscapeDocumented},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.style) + ", key " + std::to_string(c.key));
        if (c.device_only && !wintest::device_only(c.device_only)) continue;
        if (c.documented_only && !wintest::documented_only(c.documented_only)) continue;
        start_afresh();
        HWND main = make_main();
        then_press(c.key);
        if (!c.answer) {
            // Still open: the user answers with a tap instead.
            then([] {
                ASSERT_TRUE(message_box());
                queue_tap_window(message_box_button(IDIGNORE));
            });
        }
        EXPECT_EQ(ask(main, TEXT("Text"), TEXT("Caption"), c.style), c.answer ? c.answer : IDIGNORE);
        EXPECT_EQ(steps_left(), 0u);
    }
}

TEST_F(Modal, OwnerPaintsAndTimersRunWhileAMessageBoxIsOpen) {
    HWND main = make_main();
    std::vector<std::string> seen;
    on("main", WM_TIMER, [&](HWND, WPARAM, LPARAM) {
        seen.push_back(message_box() ? "timer while open" : "timer after");
        return LRESULT(0);
    });
    on("main", WM_PAINT, [&](HWND h, WPARAM, LPARAM) {
        seen.push_back(message_box() ? "paint while open" : "paint after");
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        return LRESULT(0);
    });
    ASSERT_NE(SetTimer(main, 1224, 700, nullptr), 0u);
    then_advance_to_next_timer();
    then_advance_to_next_timer();
    then([&] {
        seen.push_back("invalidated");
        InvalidateRect(main, nullptr, TRUE);
    });
    then([&] {
        // The owner's repaint went on under the box, not over it.
        HWND box = message_box();
        ASSERT_TRUE(box);
        RECT r;
        GetWindowRect(box, &r);
        EXPECT_NE(pixel(int(r.left + r.right) / 2, int(r.top) + 25), colour(RGB(255, 0, 0)));
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(ask(main, TEXT("Can you hear it?"), TEXT("Sound"), MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND),
              IDOK);
    KillTimer(main, 1224);
    // Two ticks while the box was open, and the repaint asked for then.
    auto invalidated = std::find(seen.begin(), seen.end(), "invalidated");
    ASSERT_NE(invalidated, seen.end());
    EXPECT_EQ(std::count(seen.begin(), invalidated, "timer while open"), 2);
    ASSERT_NE(invalidated + 1, seen.end());
    EXPECT_EQ(*(invalidated + 1), "paint while open");
}

TEST_F(Modal, QuitInsideAMessageBoxEndsItAndReachesTheOuterLoop) {
    HWND main = make_main();
    then([] { PostQuitMessage(9); });
    ask(main, TEXT("Text"), TEXT("Caption"), MB_OKCANCEL);
    EXPECT_EQ(message_box(), nullptr);
    // The owner is enabled again once the box is destroyed, however it ended.
    if (wintest::documented_only(
            "https://library.thedatadungeon.com/msdn-1998-06/WinUI/devdoc/live/pdui/dlgboxes_4wj7.content.htm")) {
        EXPECT_TRUE(IsWindowEnabled(main));
    }
    int code = 0;
    EXPECT_TRUE(run_loop(&code)) << "the quit message was lost";
    EXPECT_EQ(code, 9);
}

TEST_F(Modal, MessageBoxOwnedByATopmostWindowShowsAboveIt) {
    HWND main = make_main();
    ASSERT_TRUE(SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    then([&] {
        ASSERT_TRUE(message_box());
        EXPECT_EQ(z_order().front(), "msgbox");
        queue_tap_window(message_box_button(IDOK));
    });
    EXPECT_EQ(ask(main, TEXT("Key Test"), TEXT("Key Test"), MB_OK), IDOK) << "the tap on the box's OK did not reach it";
}

// ------------------------------------------------------------ dialogs

TEST_F(Modal, DialogInitialisationAndFirstFocus) {
    struct Case {
        const char* what;
        bool return_true;
        int focus_set_by_dialog;  // 0: none
        int expected_focus;
    };
    const Case cases[] = {
        {"TRUE: the first tab stop", true, 0, 100},
        {"FALSE after choosing the focus itself", false, 101, 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = make_main();
        DialogTemplateBuilder t(kDialogStyle, 10, 10, 120, 80, TEXT("dlg"));
        t.item(kStatic, WS_VISIBLE, 5, 5, 100, 10, 0xFFFF, TEXT("Label"))
            .item(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 20, 40, 12, 100, TEXT("First"))
            .item(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 50, 20, 40, 12, 101, TEXT("Second"))
            .item(kButton, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 40, 40, 12, IDOK, TEXT("OK"));
        HWND dlg = nullptr, first = nullptr;
        on("dlg", WM_INITDIALOG, [&](HWND h, WPARAM, LPARAM) {
            dlg = h;
            first = GetDlgItem(h, 100);
            if (c.focus_set_by_dialog) SetFocus(GetDlgItem(h, c.focus_set_by_dialog));
            return LRESULT(c.return_true);
        });
        end_on_command("dlg");
        then([&] {
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, c.expected_focus));
            EXPECT_EQ(GetActiveWindow(), dlg);
            EXPECT_FALSE(IsWindowEnabled(main));
            if (wintest::device_only(wintest::kShellBars)) queue_tap(0, 0);  // the task bar: nothing happens
            PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(55, BN_CLICKED), 0);
        });
        EXPECT_EQ(run_dialog(t, main, 0x1234), 55);
        std::vector<wintest::Logged> log = take_only({WM_INITDIALOG});
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].window, "dlg");
        EXPECT_EQ(log[0].lp, 0x1234);
        EXPECT_EQ(HWND(log[0].wp), first) << "WM_INITDIALOG names the first tab stop";
        EXPECT_FALSE(IsWindow(dlg));
        EXPECT_TRUE(IsWindowEnabled(main));
        EXPECT_EQ(GetActiveWindow(), main);
    }
}

TEST_F(Modal, DialogAnswersEnterAndEscape) {
    struct Item {
        DWORD style;
        WORD id;
    };
    struct Case {
        const char* what;
        std::vector<Item> items;  // in tab order
        int key;
        int command;
        const char* documented_only = nullptr;
    };
    const DWORD check = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
    const DWORD push = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD def = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
    const Case cases[] = {
        {"Enter: the default button", {{check, 10}, {push, 8}, {def, 7}}, VK_RETURN, 7},
        {"Enter without a default button: IDOK", {{check, 10}, {push, 8}}, VK_RETURN, IDOK},
        {"Enter on a focused push button: that button", {{push, 100}, {def, 7}}, VK_RETURN, 100, wintest::kFocusedDefault},
        {"Escape: IDCANCEL", {{check, 10}, {def, 7}, {push, IDCANCEL}}, VK_ESCAPE, IDCANCEL},
        {"Escape without a Cancel button: IDCANCEL", {{check, 10}, {def, 7}}, VK_ESCAPE, IDCANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.documented_only && !wintest::documented_only(c.documented_only)) continue;
        start_afresh();
        HWND main = make_main();
        DialogTemplateBuilder t(kDialogStyle, 10, 10, 120, 80, TEXT("dlg"));
        short y = 5;
        for (const Item& i : c.items) {
            t.item(kButton, i.style, 5, y, 60, 12, i.id, TEXT("Item"));
            y += 15;
        }
        end_on_command("dlg");
        on("dlg", WM_INITDIALOG, [](HWND, WPARAM, LPARAM) { return LRESULT(TRUE); });  // the first tab stop
        then_press(c.key);
        EXPECT_EQ(run_dialog(t, main), c.command);
        std::vector<wintest::Logged> commands = take_only({WM_COMMAND});
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].wp, MAKEWPARAM(c.command, BN_CLICKED));
        // The key itself never reached the check box as a click.
        EXPECT_EQ(steps_left(), 0u);
    }
}

TEST_F(Modal, EndDialogCodeAndTheOwnerAroundTheDialog) {
    HWND main = make_main();
    DialogTemplateBuilder t(kDialogStyle, 0, 0, 120, 80, TEXT("dlg"));
    t.item(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 5, 50, 14, 300, TEXT("Done"));
    on("dlg", WM_COMMAND, [](HWND h, WPARAM wp, LPARAM) {
        if (LOWORD(wp) == 300) EndDialog(h, 4242);
        return LRESULT(TRUE);
    });
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    then([&] {
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), main);
        queue_tap_window(GetDlgItem(dlg, 300));
    });
    EXPECT_EQ(run_dialog(t, main), 4242);
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_TRUE(sequence_matches(take_only({WM_ENABLE, WM_INITDIALOG, WM_COMMAND, WM_DESTROY}),
                                 {{"main", WM_ENABLE, kWparam, FALSE},
                                  {"dlg", WM_INITDIALOG},
                                  {"dlg", WM_COMMAND, kWparam, MAKEWPARAM(300, BN_CLICKED)},
                                  {"main", WM_ENABLE, kWparam, TRUE},
                                  {"dlg", WM_DESTROY}}));
}

TEST_F(Modal, MessageBoxInsideADialog) {
    HWND main = make_main();
    DialogTemplateBuilder t(kDialogStyle, 0, 0, 120, 80, TEXT("dlg"));
    t.item(kButton, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 5, 50, 14, 300, TEXT("Ask"));
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    on("dlg", WM_COMMAND, [&](HWND h, WPARAM wp, LPARAM) {
        if (LOWORD(wp) != 300) return LRESULT(TRUE);
        int answer = MessageBoxW(h, TEXT("Sure?"), TEXT("Question"), MB_OKCANCEL);
        // Back in the dialog: it is enabled and active again, the owner still not.
        EXPECT_TRUE(IsWindowEnabled(h));
        EXPECT_EQ(GetActiveWindow(), h);
        EXPECT_FALSE(IsWindowEnabled(main));
        EndDialog(h, 100 + answer);
        return LRESULT(TRUE);
    });
    then([&] {
        queue_tap_window(GetDlgItem(dlg, 300));
    });
    then([&] {
        ASSERT_TRUE(message_box());
        EXPECT_EQ(GetWindow(message_box(), GW_OWNER), dlg);
        EXPECT_FALSE(IsWindowEnabled(dlg));
        EXPECT_FALSE(IsWindowEnabled(main));
        queue_press(VK_ESCAPE);
    });
    EXPECT_EQ(run_dialog(t, main), 100 + IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(steps_left(), 0u);
}

}  // namespace
