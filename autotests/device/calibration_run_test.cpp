// The Screen Calibration test on the simulated device: the full-screen
// target dialog below the task bar (a client area of 240 x 294 at screen
// y 26), each target drawn where the client area puts it, the 21 x 21
// tolerance, the end codes as PASS and FAIL, and the screen restore after.
#include <string>
#include <vector>

#include "device/screen_tests_support.h"

namespace {

using devtest::EventPattern;
using devtest::Image;
using devtest::json;
using devtest::JournalLog;
using namespace runpath;
using namespace screentest;


struct Point {
    int x, y;
};
// The targets' centres in client coordinates, in the order shown.
const Point kTargets[4] = {{30, 15}, {30, 264}, {210, 264}, {210, 15}};

std::string tap_client(int x, int y) { return "tap " + std::to_string(x) + " " + std::to_string(y + kClientTop) + "\n"; }
std::string tap_target(int k, int dx = 0, int dy = 0) { return tap_client(kTargets[k].x + dx, kTargets[k].y + dy); }

// Target k as DrawTarget draws it: the circle, then the vertical and the
// horizontal stroke.
std::vector<EventPattern> target_drawn(int k) {
    int x = kTargets[k].x, y = kTargets[k].y;
    return {{"draw", {{"op", "ellipse"}, {"rect", {x - 10, y - 10, x + 10, y + 10}}}},
            {"draw", {{"op", "polyline"}, {"points", {{x, y - 20}, {x, y + 20}}}}},
            {"draw", {{"op", "polyline"}, {"points", {{x - 20, y}, {x + 20, y}}}}}};
}

json dialog_end(int code) { return {{"op", "end"}, {"template", IDD_TOUCH_TARGET}, {"code", code}}; }

// The Status cell of Screen Calibration as the repaint at the end of the
// run draws it.
std::string calibration_status(const JournalLog& log) { return status_cells(log)[1]; }

class Calibration : public RunPathSim {};

// Four taps on the centres: every target is drawn at its place for the
// client area, the old one wiped; the fourth tap ends the dialog with 2,
// the screen is restored, and the Status column and the log say PASS.
TEST_F(Calibration, FourHitsPassAndTheStatusShowsPass) {
    std::string start = run_only({IDC_CALIBRATION_BOX});
    int first = lines_of(start) + 1;
    boot(start + "screenshot target1.png\n" + tap_target(0) + "screenshot target2.png\n" + tap_target(1) +
         tap_target(2) + tap_target(3) + "wait 100\n" + click(IDC_NEXT_FINISH) + "answer yes\nwait 100\n");
    JournalLog log = journal();

    std::vector<EventPattern> opening = {
        {"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}},
        {"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", false}}},
        {"dialog", {{"op", "open"}, {"template", IDD_TOUCH_TARGET}, {"modal", true}}},
        {"window", {{"op", "create"}, {"class", "static"}, {"title", "Tap the center of the target with the stylus."}}},
        {"shell_init_dialog", {{"flags", 0x11}}},
        {"foreground", json::object()},
        {"fullscreen", {{"flags", 0x0A}}},
    };
    for (auto& p : target_drawn(0)) opening.push_back(p);
    EXPECT_TRUE(from_step(log, first - 1).in_order(opening));

    EXPECT_TRUE(step_events(log, first + 1).in_order(target_drawn(1)));
    EXPECT_TRUE(step_events(log, first + 3).in_order(target_drawn(2)));
    EXPECT_TRUE(step_events(log, first + 4).in_order(target_drawn(3)));
    EXPECT_EQ(log.count("dialog", {{"template", IDD_TOUCH_TARGET}, {"op", "end"}}), 1);
    std::vector<EventPattern> after = {{"dialog", dialog_end(2)},
                                       {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                                       {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}}};
    std::vector<EventPattern> end = end_of_run();
    after.insert(after.end(), end.begin() + 1, end.end());  // the button was disabled at the start
    EXPECT_TRUE(step_events(log, first + 5).in_order(after)) << step_events(log, first + 5).dump();
    EXPECT_EQ(calibration_status(log), "PASS");
    auto saved = store_file(kLogPath);
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find("Screen Calibration\t\tPASS\r\n"), std::string::npos) << *saved;
    EXPECT_NE(saved->find("Screen Patterns\t\t?\r\n"), std::string::npos) << *saved;

    // The first target: a black cross over a white disc; its vertical
    // stroke starts above the client area and is cut off there.
    Image one = screenshot("target1.png");
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(one.pixel(30, 41), kBlack);
    EXPECT_EQ(one.pixel(30, 60), kBlack) << "the stroke's last pixel, y + 19";
    EXPECT_EQ(one.pixel(30, 61), kWhite) << "a line leaves out its end point";
    EXPECT_EQ(one.pixel(10, 41), kBlack);
    EXPECT_EQ(one.pixel(49, 41), kBlack);
    EXPECT_EQ(one.pixel(50, 41), kWhite);
    EXPECT_EQ(one.pixel(35, 46), kWhite) << "inside the disc";
    EXPECT_EQ(one.pixel(37, 34), kBlack) << "the circle's outline";
    for (int y = 21; y < kClientTop; ++y) EXPECT_NE(one.pixel(30, y), kBlack) << "above the client area, y " << y;
    EXPECT_EQ(one.count(kBlack, 0, 250, 60, 320) + one.count(kBlack, 180, 250, 240, 320) +
                  one.count(kBlack, 180, 26, 240, 80),
              0)
        << "no other target";

    // After the first tap the second target is shown and the first wiped.
    Image two = screenshot("target2.png");
    ASSERT_FALSE(two.empty());
    EXPECT_EQ(two.pixel(30, 290), kBlack);
    EXPECT_EQ(two.count(kBlack, 0, 26, 60, 80), 0) << "the first target is wiped";
}

// Ten pixels off on both axes hits, eleven off on one axis misses; one miss
// at any target gives FAIL.
TEST_F(Calibration, TenPixelsOffHitsAndElevenMisses) {
    const struct {
        int target, dx, dy;
        bool hits;
    } cases[] = {
        {0, -10, -10, true}, {1, 10, 10, true},   {2, -10, 10, true}, {3, 10, -10, true},
        {0, -11, 0, false},  {1, 0, 11, false},   {2, 11, 0, false},  {3, 0, -11, false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE("target " + std::to_string(c.target + 1) + " off by " + std::to_string(c.dx) + "," +
                     std::to_string(c.dy));
        std::string script = run_only({IDC_CALIBRATION_BOX});
        for (int k = 0; k < 4; ++k) script += k == c.target ? tap_target(k, c.dx, c.dy) : tap_target(k);
        boot(script + "wait 100\n");
        JournalLog log = journal();
        EXPECT_EQ(log.count("dialog", dialog_end(c.hits ? 2 : 1)), 1) << log.dump();
        EXPECT_EQ(calibration_status(log), c.hits ? "PASS" : "FAIL");
    }
}

// Taps far from every target still move it on; the fourth ends the
// dialog, with FAIL.
TEST_F(Calibration, AnyFourTapsEndTheDialog) {
    std::string start = run_only({IDC_CALIBRATION_BOX});
    int first = lines_of(start) + 1;
    boot(start + tap_client(120, 60) + tap_client(120, 60) + tap_client(120, 60) + tap_client(120, 60) + "wait 100\n");
    JournalLog log = journal();
    for (int k = 1; k < 4; ++k) EXPECT_TRUE(step_events(log, first + k - 1).in_order(target_drawn(k))) << k;
    EXPECT_TRUE(step_events(log, first + 3).in_order({{"dialog", dialog_end(1)}}));
    EXPECT_EQ(calibration_status(log), "FAIL");
}

// The instruction text does not take taps (a static without SS_NOTIFY): a
// tap on it reaches the dialog beneath and counts as a miss, whichever
// target is on show, and the fourth tap still ends the dialog.
TEST_F(Calibration, TapOnTheInstructionIsAMiss) {
    const std::string kInstructionText = "Tap the center of the target with the stylus.";
    for (int missed = 0; missed < 4; ++missed) {
        SCOPED_TRACE("the instruction tapped while target " + std::to_string(missed + 1) + " is shown");
        std::string start = run_only({IDC_CALIBRATION_BOX});
        int first = lines_of(start) + 1;
        std::string script = start;
        for (int k = 0; k < 4; ++k) script += k == missed ? "click \"" + kInstructionText + "\"\n" : tap_target(k);
        boot(script + "wait 100\n");
        JournalLog log = journal();
        JournalLog tapped = step_events(log, first + missed);
        if (missed < 3) {
            EXPECT_TRUE(tapped.in_order(target_drawn(missed + 1))) << "the target did not move on\n" << tapped.dump();
        }
        EXPECT_TRUE(step_events(log, first + 3).in_order({{"dialog", dialog_end(1)}})) << log.dump();
        EXPECT_EQ(log.count("dialog", {{"template", IDD_TOUCH_TARGET}, {"op", "end"}}), 1);
        EXPECT_EQ(calibration_status(log), "FAIL");
    }
}

// Done in the caption, or the action button (OK), ends the dialog with 1
// at once, whatever was hit.
TEST_F(Calibration, DoneGivesFail) {
    const struct {
        const char* what;
        int hits_before;
        const char* done;
    } cases[] = {
        {"Done before any tap", 0, "caption-ok\n"},
        {"Done after three hits", 3, "caption-ok\n"},
        {"the action button after one hit", 1, "press action\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string start = run_only({IDC_CALIBRATION_BOX});
        std::string script = start;
        for (int k = 0; k < c.hits_before; ++k) script += tap_target(k);
        boot(script + c.done + "wait 100\n");
        JournalLog log = journal();
        int done_line = lines_of(script) + 1;
        EXPECT_TRUE(step_events(log, done_line).in_order({{"dialog", dialog_end(1)}}));
        EXPECT_EQ(calibration_status(log), "FAIL");
    }
}

// A second run in the same process opens the dialog afresh: target 1, no
// hits, four taps needed.
TEST_F(Calibration, SecondOpeningStartsAfresh) {
    std::string script = run_only({IDC_CALIBRATION_BOX}) + tap_target(0) + tap_target(1) + tap_target(2) +
                         "caption-ok\nwait 100\n" + click(IDC_NEXT_FINISH) + "answer no\n";
    int second_start = lines_of(script) + 3;  // Next, clear the box, Start
    script += click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START);
    script += tap_target(0) + tap_target(1) + tap_target(2) + tap_target(3) + "wait 100\n";
    boot(script);
    JournalLog log = journal();
    EXPECT_EQ(log.count("dialog", {{"op", "open"}, {"template", IDD_TOUCH_TARGET}}), 2);
    JournalLog second = from_step(log, second_start);
    std::vector<EventPattern> fresh = {{"dialog", {{"op", "open"}, {"template", IDD_TOUCH_TARGET}}}};
    for (auto& p : target_drawn(0)) fresh.push_back(p);
    EXPECT_TRUE(second.in_order(fresh));
    for (int k = 1; k < 4; ++k)
        EXPECT_EQ(step_events(log, second_start + k).count("dialog", {{"template", IDD_TOUCH_TARGET}}), 0)
            << "the dialog is still open after " << k << " taps";
    EXPECT_TRUE(step_events(log, second_start + 4).in_order({{"dialog", dialog_end(2)}}));
    EXPECT_EQ(calibration_status(second), "PASS");
}

}  // namespace
