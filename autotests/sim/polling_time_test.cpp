// Time passes while a program polls its queue: a program that never waits
// (a PeekMessage loop) still sees its timers fall due, on the device's
// virtual clock as on a real one.
#include "window_test_support.h"

namespace {

class PollingTime : public wintest::WindowTest {};

// "The smallest possible interval that a timer can measure is the system
// tick interval": on the device a period below it is one tick, 1 ms (its
// GetTickCount's unit); a desktop makes it USER_TIMER_MINIMUM, 10 ms.
const char* const kTimerTick =
    "https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms906595(v=msdn.10)";

// A program polls with PeekMessage, never waiting, until its timer's
// WM_TIMER comes: it comes, after the timer's period (a 0 ms period: after
// the shortest interval a timer measures).  On the device's virtual clock
// it comes exactly then.
// https://learn.microsoft.com/en-us/previous-versions/ms961300(v=msdn.10)
TEST_F(PollingTime, APolledTimerFallsDue) {
    struct Case {
        UINT period;
        uint64_t device_due;  // ms after SetTimer on the device
    };
    for (const Case& c : {Case{10, 10}, Case{0, 1}, Case{250, 250}}) {
        SCOPED_TRACE("period " + std::to_string(c.period));
        start_afresh();
        HWND main = create_main("main");
        pump();
        const uint64_t start = now_ms();
        ASSERT_NE(SetTimer(main, 7, c.period, nullptr), 0u);
        MSG m{};
        bool ticked = false;
        long polls = 0;
        for (; polls < 1000000 && !ticked; ++polls)
            if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                ticked = m.message == WM_TIMER && m.hwnd == main && m.wParam == 7;
                DispatchMessageW(&m);
            }
        ASSERT_TRUE(ticked) << "no WM_TIMER in " << polls << " polls";
        const uint64_t took = now_ms() - start;
        EXPECT_GE(took, c.period);
        if (wintest::device_only(kTimerTick)) {  // on its virtual clock, exactly
            EXPECT_EQ(took, c.device_due);
        }
        KillTimer(main, 7);
    }
}

// A loop that runs for a stretch of time on a 0 ms timer, polling: it ends,
// the timer ticking again and again meanwhile but never twice in the same
// millisecond; on the device once every millisecond.
TEST_F(PollingTime, ALoopOnAZeroTimerEnds) {
    HWND main = create_main("main");
    pump();
    ASSERT_NE(SetTimer(main, 3, 0, nullptr), 0u);
    const DWORD start = GetTickCount();
    std::vector<DWORD> ticks;
    MSG m{};
    long polls = 0;
    for (; polls < 2000000 && GetTickCount() - start < 50; ++polls)
        if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_TIMER && m.hwnd == main) ticks.push_back(GetTickCount());
            DispatchMessageW(&m);
        }
    ASSERT_GE(GetTickCount() - start, 50u) << "time stood still for " << polls << " polls";
    ASSERT_FALSE(ticks.empty());
    for (size_t i = 1; i < ticks.size(); ++i) EXPECT_GT(ticks[i], ticks[i - 1]) << "two ticks at once, at " << i;
    if (wintest::device_only(kTimerTick)) {  // on its virtual clock, exactly
        EXPECT_EQ(ticks.size(), 49u);  // at 1, 2, ... 49 ms
    }
    KillTimer(main, 3);
}

}  // namespace
