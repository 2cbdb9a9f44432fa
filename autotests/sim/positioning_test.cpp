// Positioning and showing a window, and what it does to the activation and
// the z-order: SetWindowPos activates a visible top-level window unless
// told not to, ShowWindow as its command says, and the z-order places of
// SetWindowPos (the top, the bottom, behind a given window, the topmost
// band) for top-level and child windows alike.
#include "window_test_support.h"

#include <algorithm>

namespace {

using wintest::kWparam;
using wintest::sequence_matches;

class Positioning : public wintest::WindowTest {
protected:
    // The children of `parent`, front first.
    std::vector<std::string> child_order(HWND parent) const {
        std::vector<std::string> out;
        for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(name_of(h));
        return out;
    }
    // The named windows of `z_order()`, in its order.
    std::vector<std::string> order_of(std::initializer_list<const char*> names) const {
        std::vector<std::string> out;
        for (const std::string& n : z_order())
            if (std::find(names.begin(), names.end(), n) != names.end()) out.push_back(n);
        return out;
    }
};

// "SWP_NOACTIVATE: Does not activate the window. If this flag is not set,
// the window is activated and moved to the top of either the topmost or
// non-topmost group"; a child window is never the active one.
const char* const kSetWindowPos = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-setwindowpos";

// Two visible top-level pop-ups, "a" active and in front of "b"; a call on
// "b" (or on "a", or on b's child) leaves this window active, with this one
// in front.
TEST_F(Positioning, SetWindowPosActivatesUnlessToldNotTo) {
    const UINT still = SWP_NOMOVE | SWP_NOSIZE;
    struct Case {
        const char* what;
        const char* target;  // "a", "b" or "b_child"
        bool hide_b_first;
        HWND after;
        UINT flags;
        const char* active;
        const char* front;
    };
    const Case cases[] = {
        {"to the top", "b", false, HWND_TOP, still, "b", "b"},
        {"to the top, SWP_NOACTIVATE", "b", false, HWND_TOP, still | SWP_NOACTIVATE, "a", "b"},
        {"moved only: activated, so brought to the top", "b", false, HWND_TOP, SWP_NOSIZE | SWP_NOZORDER, "b", "b"},
        {"nothing asked but SWP_NOACTIVATE", "b", false, HWND_TOP, still | SWP_NOZORDER | SWP_NOACTIVATE, "a", "a"},
        {"made topmost", "b", false, HWND_TOPMOST, still, "b", "b"},
        {"made topmost, SWP_NOACTIVATE", "b", false, HWND_TOPMOST, still | SWP_NOACTIVATE, "a", "b"},
        {"the active one to the bottom, SWP_NOACTIVATE", "a", false, HWND_BOTTOM, still | SWP_NOACTIVATE, "a", "b"},
        {"shown by the call", "b", true, HWND_TOP, still | SWP_SHOWWINDOW, "b", "b"},
        {"shown by the call, SWP_NOACTIVATE", "b", true, HWND_TOP, still | SWP_SHOWWINDOW | SWP_NOACTIVATE, "a", "b"},
        {"a child: its window is not activated", "b_child", false, HWND_TOP, still, "a", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND b = create("b", WS_POPUP | WS_VISIBLE, 10, 60, 150, 150);
        HWND b_child = create("b_child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, b);
        HWND a = create("a", WS_POPUP | WS_VISIBLE, 60, 100, 150, 150);
        if (c.hide_b_first) ShowWindow(b, SW_HIDE);
        pump();
        ASSERT_EQ(GetActiveWindow(), a);
        take();
        std::string target = c.target;
        HWND h = target == "a" ? a : target == "b" ? b : b_child;
        EXPECT_TRUE(SetWindowPos(h, c.after, 20, 70, 0, 0, c.flags));
        pump();
        EXPECT_EQ(name_of(GetActiveWindow()), c.active);
        std::string other = std::string(c.active) == "a" ? "b" : "a";
        if (std::string(c.active) == "a") {
            EXPECT_TRUE(take_only({WM_ACTIVATE}).empty()) << "the activation changed";
        } else {
            EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE}), {{"a", WM_ACTIVATE, kWparam, WA_INACTIVE},
                                                                     {"b", WM_ACTIVATE, kWparam, WA_ACTIVE}}));
        }
        std::vector<std::string> z = order_of({"a", "b"});
        if (!z.empty() && wintest::documented_only(wintest::kZOrder)) {
            EXPECT_EQ(z.front(), c.front);
        }
    }
}

// ShowWindow: SW_SHOW and SW_SHOWNORMAL activate the window, SW_SHOWNA and
// SW_SHOWNOACTIVATE show it and leave the active window as it was, on a
// hidden window and on one already shown; SW_HIDE on the active window
// activates another.
const char* const kShowWindow = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-showwindow";

TEST_F(Positioning, ShowWindowActivatesAsItsCommandSays) {
    struct Case {
        const char* what;
        int cmd;
        bool b_hidden;
        const char* active;
        // Wine activates an inactive window that SW_SHOW finds shown already.
        const char* documented_only = nullptr;
    };
    const Case cases[] = {
        {"SW_SHOW", SW_SHOW, true, "b"},
        {"SW_SHOWNORMAL", SW_SHOWNORMAL, true, "b"},
        {"SW_SHOWNA", SW_SHOWNA, true, "a"},
        {"SW_SHOWNOACTIVATE", SW_SHOWNOACTIVATE, true, "a"},
        {"SW_SHOW, shown already", SW_SHOW, false, "b", kShowWindow},
        {"SW_SHOWNA, shown already", SW_SHOWNA, false, "a"},
        {"SW_SHOWNOACTIVATE, shown already", SW_SHOWNOACTIVATE, false, "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.documented_only && !wintest::documented_only(c.documented_only)) continue;
        start_afresh();
        HWND b = create("b", c.b_hidden ? WS_POPUP : WS_POPUP | WS_VISIBLE, 10, 60, 150, 150);
        HWND a = create("a", WS_POPUP | WS_VISIBLE, 60, 100, 150, 150);
        pump();
        ASSERT_EQ(GetActiveWindow(), a);
        EXPECT_EQ(ShowWindow(b, c.cmd) != FALSE, !c.b_hidden) << "the answer is whether it was visible";
        pump();
        EXPECT_TRUE(IsWindowVisible(b));
        EXPECT_EQ(name_of(GetActiveWindow()), c.active);
    }
}

// SW_HIDE "Hides the window and activates another window": the hidden one
// hears that it is no longer active, then the other that it is.
TEST_F(Positioning, HidingTheActiveWindowActivatesAnother) {
    create("b", WS_POPUP | WS_VISIBLE, 10, 60, 150, 150);
    HWND a = create("a", WS_POPUP | WS_VISIBLE, 60, 100, 150, 150);
    pump();
    take();
    EXPECT_TRUE(ShowWindow(a, SW_HIDE));
    pump();
    EXPECT_EQ(name_of(GetActiveWindow()), "b");
    EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE}), {{"a", WM_ACTIVATE, kWparam, WA_INACTIVE},
                                                             {"b", WM_ACTIVATE, kWparam, WA_ACTIVE}}));
}

// The z-order places of SetWindowPos, without activation: the top, the
// bottom, just behind a given window; HWND_BOTTOM takes a topmost window
// out of the topmost band ("If the hWnd parameter identifies a topmost
// window, the window loses its topmost status and is placed at the bottom
// of all other windows"); the same for the children of one window.
// https://learn.microsoft.com/en-us/previous-versions/ms961540(v=msdn.10)
TEST_F(Positioning, ZOrderPlacesTheWindowWhereAsked) {
    struct Case {
        const char* what;
        const char* moved;
        const char* after;  // "top", "bottom", "topmost" or a window's name
        std::vector<std::string> order;  // front first
        bool moved_topmost = false;
    };
    const Case cases[] = {
        {"the front one to the bottom", "one", "bottom", {"two", "three", "one"}},
        {"the back one to the top", "three", "top", {"three", "one", "two"}},
        {"the front one behind the back one", "one", "three", {"two", "three", "one"}},
        {"the back one behind the front one", "three", "one", {"one", "three", "two"}},
        {"behind itself: it stays", "two", "two", {"one", "two", "three"}},
        {"the back one made topmost", "three", "topmost", {"three", "one", "two"}, true},
    };
    for (bool children : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(children ? "children: " : "top-level: ") + c.what);
            start_afresh();
            HWND main = children ? create_main("main") : nullptr;
            const DWORD style = (children ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
            std::map<std::string, HWND> w;
            for (const char* name : {"three", "two", "one"}) {
                int at = 20 + 10 * int(w.size());
                w[name] = create(name, style, at, at + 60, 100, 100, main);
                // Each comes in front of the last (new children come in
                // behind their siblings, top-level windows in front).
                SetWindowPos(w[name], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
            pump();
            const std::vector<std::string> start = {"one", "two", "three"};
            ASSERT_EQ(children ? child_order(main) : order_of({"one", "two", "three"}), start);
            std::string after = c.after;
            HWND insert_after = after == "top" ? HWND_TOP
                                : after == "bottom" ? HWND_BOTTOM
                                : after == "topmost" ? HWND_TOPMOST
                                                     : w[after];
            if (children && insert_after == HWND_TOPMOST) continue;  // a top-level band only
            EXPECT_TRUE(SetWindowPos(w[c.moved], insert_after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
            pump();
            if (children) {
                EXPECT_EQ(child_order(main), c.order);
            } else {
                EXPECT_EQ(order_of({"one", "two", "three"}), c.order);
                EXPECT_EQ((GetWindowLongW(w[c.moved], GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, c.moved_topmost);
            }
        }
    }
}

// A topmost window sent to the bottom is topmost no more, and stands behind
// every other window; sent to the top it stays topmost.
// https://learn.microsoft.com/en-us/previous-versions/ms961540(v=msdn.10)
TEST_F(Positioning, TheBottomEndsTheTopmostBand) {
    HWND low = create("low", WS_POPUP | WS_VISIBLE, 20, 80, 100, 100);
    HWND high = create("high", WS_POPUP | WS_VISIBLE, 30, 90, 100, 100);
    pump();
    ASSERT_TRUE(SetWindowPos(high, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    ASSERT_TRUE(GetWindowLongW(high, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowPos(low, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(order_of({"low", "high"}), (std::vector<std::string>{"high", "low"})) << "the top of its band only";
    SetWindowPos(high, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(GetWindowLongW(high, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(order_of({"low", "high"}), (std::vector<std::string>{"low", "high"}));
}

}  // namespace
