// The "button" class as its messages document it: the check state each
// style keeps (BM_SETCHECK, BM_GETCHECK, BM_GETSTATE), WM_GETDLGCODE's
// answer, what a tap or BM_CLICK changes and whom it tells, automatic radio
// buttons clearing their group, Space, the focus notifications of
// BS_NOTIFY, the colours the parent gives (WM_CTLCOLORSTATIC,
// WM_CTLCOLORBTN), owner-drawn buttons, and what repaints a button.
//   Buttons Messages (Windows CE 5.0):
//   https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms907108(v=msdn.10)
//   Button Messages: https://learn.microsoft.com/en-us/windows/win32/controls/button-messages
#include "window_test_support.h"

namespace {
namespace buttons {

using wintest::kWparam;
using wintest::kParams;
using wintest::sequence_matches;

struct Style {
    const char* name;
    DWORD style;
};

// Every kind of button the device has ("Push Button Styles", "Check Box
// Styles", "Radio Button Styles" (Windows CE 5.0),
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa453604(v=msdn.10)).
const Style kPushButton{"push button", BS_PUSHBUTTON};
const Style kDefPush{"default push button", BS_DEFPUSHBUTTON};
const Style kCheckBox{"check box", BS_CHECKBOX};
const Style kAutoCheck{"automatic check box", BS_AUTOCHECKBOX};
const Style k3State{"three-state box", BS_3STATE};
const Style kAuto3State{"automatic three-state box", BS_AUTO3STATE};
const Style kRadio{"radio button", BS_RADIOBUTTON};
const Style kAutoRadio{"automatic radio button", BS_AUTORADIOBUTTON};
const Style kGroup{"group box", BS_GROUPBOX};
const Style kOwnerDrawn{"owner-drawn button", BS_OWNERDRAW};
const Style kPushLike{"push-like check box", BS_AUTOCHECKBOX | BS_PUSHLIKE};

class ButtonControl : public wintest::WindowTest {
protected:
    HWND make_main(const WCHAR* cls = TEXT("Recorder")) {
        HWND main = create_main("main", cls);
        pump();
        take();
        return main;
    }
    HWND button(HWND parent, DWORD style, int id = 100, int y = 10, const WCHAR* text = TEXT("Choice")) {
        return create_control(TEXT("button"), text, WS_VISIBLE | style, 10, y, 120, 20, parent, id);
    }
    static LRESULT check_of(HWND h) { return SendMessageW(h, BM_GETCHECK, 0, 0); }
    void deliver() { EXPECT_FALSE(run_loop()) << "unexpected WM_QUIT"; }
    // The BN_ notifications the parent heard, by code.
    std::vector<WORD> notifications() {
        std::vector<WORD> out;
        for (const wintest::Logged& m : take_only({WM_COMMAND})) out.push_back(HIWORD(m.wp));
        return out;
    }
};

// BM_SETCHECK then BM_GETCHECK, for every style: boxes and radio buttons
// keep the state (only a three-state box the grey one), the others have
// none.  BM_GETSTATE carries the same check in its low bits.
// BM_GETCHECK (Windows CE 5.0):
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa452891(v=msdn.10)
TEST_F(ButtonControl, CheckStateFollowsTheStyle) {
    struct Case {
        Style style;
        LRESULT checked;        // BM_GETCHECK after BM_SETCHECK(BST_CHECKED)
        LRESULT indeterminate;  // ... after BM_SETCHECK(BST_INDETERMINATE): a
                                // two-state button takes it for checked
    };
    const Case cases[] = {
        {kPushButton, 0, 0},
        {kDefPush, 0, 0},
        {kCheckBox, BST_CHECKED, BST_CHECKED},
        {kAutoCheck, BST_CHECKED, BST_CHECKED},
        {k3State, BST_CHECKED, BST_INDETERMINATE},
        {kAuto3State, BST_CHECKED, BST_INDETERMINATE},
        {kRadio, BST_CHECKED, BST_CHECKED},
        {kAutoRadio, BST_CHECKED, BST_CHECKED},
        {kGroup, 0, 0},
        {kOwnerDrawn, 0, 0},
        {kPushLike, BST_CHECKED, BST_CHECKED},
    };
    HWND main = make_main();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style.name);
        HWND b = button(main, c.style.style);
        EXPECT_EQ(check_of(b), BST_UNCHECKED) << "a new button is unchecked";
        EXPECT_EQ(SendMessageW(b, BM_SETCHECK, BST_CHECKED, 0), 0);
        EXPECT_EQ(check_of(b), c.checked);
        EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & 3, c.checked);
        SendMessageW(b, BM_SETCHECK, BST_INDETERMINATE, 0);
        EXPECT_EQ(check_of(b), c.indeterminate);
        SendMessageW(b, BM_SETCHECK, BST_UNCHECKED, 0);
        EXPECT_EQ(check_of(b), BST_UNCHECKED);
        DestroyWindow(b);
    }
}

// WM_GETDLGCODE tells the dialog manager what a button is, and follows a
// style changed with BM_SETSTYLE.  WM_GETDLGCODE:
// https://learn.microsoft.com/en-us/windows/win32/dlgbox/wm-getdlgcode
TEST_F(ButtonControl, DialogCodeSaysWhatTheButtonIs) {
    struct Case {
        Style style;
        LRESULT code;
    };
    const Case cases[] = {
        {kPushButton, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
        {kDefPush, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
        {kCheckBox, DLGC_BUTTON},
        {kAutoCheck, DLGC_BUTTON},
        {kAuto3State, DLGC_BUTTON},
        {kRadio, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {kAutoRadio, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {kGroup, DLGC_STATIC},
        {kOwnerDrawn, DLGC_BUTTON},
    };
    HWND main = make_main();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style.name);
        HWND b = button(main, c.style.style);
        EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), c.code);
        DestroyWindow(b);
    }
    HWND b = button(main, BS_PUSHBUTTON);
    SendMessageW(b, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

// What the user's choice does, by a tap or by BM_CLICK ("simulates the user
// clicking a button"): an automatic box moves to its next state, an
// automatic radio button is checked and stays so, the plain styles leave
// the check to the parent; the parent hears BN_CLICKED each time.  A group
// box is not there for the stylus: the tap reaches the parent (BM_CLICK,
// which sends the button the stylus's messages itself, still clicks it).
// BN_CLICKED: https://learn.microsoft.com/en-us/windows/win32/controls/bn-clicked
TEST_F(ButtonControl, ChoosingAButtonChangesItsCheckAndTellsTheParent) {
    struct Case {
        Style style;
        LRESULT first, second;  // the check after the first and the second choice
        bool clicked;           // the parent hears BN_CLICKED of a tap
        bool clicked_by_message = true;  // ... of BM_CLICK
    };
    const Case cases[] = {
        {kPushButton, 0, 0, true},
        {kCheckBox, BST_UNCHECKED, BST_UNCHECKED, true},
        {kAutoCheck, BST_CHECKED, BST_UNCHECKED, true},
        {k3State, BST_UNCHECKED, BST_UNCHECKED, true},
        {kAuto3State, BST_CHECKED, BST_INDETERMINATE, true},
        {kRadio, BST_UNCHECKED, BST_UNCHECKED, true},
        {kAutoRadio, BST_CHECKED, BST_CHECKED, true},
        {kGroup, 0, 0, false, true},
        {kOwnerDrawn, 0, 0, true},
        {kPushLike, BST_CHECKED, BST_UNCHECKED, true},
    };
    for (bool by_message : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.style.name) + (by_message ? ", BM_CLICK" : ", tapped"));
            start_afresh();
            HWND main = make_main();
            HWND b = button(main, c.style.style);
            pump();
            take();
            std::vector<LRESULT> seen;
            // The two taps fall apart, so that the second is no double tap.
            auto choose = [&](int x) {
                RECT r;
                GetWindowRect(b, &r);
                if (by_message)
                    SendMessageW(b, BM_CLICK, 0, 0);
                else
                    queue_tap(int(r.left) + x, int(r.top + r.bottom) / 2);
            };
            then([&] { choose(30); });
            then([&] {
                seen.push_back(check_of(b));
                choose(90);
            });
            then([&] { seen.push_back(check_of(b)); });
            deliver();
            EXPECT_EQ(seen, (std::vector<LRESULT>{c.first, c.second}));
            std::vector<wintest::Logged> got = take_only({WM_COMMAND, WM_LBUTTONDOWN});
            std::vector<wintest::Expected> want;
            for (int i = 0; i < 2; ++i) {
                if (by_message ? c.clicked_by_message : c.clicked)
                    want.push_back({"main", WM_COMMAND, kParams, MAKEWPARAM(100, BN_CLICKED), LPARAM(b)});
                else if (!by_message)
                    want.push_back({"main", WM_LBUTTONDOWN});
            }
            EXPECT_TRUE(sequence_matches(got, want));
        }
    }
}

// An automatic radio button chosen clears every other radio button of its
// group (the siblings from the WS_GROUP control up to the next one), and
// only those: "When the user selects an automatic radio button, the system
// automatically sets the check state of all other radio buttons within the
// same group to unchecked."
// (Radio Buttons, https://techshelps.github.io/Win32Api%20Documentation/html/16z6zq4.htm)
TEST_F(ButtonControl, AutomaticRadioButtonClearsItsGroup) {
    for (bool by_message : {false, true}) {
        SCOPED_TRACE(by_message ? "BM_CLICK" : "tapped");
        start_afresh();
        HWND main = make_main();
        HWND a = button(main, BS_AUTORADIOBUTTON | WS_GROUP, 101, 10);
        HWND b = button(main, BS_AUTORADIOBUTTON, 102, 35);
        HWND plain = button(main, BS_RADIOBUTTON, 103, 60);
        HWND box = button(main, BS_AUTOCHECKBOX, 104, 85);
        HWND other = button(main, BS_AUTORADIOBUTTON | WS_GROUP, 105, 110);
        for (HWND h : {a, plain, box, other}) SendMessageW(h, BM_SETCHECK, BST_CHECKED, 0);
        EXPECT_EQ(check_of(a), BST_CHECKED) << "BM_SETCHECK alone clears nothing";
        pump();
        take();
        then([&] {
            if (by_message)
                SendMessageW(b, BM_CLICK, 0, 0);
            else
                queue_tap_window(b);
        });
        deliver();
        EXPECT_EQ(check_of(b), BST_CHECKED);
        EXPECT_EQ(check_of(a), BST_UNCHECKED) << "the group's other automatic radio button";
        EXPECT_EQ(check_of(plain), BST_UNCHECKED) << "the group's plain radio button";
        EXPECT_EQ(check_of(box), BST_CHECKED) << "a check box is no radio button";
        EXPECT_EQ(check_of(other), BST_CHECKED) << "a radio button of the next group";
        EXPECT_EQ(notifications(), (std::vector<WORD>{BN_CLICKED}));
    }
}

// Space chooses the focused button when it is let go, not when it goes
// down: down, the button is drawn pushed (BST_PUSHED) and nothing else
// changes.  ("Button Default Message Processing",
// https://techshelps.github.io/Win32/html/1qsxsdo.htm)
TEST_F(ButtonControl, SpaceChoosesOnRelease) {
    HWND main = make_main();
    HWND b = button(main, BS_AUTOCHECKBOX | WS_TABSTOP);
    SetFocus(b);
    pump();
    take();
    then([&] { queue_key(VK_SPACE, true); });
    const LRESULT documented = 3 | BST_PUSHED | BST_FOCUS;  // the bits BM_GETSTATE documents
    then([&] {
        EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & documented, BST_PUSHED | BST_FOCUS);
        EXPECT_TRUE(notifications().empty()) << "chosen while Space was still down";
        queue_key(VK_SPACE, false);
    });
    deliver();
    EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & documented, BST_CHECKED | BST_FOCUS);
    EXPECT_EQ(notifications(), (std::vector<WORD>{BN_CLICKED}));
}

// BS_NOTIFY: the parent also hears when the button gets and loses the
// focus; without it, only BN_CLICKED.  BM_GETSTATE shows the focus and
// BM_SETSTATE's highlight.  ("Push Button Styles" (Windows CE 5.0),
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa453604(v=msdn.10);
// BM_GETSTATE (Windows CE 5.0),
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa452892(v=msdn.10))
TEST_F(ButtonControl, FocusNotificationsNeedBsNotify) {
    for (Style s : {kPushButton, kAutoCheck}) {
        for (bool notify : {false, true}) {
            SCOPED_TRACE(std::string(s.name) + (notify ? " with BS_NOTIFY" : ""));
            start_afresh();
            HWND main = make_main();
            HWND b = button(main, s.style | (notify ? BS_NOTIFY : 0));
            SetFocus(b);
            EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0), BST_FOCUS);
            EXPECT_EQ(SendMessageW(b, BM_SETSTATE, TRUE, 0), 0);
            EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0), BST_FOCUS | BST_PUSHED);
            SendMessageW(b, BM_SETSTATE, FALSE, 0);
            SetFocus(main);
            EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0), BST_UNCHECKED);
            std::vector<WORD> want;
            if (notify) want = {BN_SETFOCUS, BN_KILLFOCUS};
            EXPECT_EQ(notifications(), want);
        }
    }
}

// Before drawing, a button asks its parent for colours: push buttons and
// owner-drawn ones with WM_CTLCOLORBTN, check boxes, radio buttons and
// group boxes with WM_CTLCOLORSTATIC; wParam is the button's device
// context, lParam the button.  A box paints its background with the brush
// the parent returns and its label in the text colour the parent set; a
// push button keeps its own face.  (WM_CTLCOLORBTN (Windows CE 5.0),
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/ms914119(v=msdn.10);
// WM_CTLCOLORSTATIC on the device's check boxes and group boxes:
// https://www.codeproject.com/Articles/4772/transparent_controls)
TEST_F(ButtonControl, ParentColoursTheButton) {
    struct Case {
        Style style;
        UINT message;
        bool brush_used;  // the background takes the parent's brush and text colour
        const char* filled_on_device = nullptr;  // the brush fills all of it on the device only
    };
    // The device clips every window's children, so a group box cannot leave
    // its inside to the parent's drawing as desktop ones do: it fills it
    // with the WM_CTLCOLORSTATIC brush.
    const char* const device_group_box = "https://www.codeproject.com/Articles/4772/transparent_controls";
    const Case cases[] = {
        {kPushButton, WM_CTLCOLORBTN, false},        {kDefPush, WM_CTLCOLORBTN, false},
        {kAutoCheck, WM_CTLCOLORSTATIC, true}, {kAuto3State, WM_CTLCOLORSTATIC, true},
        {kRadio, WM_CTLCOLORSTATIC, true},     {kAutoRadio, WM_CTLCOLORSTATIC, true},
        {kGroup, WM_CTLCOLORSTATIC, true, device_group_box},
        {kOwnerDrawn, WM_CTLCOLORBTN, false},
    };
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style.name);
        start_afresh();
        HBRUSH brush = CreateSolidBrush(red);
        HWND main = make_main(TEXT("GreenRecorder"));
        HWND b = nullptr;
        std::vector<std::pair<bool, HWND>> asked;  // (a device context came, the button)
        auto answer = [&](HWND, WPARAM wp, LPARAM lp) {
            asked.push_back({wp != 0, HWND(lp)});
            SetTextColor(HDC(wp), blue);
            SetBkColor(HDC(wp), red);
            return LRESULT(brush);
        };
        on("main", WM_CTLCOLORBTN, answer);
        on("main", WM_CTLCOLORSTATIC, answer);
        on("main", WM_DRAWITEM, [](HWND, WPARAM, LPARAM) { return LRESULT(TRUE); });
        b = create_control(TEXT("button"), TEXT("Colours"), WS_VISIBLE | c.style.style, 10, 10, 200, 40, main, 100);
        pump();
        std::vector<wintest::Logged> got = take_only({WM_CTLCOLORBTN, WM_CTLCOLORSTATIC});
        ASSERT_FALSE(got.empty()) << "the parent was not asked for colours";
        for (const wintest::Logged& m : got) EXPECT_EQ(m.msg, c.message) << wintest::message_name(m.msg);
        ASSERT_FALSE(asked.empty());
        EXPECT_TRUE(asked.back().first) << "no device context";
        EXPECT_EQ(asked.back().second, b);
        RECT r;
        GetWindowRect(b, &r);
        const std::vector<uint16_t> screen = screen_pixels();
        auto at = [&](int x, int y) { return screen[size_t(y) * size_t(screen_width()) + size_t(x)]; };
        // The bottom right corner lies beyond the label and any box.
        uint16_t corner = at(int(r.right) - 3, int(r.bottom) - 3);
        int blue_pixels = 0;
        for (int y = int(r.top); y < int(r.bottom); ++y)
            for (int x = int(r.left); x < int(r.right); ++x) blue_pixels += at(x, y) == colour(blue);
        if (c.brush_used) {
            if (!c.filled_on_device || wintest::device_only(c.filled_on_device))
                EXPECT_EQ(corner, colour(red)) << "the background is not the parent's brush";
            EXPECT_GT(blue_pixels, 10) << "the label is not in the parent's text colour";
        } else if (c.style.style != BS_OWNERDRAW) {
            EXPECT_NE(corner, colour(red)) << "a push button took the parent's brush for its face";
            EXPECT_EQ(blue_pixels, 0) << "a push button's label took the parent's text colour";
        }
        DestroyWindow(b);
        DeleteObject(brush);
    }
}

// An owner-drawn button leaves its drawing to the parent: WM_DRAWITEM,
// wParam the button's id, lParam a DRAWITEMSTRUCT naming the button, its
// device context and client rectangle and its state (ODS_SELECTED while
// pushed).  ("Push Button Styles" (Windows CE 5.0), BS_OWNERDRAW;
// WM_DRAWITEM: https://learn.microsoft.com/en-us/windows/win32/controls/wm-drawitem)
TEST_F(ButtonControl, OwnerDrawnButtonIsDrawnByItsParent) {
    HWND main = make_main();
    std::vector<DRAWITEMSTRUCT> drawn;
    std::vector<WPARAM> ids;
    on("main", WM_DRAWITEM, [&](HWND, WPARAM wp, LPARAM lp) {
        ids.push_back(wp);
        drawn.push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return LRESULT(TRUE);
    });
    HWND b = button(main, BS_OWNERDRAW, 120);
    pump();
    ASSERT_FALSE(drawn.empty()) << "no WM_DRAWITEM";
    const DRAWITEMSTRUCT& d = drawn.front();
    EXPECT_EQ(ids.front(), 120u);
    EXPECT_EQ(d.CtlType, UINT(ODT_BUTTON));
    EXPECT_EQ(d.CtlID, 120u);
    EXPECT_EQ(d.hwndItem, b);
    EXPECT_NE(d.hDC, nullptr);
    EXPECT_EQ(d.itemAction, UINT(ODA_DRAWENTIRE));
    EXPECT_EQ(d.itemState & ODS_SELECTED, 0u);
    EXPECT_TRUE(d.rcItem.left == 0 && d.rcItem.top == 0 && d.rcItem.right == 120 && d.rcItem.bottom == 20);
    drawn.clear();
    SendMessageW(b, BM_SETSTATE, TRUE, 0);
    pump();
    ASSERT_FALSE(drawn.empty()) << "not drawn again when pushed";
    EXPECT_EQ(drawn.back().itemState & ODS_SELECTED, UINT(ODS_SELECTED));
}

// What makes a button draw itself again (each drawing asks the parent for
// colours): new text, a font set with the redraw flag, being enabled or
// disabled, a new check or highlight, a style set with the redraw flag;
// and what does not.  (WM_SETFONT:
// https://learn.microsoft.com/en-us/windows/win32/winmsg/wm-setfont;
// BM_SETSTYLE (Windows CE 5.0):
// https://learn.microsoft.com/en-us/previous-versions/windows/embedded/aa452895(v=msdn.10))
TEST_F(ButtonControl, ChangesThatRepaintTheButton) {
    struct Case {
        const char* what;
        std::function<void(HWND)> change;
        bool repaints;
    };
    LOGFONTW lf{};
    lf.lfHeight = -14;
    HFONT font = nullptr;
    const Case cases[] = {
        {"new text", [](HWND b) { SetWindowTextW(b, TEXT("Other")); }, true},
        {"a font, redrawn", [&](HWND b) { SendMessageW(b, WM_SETFONT, WPARAM(font), TRUE); }, true},
        {"a font, not redrawn", [&](HWND b) { SendMessageW(b, WM_SETFONT, WPARAM(font), FALSE); }, false},
        {"disabled", [](HWND b) { EnableWindow(b, FALSE); }, true},
        {"checked", [](HWND b) { SendMessageW(b, BM_SETCHECK, BST_CHECKED, 0); }, true},
        {"the check it has", [](HWND b) { SendMessageW(b, BM_SETCHECK, BST_UNCHECKED, 0); }, false},
        {"highlighted", [](HWND b) { SendMessageW(b, BM_SETSTATE, TRUE, 0); }, true},
        {"a style, redrawn", [](HWND b) { SendMessageW(b, BM_SETSTYLE, BS_CHECKBOX, TRUE); }, true},
        {"a style, not redrawn", [](HWND b) { SendMessageW(b, BM_SETSTYLE, BS_CHECKBOX, FALSE); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        font = CreateFontIndirectW(&lf);
        HWND main = make_main();
        HWND b = button(main, BS_AUTOCHECKBOX);
        pump();
        ASSERT_FALSE(take_only({WM_CTLCOLORSTATIC}).empty()) << "never drawn";
        c.change(b);
        pump();
        EXPECT_EQ(!take_only({WM_CTLCOLORSTATIC}).empty(), c.repaints);
        DestroyWindow(b);
        DeleteObject(font);
    }
}

}  // namespace buttons
}  // namespace
