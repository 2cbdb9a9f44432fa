// The "static" class as its messages document it: the colours its parent
// gives (WM_CTLCOLORSTATIC), where its text goes by style, bitmaps
// (SS_BITMAP, STM_SETIMAGE, STM_GETIMAGE), the notifications of SS_NOTIFY,
// WM_GETDLGCODE's answer and what repaints it.
//   Static Controls Messages (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa452761(v=msdn.10)
//   Static Control Styles (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms940359(v=msdn.10)
#include "window_test_support.h"

namespace {
namespace statics {

const COLORREF kRedRef = RGB(255, 0, 0), kBlueRef = RGB(0, 0, 255), kGreenRef = RGB(0, 255, 0);

class StaticControl : public wintest::WindowTest {
protected:
    // A main window that colours its statics: a red background, blue text.
    HWND make_colouring_main() {
        brush_ = CreateSolidBrush(kRedRef);
        HWND main = create_main("main");
        on("main", WM_CTLCOLORSTATIC, [this](HWND, WPARAM wp, LPARAM lp) {
            asked_.push_back(HWND(lp));
            SetTextColor(HDC(wp), kBlueRef);
            SetBkColor(HDC(wp), kRedRef);
            return LRESULT(brush_);
        });
        pump();
        take();
        return main;
    }
    void TearDown() override {
        WindowTest::TearDown();
        brush_ = nullptr;
    }
    HWND text_static(HWND parent, DWORD style, const WCHAR* text, int width = 200, int height = 40) {
        return create_control(TEXT("static"), text, WS_VISIBLE | style, 10, 10, width, height, parent, 200);
    }
    // The screen rectangle's pixels of one colour: their count and the
    // columns and rows they span.
    struct Found {
        int count = 0;
        int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    };
    static Found find(const RECT& r, COLORREF c) {
        const std::vector<uint16_t> screen = screen_pixels();
        Found f;
        for (int y = int(r.top); y < int(r.bottom); ++y)
            for (int x = int(r.left); x < int(r.right); ++x)
                if (screen[size_t(y) * size_t(screen_width()) + size_t(x)] == colour(c)) {
                    ++f.count;
                    f.left = std::min(f.left, x);
                    f.right = std::max(f.right, x + 1);
                    f.top = std::min(f.top, y);
                    f.bottom = std::max(f.bottom, y + 1);
                }
        return f;
    }
    static RECT rect_of(HWND h) {
        RECT r;
        GetWindowRect(h, &r);
        return r;
    }
    // A bitmap of one colour.
    static HBITMAP solid_bitmap(int width, int height, COLORREF c) {
        HDC screen = GetDC(nullptr);
        HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
        HDC mem = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(mem, bmp);
        HBRUSH b = CreateSolidBrush(c);
        RECT all{0, 0, width, height};
        FillRect(mem, &all, b);
        DeleteObject(b);
        SelectObject(mem, old);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
        return bmp;
    }
    std::vector<HWND> asked_;
    HBRUSH brush_ = nullptr;
};

// A static asks its parent for colours each time it is drawn (wParam its
// device context, lParam itself), fills itself with the brush and writes
// in the text colour, where its style puts the text: at the left, centred
// or at the right, wrapped to its width except with SS_LEFTNOWORDWRAP.
// (WM_CTLCOLORSTATIC (Windows CE 5.0),
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa453851(v=msdn.10))
TEST_F(StaticControl, ParentColoursTheTextWhereTheStylePutsIt) {
    struct Case {
        const char* what;
        DWORD style;
        const char* where;  // "left", "centre", "right"
        bool wraps;
    };
    const Case cases[] = {
        {"SS_LEFT", SS_LEFT, "left", true},
        {"SS_CENTER", SS_CENTER, "centre", true},
        {"SS_RIGHT", SS_RIGHT, "right", true},
        {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP, "left", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HWND main = make_colouring_main();
        HWND s = text_static(main, c.style, TEXT("Tap the centre of the target"), 120, 60);
        pump();
        ASSERT_FALSE(asked_.empty()) << "the parent was not asked for colours";
        EXPECT_EQ(asked_.back(), s);
        RECT r = rect_of(s);
        Found text = find(r, kBlueRef);
        ASSERT_GT(text.count, 10) << "no text in the parent's colour";
        RECT corner{r.right - 4, r.bottom - 4, r.right, r.bottom};
        EXPECT_EQ(find(corner, kRedRef).count, 16) << "the background is not the parent's brush";
        int left_gap = text.left - int(r.left), right_gap = int(r.right) - text.right;
        if (std::string(c.where) == "left") EXPECT_LE(left_gap, 2);
        if (std::string(c.where) == "right") EXPECT_LE(right_gap, 2);
        if (std::string(c.where) == "centre") EXPECT_LE(std::abs(left_gap - right_gap), 4);
        // One line of this font is under 20 pixels high.
        EXPECT_EQ(text.bottom - text.top > 20, c.wraps) << "rows " << text.top << " to " << text.bottom;
    }
}

// An SS_BITMAP static shows the bitmap STM_SETIMAGE gives it, taking the
// bitmap's size (with SS_CENTERIMAGE it keeps its own and centres the
// bitmap on the background); STM_SETIMAGE returns the image it had, STM_GETIMAGE the one it
// has.  An image of the wrong type, or for a text static, is refused with
// 0 and changes nothing.  (STM_SETIMAGE (Windows CE 5.0),
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms940367(v=msdn.10))
TEST_F(StaticControl, BitmapStaticShowsItsImage) {
    HWND main = make_colouring_main();
    HWND s = create_control(TEXT("static"), TEXT(""), WS_VISIBLE | SS_BITMAP, 10, 10, 100, 80, main, 200);
    HBITMAP green = solid_bitmap(30, 20, kGreenRef), blue = solid_bitmap(24, 16, kBlueRef);
    EXPECT_EQ(SendMessageW(s, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_EQ(SendMessageW(s, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(green)), 0) << "no image before";
    EXPECT_EQ(HBITMAP(SendMessageW(s, STM_GETIMAGE, IMAGE_BITMAP, 0)), green);
    RECT r = rect_of(s);
    EXPECT_EQ(r.right - r.left, 30);
    EXPECT_EQ(r.bottom - r.top, 20);
    pump();
    EXPECT_EQ(find(r, kGreenRef).count, 30 * 20) << "the bitmap is not shown";

    EXPECT_EQ(SendMessageW(s, STM_SETIMAGE, IMAGE_ICON, LPARAM(blue)), 0) << "an icon for a bitmap static";
    EXPECT_EQ(HBITMAP(SendMessageW(s, STM_GETIMAGE, IMAGE_BITMAP, 0)), green);
    EXPECT_EQ(HBITMAP(SendMessageW(s, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(blue))), green);
    EXPECT_EQ(HBITMAP(SendMessageW(s, STM_GETIMAGE, IMAGE_BITMAP, 0)), blue);
    pump();
    r = rect_of(s);
    EXPECT_EQ(find(r, kBlueRef).count, 24 * 16);

    HWND centred = create_control(TEXT("static"), TEXT(""), WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE, 120, 10, 100, 80,
                                  main, 201);
    SendMessageW(centred, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(green));
    pump();
    r = rect_of(centred);
    EXPECT_EQ(r.right - r.left, 100) << "SS_CENTERIMAGE keeps the static's size";
    RECT middle{r.left + 49, r.top + 39, r.left + 51, r.top + 41};
    EXPECT_EQ(find(middle, kGreenRef).count, 4) << "the bitmap is not in the middle";
    // The device leaves the rest in the background colour; the desktop fills
    // it with the colour of the bitmap's top left pixel.
    const char* const ce_styles =
        "https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms940359(v=msdn.10)";
    if (wintest::device_only(ce_styles)) {
        Found shown = find(r, kGreenRef);
        EXPECT_EQ(shown.count, 30 * 20);
        EXPECT_EQ(shown.left - int(r.left), 35);
        EXPECT_EQ(shown.top - int(r.top), 30);
    }

    HWND text = text_static(main, SS_LEFT, TEXT("Text"));
    EXPECT_EQ(SendMessageW(text, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(green)), 0);
    EXPECT_EQ(SendMessageW(text, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    DestroyWindow(s);
    DestroyWindow(centred);
    DeleteObject(green);
    DeleteObject(blue);
}

// With SS_NOTIFY the parent hears of a tap (STN_CLICKED) and of the static
// being enabled or disabled (STN_ENABLE, STN_DISABLE); without it, of
// nothing.  A static is no place for the focus: WM_GETDLGCODE answers
// DLGC_STATIC.  (Static Controls Messages (Windows CE 5.0))
TEST_F(StaticControl, NotifyStyleTellsTheParent) {
    for (bool notify : {false, true}) {
        SCOPED_TRACE(notify ? "SS_NOTIFY" : "without SS_NOTIFY");
        start_afresh();
        HWND main = make_colouring_main();
        HWND s = text_static(main, notify ? SS_NOTIFY : 0, TEXT("Label"));
        EXPECT_EQ(SendMessageW(s, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
        pump();
        take();
        then_tap_window(s);
        then([&] {
            EnableWindow(s, FALSE);
            EnableWindow(s, TRUE);
        });
        EXPECT_FALSE(run_loop());
        std::vector<wintest::Expected> want;
        if (notify)
            want = {{"main", WM_COMMAND, wintest::kParams, MAKEWPARAM(200, STN_CLICKED), LPARAM(s)},
                    {"main", WM_COMMAND, wintest::kParams, MAKEWPARAM(200, STN_DISABLE), LPARAM(s)},
                    {"main", WM_COMMAND, wintest::kParams, MAKEWPARAM(200, STN_ENABLE), LPARAM(s)}};
        EXPECT_TRUE(wintest::sequence_matches(take_only({WM_COMMAND}), want));
    }
}

// What makes a static draw itself again (each drawing asks the parent for
// colours): new text, a font set with the redraw flag, being enabled or
// disabled; a font set without it does not.
// (WM_SETFONT: https://learn.microsoft.com/en-us/windows/win32/winmsg/wm-setfont)
TEST_F(StaticControl, ChangesThatRepaintTheStatic) {
    struct Case {
        const char* what;
        void (*change)(HWND s, HFONT font);
        bool repaints;
    };
    const Case cases[] = {
        {"new text", [](HWND s, HFONT) { SetWindowTextW(s, TEXT("Other")); }, true},
        {"a font, redrawn", [](HWND s, HFONT f) { SendMessageW(s, WM_SETFONT, WPARAM(f), TRUE); }, true},
        {"a font, not redrawn", [](HWND s, HFONT f) { SendMessageW(s, WM_SETFONT, WPARAM(f), FALSE); }, false},
        {"disabled", [](HWND s, HFONT) { EnableWindow(s, FALSE); }, true},
    };
    LOGFONTW lf{};
    lf.lfHeight = -14;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        HFONT font = CreateFontIndirectW(&lf);
        HWND main = make_colouring_main();
        HWND s = text_static(main, SS_LEFT, TEXT("Label"));
        pump();
        ASSERT_FALSE(asked_.empty()) << "never drawn";
        asked_.clear();
        c.change(s, font);
        pump();
        EXPECT_EQ(!asked_.empty(), c.repaints);
        DestroyWindow(s);
        DeleteObject(font);
    }
}

}  // namespace statics
}  // namespace
