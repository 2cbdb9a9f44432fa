// Painting and clipping through the owner map, invalidation and the
// z-order of top-level windows.
#include "window_test_support.h"

#include <algorithm>
#include <functional>

#include "gdi/screen.h"
#include "kernel/text.h"
#include "user/window.h"

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
    static const uint16_t* pixel_row(int y) { return &sim::framebuffer().pixels[y][0]; }
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
        const char16_t* cls;
        bool filled;  // red afterwards
        bool erase_left;  // PAINTSTRUCT.fErase: nothing erased it
    };
    const Case cases[] = {{u"RedRecorder", true, false}, {u"Recorder", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::to_utf8(c.cls));
        TearDown();
        SetUp();
        uint16_t before = pixel(60, 100);
        HWND w = create("w", WS_VISIBLE | WS_POPUP, 20, 60, 100, 80, nullptr, 0, 0, c.cls);
        ASSERT_TRUE(w);
        take();
        pump();
        EXPECT_TRUE(sequence_matches(take_only({WM_PAINT, WM_ERASEBKGND}), {{"w", WM_PAINT}, {"w", WM_ERASEBKGND}}));
        std::vector<Painted> p = paints_of("w");
        ASSERT_EQ(p.size(), 1u);
        EXPECT_TRUE(same_rect(p[0].area, {0, 0, 100, 80})) << text(p[0].area);
        EXPECT_EQ(p[0].erase, c.erase_left);
        EXPECT_TRUE(all_pixels({20, 60, 120, 140}, c.filled ? kRed : before));
    }
}

TEST_F(Painting, AWindowDrawsOnlyOnItsOwnVisiblePixels) {
    HWND back = create("back", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0, 0,
                       u"RedRecorder");
    HWND front = create("front", WS_VISIBLE | WS_POPUP, 40, 100, 100, 100, nullptr, WS_EX_TOPMOST, 0,
                        u"BlueRecorder");
    ASSERT_TRUE(back && front);
    pump();
    RECT covered = screen_rect_of(front);
    ASSERT_TRUE(all_pixels(covered, kBlue));

    // Through a window DC, outside painting: the whole client area in green.
    HDC dc = GetDC(back);
    RECT all{0, 0, 240, 294};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &all, green);
    ReleaseDC(back, dc);
    EXPECT_TRUE(all_pixels(covered, kBlue)) << "drawn over the topmost window";
    EXPECT_TRUE(all_pixels({0, 26, 240, 100}, kGreen));
    EXPECT_TRUE(all_pixels({0, 200, 240, 294}, kGreen));  // the input panel button is below
    EXPECT_TRUE(all_pixels({0, 26, 40, 294}, kGreen));

    // The back window repaints completely while activated: still under the topmost one.
    SetActiveWindow(back);
    InvalidateRect(back, nullptr, TRUE);
    UpdateWindow(back);
    EXPECT_TRUE(all_pixels(covered, kBlue));
    EXPECT_TRUE(all_pixels({140, 26, 240, 294}, kRed));
    // Nor over the task bar above it.
    std::vector<uint16_t> bar;
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 240; ++x) bar.push_back(pixel(x, y));
    dc = GetDC(back);
    RECT above{0, -26, 240, 0};
    FillRect(dc, &above, green);
    ReleaseDC(back, dc);
    for (int y = 0, i = 0; y < 26; ++y)
        for (int x = 0; x < 240; ++x, ++i) ASSERT_EQ(pixel(x, y), bar[size_t(i)]) << "(" << x << ", " << y << ")";
    DeleteObject(green);
}

TEST_F(Painting, ParentEraseLeavesChildControlsAlone) {
    HWND parent = create("parent", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0,
                         0, u"RedRecorder");
    HWND child = create("child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 30, parent, 0, 1, u"BlueRecorder");
    HWND button = create_control(u"button", u"Press", WS_VISIBLE | BS_PUSHBUTTON, 100, 100, 60, 20, parent, 2);
    ASSERT_TRUE(child && button);
    pump();
    RECT child_rect = screen_rect_of(child), button_rect = screen_rect_of(button);
    ASSERT_TRUE(all_pixels(child_rect, kBlue));
    std::vector<uint16_t> button_before;
    for (int y = button_rect.top; y < button_rect.bottom; ++y)
        for (int x = button_rect.left; x < button_rect.right; ++x) button_before.push_back(pixel(x, y));

    take_paints();
    InvalidateRect(parent, nullptr, TRUE);
    UpdateWindow(parent);
    ASSERT_EQ(paints_of("parent").size(), 1u);
    EXPECT_TRUE(all_pixels(child_rect, kBlue));
    size_t i = 0;
    for (int y = button_rect.top; y < button_rect.bottom; ++y)
        for (int x = button_rect.left; x < button_rect.right; ++x, ++i)
            ASSERT_EQ(pixel(x, y), button_before[i]) << "button pixel (" << x << ", " << y << ") painted over";
    EXPECT_TRUE(all_pixels({0, 26, 10, 294}, kRed));
}

TEST_F(Painting, ControlsOfADisabledOwnerPaintAsEnabled) {
    // While a message box disables its owner, the owner's controls that
    // repaint look as before; only a control disabled itself is greyed.
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0,
                       0, u"RedRecorder");
    HWND check = create_control(u"button", u"Sound", WS_VISIBLE | BS_AUTOCHECKBOX, 10, 10, 120, 20, main, 1000);
    pump();
    RECT r = screen_rect_of(check);
    auto snapshot = [&] {
        std::vector<uint16_t> v;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) v.push_back(pixel(x, y));
        return v;
    };
    const std::vector<uint16_t> enabled = snapshot();
    then([&] {
        InvalidateRect(check, nullptr, TRUE);  // painted by the box's loop
    });
    then([&] {
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_TRUE(snapshot() == enabled) << "the owner's check box was drawn greyed";
        queue_press(VK_RETURN);
    });
    EXPECT_EQ(ask(main, u"Text", u"Caption", MB_OK), IDOK);
    EnableWindow(check, FALSE);
    UpdateWindow(check);
    EXPECT_FALSE(snapshot() == enabled) << "a disabled check box looks enabled";
}

TEST_F(Painting, ClosingADialogRepaintsTheAreaItUncovers) {
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0, 0,
                       u"RedRecorder");
    pump();
    take_paints();
    DialogTemplateBuilder t(WS_POPUP | DS_MODALFRAME | DS_SETFONT, 20, 40, 100, 60, u"dlg");
    RECT dialog_rect{};
    on("dlg", WM_COMMAND, [](HWND h, WPARAM wp, LPARAM) {
        EndDialog(h, LOWORD(wp));
        return LRESULT(TRUE);
    });
    on("dlg", WM_INITDIALOG, [&](HWND h, WPARAM, LPARAM) {
        GetWindowRect(h, &dialog_rect);
        return LRESULT(TRUE);
    });
    then([&] {
        EXPECT_TRUE(all_pixels(dialog_rect, colour(RGB(255, 255, 255)))) << "the dialog's own background";
        EXPECT_TRUE(paints_of("main").empty()) << "opening the dialog repainted its owner";
        queue_press(VK_RETURN);
    });
    ASSERT_EQ(run_dialog(t, main), IDOK);
    ASSERT_GT(dialog_rect.right, dialog_rect.left);
    pump();
    std::vector<Painted> p = paints_of("main");
    ASSERT_EQ(p.size(), 1u);
    RECT expected = {dialog_rect.left, dialog_rect.top - 26, dialog_rect.right, dialog_rect.bottom - 26};
    EXPECT_TRUE(same_rect(p[0].area, expected)) << text(p[0].area) << " instead of " << text(expected);
    EXPECT_TRUE(all_pixels(dialog_rect, kRed));
}

TEST_F(Painting, AnAreaUncoveredDuringAPaintIsPaintedAgain) {
    // A window that asks a question from its paint handler, as a test's
    // dialog does at its first paint: when the box goes, the area it covered
    // is painted again.
    create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0, 0, u"Recorder");
    int paints = 0;
    RECT box_rect{};
    on("main", WM_PAINT, [&](HWND h, WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(h, &ps);
        if (++paints == 1) MessageBoxW(h, u"Press the buttons in turn.", u"Key Test", MB_OK);
        return LRESULT(0);
    });
    then([&] {
        GetWindowRect(message_box(), &box_rect);
        queue_press(VK_RETURN);
    });
    pump();
    EXPECT_EQ(paints, 2);
    ASSERT_GT(box_rect.bottom, box_rect.top);
    EXPECT_TRUE(all_pixels(box_rect, colour(RGB(0, 0, 0)))) << "the box's picture stayed on the screen";
}

TEST_F(Painting, BlankFullScreenDialogLeavesTheScreenAsItWas) {
    // A blank, topmost, full-screen dialog that hides the shell's bars,
    // shows them again and ends at its first paint; then every window is
    // invalidated and the owner updated.  The screen returns to what it was.
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0, 0,
                       u"RedRecorder");
    pump();
    std::vector<uint16_t> before(&pixel_row(0)[0], &pixel_row(0)[0] + 240 * 320);
    DialogTemplateBuilder t(WS_POPUP | DS_MODALFRAME | DS_SETFONT, 0, 0, 187, 94, u"");
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
    std::vector<uint16_t> after(&pixel_row(0)[0], &pixel_row(0)[0] + 240 * 320);
    for (size_t i = 0; i < before.size(); ++i)
        ASSERT_EQ(after[i], before[i]) << "pixel (" << i % 240 << ", " << i / 240 << ") changed";
}

TEST_F(Painting, InvalidatingAllWindowsRepaintsEveryVisibleWindow) {
    HWND a = create("a", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    create("a_child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, a);
    create("b", WS_VISIBLE | WS_POPUP, 20, 100, 100, 100, a);
    HWND hidden = create("hidden", WS_POPUP, 20, 100, 100, 100);
    pump();
    take_paints();
    ASSERT_TRUE(InvalidateRect(nullptr, nullptr, TRUE));
    for (sim::Window* w : sim::all_windows())
        if (sim::is_visible(w)) {
            EXPECT_FALSE(w->update.empty()) << sim::describe(w) << " left valid";
        }
    RECT r;
    EXPECT_FALSE(GetUpdateRect(hidden, &r, FALSE));
    pump();
    std::vector<std::string> painted;
    for (const Painted& p : take_paints()) painted.push_back(p.window);
    std::sort(painted.begin(), painted.end());
    EXPECT_EQ(painted, (std::vector<std::string>{"a", "a_child", "b"}));
    for (sim::Window* w : sim::all_windows()) EXPECT_TRUE(w->update.empty()) << sim::describe(w) << " not repainted";
}

TEST_F(Painting, UpdateWindowPaintsAtOnce) {
    HWND w = create("w", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, 0, 0,
                    u"RedRecorder");
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
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) << wintest::message_name(m.message) << " still queued";
}

// ------------------------------------------------------------ z-order

TEST_F(Painting, TopmostCarriesOwnedWindowsAndNotTopmostUndoesIt) {
    HWND main = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    HWND owned = create("owned", WS_VISIBLE | WS_POPUP, 10, 60, 100, 100, main);
    create("other", WS_VISIBLE | WS_POPUP, 0, 150, 240, 100);
    using Order = std::vector<std::string>;
    EXPECT_EQ(z_order(), (Order{"MS_SIPBUTTON", "HHTaskBar", "other", "owned", "main", "DesktopExplorerWindow"}));

    ASSERT_TRUE(SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(z_order(), (Order{"owned", "main", "MS_SIPBUTTON", "HHTaskBar", "other", "DesktopExplorerWindow"}));
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongW(owned, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(sim::window_at(200, 200), sim::window_from_handle(main)) << "main shows over the other window";

    ASSERT_TRUE(SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(z_order(), (Order{"MS_SIPBUTTON", "HHTaskBar", "owned", "main", "other", "DesktopExplorerWindow"}));
    EXPECT_FALSE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongW(owned, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Painting, ActivationBringsAWindowToTheTopOfItsBand) {
    HWND a = create("a", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    HWND b = create("b", WS_VISIBLE | WS_POPUP, 0, 100, 240, 100);
    HWND t = create("t", WS_VISIBLE | WS_POPUP, 0, 60, 100, 100, nullptr, WS_EX_TOPMOST);
    using Order = std::vector<std::string>;
    const Order a_first = {"t", "MS_SIPBUTTON", "HHTaskBar", "a", "b", "DesktopExplorerWindow"};
    const Order b_first = {"t", "MS_SIPBUTTON", "HHTaskBar", "b", "a", "DesktopExplorerWindow"};
    struct Step {
        const char* what;
        std::function<void()> act;
        Order order;
    };
    const Step steps[] = {
        {"created", [] {}, b_first},
        {"a activated", [&] { SetActiveWindow(a); }, a_first},
        {"b brought forward", [&] { SetForegroundWindow(b); }, b_first},
        {"a tapped", [&] { queue_tap(200, 50), pump(); }, a_first},
        {"t activated: above the others already", [&] { SetActiveWindow(t); }, a_first},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(z_order(), s.order);
    }
    EXPECT_EQ(GetActiveWindow(), t);
}

}  // namespace
