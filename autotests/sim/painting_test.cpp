// Painting and clipping through the owner map, invalidation and the
// z-order of top-level windows.
#include "window_test_support.h"

#include <algorithm>
#include <functional>

#if WINTEST_DEVICE_API
#include "platform/ce_api.h"
#endif

namespace {

using wintest::DialogTemplateBuilder;
using wintest::Painted;
using wintest::sequence_matches;

class Painting : public wintest::WindowTest {
protected:
    static RECT screen_rect_of(HWND h) {
        RECT r{};
        GetWindowRect(h, &r);
        return r;
    }
    static RECT inset(RECT r, int d) { return {r.left + d, r.top + d, r.right - d, r.bottom - d}; }
    static bool same_rect(const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
    static std::string text(const RECT& r) {
        return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
               std::to_string(r.bottom) + ")";
    }
    // The pixels of a screen rectangle, row by row.
    static std::vector<uint16_t> pixels_of(const RECT& r) {
        const std::vector<uint16_t> shot = screen_pixels();
        std::vector<uint16_t> out;
        for (int y = int(r.top); y < int(r.bottom); ++y)
            for (int x = int(r.left); x < int(r.right); ++x) out.push_back(shot[size_t(y * screen_width() + x)]);
        return out;
    }
    static RECT client_on_screen(HWND h) {
        RECT r{};
        GetClientRect(h, &r);
        POINT p{0, 0};
        ClientToScreen(h, &p);
        return {r.left + p.x, r.top + p.y, r.right + p.x, r.bottom + p.y};
    }
    using Order = std::vector<std::string>;
    // The z-order expected with the device's shell windows in it; where there
    // is no such shell only the test's own windows are compared.
    void expect_order(const Order& want) {
        Order own;
        for (const std::string& name : want)
            if (name != "MS_SIPBUTTON" && name != "HHTaskBar" && name != "DesktopExplorerWindow") own.push_back(name);
        EXPECT_EQ(z_order(), own);
        if (wintest::device_only(wintest::kShellBars)) {
            EXPECT_EQ(z_order(true), want);
        }
    }
    std::vector<Painted> paints_of(const std::string& name) {
        std::vector<Painted> out;
        for (const Painted& p : take_paints())
            if (p.window == name) out.push_back(p);
        return out;
    }
};

const uint16_t kRed = wintest::WindowTest::colour(RGB(255, 0, 0));
const uint16_t kBlue = wintest::WindowTest::colour(RGB(0, 0, 255));
const uint16_t kGreen = wintest::WindowTest::colour(RGB(0, 255, 0));

TEST_F(Painting, BeginPaintErasesWithTheClassBrush) {
    struct Case {
        const WCHAR* cls;
        bool filled;  // red afterwards
        bool erase_left;  // PAINTSTRUCT.fErase: nothing erased it
    };
    const Case cases[] = {{TEXT("RedRecorder"), true, false}, {TEXT("Recorder"), false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(wintest::utf8(c.cls));
        start_afresh();
        HWND w = create("w", WS_VISIBLE | WS_POPUP, 20, 60, 100, 80, nullptr, 0, 0, c.cls);
        ASSERT_TRUE(w);
        pump();  // shown and painted a first time
        take();
        take_paints();
        const std::vector<uint16_t> before = pixels_of({20, 60, 120, 140});
        // The whole window, to be erased: erased inside BeginPaint.
        InvalidateRect(w, nullptr, TRUE);
        UpdateWindow(w);
        EXPECT_TRUE(sequence_matches(take_only({WM_PAINT, WM_ERASEBKGND}), {{"w", WM_PAINT}, {"w", WM_ERASEBKGND}}));
        std::vector<Painted> p = paints_of("w");
        ASSERT_EQ(p.size(), 1u);
        EXPECT_TRUE(same_rect(p[0].area, {0, 0, 100, 80})) << text(p[0].area);
        EXPECT_EQ(p[0].erase, c.erase_left);
        if (c.filled) {
            EXPECT_TRUE(all_pixels({20, 60, 120, 140}, kRed));
        } else {
            EXPECT_TRUE(pixels_of({20, 60, 120, 140}) == before) << "erased without a brush";
        }
    }
}

TEST_F(Painting, AWindowDrawsOnlyOnItsOwnVisiblePixels) {
    // The back window starts 26 pixels down the work area (under the
    // device's task bar, 52 pixels from the screen's top), so that there is
    // something above it to spare.
    const int top = int(work_area().top) + 26;
    HWND back = create("back", WS_VISIBLE | WS_POPUP, 0, top, 240, 294 - 26, nullptr, 0, 0, TEXT("RedRecorder"));
    HWND front = create("front", WS_VISIBLE | WS_POPUP, 40, top + 74, 100, 100, nullptr, WS_EX_TOPMOST, 0,
                        TEXT("BlueRecorder"));
    ASSERT_TRUE(back && front);
    pump();
    RECT covered = screen_rect_of(front);
    ASSERT_TRUE(all_pixels(covered, kBlue));

    // Through a window DC, outside painting: the whole client area in green.
    HDC dc = GetDC(back);
    RECT all{0, 0, 240, 294 - 26};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &all, green);
    ReleaseDC(back, dc);
    EXPECT_TRUE(all_pixels(covered, kBlue)) << "drawn over the topmost window";
    EXPECT_TRUE(all_pixels({0, top, 240, top + 74}, kGreen));
    EXPECT_TRUE(all_pixels({0, top + 174, 240, top + 242}, kGreen));  // the input panel button is below
    EXPECT_TRUE(all_pixels({0, top, 40, top + 242}, kGreen));

    // The back window repaints completely while activated: still under the
    // topmost one.  (Wine without a window manager restacks on activation.)
    if (!wintest::documented_only(wintest::kZOrder)) return;
    SetActiveWindow(back);
    InvalidateRect(back, nullptr, TRUE);
    UpdateWindow(back);
    EXPECT_TRUE(all_pixels(covered, kBlue));
    EXPECT_TRUE(all_pixels({140, top, 240, top + 242}, kRed));
    // Nor above it (over the device's task bar there).
    const RECT above_back{0, 0, 240, top};
    const std::vector<uint16_t> before = pixels_of(above_back);
    dc = GetDC(back);
    RECT above{0, -top, 240, 0};
    FillRect(dc, &above, green);
    ReleaseDC(back, dc);
    const std::vector<uint16_t> after = pixels_of(above_back);
    for (size_t i = 0; i < before.size(); ++i)
        ASSERT_EQ(after[i], before[i]) << "(" << i % 240 << ", " << i / 240 << ") drawn on";
    DeleteObject(green);
}

// On the device every window clips its children whether it asks to or
// not; a desktop window erases over its children unless it has
// WS_CLIPCHILDREN.
const char* const kAlwaysClipChildren = "http://msdn2.microsoft.com/en-us/library/aa931018.aspx";

TEST_F(Painting, ParentEraseLeavesChildControlsAlone) {
    struct Case {
        const char* what;
        DWORD style;
        const char* device_only;
    };
    const Case cases[] = {
        {"clipping its children", WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN, nullptr},
        {"without asking to clip them", WS_VISIBLE | WS_POPUP, kAlwaysClipChildren},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.device_only && !wintest::device_only(c.device_only)) continue;
        start_afresh();
        HWND parent = create_main("parent", TEXT("RedRecorder"), c.style);
        HWND child = create("child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 30, parent, 0, 1, TEXT("BlueRecorder"));
        HWND button =
            create_control(TEXT("button"), TEXT("Press"), WS_VISIBLE | BS_PUSHBUTTON, 100, 100, 60, 20, parent, 2);
        ASSERT_TRUE(child && button);
        pump();
        RECT child_rect = screen_rect_of(child), button_rect = screen_rect_of(button);
        ASSERT_TRUE(all_pixels(child_rect, kBlue));
        const std::vector<uint16_t> button_before = pixels_of(button_rect);

        take_paints();
        InvalidateRect(parent, nullptr, TRUE);
        UpdateWindow(parent);
        ASSERT_EQ(paints_of("parent").size(), 1u);
        EXPECT_TRUE(all_pixels(child_rect, kBlue));
        EXPECT_TRUE(pixels_of(button_rect) == button_before) << "the button was painted over";
        const RECT work = work_area();
        EXPECT_TRUE(all_pixels({0, work.top, 10, work.top + 268}, kRed));
    }
}

TEST_F(Painting, ControlsOfADisabledOwnerPaintAsEnabled) {
    // While a message box disables its owner, the owner's controls that
    // repaint look as before; only a control disabled itself is greyed.
    HWND main = create_main("main", TEXT("RedRecorder"));
    HWND check = create_control(TEXT("button"), TEXT("Sound"), WS_VISIBLE | BS_AUTOCHECKBOX, 10, 10, 120, 20, main, 1000);
    pump();
    RECT r = screen_rect_of(check);
    auto snapshot = [&] { return pixels_of(r); };
    const std::vector<uint16_t> enabled = snapshot();
    then([&] {
        InvalidateRect(check, nullptr, TRUE);  // painted by the box's loop
    });
    then([&] {
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_TRUE(snapshot() == enabled) << "the owner's check box was drawn greyed";
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(ask(main, TEXT("Text"), TEXT("Caption"), MB_OK), IDOK);
    EnableWindow(check, FALSE);
    UpdateWindow(check);
    EXPECT_FALSE(snapshot() == enabled) << "a disabled check box looks enabled";
}

// The device draws straight into its one framebuffer: what a window
// uncovers is painted again.  A composing desktop keeps every window's
// picture off the screen and shows it again without painting.
const char* const kNoCompositor = "https://learn.microsoft.com/en-us/windows/win32/dwm/dwm-overview";

TEST_F(Painting, ClosingADialogRepaintsTheAreaItUncovers) {
    HWND main = create_main("main", TEXT("RedRecorder"));
    pump();
    take_paints();
    DialogTemplateBuilder t(WS_POPUP | DS_MODALFRAME | DS_SETFONT, 20, 40, 100, 60, TEXT("dlg"));
    RECT dialog_rect{};
    end_on_command("dlg");
    RECT dialog_client{};
    on("dlg", WM_INITDIALOG, [&](HWND h, WPARAM, LPARAM) {
        GetWindowRect(h, &dialog_rect);
        dialog_client = client_on_screen(h);
        return LRESULT(TRUE);
    });
    then([&] {
        EXPECT_TRUE(all_pixels(dialog_client, colour(GetSysColor(COLOR_BTNFACE)))) << "the dialog's own background";
        EXPECT_TRUE(paints_of("main").empty()) << "opening the dialog repainted its owner";
        queue_press(VK_RETURN);
    });
    ASSERT_EQ(run_dialog(t, main), IDOK);
    ASSERT_GT(dialog_rect.right, dialog_rect.left);
    WINTEST_DEVICE_ONLY(kNoCompositor);
    pump();
    std::vector<Painted> p = paints_of("main");
    ASSERT_EQ(p.size(), 1u);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    RECT expected = {dialog_rect.left - origin.x, dialog_rect.top - origin.y, dialog_rect.right - origin.x,
                     dialog_rect.bottom - origin.y};
    EXPECT_TRUE(same_rect(p[0].area, expected)) << text(p[0].area) << " instead of " << text(expected);
    EXPECT_TRUE(all_pixels(dialog_rect, kRed));
}

TEST_F(Painting, AnAreaUncoveredDuringAPaintIsPaintedAgain) {
    // A window that asks a question from its paint handler, as a test's
    // dialog does at its first paint: when the box goes, the area it covered
    // is painted again.
    create_main("main", TEXT("Recorder"));
    int paints = 0;
    RECT box_rect{};
    on("main", WM_PAINT, [&](HWND h, WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(h, &ps);
        if (++paints == 1) MessageBoxW(h, TEXT("Press the buttons in turn."), TEXT("Key Test"), MB_OK);
        return LRESULT(0);
    });
    then([&] {
        GetWindowRect(message_box(), &box_rect);
        queue_press(VK_RETURN);
    });
    pump();
    WINTEST_DEVICE_ONLY(kNoCompositor);
    EXPECT_EQ(paints, 2);
    ASSERT_GT(box_rect.bottom, box_rect.top);
    EXPECT_TRUE(all_pixels(box_rect, colour(RGB(0, 0, 0)))) << "the box's picture stayed on the screen";
}

// "If bRepaint is FALSE, no repainting of any kind occurs": not of the
// window moved, not of the part of its parent that the move uncovers.
// SWP_NOREDRAW says the same for SetWindowPos.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-movewindow
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-setwindowpos
TEST_F(Painting, MovingAChildWithoutRepaintInvalidatesNothing) {
    // The child goes from (10, 10) 50 x 30 to (100, 100) 70 x 40 inside its
    // parent: the old place is uncovered, the new one larger.
    constexpr UINT kPlainMove = SWP_NOZORDER | SWP_NOACTIVATE;
    struct Case {
        const char* what;
        std::function<BOOL(HWND)> move;
        bool repaints;
    };
    const Case cases[] = {
        {"MoveWindow repainting", [](HWND c) { return MoveWindow(c, 100, 100, 70, 40, TRUE); }, true},
        {"MoveWindow without repaint", [](HWND c) { return MoveWindow(c, 100, 100, 70, 40, FALSE); }, false},
        {"SetWindowPos", [](HWND c) { return SetWindowPos(c, nullptr, 100, 100, 70, 40, kPlainMove); }, true},
        {"SetWindowPos with SWP_NOREDRAW",
         [](HWND c) { return SetWindowPos(c, nullptr, 100, 100, 70, 40, kPlainMove | SWP_NOREDRAW); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND parent = create_main("parent", TEXT("RedRecorder"), WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN);
        HWND child = create("child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 30, parent, 0, 1, TEXT("BlueRecorder"));
        ASSERT_TRUE(parent && child);
        pump();
        RECT uncovered = client_on_screen(child);
        ASSERT_TRUE(all_pixels(uncovered, kBlue));
        RECT r{};
        ASSERT_FALSE(GetUpdateRect(parent, &r, FALSE));
        take_paints();

        ASSERT_TRUE(c.move(child));
        EXPECT_EQ(bool(GetUpdateRect(parent, &r, FALSE)), c.repaints) << "the parent's update area " << text(r);
        EXPECT_EQ(bool(GetUpdateRect(child, &r, FALSE)), c.repaints) << "the child's update area " << text(r);
        pump();
        EXPECT_EQ(!paints_of("parent").empty(), c.repaints);
        // What the child left stays on the screen until someone paints.
        EXPECT_TRUE(all_pixels(uncovered, c.repaints ? kRed : kBlue));
        DestroyWindow(parent);
        pump();
    }
}

#if WINTEST_DEVICE_API
// The device's shell: SHInitDialog and SHFullScreen, documented at
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms942862(v=msdn.10)
TEST_F(Painting, BlankFullScreenDialogLeavesTheScreenAsItWas) {
    // A blank, topmost, full-screen dialog that hides the shell's bars,
    // shows them again and ends at its first paint; then every window is
    // invalidated and the owner updated.  The screen returns to what it was.
    HWND main = create_main("main", TEXT("RedRecorder"));
    pump();
    const std::vector<uint16_t> before = screen_pixels();
    DialogTemplateBuilder t(WS_POPUP | DS_MODALFRAME | DS_SETFONT, 0, 0, 187, 94, TEXT(""));
    bool blank_seen = false;
    on("Dialog", WM_INITDIALOG, [](HWND h, WPARAM, LPARAM) {
        SHINITDLGINFO info{SHIDIM_FLAGS, h, SHIDIF_FULLSCREENNOMENUBAR};
        SHInitDialog(&info);
        RECT r;
        GetWindowRect(h, &r);
        MoveWindow(h, r.left, r.top - 26, r.right, r.bottom, TRUE);
        SetWindowPos(h, HWND_TOPMOST, 0, 0, 240, 320, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        SHFullScreen(h, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
        return LRESULT(TRUE);
    });
    on("Dialog", WM_PAINT, [&](HWND h, WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        blank_seen = bool(all_pixels({0, 0, 240, 320}, colour(RGB(255, 255, 255))));
        SHFullScreen(h, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
        EndPaint(h, &ps);
        EndDialog(h, 2);
        return LRESULT(TRUE);
    });
    ASSERT_EQ(run_dialog(t, main), 2);
    EXPECT_TRUE(blank_seen) << "the dialog's first paint did not blank the screen";
    InvalidateRect(nullptr, nullptr, TRUE);
    UpdateWindow(main);
    pump();
    EXPECT_EQ(GetActiveWindow(), main);
    const std::vector<uint16_t> after = screen_pixels();
    for (size_t i = 0; i < before.size(); ++i)
        ASSERT_EQ(after[i], before[i]) << "pixel (" << i % 240 << ", " << i / 240 << ") changed";
}
#endif

TEST_F(Painting, InvalidatingAllWindowsRepaintsEveryVisibleWindow) {
    HWND a = create_main("a");
    create("a_child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, a);
    create("b", WS_VISIBLE | WS_POPUP, 20, 100, 100, 100, a);
    HWND hidden = create("hidden", WS_POPUP, 20, 100, 100, 100);
    pump();
    take_paints();
    const std::vector<HWND> visible = visible_windows();
    ASSERT_TRUE(InvalidateRect(nullptr, nullptr, TRUE));
    RECT r;
    for (HWND w : visible) EXPECT_TRUE(GetUpdateRect(w, &r, FALSE)) << default_name(w) << " left valid";
    EXPECT_FALSE(GetUpdateRect(hidden, &r, FALSE));
    pump();
    std::vector<std::string> painted;
    for (const Painted& p : take_paints()) painted.push_back(p.window);
    std::sort(painted.begin(), painted.end());
    EXPECT_EQ(painted, (std::vector<std::string>{"a", "a_child", "b"}));
    for (HWND w : visible) EXPECT_FALSE(GetUpdateRect(w, &r, FALSE)) << default_name(w) << " not repainted";
}

TEST_F(Painting, UpdateWindowPaintsAtOnce) {
    // (Clipping its child, as every window on the device does.)
    HWND w = create_main("w", TEXT("RedRecorder"), WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN);
    HWND child = create("child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, w);
    pump();
    take();
    // Nothing invalid: nothing to do.
    EXPECT_TRUE(UpdateWindow(w));
    EXPECT_TRUE(take().empty());
    // Invalid: painted (and erased) before UpdateWindow returns, children too.
    RECT part{0, 0, 30, 30};
    InvalidateRect(w, &part, TRUE);
    InvalidateRect(child, nullptr, FALSE);
    EXPECT_TRUE(UpdateWindow(w));
    EXPECT_TRUE(sequence_matches(take(), {{"w", WM_PAINT}, {"w", WM_ERASEBKGND}, {"child", WM_PAINT}}));
    RECT r;
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE));
    MSG m;
    // No paint left to come (the pointer of a desktop may queue a mouse move meanwhile).
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "a WM_PAINT still queued";
}

// ------------------------------------------------------------ z-order

TEST_F(Painting, TopmostCarriesOwnedWindowsAndNotTopmostUndoesIt) {
    HWND main = create_main("main");
    HWND owned = create("owned", WS_VISIBLE | WS_POPUP, 10, 60, 100, 100, main);
    create("other", WS_VISIBLE | WS_POPUP, 0, 150, 240, 100);
    expect_order((Order{"MS_SIPBUTTON", "HHTaskBar", "other", "owned", "main", "DesktopExplorerWindow"}));

    ASSERT_TRUE(SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    expect_order((Order{"owned", "main", "MS_SIPBUTTON", "HHTaskBar", "other", "DesktopExplorerWindow"}));
    if (wintest::documented_only(wintest::kZOrder)) {
        EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(GetWindowLongW(owned, GWL_EXSTYLE) & WS_EX_TOPMOST);
    }
    EXPECT_EQ(window_at(200, 200), main) << "main shows over the other window";

    ASSERT_TRUE(SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    expect_order((Order{"MS_SIPBUTTON", "HHTaskBar", "owned", "main", "other", "DesktopExplorerWindow"}));
    if (wintest::documented_only(wintest::kZOrder)) {
        EXPECT_FALSE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_FALSE(GetWindowLongW(owned, GWL_EXSTYLE) & WS_EX_TOPMOST);
    }
}

TEST_F(Painting, ActivationBringsAWindowToTheTopOfItsBand) {
    HWND a = create_main("a");
    HWND b = create("b", WS_VISIBLE | WS_POPUP, 0, 100, 240, 100);
    HWND t = create("t", WS_VISIBLE | WS_POPUP, 0, 60, 100, 100, nullptr, WS_EX_TOPMOST);
    const Order a_first = {"t", "MS_SIPBUTTON", "HHTaskBar", "a", "b", "DesktopExplorerWindow"};
    const Order b_first = {"t", "MS_SIPBUTTON", "HHTaskBar", "b", "a", "DesktopExplorerWindow"};
    struct Step {
        const char* what;
        std::function<void()> act;
        Order order;
        bool raised = true;  // the order comes from activation bringing a window up
    };
    const Step steps[] = {
        {"created", [] {}, b_first, false},
        {"a activated", [&] { SetActiveWindow(a); }, a_first},
        {"b brought forward", [&] { SetForegroundWindow(b); }, b_first},
        {"a tapped", [&] { queue_tap(200, 50), pump(); }, a_first},
        {"t activated: above the others already", [&] { SetActiveWindow(t); }, a_first},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        if (s.raised && !wintest::documented_only(wintest::kZOrder)) continue;
        expect_order(s.order);
    }
    EXPECT_EQ(GetActiveWindow(), t);
}

}  // namespace
