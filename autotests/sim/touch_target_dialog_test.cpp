// The Screen Calibration test's dialog procedure on the simulated window
// system: where the targets go for the client area at each tap, the 21 x 21
// tolerance, the end codes, and a fresh start at every opening.  The
// dialog is placed where each case needs its client area.
//
// The procedure and DrawTarget are the program's own objects, the same that
// make the program module.
#include "window_test_support.h"

#include <string>
#include <vector>

#include "gdi/framebuffer.h"
#include "gdi/screen.h"
#include "base/person.h"

#include "tests/touch_target_dialog.h"

namespace {

using wintest::DialogTemplateBuilder;

constexpr DWORD kUnfontedDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
// A command that no control of the dialog sends.
constexpr WORD kNoControlOfTheDialog = 1001;

struct Target {
    int x, y;
};

// The centres on a 240 x 320 client area, in the order shown.
const Target kTargets240x320[4] = {{30, 15}, {30, 290}, {210, 290}, {210, 15}};

class TouchTargetDialogTest : public wintest::WindowTest {
protected:
    // Opens the dialog over a main window and returns its end code once the
    // queued steps have ended it (-2 when they did not).
    INT_PTR open_dialog() {
        main_ = create("main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
        pump();
        DialogTemplateBuilder t(kUnfontedDialogStyle, 0, 0, 179, 118, u"");
        try {
            return DialogBoxIndirectParamW(nullptr, t.get(), main_, TouchTargetDialogProc, 0);
        } catch (const sim::PowerOff&) {
            ADD_FAILURE() << "the dialog was still open when the user had nothing more to do";
            return -2;
        }
    }

    static HWND dialog() { return GetActiveWindow(); }

    // The dialog's client area becomes `width` x `height` at screen (x, y).
    void then_place(int x, int y, int width, int height) {
        then([=] { ASSERT_TRUE(MoveWindow(dialog(), x, y, width, height, TRUE)); });
    }
    // A tap at client point (x, y) of the dialog.
    void then_tap_client(int x, int y) {
        then([=] {
            POINT p{x, y};
            ClientToScreen(dialog(), &p);
            queue_tap(int(p.x), int(p.y));
        });
    }
    void then_expect_target(int step, Target t) {
        then([=] {
            EXPECT_EQ(g_TouchTargetState.step, step);
            EXPECT_EQ(g_TouchTargetState.targetX, t.x) << "step " << step;
            EXPECT_EQ(g_TouchTargetState.targetY, t.y) << "step " << step;
        });
    }
    void expect_every_step_used() { EXPECT_EQ(user_.steps_left(), 0u) << "the dialog ended early"; }

    HWND main_ = nullptr;
};

uint16_t screen(int x, int y) { return sim::framebuffer().pixels[y][x]; }

// With a 240 x 320 client area at the top of the screen, client and screen
// points are the same.  Each target is drawn with the default pen and
// brush (black cross over a white disc), and the one before is wiped.
TEST_F(TouchTargetDialogTest, TargetsOnA240By320ClientAreaInTheirOrder) {
    then_place(0, 0, 240, 320);
    for (int k = 0; k < 4; ++k) {
        Target t = kTargets240x320[k];
        then_expect_target(k, t);
        then([=] {
            EXPECT_EQ(screen(t.x, t.y), 0x0000) << "the cross's centre, target " << k + 1;
            EXPECT_EQ(screen(t.x + 19, t.y), 0x0000) << "the horizontal stroke";
            EXPECT_EQ(screen(t.x, t.y + 19), 0x0000) << "the vertical stroke";
            EXPECT_EQ(screen(t.x + 5, t.y + 5), 0xFFFF) << "inside the disc";
            if (k > 0) {
                Target before = kTargets240x320[k - 1];
                EXPECT_EQ(screen(before.x, before.y), 0xFFFF) << "target " << k << " is wiped";
            }
        });
        then_tap_client(t.x, t.y);
    }
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_ALL_HIT);
    expect_every_step_used();
    EXPECT_EQ(g_TouchTargetState.step, 0) << "the fourth tap sets the step back";
}

// The next target is placed from the client area as it is at the tap that
// moves it there, not when it is painted.
TEST_F(TouchTargetDialogTest, NextTargetComesFromTheClientAreaAtTheTap) {
    then_place(0, 0, 240, 320);
    then_tap_client(30, 15);
    then_place(0, 0, 200, 300);
    then_expect_target(1, {30, 290});
    then_tap_client(30, 290);
    then_expect_target(2, {170, 270});
    then_tap_client(170, 270);
    then_expect_target(3, {170, 15});
    then_tap_client(170, 15);
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_ALL_HIT);
    expect_every_step_used();
}

// Ten pixels off on both axes still hits; eleven off on either axis
// misses.  One miss, at any of the four targets, is enough for code 1.
TEST_F(TouchTargetDialogTest, TapsWithinTenPixelsHitAndElevenMiss) {
    const struct {
        int dx, dy;
        bool hits;
    } offsets[] = {
        {-10, -10, true}, {10, 10, true},   {-10, 10, true}, {10, -10, true}, {0, 0, true},
        {-11, 0, false},  {11, 0, false},   {0, -11, false}, {0, 11, false},  {-11, -11, false},
    };
    for (auto& o : offsets) {
        for (int off_target = 0; off_target < 4; ++off_target) {
            SCOPED_TRACE("offset " + std::to_string(o.dx) + "," + std::to_string(o.dy) + " at target " +
                         std::to_string(off_target + 1));
            start_afresh();
            then_place(0, 0, 240, 320);
            for (int k = 0; k < 4; ++k) {
                Target t = kTargets240x320[k];
                if (k == off_target)
                    then_tap_client(t.x + o.dx, t.y + o.dy);
                else
                    then_tap_client(t.x, t.y);
            }
            EXPECT_EQ(open_dialog(), o.hits ? TOUCH_TARGET_ALL_HIT : TOUCH_TARGET_MISSED);
            expect_every_step_used();
            for (int k = 0; k < 4; ++k) EXPECT_EQ(g_TouchTargetState.hit[k], k == off_target ? o.hits : 1) << k;
        }
    }
}

// Every tap moves the target on, wherever it lands; the fourth always ends
// the dialog.
TEST_F(TouchTargetDialogTest, AnyFourTapsEndTheDialog) {
    then_place(0, 0, 240, 320);
    for (int k = 0; k < 4; ++k) {
        then_expect_target(k, kTargets240x320[k]);
        then_tap_client(120, 160);
    }
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_MISSED);
    expect_every_step_used();
}

// A point left of the client area arrives as a large unsigned value and
// misses, even where its signed value would lie within the tolerance: on a
// client area 36 pixels wide the fourth target sits at x = 6.
TEST_F(TouchTargetDialogTest, ReleaseLeftOfTheClientAreaMisses) {
    const struct {
        const char* what;
        int up_client_x;
        INT_PTR code;
    } cases[] = {
        {"4 pixels left of the client area", -4, TOUCH_TARGET_MISSED},
        {"inside, 4 pixels left of the centre", 2, TOUCH_TARGET_ALL_HIT},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        start_afresh();
        then_place(100, 100, 36, 40);
        then_tap_client(30, 15);
        then_tap_client(30, 10);
        then_tap_client(6, 10);
        then_expect_target(3, {6, 15});
        then([&] {
            // The stylus goes down on the target and is lifted outside.
            SetCapture(dialog());
            queue_stroke(106, 115, 100 + c.up_client_x, 115);
        });
        EXPECT_EQ(open_dialog(), c.code);
        expect_every_step_used();
    }
}

// Done (the OK command; the action button gives it too) ends the dialog
// with 1 whatever was hit so far; other commands change nothing.
TEST_F(TouchTargetDialogTest, DoneEndsWithOneAtAnyStep) {
    for (int taps = 0; taps < 4; ++taps) {
        SCOPED_TRACE(std::to_string(taps) + " taps, all hits, then Done");
        start_afresh();
        then_place(0, 0, 240, 320);
        for (int k = 0; k < taps; ++k) then_tap_client(kTargets240x320[k].x, kTargets240x320[k].y);
        then([] { PostMessageW(dialog(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0); });
        EXPECT_EQ(open_dialog(), TOUCH_TARGET_MISSED);
        expect_every_step_used();
    }

    start_afresh();
    then_place(0, 0, 240, 320);
    then_press(VK_ESCAPE);  // IDCANCEL
    then([] { PostMessageW(dialog(), WM_COMMAND, MAKEWPARAM(kNoControlOfTheDialog, BN_CLICKED), 0); });
    for (int k = 0; k < 4; ++k) {
        then_expect_target(k, kTargets240x320[k]);
        then_tap_client(kTargets240x320[k].x, kTargets240x320[k].y);
    }
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_ALL_HIT);
    expect_every_step_used();

    start_afresh();
    then_place(0, 0, 240, 320);
    then_tap_client(30, 15);
    then_press(VK_RETURN);
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_MISSED);
    expect_every_step_used();
}

// A second opening starts at the first target with no hits, whatever the
// first one left: three hits and Done, then four more taps are needed.
TEST_F(TouchTargetDialogTest, SecondOpeningStartsAfresh) {
    then_place(0, 0, 240, 320);
    for (int k = 0; k < 3; ++k) then_tap_client(kTargets240x320[k].x, kTargets240x320[k].y);
    then([] { PostMessageW(dialog(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0); });
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_MISSED);
    EXPECT_EQ(g_TouchTargetState.step, 3);

    then_place(0, 0, 240, 320);
    // A miss at the first target: hits left over from the first opening
    // must not count.
    then_expect_target(0, kTargets240x320[0]);
    then([] {
        for (int k = 0; k < 4; ++k) EXPECT_EQ(g_TouchTargetState.hit[k], 0);
    });
    then_tap_client(120, 160);
    for (int k = 1; k < 4; ++k) {
        then_expect_target(k, kTargets240x320[k]);
        then_tap_client(kTargets240x320[k].x, kTargets240x320[k].y);
    }
    EXPECT_EQ(open_dialog(), TOUCH_TARGET_MISSED);
    expect_every_step_used();
}

}  // namespace
