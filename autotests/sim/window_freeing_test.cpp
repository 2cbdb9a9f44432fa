// Destroyed windows are freed once the device waits for its person, so
// that a device that runs for days holds only the windows it shows; their
// handles stay unknown and are never given to another window.
#include "window_test_support.h"

#include <algorithm>

#include "user/window.h"

namespace {

class WindowFreeing : public wintest::WindowTest {
protected:
    // The device waits for its person, who has nothing more to do.
    void device_waits() { EXPECT_FALSE(run_loop()); }
};

TEST_F(WindowFreeing, DestroyedWindowsAreFreedWhenTheDeviceWaitsAndTheirHandlesStayUnknown) {
    HWND main = create_main("main");
    ASSERT_NE(main, nullptr);
    const size_t held = sim::windows_held();
    std::vector<HWND> gone;
    uint32_t last_number = 0;
    for (int i = 0; i < 20; ++i) {
        HWND owner = create("owner", WS_POPUP | WS_VISIBLE, 10, 40, 150, 150, main);
        HWND owned = create("owned", WS_POPUP | WS_VISIBLE, 20, 60, 100, 100, owner);
        HWND child = create("child", WS_CHILD | WS_VISIBLE, 5, 5, 50, 50, owned);
        ASSERT_TRUE(owner && owned && child);
        last_number = sim::window_from_handle(child)->number;
        gone.insert(gone.end(), {owner, owned, child});
        DestroyWindow(owner);  // the owned window and its child go with it
    }
    device_waits();
    EXPECT_EQ(sim::windows_held(), held);
    for (HWND h : gone) {
        EXPECT_FALSE(IsWindow(h));
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_FALSE(DestroyWindow(h));
    }
    HWND fresh = create("fresh", WS_POPUP | WS_VISIBLE, 0, 40, 60, 60);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(std::find(gone.begin(), gone.end(), fresh), gone.end()) << "a freed window's handle was given again";
    EXPECT_GT(sim::window_from_handle(fresh)->number, last_number);
    EXPECT_TRUE(IsWindow(main));
}

// A device context got for a window stays usable after the window is
// destroyed (it draws nothing); the window is freed when it is released.
TEST_F(WindowFreeing, AWindowADeviceContextStillDrawsForIsFreedWhenTheContextIsReleased) {
    HWND main = create_main("main", TEXT("BlueRecorder"));
    pump();
    const size_t held = sim::windows_held();
    HWND h = create("drawn", WS_POPUP | WS_VISIBLE, 20, 60, 100, 100);
    pump();
    HDC dc = GetDC(h);
    ASSERT_NE(dc, nullptr);
    DestroyWindow(h);
    device_waits();
    EXPECT_EQ(sim::windows_held(), held + 1);
    const uint16_t before = pixel(50, 90);
    RECT r{0, 0, 100, 100};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(pixel(50, 90), before);
    ReleaseDC(h, dc);
    device_waits();
    EXPECT_EQ(sim::windows_held(), held);
    EXPECT_TRUE(IsWindow(main));
}

}  // namespace
