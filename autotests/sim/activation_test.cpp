// Which window is active: a disabled window never is, whatever asks for it
// (the window that disabled it, a box or a dialog, is activated instead);
// the device's SetForegroundWindow with the handle's lowest bit set
// brings a window forward with the windows it owns and activates the one
// of them that was active last; and the focus follows the activation: it
// is in the active window or nowhere.
#include "window_test_support.h"

#include <algorithm>
#include <map>

namespace {

using wintest::DialogTemplateBuilder;
using wintest::Expected;
using wintest::kOptional;
using wintest::kParams;
using wintest::kWparam;
using wintest::sequence_matches;

// The pages for where the focus goes when the activation moves: the window
// being activated hears WM_ACTIVATE, and the default procedure's answer
// gives it the focus; a window may be active without the focus (keys then
// come as WM_SYSKEYDOWN); SetActiveWindow activates a top-level window.
const char* const kActivatePage = "https://learn.microsoft.com/en-us/windows/win32/inputdev/wm-activate";
const char* const kSetFocusPage = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-setfocus";
const char* const kSetActiveWindowPage =
    "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-setactivewindow";
// DestroyWindow deactivates the window and takes the focus from it; the
// window being activated hears in WM_ACTIVATE's lParam which window is
// being deactivated (kActivatePage); ShowWindow hides a window.
const char* const kDestroyWindowPage =
    "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-destroywindow";
const char* const kShowWindowPage = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-showwindow";
const char* const kKillFocusPage = "https://learn.microsoft.com/en-us/windows/win32/inputdev/wm-killfocus";

class Activation : public wintest::WindowTest {
protected:
    // Whether `first` stands in front of `second` among the visible
    // top-level windows.
    ::testing::AssertionResult in_front(const std::string& first, const std::string& second) const {
        std::vector<std::string> z = z_order();
        auto a = std::find(z.begin(), z.end(), first), b = std::find(z.begin(), z.end(), second);
        if (a != z.end() && b != z.end() && a < b) return ::testing::AssertionSuccess();
        std::string order;
        for (auto& n : z) order += n + " ";
        return ::testing::AssertionFailure() << first << " is not in front of " << second << ": " << order;
    }
    // The activations of `log` that made a window active.
    static std::vector<std::string> activated(const std::vector<wintest::Logged>& log) {
        std::vector<std::string> out;
        for (auto& m : log)
            if (m.msg == WM_ACTIVATE && LOWORD(m.wp) != WA_INACTIVE) out.push_back(m.window);
        return out;
    }
};

// Every way of activating a window, tried on the owner of an open modal
// dialog while another window is active: the dialog becomes active (or
// stays so), the owner never hears WM_ACTIVATE with an activation, and the
// focus is in the dialog.
TEST_F(Activation, DisabledWindowIsNeverActivated) {
    struct Case {
        const char* what;
        std::function<void(HWND main, HWND child, HWND other)> act;
        // Wine activates a disabled window when asked to by name.
        const char* documented_only = nullptr;
    };
    const char* const asked = wintest::kEnableWindow;
    const Case cases[] = {
        {"SetActiveWindow", [](HWND main, HWND, HWND) { SetActiveWindow(main); }, asked},
        {"SetForegroundWindow", [](HWND main, HWND, HWND) { SetForegroundWindow(main); }, asked},
        {"SetFocus on its child", [](HWND, HWND child, HWND) { SetFocus(child); }, asked},
        {"ShowWindow", [](HWND main, HWND, HWND) { ShowWindow(main, SW_SHOW); }, asked},
        {"SetWindowPos showing it", [](HWND main, HWND, HWND) {
             SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
         }, asked},
        {"a tap on it", [](HWND, HWND, HWND) { queue_tap(200, 300); }, asked},
        {"the active window going away", [](HWND, HWND, HWND other) { DestroyWindow(other); }},
        {"the active window hidden", [](HWND, HWND, HWND other) { ShowWindow(other, SW_HIDE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.documented_only && !wintest::documented_only(c.documented_only)) continue;
        start_afresh();
        HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
        HWND child = create("child", WS_CHILD | WS_VISIBLE, 10, 250, 50, 20, main);
        pump();
        DialogTemplateBuilder t(WS_POPUP | DS_MODALFRAME | DS_SETFONT, 0, 0, 120, 60, TEXT("dlg"));
        t.item(0x80, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 5, 40, 14, IDOK, TEXT("OK"));
        HWND dlg = nullptr, other = nullptr;
        keep_handle("dlg", &dlg);
        end_on_command("dlg");
        then([&] {
            // Another program's window comes in front and is active.
            other = create("other", WS_POPUP | WS_VISIBLE, 0, 26, 240, 60);
            ASSERT_EQ(GetActiveWindow(), other);
            take();
            c.act(main, child, other);
        });
        then([&] {
            EXPECT_EQ(GetActiveWindow(), dlg);
            HWND focus = GetFocus();
            EXPECT_TRUE(focus == dlg || GetParent(focus) == dlg) << "the focus is outside the dialog";
            std::vector<std::string> got = activated(take());
            EXPECT_EQ(std::count(got.begin(), got.end(), "main"), 0) << "the disabled window was activated";
            PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(55, BN_CLICKED), 0);
        });
        EXPECT_EQ(run_dialog(t, main), 55);
        EXPECT_TRUE(IsWindowEnabled(main));
    }
}

// The device's SetForegroundWindow: with the handle's lowest bit set (what a
// second copy of a program does to the first), the window comes forward
// with the windows it owns and the one of them that was active last is
// activated; a plain handle activates the window itself.  (This use of the
// handle's low bit belongs to Windows CE; on the desktop it would name
// another handle.)
TEST_F(Activation, ForegroundWithTheLowBitReactivatesTheLastActiveOwnedWindow) {
    WINTEST_DEVICE_ONLY(wintest::kForegroundLowBit);
    struct Case {
        const char* what;
        const char* last_active;  // of main's group, before "other" came
        bool low_bit;
        const char* expected;
    };
    const Case cases[] = {
        {"an owned window was active last", "owned2", true, "owned2"},
        {"the other owned window", "owned1", true, "owned1"},
        {"the window itself was active last", "main", true, "main"},
        {"a plain handle: the window itself", "owned2", false, "main"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
        HWND owned1 = create("owned1", WS_POPUP | WS_VISIBLE, 10, 60, 100, 60, main);
        HWND owned2 = create("owned2", WS_POPUP | WS_VISIBLE, 120, 60, 100, 60, main);
        std::string last = c.last_active;
        SetActiveWindow(last == "main" ? main : last == "owned1" ? owned1 : owned2);
        HWND other = create("other", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294);
        ASSERT_EQ(GetActiveWindow(), other);
        pump();
        take();

        HWND h = c.low_bit ? reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(main) | 1) : main;
        EXPECT_TRUE(SetForegroundWindow(h));
        EXPECT_EQ(name_of(GetActiveWindow()), c.expected);
        EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE}), {{"other", WM_ACTIVATE, kWparam, WA_INACTIVE},
                                                                 {c.expected, WM_ACTIVATE, kWparam, WA_ACTIVE}}));
        EXPECT_TRUE(in_front("main", "other"));
        if (c.low_bit) {
            // The owned windows came along, above their owner.
            EXPECT_TRUE(in_front("owned1", "other"));
            EXPECT_TRUE(in_front("owned2", "other"));
            EXPECT_TRUE(in_front("owned1", "main"));
            EXPECT_TRUE(in_front("owned2", "main"));
        }
    }
}

// The case that starts a second copy of a program while the first shows a
// message box: the box, not its disabled owner, comes forward and is
// active; the owner is never activated.
TEST_F(Activation, ForegroundWithTheLowBitFindsTheOpenMessageBox) {
    WINTEST_DEVICE_ONLY(wintest::kForegroundLowBit);
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    pump();
    then([&] {
        create("other", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294);
        ASSERT_NE(GetActiveWindow(), message_box());
        take();
        EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(main) | 1)));
        EXPECT_EQ(GetActiveWindow(), message_box());
        EXPECT_TRUE(in_front("msgbox", "other"));
        EXPECT_TRUE(in_front("msgbox", "main"));
        EXPECT_TRUE(in_front("main", "other"));
        EXPECT_TRUE(activated(take()).empty()) << "main was activated";
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(ask(main, TEXT("Can you hear it?"), TEXT("Sound"), MB_OKCANCEL), IDOK);
    EXPECT_EQ(GetActiveWindow(), main);
}

// A has the focus (on itself or on its child); B answers WM_ACTIVATE
// itself, without the default procedure, and is activated.  The focus does
// not stay behind in A, which is no longer active: once B's WM_ACTIVATE has
// returned, the focus is moved into B (B itself, unless B put it on one of
// its children meanwhile), with WM_KILLFOCUS to the window that had it and
// WM_SETFOCUS to the one that has it.  (kActivatePage, kSetFocusPage and
// kSetActiveWindowPage leave this open; both Win32s do so.)
TEST_F(Activation, TheFocusFollowsTheActivationIntoAWindowThatAnswersItItself) {
    enum class By { SetActiveWindow, SetWindowPos, SetForegroundWindow, Tap };
    enum class Then { Nothing, FocusItsChild, FocusNowhere };
    struct Case {
        const char* what;
        By by;
        const char* focus_before;  // "a" or "a_child"
        Then b_does;               // in its WM_ACTIVATE
        const char* focus_after;
    };
    const Case cases[] = {
        {"SetActiveWindow", By::SetActiveWindow, "a", Then::Nothing, "b"},
        {"SetWindowPos", By::SetWindowPos, "a", Then::Nothing, "b"},
        {"SetForegroundWindow", By::SetForegroundWindow, "a", Then::Nothing, "b"},
        {"a tap on B", By::Tap, "a", Then::Nothing, "b"},
        {"the focus on A's child", By::SetActiveWindow, "a_child", Then::Nothing, "b"},
        {"B gives the focus to its child", By::SetActiveWindow, "a", Then::FocusItsChild, "b_child"},
        {"B takes the focus away", By::SetActiveWindow, "a", Then::FocusNowhere, "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        std::map<std::string, HWND> w;
        w["a"] = create("a", WS_VISIBLE | WS_POPUP, 0, 30, 240, 120);
        w["a_child"] = create("a_child", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, w["a"]);
        on("b", WM_ACTIVATE, [&](HWND h, WPARAM wp, LPARAM) {
            if (LOWORD(wp) == WA_INACTIVE) return LRESULT(0);
            if (c.b_does == Then::FocusItsChild) SetFocus(GetWindow(h, GW_CHILD));
            if (c.b_does == Then::FocusNowhere) SetFocus(nullptr);
            return LRESULT(0);
        });
        // B shows below A without being activated.
        w["b"] = create("b", WS_POPUP, 0, 170, 240, 120);
        w["b_child"] = create("b_child", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, w["b"]);
        SetWindowPos(w["b"], w["a"], 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        SetActiveWindow(w["a"]);
        SetFocus(w[c.focus_before]);
        pump();
        ASSERT_EQ(GetActiveWindow(), w["a"]);
        ASSERT_EQ(GetFocus(), w[c.focus_before]);
        take();

        switch (c.by) {
            case By::SetActiveWindow: SetActiveWindow(w["b"]); break;
            case By::SetWindowPos: SetWindowPos(w["b"], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); break;
            case By::SetForegroundWindow: SetForegroundWindow(w["b"]); break;
            case By::Tap:
                then_tap(120, 280);
                EXPECT_FALSE(run_loop());
                break;
        }
        EXPECT_EQ(GetActiveWindow(), w["b"]);
        EXPECT_EQ(name_of(GetFocus()), c.focus_after);
        const WPARAM how = c.by == By::Tap ? WA_CLICKACTIVE : WA_ACTIVE;
        std::vector<Expected> sequence = {
            {"a", WM_ACTIVATE, kParams, WA_INACTIVE, LPARAM(w["b"])},
            {"b", WM_ACTIVATE, kParams, how, LPARAM(w["a"])},
            {c.focus_before, WM_KILLFOCUS, kWparam, WPARAM(w[c.focus_after])},
            {c.focus_after, WM_SETFOCUS, kWparam, WPARAM(w[c.focus_before])},
        };
        if (c.b_does == Then::FocusNowhere) {
            // Taken away first, then given to B when its WM_ACTIVATE is done.
            sequence[2].wp = 0;
            sequence[3].wp = 0;
        }
        EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS}), sequence));
    }
}

// The active window goes, destroyed or hidden, and no other window can take
// the activation: nothing is active and nothing has the focus; the window
// that had the focus hears WM_KILLFOCUS.
TEST_F(Activation, WithNoWindowLeftToActivateNothingHasTheFocus) {
    struct Case {
        const char* what;
        bool destroy;
        bool focus_on_child;
        std::vector<Expected> sequence;
    };
    const Case cases[] = {
        // (The dying window hears of its deactivation: kDestroyWindowPage.)
        {"the window destroyed", true, false,
         {{"a", WM_ACTIVATE, kParams, WA_INACTIVE, 0}, {"a", WM_KILLFOCUS, kWparam, 0}}},
        {"the window hidden", false, false,
         {{"a", WM_ACTIVATE, kParams, WA_INACTIVE, 0}, {"a", WM_KILLFOCUS, kWparam, 0}}},
        {"the window hidden, the focus on its child", false, true,
         {{"a", WM_ACTIVATE, kParams, WA_INACTIVE, 0}, {"a_child", WM_KILLFOCUS, kWparam, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND a = create("a", WS_VISIBLE | WS_POPUP, 0, 30, 240, 120);
        HWND a_child = create("a_child", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, a);
        SetFocus(c.focus_on_child ? a_child : a);
        pump();
        ASSERT_EQ(GetActiveWindow(), a);
        take();
        if (c.destroy)
            DestroyWindow(a);
        else
            ShowWindow(a, SW_HIDE);
        EXPECT_EQ(GetActiveWindow(), nullptr);
        EXPECT_EQ(GetFocus(), nullptr);
        EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS}), c.sequence));
    }
}

// The active window B goes, destroyed or hidden, while A can take the
// activation: B hears WM_ACTIVATE(WA_INACTIVE) naming A while it is still
// a window (before WM_DESTROY, kDestroyWindowPage), then A hears that it is
// active, naming B (kActivatePage), and the focus moves from B (or its
// child) to A.
TEST_F(Activation, TheWindowThatGoesHandsTheActivationOnWhileItIsAWindow) {
    struct Case {
        const char* what;
        bool destroy;
        const char* focus_before;  // "b" or "b_child"
    };
    const Case cases[] = {
        {"destroyed", true, "b"},
        {"destroyed, the focus on its child", true, "b_child"},
        {"hidden", false, "b"},
        {"hidden, the focus on its child", false, "b_child"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        std::map<std::string, HWND> w;
        w["a"] = create("a", WS_VISIBLE | WS_POPUP, 0, 30, 240, 120);
        w["b"] = create("b", WS_VISIBLE | WS_POPUP, 0, 170, 240, 120);
        w["b_child"] = create("b_child", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, w["b"]);
        SetFocus(w[c.focus_before]);
        pump();
        ASSERT_EQ(GetActiveWindow(), w["b"]);
        take();
        if (c.destroy)
            DestroyWindow(w["b"]);
        else
            ShowWindow(w["b"], SW_HIDE);
        EXPECT_EQ(GetActiveWindow(), w["a"]);
        EXPECT_EQ(GetFocus(), w["a"]);
        std::vector<Expected> sequence = {
            {"b", WM_ACTIVATE, kParams, WA_INACTIVE, LPARAM(w["a"])},
            {"a", WM_ACTIVATE, kParams, WA_ACTIVE, LPARAM(w["b"])},
            {c.focus_before, WM_KILLFOCUS, kWparam, WPARAM(w["a"])},
            {"a", WM_SETFOCUS, kWparam, WPARAM(w[c.focus_before])},
        };
        if (c.destroy) {
            sequence.push_back({"b", WM_DESTROY});
            sequence.push_back({"b_child", WM_DESTROY});
        } else {
            sequence.insert(sequence.begin(), {"b", WM_SHOWWINDOW, kWparam, FALSE});
        }
        EXPECT_TRUE(sequence_matches(
            take_only({WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS, WM_SHOWWINDOW, WM_DESTROY}), sequence));
    }
}

// A, active, activates C from its WM_ACTIVATE(WA_INACTIVE) when B is
// activated: C takes over from A, then B from C, and B's WM_ACTIVATE names
// C, the window that was deactivated for it (kActivatePage).  (A hears of
// its deactivation once for each; both Win32s do so.)
TEST_F(Activation, AWindowActivatedMeanwhileIsTheOneTheNextTakesOverFrom) {
    std::map<std::string, HWND> w;
    w["a"] = create("a", WS_VISIBLE | WS_POPUP, 0, 30, 240, 80);
    w["b"] = create("b", WS_VISIBLE | WS_POPUP, 0, 130, 240, 80);
    w["c"] = create("c", WS_VISIBLE | WS_POPUP, 0, 230, 240, 80);
    SetActiveWindow(w["a"]);
    bool done = false;
    on("a", WM_ACTIVATE, [&](HWND, WPARAM wp, LPARAM) {
        if (LOWORD(wp) == WA_INACTIVE && !done) {
            done = true;
            SetActiveWindow(w["c"]);
        }
        return LRESULT(0);
    });
    pump();
    ASSERT_EQ(GetActiveWindow(), w["a"]);
    take();
    SetActiveWindow(w["b"]);
    EXPECT_EQ(GetActiveWindow(), w["b"]);
    EXPECT_EQ(GetFocus(), w["b"]);
    EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS}),
                                 {{"a", WM_ACTIVATE, kParams, WA_INACTIVE, LPARAM(w["b"])},
                                  {"a", WM_ACTIVATE, kParams, WA_INACTIVE, LPARAM(w["c"])},
                                  {"c", WM_ACTIVATE, kParams, WA_ACTIVE, LPARAM(w["a"])},
                                  {"a", WM_KILLFOCUS, kWparam, WPARAM(w["c"])},
                                  {"c", WM_SETFOCUS, kWparam, WPARAM(w["a"])},
                                  {"b", WM_ACTIVATE, kParams, WA_ACTIVE, LPARAM(w["c"])},
                                  {"c", WM_KILLFOCUS, kWparam, WPARAM(w["b"])},
                                  {"b", WM_SETFOCUS, kWparam, WPARAM(w["c"])}}));
}

// The child C of the active window A has the focus and is hidden, destroyed
// or disabled.  Hidden or destroyed, it gives the focus to its parent: C
// hears WM_KILLFOCUS naming A, then A WM_SETFOCUS naming C (after
// WM_SHOWWINDOW, before WM_DESTROY).  Disabled, it loses the focus to
// nobody before it hears WM_ENABLE.  (kShowWindowPage, kDestroyWindowPage
// and kKillFocusPage leave where it goes open; both Win32s do so.)
TEST_F(Activation, AFocusedChildThatIsHiddenDestroyedOrDisabledLetsTheFocusGo) {
    enum class Do { Hide, Destroy, Disable };
    struct Case {
        const char* what;
        Do act;
        const char* focus_after;  // "a" or "" for nowhere
    };
    const Case cases[] = {
        {"hidden", Do::Hide, "a"},
        {"destroyed", Do::Destroy, "a"},
        {"disabled", Do::Disable, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        std::map<std::string, HWND> w;
        w["a"] = create("a", WS_VISIBLE | WS_POPUP, 0, 30, 240, 220);
        w["c"] = create("c", WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, w["a"]);
        SetFocus(w["c"]);
        pump();
        ASSERT_EQ(GetActiveWindow(), w["a"]);
        ASSERT_EQ(GetFocus(), w["c"]);
        take();
        switch (c.act) {
            case Do::Hide: ShowWindow(w["c"], SW_HIDE); break;
            case Do::Destroy: DestroyWindow(w["c"]); break;
            case Do::Disable: EnableWindow(w["c"], FALSE); break;
        }
        EXPECT_EQ(GetActiveWindow(), w["a"]);
        EXPECT_EQ(name_of(GetFocus()), c.focus_after);
        std::vector<Expected> sequence;
        if (c.act == Do::Disable) {
            sequence = {{"c", WM_KILLFOCUS, kWparam, 0}, {"c", WM_ENABLE, kWparam, FALSE}};
        } else {
            sequence = {{"c", WM_KILLFOCUS, kWparam, WPARAM(w["a"])}, {"a", WM_SETFOCUS, kWparam, WPARAM(w["c"])}};
            if (c.act == Do::Destroy) sequence.push_back({"c", WM_DESTROY});
        }
        EXPECT_TRUE(sequence_matches(
            take_only({WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS, WM_ENABLE, WM_DESTROY}), sequence));
    }
}

// In a dialog, the focused button is hidden or destroyed: the dialog, given
// the focus as its parent, passes it on to its first tab stop that can
// take it, never back to the button that went.
TEST_F(Activation, ADialogGivesTheFocusOfAControlThatWentToItsFirstTabStop) {
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "hidden");
        start_afresh();
        HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
        pump();
        DialogTemplateBuilder t(wintest::kDialogStyle, 0, 0, 120, 60, TEXT("dlg"));
        t.item(wintest::kButton, wintest::kPush, 5, 5, 40, 14, 101, TEXT("One"));
        t.item(wintest::kButton, wintest::kPush, 5, 25, 40, 14, 102, TEXT("Two"));
        HWND dlg = nullptr;
        keep_handle("dlg", &dlg);
        then([&] {
            HWND one = GetDlgItem(dlg, 101);
            SetFocus(one);
            ASSERT_EQ(GetFocus(), one);
            if (destroy)
                DestroyWindow(one);
            else
                ShowWindow(one, SW_HIDE);
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 102));
            EndDialog(dlg, 5);
        });
        EXPECT_EQ(run_dialog(t, main), 5);
    }
}

}  // namespace
