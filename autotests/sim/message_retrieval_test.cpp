// What GetMessage and PeekMessage hand back: only the messages their window
// and range filters name, the rest staying queued in order; PM_NOREMOVE,
// PM_NOYIELD and WM_PAINT's way of staying until validated; WM_QUIT
// whatever the range; and the errors for a handle that is not a window,
// here and in PostMessage and SendMessage.
#include "window_test_support.h"

#include <algorithm>

namespace {

using wintest::message_name;

class MessageRetrieval : public wintest::WindowTest {
protected:
    // The parts of the queue this file speaks of: everything posted from
    // WM_USER on, the key and stylus messages, WM_PAINT and WM_TIMER.  (A
    // desktop adds pointer moves and system messages of its own.)
    static bool ours(UINT msg) {
        return msg >= WM_USER || msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_LBUTTONDOWN ||
               msg == WM_LBUTTONUP || msg == WM_PAINT || msg == WM_TIMER;
    }
    std::string describe(const MSG& m) const {
        return (m.hwnd ? name_of(m.hwnd) : std::string("thread")) + " " + message_name(m.message);
    }
    // Whether `h` is `filter` or lies inside it.
    static bool inside(HWND h, HWND filter) {
        for (; h; h = (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr)
            if (h == filter) return true;
        return false;
    }
    // Takes and dispatches what the filter lets through, until it lets
    // nothing more; every message handed back must pass the filter.
    std::vector<std::string> drain(HWND filter, UINT min, UINT max) {
        std::vector<std::string> got;
        MSG m;
        for (int i = 0; i < 100 && PeekMessageW(&m, filter, min, max, PM_REMOVE); ++i) {
            if (min || max) {
                EXPECT_TRUE(m.message >= min && m.message <= max) << describe(m) << " is out of range";
            }
            if (filter) {
                EXPECT_TRUE(inside(m.hwnd, filter)) << describe(m) << " is not the filter window's";
            }
            if (ours(m.message)) got.push_back(describe(m));
            DispatchMessageW(&m);
        }
        return got;
    }
};

// The device's GetMessage: "Zero indicates that the function retrieves the
// WM_QUIT message, or that lpMsg is an invalid pointer. -1 indicates that an
// error occurred, for example, the function fails if hWnd is an invalid
// window handle"; of the handles only NULL has a special meaning.
const char* const kDeviceGetMessage = "https://learn.microsoft.com/en-us/previous-versions/ms960724(v=msdn.10)";

// A queue holding one of everything: posted to a window, to its child and to
// the thread, a key press, a tap on the child, the child to paint and the
// window's timer due.  Each filter takes its part in the queue's order and
// leaves the rest, still in order, for a loop without filters.
// PeekMessage and GetMessage: "retrieves only messages associated with the
// window identified by the hWnd parameter or any of its children as
// specified by the IsChild function, and within the range of message values
// given by the wMsgFilterMin and wMsgFilterMax parameters."
// https://learn.microsoft.com/en-us/previous-versions/ms961300(v=msdn.10)
TEST_F(MessageRetrieval, FiltersTakeOnlyWhatTheyNameAndLeaveTheRestInOrder) {
    const std::vector<std::string> everything = {
        "main WM_USER+1",       "child WM_USER+2",    "thread WM_USER+3", "main WM_KEYDOWN", "main WM_KEYUP",
        "child WM_LBUTTONDOWN", "child WM_LBUTTONUP", "child WM_PAINT",   "main WM_TIMER"};
    struct Case {
        const char* what;
        const char* filter;  // "", "main" or "child"
        UINT min, max;
        std::vector<std::string> taken;
    };
    const Case cases[] = {
        {"no filter", "", 0, 0, everything},
        {"WM_TIMER alone", "", WM_TIMER, WM_TIMER, {"main WM_TIMER"}},
        {"a range of posted messages", "", WM_USER + 2, WM_USER + 3, {"child WM_USER+2", "thread WM_USER+3"}},
        {"the keys", "", WM_KEYFIRST, WM_KEYLAST, {"main WM_KEYDOWN", "main WM_KEYUP"}},
        {"the stylus", "", WM_MOUSEFIRST, WM_MOUSELAST, {"child WM_LBUTTONDOWN", "child WM_LBUTTONUP"}},
        {"WM_PAINT alone", "", WM_PAINT, WM_PAINT, {"child WM_PAINT"}},
        {"the child", "child", 0, 0, {"child WM_USER+2", "child WM_LBUTTONDOWN", "child WM_LBUTTONUP", "child WM_PAINT"}},
        {"the window and its child",
         "main",
         0,
         0,
         {"main WM_USER+1", "child WM_USER+2", "main WM_KEYDOWN", "main WM_KEYUP", "child WM_LBUTTONDOWN",
          "child WM_LBUTTONUP", "child WM_PAINT", "main WM_TIMER"}},
        {"the window's posted messages", "main", WM_USER, 0x7FFF, {"main WM_USER+1", "child WM_USER+2"}},
        {"the window's timer", "main", WM_TIMER, WM_TIMER, {"main WM_TIMER"}},
        {"the child's timers: none", "child", WM_TIMER, WM_TIMER, {}},
        {"nothing in range", "", WM_USER + 50, WM_USER + 60, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = create_main("main");
        HWND child = create("child", WS_CHILD | WS_VISIBLE, 0, 0, 60, 60, main);
        pump();
        ASSERT_EQ(GetFocus(), main);
        SetTimer(main, 1, 200, nullptr);
        Sleep(300);
        InvalidateRect(child, nullptr, FALSE);
        PostMessageW(main, WM_USER + 1, 0, 0);
        PostMessageW(child, WM_USER + 2, 0, 0);
        PostMessageW(nullptr, WM_USER + 3, 0, 0);
        queue_press('A');
        queue_tap_window(child);
        std::string filter = c.filter;
        HWND h = filter == "main" ? main : filter == "child" ? child : nullptr;
        EXPECT_EQ(drain(h, c.min, c.max), c.taken);
        std::vector<std::string> rest;
        for (const std::string& m : everything)
            if (std::find(c.taken.begin(), c.taken.end(), m) == c.taken.end()) rest.push_back(m);
        EXPECT_EQ(drain(nullptr, 0, 0), rest) << "what the filter left";
    }
}

// PM_NOREMOVE leaves the message for the next call; PM_NOYIELD changes
// nothing of what is fetched; a WM_PAINT stays until the window is
// validated, even with PM_REMOVE ("An exception is WM_PAINT messages, which
// are not removed from the queue"), and so does a due timer's WM_TIMER
// under PM_NOREMOVE.
// https://learn.microsoft.com/en-us/previous-versions/ms961300(v=msdn.10)
TEST_F(MessageRetrieval, NoRemoveLeavesTheMessageWhereItWas) {
    struct Peek {
        UINT flags;
        UINT min, max;
        const char* expected;  // "" for none
    };
    struct Case {
        const char* what;
        std::vector<Peek> peeks;
    };
    const UINT keep = PM_NOREMOVE, take = PM_REMOVE;
    const Case cases[] = {
        {"posted messages",
         {{keep, 0, 0, "main WM_USER+1"},
          {keep, 0, 0, "main WM_USER+1"},
          {take, 0, 0, "main WM_USER+1"},
          {take | PM_NOYIELD, 0, 0, "main WM_USER+2"},
          {keep | PM_NOYIELD, WM_USER, 0x7FFF, ""}}},
        {"a range passed over",
         {{keep, WM_USER + 2, WM_USER + 2, "main WM_USER+2"},
          {take, WM_USER + 2, WM_USER + 2, "main WM_USER+2"},
          {keep, 0, 0, "main WM_USER+1"},
          {take, WM_USER + 2, WM_USER + 2, ""},
          {take, WM_USER, 0x7FFF, "main WM_USER+1"}}},
        {"a key press",
         {{keep, WM_KEYFIRST, WM_KEYLAST, "main WM_KEYDOWN"},
          {take, WM_KEYFIRST, WM_KEYLAST, "main WM_KEYDOWN"},
          {keep, WM_KEYFIRST, WM_KEYLAST, "main WM_KEYUP"},
          {take, WM_KEYFIRST, WM_KEYLAST, "main WM_KEYUP"},
          {take, WM_KEYFIRST, WM_KEYLAST, ""}}},
        {"a window to paint",
         {{take, WM_PAINT, WM_PAINT, "main WM_PAINT"},
          {take, WM_PAINT, WM_PAINT, "main WM_PAINT"},
          {keep, WM_PAINT, WM_PAINT, "main WM_PAINT"}}},
        {"a due timer",
         {{keep, WM_TIMER, WM_TIMER, "main WM_TIMER"},
          {keep, WM_TIMER, WM_TIMER, "main WM_TIMER"},
          {take, WM_TIMER, WM_TIMER, "main WM_TIMER"},
          {take, WM_TIMER, WM_TIMER, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = create_main("main");
        pump();
        SetTimer(main, 1, 400, nullptr);
        Sleep(500);
        PostMessageW(main, WM_USER + 1, 0, 0);
        PostMessageW(main, WM_USER + 2, 0, 0);
        queue_press('A');
        InvalidateRect(main, nullptr, FALSE);
        for (size_t i = 0; i < c.peeks.size(); ++i) {
            const Peek& p = c.peeks[i];
            SCOPED_TRACE("peek " + std::to_string(i));
            MSG m;
            std::string got;
            // A desktop's pointer moves and system messages are passed over.
            while (PeekMessageW(&m, main, p.min, p.max, p.flags)) {
                if (ours(m.message)) {
                    got = describe(m);
                    break;
                }
                if (!(p.flags & PM_REMOVE)) PeekMessageW(&m, main, m.message, m.message, PM_REMOVE);
            }
            EXPECT_EQ(got, p.expected);
        }
    }
}

// WM_QUIT comes whatever range is asked for ("PeekMessage always retrieves
// WM_QUIT messages, no matter which values you specify for wMsgFilterMin and
// wMsgFilterMax"), after the posted messages the range takes; GetMessage
// then returns 0.  The messages passed over stay queued.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-peekmessagew
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getmessagew
TEST_F(MessageRetrieval, QuitComesWhateverTheRange) {
    struct Case {
        const char* what;
        bool get;  // GetMessage, else PeekMessage with PM_REMOVE
        UINT min, max;
        std::vector<std::string> before_quit;
    };
    const Case cases[] = {
        {"PeekMessage, a range with none of them", false, WM_TIMER, WM_TIMER, {}},
        {"PeekMessage, a range with one of them", false, WM_USER + 2, WM_USER + 2, {"main WM_USER+2"}},
        {"GetMessage, the keys", true, WM_KEYFIRST, WM_KEYLAST, {}},
        {"GetMessage, all", true, 0, 0, {"main WM_USER+1", "main WM_USER+2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = create_main("main");
        pump();
        PostMessageW(main, WM_USER + 1, 0, 0);
        PostMessageW(main, WM_USER + 2, 0, 0);
        PostQuitMessage(9);
        std::vector<std::string> got;
        MSG m{};
        for (int i = 0; i < 10; ++i) {
            if (c.get) {
                BOOL r = GetMessageW(&m, nullptr, c.min, c.max);
                EXPECT_EQ(r, m.message == WM_QUIT ? 0 : 1);
            } else {
                ASSERT_TRUE(PeekMessageW(&m, nullptr, c.min, c.max, PM_REMOVE));
            }
            if (m.message == WM_QUIT) break;
            if (ours(m.message)) got.push_back(describe(m));
        }
        EXPECT_EQ(m.message, UINT(WM_QUIT));
        EXPECT_EQ(m.wParam, 9u);
        EXPECT_EQ(got, c.before_quit);
        std::vector<std::string> rest;
        for (const char* s : {"main WM_USER+1", "main WM_USER+2"})
            if (std::find(got.begin(), got.end(), s) == got.end()) rest.push_back(s);
        EXPECT_EQ(drain(nullptr, 0, 0), rest);
    }
}

// A handle that is not a window: GetMessage returns -1 with
// ERROR_INVALID_WINDOW_HANDLE at once, and PeekMessage finds nothing,
// neither waiting nor touching the queue.  On the device (HWND)-1 is one
// more handle that is not a window; a desktop takes it for "the thread's
// own messages".
TEST_F(MessageRetrieval, AHandleThatIsNoWindowIsAnErrorNotAWait) {
    HWND main = create_main("main");
    HWND gone = create("gone", WS_POPUP, 0, 0, 10, 10);
    DestroyWindow(gone);
    pump();
    struct Case {
        const char* what;
        HWND h;
        const char* device_only = nullptr;
    };
    const Case cases[] = {
        {"a destroyed window", gone},
        {"a number that never was a window", reinterpret_cast<HWND>(uintptr_t(0x7ff0))},
        {"(HWND)-1", reinterpret_cast<HWND>(intptr_t(-1)), kDeviceGetMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.device_only && !wintest::device_only(c.device_only)) continue;
        PostMessageW(main, WM_USER + 1, 0, 0);
        PostMessageW(nullptr, WM_USER + 2, 0, 0);
        MSG m{};
        SetLastError(0);
        EXPECT_EQ(GetMessageW(&m, c.h, 0, 0), -1);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_FALSE(PeekMessageW(&m, c.h, 0, 0, PM_REMOVE));
        EXPECT_EQ(drain(nullptr, 0, 0), (std::vector<std::string>{"main WM_USER+1", "thread WM_USER+2"}));
    }
}

// PostMessage and SendMessage to a handle that is not a window fail with
// ERROR_INVALID_WINDOW_HANDLE and queue nothing; PostMessage with no window
// posts to the thread, which GetMessage with no filter takes.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-postmessagew
TEST_F(MessageRetrieval, PostingAndSendingToNoWindow) {
    HWND main = create_main("main");
    HWND gone = create("gone", WS_POPUP, 0, 0, 10, 10);
    DestroyWindow(gone);
    pump();
    take();
    for (HWND h : {gone, reinterpret_cast<HWND>(uintptr_t(0x7ff0))}) {
        SetLastError(0);
        EXPECT_FALSE(PostMessageW(h, WM_USER + 1, 0, 0));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(0);
        EXPECT_EQ(SendMessageW(h, WM_USER + 1, 0, 0), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    }
    EXPECT_TRUE(PostMessageW(nullptr, WM_USER + 3, 4, 5));
    MSG m{};
    ASSERT_EQ(GetMessageW(&m, nullptr, 0, 0), 1);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.message, UINT(WM_USER + 3));
    EXPECT_EQ(m.wParam, 4u);
    EXPECT_EQ(m.lParam, 5);
    // A thread message is not a window's: a window filter passes it over.
    PostMessageW(nullptr, WM_USER + 4, 0, 0);
    EXPECT_FALSE(PeekMessageW(&m, main, 0, 0, PM_NOREMOVE) && m.message == WM_USER + 4);
    EXPECT_EQ(drain(nullptr, 0, 0), std::vector<std::string>{"thread WM_USER+4"});
    EXPECT_TRUE(take().empty()) << "a message reached a window";
}

}  // namespace
