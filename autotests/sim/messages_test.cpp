// Window creation and destruction, the order of the message queue, sent
// messages and timers on the virtual clock.
#include "window_test_support.h"

#include <algorithm>

namespace {

using wintest::Expected;
using wintest::kLparam;
using wintest::kOptional;
using wintest::kParams;
using wintest::kWparam;
using wintest::sequence_matches;

class Messages : public wintest::WindowTest {};

// On the device a window created at CW_USEDEFAULT fills the screen below the
// task bar; a desktop places such a window at a cascading default place.
const char* const kDefaultPlace =
    "https://library.thedatadungeon.com/msdn-1998-06/CEGuide/devdoc/good/wince/window_2qsz.content.htm";

TEST_F(Messages, CreationSendsItsMessagesInOrder) {
    struct Case {
        const char* what;
        DWORD style;
        int x, y, width, height;
        bool handles_activate;  // answers WM_ACTIVATE itself, without the default procedure
        RECT rect;
        std::vector<Expected> sequence;
        const char* device_only = nullptr;
    };
    const RECT work = work_area();
    const Case cases[] = {
        {"visible, default place",
         WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, false, work,
         {{"w", WM_CREATE},
          {"w", WM_SIZE, kLparam, 0, MAKELPARAM(work.right - work.left, work.bottom - work.top)},
          {"w", WM_MOVE, kLparam, 0, MAKELPARAM(work.left, work.top)},
          {"w", WM_SHOWWINDOW, kWparam, TRUE},
          {"w", WM_ACTIVATE, kParams, WA_ACTIVE, 0},
          {"w", WM_SETFOCUS, kWparam, 0}},
         kDefaultPlace},
        {"visible, given place",
         WS_VISIBLE | WS_POPUP, 10, 40, 100, 50, false, {10, 40, 110, 90},
         {{"w", WM_CREATE},
          {"w", WM_SIZE, kLparam, 0, MAKELPARAM(100, 50)},
          {"w", WM_MOVE, kLparam, 0, MAKELPARAM(10, 40)},
          {"w", WM_SHOWWINDOW, kWparam, TRUE},
          {"w", WM_ACTIVATE, kWparam, WA_ACTIVE},
          {"w", WM_SETFOCUS}}},
        // The focus follows the activation even when the window answers
        // WM_ACTIVATE without the default procedure (which would give it).
        {"visible, activation answered by the window itself",
         WS_VISIBLE | WS_POPUP, 0, 30, 240, 200, true, {0, 30, 240, 230},
         {{"w", WM_CREATE},
          {"w", WM_SIZE},
          {"w", WM_MOVE},
          {"w", WM_SHOWWINDOW},
          {"w", WM_ACTIVATE, kParams, WA_ACTIVE, 0},
          {"w", WM_SETFOCUS, kWparam, 0}}},
        {"hidden: neither shown nor activated",
         WS_POPUP, 0, 30, 240, 200, false, {0, 30, 240, 230},
         {{"w", WM_CREATE}, {"w", WM_SIZE}, {"w", WM_MOVE}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.device_only && !wintest::device_only(c.device_only)) continue;
        start_afresh();
        if (c.handles_activate) on("w", WM_ACTIVATE, [](HWND, WPARAM, LPARAM) { return LRESULT(0); });
        HWND w = create("w", c.style, c.x, c.y, c.width, c.height);
        ASSERT_TRUE(w);
        EXPECT_TRUE(sequence_matches(take_only({WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS,
                                                WM_KILLFOCUS, WM_DESTROY}),
                                     c.sequence));
        RECT r;
        ASSERT_TRUE(GetWindowRect(w, &r));
        EXPECT_EQ(r.left, c.rect.left);
        EXPECT_EQ(r.top, c.rect.top);
        EXPECT_EQ(r.right, c.rect.right);
        EXPECT_EQ(r.bottom, c.rect.bottom);
        bool visible = (c.style & WS_VISIBLE) != 0;
        EXPECT_EQ(GetActiveWindow(), visible ? w : nullptr);
        EXPECT_EQ(GetFocus(), visible ? w : nullptr);
    }
}

TEST_F(Messages, CreateReturningMinusOneFailsCreation) {
    HWND main = create_main("main");
    take();
    on("doomed", WM_CREATE, [](HWND, WPARAM, LPARAM) { return LRESULT(-1); });
    HWND doomed = create("doomed", WS_VISIBLE | WS_POPUP, 10, 40, 100, 100);
    EXPECT_EQ(doomed, nullptr);
    // Whether the failed window hears WM_DESTROY is left open.
    EXPECT_TRUE(sequence_matches(take(), {{"doomed", WM_CREATE}, {"doomed", WM_DESTROY, kOptional}}));
    EXPECT_EQ(GetActiveWindow(), main);
    std::vector<std::string> z = z_order();
    EXPECT_EQ(std::count(z.begin(), z.end(), "doomed"), 0);
}

TEST_F(Messages, DestroyWindowTakesOwnedWindowsFirstAndParentsBeforeChildren) {
    struct Case {
        const char* what;
        const char* victim;
        const char* active_after;
        std::vector<Expected> sequence;
    };
    const Case cases[] = {
        // The active owned window goes: its owner becomes active.  (Whether
        // the dying window hears of its deactivation first is left open.)
        {"an owned window", "owned", "main",
         {{"owned", WM_ACTIVATE, kWparam | kOptional, WA_INACTIVE},
          {"main", WM_ACTIVATE, kWparam, WA_ACTIVE},
          {"owned", WM_KILLFOCUS},
          {"main", WM_SETFOCUS},
          {"owned", WM_DESTROY},
          {"owned_child", WM_DESTROY}}},
        // The owner goes: it is hidden first, its owned window is destroyed
        // (the activation passing to another window, not to the dying owner),
        // then the owner and its children, parents before children.
        {"the owner", "main", "other",
         {{"owned", WM_ACTIVATE, kWparam | kOptional, WA_INACTIVE},
          {"other", WM_ACTIVATE, kWparam, WA_ACTIVE},
          {"owned", WM_KILLFOCUS},
          {"other", WM_SETFOCUS},
          {"owned", WM_DESTROY},
          {"owned_child", WM_DESTROY},
          {"main", WM_DESTROY},
          {"child1", WM_DESTROY},
          {"grandchild", WM_DESTROY},
          {"child2", WM_DESTROY}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND other = create("other", WS_VISIBLE | WS_POPUP, 0, 200, 240, 120);
        HWND main = create("main", WS_VISIBLE | WS_POPUP, 0, 26, 240, 200);
        HWND child1 = create("child1", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, main);
        create("grandchild", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, child1);
        create("child2", WS_CHILD | WS_VISIBLE, 100, 0, 100, 100, main);
        HWND owned = create("owned", WS_VISIBLE | WS_POPUP, 20, 60, 200, 100, main);
        create("owned_child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, owned);
        ASSERT_EQ(GetActiveWindow(), owned);
        pump();
        take();
        HWND victim = std::string(c.victim) == "main" ? main : owned;
        EXPECT_TRUE(DestroyWindow(victim));
        EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_DESTROY}), c.sequence));
        EXPECT_FALSE(IsWindow(victim));
        EXPECT_FALSE(IsWindow(owned));
        HWND expected_active = std::string(c.active_after) == "main" ? main : other;
        EXPECT_EQ(GetActiveWindow(), expected_active);
        EXPECT_EQ(GetFocus(), expected_active);
    }
}

TEST_F(Messages, QueueOrderIsPostedQuitInputPaintTimer) {
    HWND main = create_main("main");
    pump();
    // Everything falls due at once, queued in the opposite order.
    SetTimer(main, 1, 10, nullptr);
    Sleep(50);
    InvalidateRect(main, nullptr, FALSE);
    queue_tap(100, 100);
    PostQuitMessage(3);
    PostMessageW(main, WM_USER + 1, 0, 0);
    PostMessageW(main, WM_USER + 2, 0, 0);
    std::vector<UINT> order;
    MSG m;
    while (order.size() < 20 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message != WM_MOUSEMOVE) order.push_back(m.message);  // a stylus has no hovering
        if (m.message == WM_QUIT)
            EXPECT_EQ(m.wParam, 3u);
        else
            DispatchMessageW(&m);
    }
    const std::vector<UINT> expected = {WM_USER + 1,    WM_USER + 2,  WM_QUIT, WM_LBUTTONDOWN,
                                        WM_LBUTTONUP,   WM_PAINT,     WM_TIMER};
    ASSERT_EQ(order.size(), expected.size());
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(wintest::message_name(order[i]), wintest::message_name(expected[i])) << "at " << i;
}

TEST_F(Messages, PostQuitMessageEndsGetMessageWithItsCode) {
    HWND main = create_main("main");
    pump();
    on("main", WM_USER, [](HWND, WPARAM, LPARAM) {
        PostQuitMessage(7);
        return LRESULT(0);
    });
    PostMessageW(main, WM_USER, 0, 0);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT(WM_USER));
    DispatchMessageW(&m);
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_EQ(m.wParam, 7u);
    // The quit is delivered once (whatever else the system still has queued).
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) EXPECT_NE(m.message, UINT(WM_QUIT));
}

TEST_F(Messages, SendMessageRunsTheProcedureBeforeReturning) {
    HWND main = create_main("main");
    HWND helper = create("helper", WS_CHILD, 0, 0, 10, 10, main);
    pump();
    take();
    // A sent message that sends another: both run, nested, before the first returns.
    on("main", WM_USER + 5, [helper](HWND, WPARAM wp, LPARAM) {
        return LRESULT(wp * 2 + SendMessageW(helper, WM_USER + 6, 0, 0));
    });
    on("helper", WM_USER + 6, [](HWND, WPARAM, LPARAM) { return LRESULT(1000); });
    EXPECT_EQ(SendMessageW(main, WM_USER + 5, 21, 0), 1042);
    EXPECT_TRUE(sequence_matches(take(), {{"main", WM_USER + 5, kWparam, 21}, {"helper", WM_USER + 6}}));
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Messages, TimerTicksDoNotPileUpBehindASlowHandler) {
    HWND main = create_main("main");
    pump();
    std::vector<uint64_t> ticks;
    std::vector<bool> another_queued;
    on("main", WM_TIMER, [&](HWND h, WPARAM id, LPARAM) {
        EXPECT_EQ(id, 1224u);
        ticks.push_back(now_ms());
        MSG m;
        another_queued.push_back(PeekMessageW(&m, h, WM_TIMER, WM_TIMER, PM_NOREMOVE) != FALSE);
        if (ticks.size() == 1) Sleep(1500);  // a slow handler (a sound played to its end)
        if (ticks.size() == 4) {
            EXPECT_TRUE(KillTimer(h, 1224));
        }
        return LRESULT(0);
    });
    ASSERT_NE(SetTimer(main, 1224, 700, nullptr), 0u);
    // The user lets time pass whenever the program waits; the tick after
    // the slow handler is due at once and needs no waiting.
    then_advance_to_next_timer();
    then_advance_to_next_timer();
    then_advance_to_next_timer();
    EXPECT_FALSE(run_loop());
    ASSERT_EQ(ticks.size(), 4u);
    // Two periods passed during the slow handler, yet one tick followed it.
    EXPECT_EQ(another_queued, (std::vector<bool>{false, false, false, false}));
    if (virtual_clock()) {
        EXPECT_EQ(ticks, (std::vector<uint64_t>{700, 2200, 2900, 3600}));
    }
    // Killed: no tick comes any more.
    Sleep(800);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, main, WM_TIMER, WM_TIMER, PM_NOREMOVE)) << "the killed timer is still due";
    EXPECT_FALSE(KillTimer(main, 1224));
}

}  // namespace
