// Stylus and buttons: where taps land, disabled windows, click activation,
// capture, check boxes, the shell's application buttons and hot keys, and
// the navigation pad.
#include "window_test_support.h"

#if WINTEST_DEVICE_API
extern "C" BOOL WINAPI UnregisterFunc1(UINT mods, UINT vk);  // looked up by name on the device
#endif

namespace {

using wintest::DialogTemplateBuilder;
using wintest::kLparam;
using wintest::kParams;
using wintest::kWparam;
using wintest::sequence_matches;

class Input : public wintest::WindowTest {
protected:
    HWND make_main() {
        HWND main = create_main("main");
        pump();
        take();
        return main;
    }
    // Runs the queued input (and whatever the user does next) to its end.
    void deliver() {
        EXPECT_FALSE(run_loop()) << "unexpected WM_QUIT";
    }
    static void centre(HWND h, int* x, int* y) {
        RECT r;
        GetWindowRect(h, &r);
        *x = int(r.left + r.right) / 2;
        *y = int(r.top + r.bottom) / 2;
    }
};

TEST_F(Input, TapArrivesAsButtonMessagesInClientCoordinates) {
    struct Case {
        int x, y;
        const char* target;
        int client_x, client_y;
    };
    // Screen rows are counted from the top of the work area (26 on the device).
    const Case cases[] = {
        {50, 124, "main", 50, 124},
        {0, 0, "main", 0, 0},
        {30, 40, "kid", 10, 10},   // kid's client (0, 0) is at main's (20, 30)
        {119, 69, "kid", 99, 39},  // kid's last pixel
        {120, 69, "main", 120, 69},
    };
    const int top = int(work_area().top);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " at " + std::to_string(c.x) + ", " + std::to_string(c.y));
        start_afresh();
        HWND main = make_main();
        create("kid", WS_CHILD | WS_VISIBLE, 20, 30, 100, 40, main);
        pump();
        take();
        then_tap(c.x, top + c.y);
        deliver();
        LPARAM at = MAKELPARAM(c.client_x, c.client_y);
        EXPECT_TRUE(sequence_matches(take_only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE}),
                                     {{c.target, WM_LBUTTONDOWN, kParams, MK_LBUTTON, at},
                                      {c.target, WM_LBUTTONUP, kLparam, 0, at}}));
    }
}

TEST_F(Input, TapOnADisabledWindowReachesItsParentOrNothing) {
    HWND main = make_main();
    HWND kid = create("kid", WS_CHILD | WS_VISIBLE, 20, 30, 100, 40, main);
    HWND other = create("other", WS_VISIBLE | WS_POPUP, 0, 200, 240, 94);
    ASSERT_EQ(GetActiveWindow(), other);
    pump();
    take();
    struct Case {
        const char* what;
        HWND disabled;
        int x, y;
        std::vector<wintest::Expected> reached;  // empty: nothing
        HWND active_after;
    };
    const Case cases[] = {
        {"a disabled top-level window", main, 50, 150, {}, other},
        {"the enabled child of a disabled window", main, 30, 66, {}, other},
        // The tap goes to the parent, as if the disabled child were not there.
        {"a disabled child",
         kid,
         30,
         66,
         {{"other", WM_ACTIVATE, kWparam, WA_INACTIVE},
          {"main", WM_ACTIVATE, kWparam, WA_CLICKACTIVE},
          {"main", WM_LBUTTONDOWN, kLparam, 0, MAKELPARAM(30, 40)},
          {"main", WM_LBUTTONUP, kLparam, 0, MAKELPARAM(30, 40)}},
         main},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EnableWindow(c.disabled, FALSE);
        take();
        then_tap(c.x, c.y);
        deliver();
        EXPECT_TRUE(sequence_matches(take_only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_ACTIVATE}), c.reached));
        EXPECT_EQ(GetActiveWindow(), c.active_after);
        EnableWindow(c.disabled, TRUE);
    }
}

TEST_F(Input, TapOnTheOwnerOfAModalDialogReachesNothing) {
    HWND main = make_main();
    HWND button = create_control(TEXT("button"), TEXT("Next"), WS_VISIBLE | BS_PUSHBUTTON, 10, 250, 80, 20, main, 1001);
    pump();
    take();
    int bx, by;
    centre(button, &bx, &by);
    DialogTemplateBuilder t(WS_POPUP | DS_MODALFRAME | DS_SETFONT, 0, 0, 120, 80, TEXT("dlg"));
    t.item(0x80, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 5, 40, 14, IDOK, TEXT("OK"));
    end_on_command("dlg");
    HWND dlg = nullptr;
    keep_handle("dlg", &dlg);
    then([&] {
        RECT d;
        GetWindowRect(dlg, &d);
        ASSERT_FALSE(bx >= d.left && bx < d.right && by >= d.top && by < d.bottom) << "the dialog covers the button";
        queue_tap(bx, by);
    });
    then([&] {
        EXPECT_TRUE(IsWindow(dlg)) << "the tap ended the dialog";
        EXPECT_EQ(GetActiveWindow(), dlg);
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(run_dialog(t, main), IDOK);
    EXPECT_TRUE(sequence_matches(take_only({WM_COMMAND, WM_LBUTTONDOWN, WM_LBUTTONUP}),
                                 {{"dlg", WM_COMMAND, kWparam, MAKEWPARAM(IDOK, BN_CLICKED)}}));
    // With the dialog gone the same tap is the button's click.
    then_tap(bx, by);
    deliver();
    EXPECT_TRUE(
        sequence_matches(take_only({WM_COMMAND}), {{"main", WM_COMMAND, kWparam, MAKEWPARAM(1001, BN_CLICKED)}}));
}

TEST_F(Input, TapOnAnInactiveWindowActivatesItByClick) {
    HWND a = create_main("a");
    HWND b = create("b", WS_VISIBLE | WS_POPUP, 0, 150, 240, 100);
    ASSERT_EQ(GetActiveWindow(), b);
    pump();
    take();
    then_tap(50, 60);
    deliver();
    EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_LBUTTONDOWN, WM_LBUTTONUP}),
                                 {{"b", WM_ACTIVATE, kParams, WA_INACTIVE, LPARAM(a)},
                                  {"a", WM_ACTIVATE, kParams, WA_CLICKACTIVE, LPARAM(b)},
                                  {"b", WM_KILLFOCUS, kWparam, WPARAM(a)},
                                  {"a", WM_SETFOCUS, kWparam, WPARAM(b)},
                                  {"a", WM_LBUTTONDOWN, kLparam, 0, MAKELPARAM(50, 34)},
                                  {"a", WM_LBUTTONUP}}));
    EXPECT_EQ(GetActiveWindow(), a);
    // A second tap on the now active window (brought over b) activates nothing.
    if (!wintest::documented_only(wintest::kZOrder)) return;
    then_tap(50, 200);
    deliver();
    EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE, WM_LBUTTONDOWN, WM_LBUTTONUP}),
                                 {{"a", WM_LBUTTONDOWN}, {"a", WM_LBUTTONUP}}));
}

TEST_F(Input, CaptureSendsAReleaseOutsideAsUnsigned16BitCoordinates) {
    HWND main = make_main();
    ASSERT_TRUE(create("pad", WS_CHILD | WS_VISIBLE, 100, 100, 50, 50, main));  // screen (100, 126)
    on("pad", WM_LBUTTONDOWN, [](HWND h, WPARAM, LPARAM) {
        SetCapture(h);
        return LRESULT(0);
    });
    on("pad", WM_LBUTTONUP, [](HWND, WPARAM, LPARAM) {
        ReleaseCapture();
        return LRESULT(0);
    });
    pump();
    struct Case {
        const char* what;
        int up_x, up_y;
        WORD client_x, client_y;
    };
    const Case cases[] = {
        {"left of it", 95, 150, 65531, 24},
        {"above it", 120, 119, 20, 65529},
        {"left of and above it", 0, 26, 65436, 65436},
        {"right of and below it", 200, 300, 100, 174},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        take();
        then([&] { queue_stroke(110, 136, c.up_x, c.up_y); });
        deliver();
        LPARAM released = LPARAM(DWORD(c.client_x) | DWORD(c.client_y) << 16);
        EXPECT_TRUE(sequence_matches(take_only({WM_LBUTTONDOWN, WM_LBUTTONUP}),
                                     {{"pad", WM_LBUTTONDOWN, kLparam, 0, MAKELPARAM(10, 10)},
                                      {"pad", WM_LBUTTONUP, kLparam, 0, released}}));
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(Input, PushButtonClicksOnlyWhenReleasedOverIt) {
    HWND main = make_main();
    HWND button = create_control(TEXT("button"), TEXT("Next"), WS_VISIBLE | BS_PUSHBUTTON, 60, 100, 80, 20, main, 1001);
    pump();  // the button covers (60, 126) - (140, 146) on the screen
    struct Case {
        const char* what;
        int up_x, up_y;
        bool clicked;
    };
    const Case cases[] = {
        {"inside", 100, 136, true},       {"last pixel", 139, 145, true},  {"left of it", 59, 136, false},
        {"above it", 100, 125, false},    {"right of it", 140, 136, false}, {"below it", 100, 146, false},
        {"far up and left", 0, 26, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        take();
        then([&] { queue_stroke(100, 136, c.up_x, c.up_y); });
        deliver();
        std::vector<wintest::Logged> commands = take_only({WM_COMMAND});
        EXPECT_EQ(commands.size(), c.clicked ? 1u : 0u);
        if (c.clicked && !commands.empty()) {
            EXPECT_EQ(commands[0].wp, MAKEWPARAM(1001, BN_CLICKED));
        }
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    }
}

TEST_F(Input, AutoCheckBoxTogglesBeforeItsParentHearsOfIt) {
    HWND main = make_main();
    HWND check = create_control(TEXT("button"), TEXT("Sound"), WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 10, 10, 120, 20, main,
                                1000);
    pump();
    std::vector<LRESULT> state_seen;
    on("main", WM_COMMAND, [&](HWND, WPARAM wp, LPARAM lp) {
        EXPECT_EQ(wp, MAKEWPARAM(1000, BN_CLICKED));
        EXPECT_EQ(HWND(lp), check);
        state_seen.push_back(SendMessageW(HWND(lp), BM_GETCHECK, 0, 0));
        return LRESULT(0);
    });
    then_tap_window(check);
    then_tap_window(check);
    deliver();
    EXPECT_EQ(state_seen, (std::vector<LRESULT>{BST_CHECKED, BST_UNCHECKED}));
}

#if WINTEST_DEVICE_API
// The device's shell holds the hardware buttons as hot keys, which a program
// takes over with UnregisterFunc1 and RegisterHotKey:
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms885857(v=msdn.10)
TEST_F(Input, ShellHoldsTheApplicationButtonsAtBoot) {
    for (int vk = 191; vk <= 202; ++vk) {
        SCOPED_TRACE(vk);
        start_afresh();
        make_main();
        then_press(vk);
        deliver();
        bool held = vk >= 192 && vk <= 201;
        std::vector<wintest::Logged> got = take_only({WM_KEYDOWN, WM_KEYUP, WM_HOTKEY});
        if (held) {
            EXPECT_TRUE(got.empty());
        } else {
            EXPECT_TRUE(sequence_matches(got, {{"main", WM_KEYDOWN, kWparam, WPARAM(vk)},
                                               {"main", WM_KEYUP, kWparam, WPARAM(vk)}}));
        }
    }
}

TEST_F(Input, HotKeysTakenFromTheShell) {
    HWND main = make_main();
    HWND other = create("other", WS_POPUP, 0, 0, 10, 10);
    // Held by the shell: no one can register it.
    SetLastError(0);
    EXPECT_FALSE(RegisterHotKey(main, 193, MOD_WIN, 193));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
    // Released: the first window gets it, the second does not.
    EXPECT_TRUE(UnregisterFunc1(MOD_WIN, 193));
    EXPECT_TRUE(RegisterHotKey(main, 193, MOD_WIN, 193));
    SetLastError(0);
    EXPECT_FALSE(RegisterHotKey(other, 7, MOD_WIN, 193));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
    // A press posts one WM_HOTKEY (no key-up one without MOD_KEYUP) to its holder.
    then_press(193);
    deliver();
    EXPECT_TRUE(sequence_matches(take_only({WM_KEYDOWN, WM_KEYUP, WM_HOTKEY}),
                                 {{"main", WM_HOTKEY, kParams, 193, MAKELPARAM(MOD_WIN, 193)}}));
    // The other application buttons stay with the shell.
    then_press(194);
    deliver();
    EXPECT_TRUE(take_only({WM_KEYDOWN, WM_KEYUP, WM_HOTKEY}).empty());
    // Given up, the key can pass to another window.
    EXPECT_TRUE(UnregisterHotKey(main, 193));
    EXPECT_FALSE(UnregisterHotKey(main, 193));
    EXPECT_TRUE(RegisterHotKey(other, 7, MOD_WIN, 193));
    then_press(193);
    deliver();
    EXPECT_TRUE(sequence_matches(take_only({WM_KEYDOWN, WM_KEYUP, WM_HOTKEY}),
                                 {{"other", WM_HOTKEY, kWparam, 7}}));
    // A destroyed window's hot keys are free again.
    DestroyWindow(other);
    EXPECT_TRUE(RegisterHotKey(main, 193, MOD_WIN, 193));
}
#endif

#if WINTEST_DEVICE_API
// UnregisterFunc1 frees a button whoever holds it: the shell, the window
// that asks for it next, or another window.  The next RegisterHotKey then
// succeeds, the press goes to the new holder only, and the old holder has
// nothing left to unregister.
TEST_F(Input, UnregisterFunc1FreesAButtonWhoeverHoldsIt) {
    struct Case {
        const char* what;
        const char* holder;  // "shell", "main", "other" or "nobody"
        BOOL freed;
    };
    const Case cases[] = {
        {"the shell", "shell", TRUE},
        {"the window that takes it next", "main", TRUE},
        {"another window", "other", TRUE},
        {"nobody", "nobody", FALSE},
    };
    const UINT vk = 193;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = make_main();
        HWND other = create("other", WS_POPUP, 0, 0, 10, 10);
        std::string holder = c.holder;
        HWND old = holder == "main" ? main : holder == "other" ? other : nullptr;
        if (holder != "shell") {
            ASSERT_TRUE(UnregisterFunc1(MOD_WIN, vk));
        }
        if (old) {
            ASSERT_TRUE(RegisterHotKey(old, 7, MOD_WIN, vk));
        }

        EXPECT_EQ(UnregisterFunc1(MOD_WIN, vk), c.freed);
        if (old) {
            EXPECT_FALSE(UnregisterHotKey(old, 7)) << "the old holder still had the key";
        }
        ASSERT_TRUE(RegisterHotKey(main, 50, MOD_WIN, vk));
        then_press(vk);
        deliver();
        EXPECT_TRUE(sequence_matches(take_only({WM_KEYDOWN, WM_KEYUP, WM_HOTKEY}),
                                     {{"main", WM_HOTKEY, kParams, 50, MAKELPARAM(MOD_WIN, vk)}}));
    }
}
#endif

// The stylus goes where WindowFromPoint says: a window that answers
// WM_NCHITTEST with HTTRANSPARENT lets the tap through to the window beneath
// it, and a static control without SS_NOTIFY does so by itself.
TEST_F(Input, TapGoesThroughWindowsThatAreTransparentToIt) {
    struct Case {
        const char* what;
        const char* covering;  // what lies over the point: "static", "notify static", "child", "popup"
        const char* receiver;  // who gets the tap's button messages ("" for nobody)
        LPARAM at;             // where, in the receiver's client area
        bool clicked;          // the parent heard STN_CLICKED from the static
        const char* documented_only = nullptr;
    };
    const Case cases[] = {
        {"a static without SS_NOTIFY: its parent", "static", "main", MAKELPARAM(60, 24), false},
        {"a static with SS_NOTIFY: itself, which tells its parent", "notify static", "", 0, true},
        {"a child answering HTTRANSPARENT: the sibling beneath", "child", "beneath", MAKELPARAM(30, 4), false},
        // A top-level window of the same thread passes the tap on too, as
        // WM_NCHITTEST's documentation says; Wine leaves top-level hit
        // testing to the X server and does not.
        {"a popup answering HTTRANSPARENT: the window beneath", "popup", "main", MAKELPARAM(60, 24), false,
         "https://learn.microsoft.com/en-us/windows/win32/inputdev/wm-nchittest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.documented_only && !wintest::documented_only(c.documented_only)) continue;
        start_afresh();
        HWND main = make_main();  // client (0, 0) is the screen's (0, 26)
        // The screen's point (60, 50) lies under every covering window.
        std::string covering = c.covering;
        if (covering == "static" || covering == "notify static")
            create_control(TEXT("static"), TEXT("Tap the center"), WS_VISIBLE | SS_CENTER | (covering == "static" ? 0 : SS_NOTIFY),
                           20, 10, 200, 40, main, 77);
        if (covering == "child") {
            create("beneath", WS_CHILD | WS_VISIBLE, 30, 20, 100, 20, main);
            // Made after "beneath", so in front of it.
            on("cover", WM_NCHITTEST, [](HWND, WPARAM, LPARAM) { return LRESULT(HTTRANSPARENT); });
            create("cover", WS_CHILD | WS_VISIBLE, 20, 10, 200, 40, main);
        }
        if (covering == "popup") {
            on("cover", WM_NCHITTEST, [](HWND, WPARAM, LPARAM) { return LRESULT(HTTRANSPARENT); });
            create("cover", WS_POPUP | WS_VISIBLE, 0, 30, 240, 60, nullptr, 0, 0, TEXT("RedRecorder"));
        }
        pump();
        take();
        then_tap(60, 50);
        deliver();
        std::vector<wintest::Expected> want;
        if (*c.receiver) {
            want.push_back({c.receiver, WM_LBUTTONDOWN, kLparam, 0, c.at});
            want.push_back({c.receiver, WM_LBUTTONUP, kLparam, 0, c.at});
        }
        if (c.clicked) want.push_back({"main", WM_COMMAND, kWparam, MAKEWPARAM(77, 0 /* STN_CLICKED */)});
        EXPECT_TRUE(sequence_matches(take_only({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_COMMAND}), want));
    }
}

TEST_F(Input, PadKeysGoToTheFocusWindow) {
    HWND main = make_main();
    // Like a test's key catcher: an invisible child holding the focus.
    HWND catcher = create("catcher", WS_CHILD, 130, 230, 80, 20, main, 0, 1009);
    SetFocus(catcher);
    ASSERT_EQ(GetFocus(), catcher);
    pump();
    for (int vk : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN}) {
        SCOPED_TRACE(vk);
        take();
        then_press(vk);
        deliver();
        std::vector<wintest::Logged> keys = take_only({WM_KEYDOWN, WM_KEYUP});
        EXPECT_TRUE(sequence_matches(keys, {{"catcher", WM_KEYDOWN, kWparam, WPARAM(vk)},
                                            {"catcher", WM_KEYUP, kWparam, WPARAM(vk)}}));
        // One press, no repeat: the count, the previous state and the
        // transition bits (the scan code depends on the keyboard).
        const std::vector<LPARAM> flags = {1, LPARAM(0xC0000001)};
        for (size_t i = 0; i < keys.size() && i < flags.size(); ++i)
            EXPECT_EQ(keys[i].lp & LPARAM(0xC000FFFF), flags[i]) << wintest::message_name(keys[i].msg);
    }
}

}  // namespace
