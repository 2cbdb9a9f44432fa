// What the key test leans on in the window system: activation passing while
// the window losing it keeps its focus on an invisible child, buttons that
// another program holds, a control whose procedure is replaced and put
// back, bitmaps held by a memory device context, and the sizes of the
// shell's full-screen dialogs.
#include "window_test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/profile.h"
#include "platform/ce_api.h"
#include "resources/compiled_resources.h"

extern "C" BOOL WINAPI UnregisterFunc1(UINT mods, UINT vk);  // looked up by name on the device

namespace {

using wintest::kLparam;
using wintest::kParams;
using wintest::kWparam;
using wintest::sequence_matches;

class KeySupport : public wintest::WindowTest {
protected:
    void TearDown() override {
        sim::profile().load_json(nlohmann::json::object());
        WindowTest::TearDown();
    }
};

// The window losing the activation hears of it while it is still the active
// one, so moving the focus to its own child then does not take the
// activation back from the window that is coming to the front.
TEST_F(KeySupport, FocusKeptInsideTheWindowLosingTheActivationLeavesItInactive) {
    HWND a = create("a", WS_POPUP | WS_VISIBLE, 0, 26, 240, 200);
    HWND kid = create("kid", WS_CHILD, 130, 230, 80, 20, a);
    HWND active_while_told = nullptr;
    on("a", WM_ACTIVATE, [&](HWND, WPARAM wp, LPARAM) {
        if (LOWORD(wp) == WA_INACTIVE) active_while_told = GetActiveWindow();
        SetFocus(kid);
        return LRESULT(0);
    });
    SetFocus(kid);
    pump();
    ASSERT_EQ(GetActiveWindow(), a);
    ASSERT_EQ(GetFocus(), kid);
    take();

    HWND b = create("b", WS_POPUP | WS_VISIBLE, 20, 60, 100, 100);
    pump();
    EXPECT_EQ(active_while_told, a);
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b) << "b's default procedure takes the focus";
    std::vector<std::string> z = z_order();
    EXPECT_LT(std::find(z.begin(), z.end(), "b"), std::find(z.begin(), z.end(), "a")) << "b in front of a";
    EXPECT_TRUE(sequence_matches(take_only({WM_ACTIVATE}), {{"a", WM_ACTIVATE, kParams, WA_INACTIVE, LPARAM(b)},
                                                            {"b", WM_ACTIVATE, kParams, WA_ACTIVE, LPARAM(a)}}));
}

// A button that another program holds cannot be registered, and its press
// goes to that program: not to the focus window, as a button nobody holds
// does.
TEST_F(KeySupport, ButtonHeldByAnotherProgramNeverReachesTheProgram) {
    sim::profile().load_json({{"hotkey_fail", {194}}});
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    pump();
    ASSERT_EQ(GetFocus(), main);
    for (UINT vk : {194u, 195u}) EXPECT_TRUE(UnregisterFunc1(MOD_WIN, vk)) << "the shell lets go of " << vk;

    SetLastError(0);
    EXPECT_FALSE(RegisterHotKey(main, 194, MOD_WIN, 194));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
    take();
    then_press(194);
    then_press(195);
    EXPECT_FALSE(run_loop());
    EXPECT_TRUE(sequence_matches(take_only({WM_KEYDOWN, WM_KEYUP, WM_HOTKEY}),
                                 {{"main", WM_KEYDOWN, kWparam, 195}, {"main", WM_KEYUP, kWparam, 195}}));
}

// A control's procedure replaced through GWL_WNDPROC: the replacement gets
// the messages and passes what it does not want to the one it replaced;
// put back, the control is itself again.
TEST_F(KeySupport, ReplacedProcedurePassesOnAndIsPutBack) {
    static WNDPROC button_proc = nullptr;
    static int seen = 0;
    struct Catcher {
        static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
            if (msg == WM_KEYDOWN && wp == VK_LEFT) {
                ++seen;
                return 0;
            }
            return CallWindowProcW(button_proc, h, msg, wp, lp);
        }
    };
    seen = 0;
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    HWND box = create_control(u"button", u"box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 10, 100, 20, main, 7);
    button_proc = reinterpret_cast<WNDPROC>(GetWindowLongW(box, GWL_WNDPROC));
    ASSERT_NE(button_proc, nullptr);
    EXPECT_EQ(SetWindowLongW(box, GWL_WNDPROC, reinterpret_cast<LONG>(Catcher::proc)),
              reinterpret_cast<LONG>(button_proc));
    EXPECT_EQ(GetWindowLongW(box, GWL_WNDPROC), reinterpret_cast<LONG>(Catcher::proc));

    SendMessageW(box, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED) << "passed on to the button";

    SetWindowLongW(box, GWL_WNDPROC, reinterpret_cast<LONG>(button_proc));
    SendMessageW(box, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(seen, 1);
}

// A bitmap cannot be deleted while a memory device context holds it.
TEST_F(KeySupport, BitmapHeldByAMemoryContextIsNotDeleted) {
    std::ifstream in(FIXTURE_RES_FILE, std::ios::binary);
    std::vector<uint8_t> res((std::istreambuf_iterator<char>(in)), {});
    HMODULE fixture = reinterpret_cast<HMODULE>(uintptr_t(0x7E550000));
    sim::register_module_resources(fixture, res.data(), res.size());
    HBITMAP bitmap = LoadBitmapW(fixture, MAKEINTRESOURCE(300));
    ASSERT_NE(bitmap, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    ASSERT_NE(previous, nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    SelectObject(memory, previous);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(memory));
    BITMAP info;
    EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), 0) << "gone";
    sim::unregister_module_resources(fixture);
}

// Full screen is everything below the task bar; a plainly sized dialog
// stops above the menu bar; other flags leave the size alone.
TEST_F(KeySupport, ShellSizesFullScreenDialogsDownToTheBottom) {
    const struct {
        DWORD flags;
        RECT expected;
    } cases[] = {
        {SHIDIF_SIZEDLGFULLSCREEN, {0, 26, 240, 320}},
        {SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN, {0, 26, 240, 320}},
        {SHIDIF_FULLSCREENNOMENUBAR, {0, 26, 240, 320}},
        {SHIDIF_SIZEDLG, {0, 26, 240, 294}},
        {SHIDIF_DONEBUTTON, {10, 40, 110, 90}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.flags);
        HWND d = create("d", WS_POPUP | WS_VISIBLE, 10, 40, 100, 50);
        SHINITDLGINFO info{SHIDIM_FLAGS, d, c.flags};
        EXPECT_TRUE(SHInitDialog(&info));
        RECT r;
        GetWindowRect(d, &r);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
        DestroyWindow(d);
    }
}

}  // namespace
