// The key test on the simulated device: the modeless dialog with the device
// picture and the arrow, the walk through the nine buttons, the hot keys
// taken from the shell and handed to the main window, the registry flag,
// Cancel, and a dialog that outlives its run.
#include <string>
#include <vector>

#include "device/run_path_support.h"

namespace {

using devtest::EventPattern;
using devtest::Image;
using devtest::json;
using devtest::JournalLog;
using devtest::Rgb;
using namespace runpath;
using devtest::click_step;
using devtest::kCancelId;

// The Key test dialog's Cancel, tapped.
const std::string kClickCancel = click_step(kCancelId);
// The key test's bitmaps as the journal names them: by resource id.
const std::string kPictureName = std::to_string(IDB_KEY_PICTURE);
const std::string kArrowName = std::to_string(IDB_KEY_ARROW);
const char* const kFlagKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\TESTKEY";
const char* const kInstruction =
    "Press the button on the Orvex indicated by the red arrow in the picture. Do this for all buttons to complete "
    "the test.";
// The Key cell of the Status column.
const json kKeyCell = {170, 182, 240, 202};

// The hot keys in the order the program handles them; 197 is left alone.
const int kHotKeys[] = {192, 193, 194, 195, 196, 198, 199, 200, 201};

// The walk: the arrow's top-left corner in the dialog's client area, and the
// button that moves it on.
struct Step {
    int state;
    int x, y;
    const char* press;
};
const Step kWalk[] = {
    {2, 51, 202, "193"},  {3, 69, 194, "194"},  {4, 137, 194, "195"},  {5, 155, 202, "196"},   {6, 92, 207, "left"},
    {7, 102, 197, "up"},  {8, 112, 207, "right"}, {9, 102, 207, "action"}, {10, 102, 215, "down"},
};

// The dialog fills the screen below the task bar; the picture stands at
// (27, 0) of its client area, 170 x 270.
const int kPictureLeft = 27, kPictureRight = 197, kPictureBottom = kClientTop + 270;

const Rgb kRed{255, 0, 0};
const Rgb kWhite{255, 255, 255};

// Only the Key test ticked, Next, the reset box cleared, Start: the script's
// first eight lines.
const std::string kStartKeyOnly = click(IDC_SOUND_BOX) + click(IDC_CALIBRATION_BOX) + click(IDC_PATTERN_BOX) +
                                  click(IDC_FILE_BOX) + click(IDC_LED_BOX) + click(IDC_NEXT_FINISH) +
                                  click(IDC_RESET_BOX) + click(IDC_START);

std::string lines(const std::vector<std::string>& actions) {
    std::string s;
    for (auto& a : actions) s += a + "\n";
    return s;
}

// The presses that walk from state 2 up to (not including) step `upto`.
std::vector<std::string> presses_until(int upto) {
    std::vector<std::string> out;
    for (int i = 0; i < upto; ++i) out.push_back(std::string("press ") + kWalk[i].press);
    return out;
}

// The arrow stands at (x, y) of the dialog's client area: every pure red
// pixel over the picture lies in its 10 x 18 box, its tip (the box's
// lower-right pixel) is red, and its white is see-through (the picture
// shows at the box's lower-left pixel).
::testing::AssertionResult arrow_at(const Image& shot, int x, int y) {
    if (shot.empty()) return ::testing::AssertionFailure() << "no screenshot";
    int top = y + kClientTop;
    int n = 0, left = 999, right = -1, upper = 999, lower = -1;
    for (int py = kClientTop; py < kPictureBottom; ++py)
        for (int px = kPictureLeft; px < kPictureRight; ++px)
            if (shot.pixel(px, py) == kRed) {
                ++n;
                left = std::min(left, px), right = std::max(right, px);
                upper = std::min(upper, py), lower = std::max(lower, py);
            }
    if (n < 20) return ::testing::AssertionFailure() << "only " << n << " red pixels over the picture";
    if (left < x || right >= x + 10 || upper < top || lower >= top + 18)
        return ::testing::AssertionFailure() << "red pixels from (" << left << ", " << upper << ") to (" << right << ", "
                                             << lower << "), not inside the arrow at (" << x << ", " << top << ")";
    if (shot.pixel(x + 9, top + 17) != kRed) return ::testing::AssertionFailure() << "the tip is not red";
    if (shot.pixel(x, top + 17) == kWhite) return ::testing::AssertionFailure() << "the arrow's white is not see-through";
    return ::testing::AssertionSuccess();
}

int red_over_picture(const Image& shot) {
    return count_where(shot, [](Rgb c) { return c == kRed; }, kPictureLeft, kClientTop, kPictureRight, kPictureBottom);
}

// The hot keys pass from the key catcher to the main window, key by key:
// all released by the catcher, then each taken from the system and
// registered for the main window.
std::vector<EventPattern> hand_over() {
    std::vector<EventPattern> p;
    for (int k : kHotKeys) p.push_back({"hotkey", {{"op", "unregister"}, {"id", k}, {"ok", true}, {"window", ""}}});
    for (int k : kHotKeys) {
        p.push_back({"unregister_func", {{"vk", k}, {"mods", 8}}});
        p.push_back({"hotkey", {{"op", "register"}, {"id", k}, {"vk", k}, {"mods", 8}, {"window", "Dravik"}}});
    }
    return p;
}

// What the end of the dialog leaves: the dialog gone, the result in the
// Key cell, the main window in front, both libraries released.
std::vector<EventPattern> dialog_end(const char* result) {
    return {{"window", {{"op", "destroy"}, {"class", "Dialog"}}},
            {"foreground", {{"window", "Dravik"}}},
            {"library", {{"op", "free"}, {"name", "coredll.dll"}}},
            {"library", {{"op", "free"}, {"name", "OrvexUtil.dll"}}},
            {"text", {{"window", "Dravik"}, {"text", result}, {"rect", kKeyCell}}}};
}

class KeyRun : public RunPathSim {
protected:
    // Starts the Key test alone, then performs `after` (script lines).
    void start_key_test(const std::vector<std::string>& after, const json& profile = json::object()) {
        boot(kStartKeyOnly + lines(after), profile);
    }
    // The journal from script line `line` after Start (1 = the first).
    static int after_start(int n) { return kStartLine + n; }
};

// The dialog's opening: full screen, the key catcher with the focus, the
// flag, the hot keys taken from the system one by one, the utility library;
// then the run ends with its screen restore and the instruction is shown
// once, over the picture with the arrow on the first button.
TEST_F(KeyRun, OpensWithTheHotKeysAndTheInstructionOnce) {
    start_key_test({"screenshot instruction.png", "answer ok", "wait 10", "screenshot first.png"});
    JournalLog log = journal();
    JournalLog run = from_step(log, kStartLine);

    std::vector<EventPattern> opening = {
        {"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", false}}},
        {"dialog", {{"op", "open"}, {"template", IDD_KEY_TEST}, {"modal", false}}},
        {"window", {{"op", "create"}, {"class", "button"}, {"title", "Cancel"}}},
        {"shell_init_dialog", {{"flags", 0x0C}}},
        {"window", {{"op", "create"}, {"class", "button"}, {"title", ""}}},
        {"library", {{"op", "load"}, {"name", "coredll.dll"}, {"ok", true}}},
        {"reg_write", {{"key", kFlagKey}, {"name", "KEY"}, {"type", "REG_DWORD"}, {"data", 1}, {"ok", true}}},
    };
    for (int k : kHotKeys) {
        opening.push_back({"unregister_func", {{"vk", k}, {"mods", 8}, {"ok", true}}});
        opening.push_back({"hotkey", {{"op", "register"}, {"id", k}, {"vk", k}, {"mods", 8}, {"ok", true}, {"window", ""}}});
    }
    opening.push_back({"library", {{"op", "load"}, {"name", "OrvexUtil.dll"}, {"ok", true}}});
    opening.push_back({"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}});
    opening.push_back({"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}});
    opening.push_back({"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}});
    EXPECT_TRUE(run.in_order(opening));

    // The run does not wait for the dialog; the Key cell stays "?".
    int finish = run.find("window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}});
    EXPECT_EQ(slice(run, 0, finish).count("text", {{"text", "PASS"}}), 0);
    EXPECT_EQ(slice(run, 0, finish).count("text", {{"text", "FAIL"}}), 0);
    EXPECT_EQ(log.count("dialog", {{"template", IDD_KEY_TEST}, {"op", "end"}}), 0);

    // One instruction, owned by the dialog, OK only, no icon.
    EXPECT_EQ(log.count("msgbox"), 1) << log.dump();
    EXPECT_EQ(log.count("msgbox", {{"owner", ""}, {"text", kInstruction}, {"caption", "Key Test"}, {"style", 0}}), 1);
    // Nothing else is taken: 197 stays the shell's.
    EXPECT_EQ(log.count("unregister_func", {{"vk", 197}}) + log.count("hotkey", {{"vk", 197}}), 0);

    // Each paint copies the picture and lays the arrow over it with white
    // see-through, through bitmaps it loads and deletes again.
    EXPECT_TRUE(log.in_order({{"bitmap",
                               {{"op", "load"}, {"name", kPictureName}, {"width", 170}, {"height", 270}, {"bpp", 24}}},
                              {"draw", {{"op", "bitblt"}, {"rect", {27, 0, 197, 270}}, {"bitmap", kPictureName}}},
                              {"bitmap", {{"op", "delete"}, {"name", kPictureName}, {"ok", true}}},
                              {"bitmap",
                               {{"op", "load"}, {"name", kArrowName}, {"width", 10}, {"height", 18}, {"bpp", 4}}},
                              {"draw",
                               {{"op", "transparent"},
                                {"rect", {51, 202, 61, 220}},
                                {"bitmap", kArrowName},
                                {"transparent", 0xFFFFFF}}},
                              {"bitmap", {{"op", "delete"}, {"name", kArrowName}, {"ok", true}}}}));
    EXPECT_EQ(log.count("bitmap", {{"op", "load"}}), log.count("bitmap", {{"op", "delete"}, {"ok", true}}))
        << "every bitmap loaded is deleted";

    // The picture with the arrow on the leftmost application button, and the
    // Cancel button below the picture.
    Image first = screenshot("first.png");
    EXPECT_TRUE(arrow_at(first, 51, 202));
    EXPECT_TRUE(arrow_at(screenshot("instruction.png"), 51, 202)) << "the instruction comes after the first picture";
    EXPECT_GT(count_where(first, is_dark, kPictureRight, 300, 240, 320), 10) << "Cancel's frame and text";
}

// The nine buttons in order: the arrow moves button by button and, after the
// last, the dialog ends by itself with PASS, the hot keys pass to the main
// window and the Status column shows PASS.
TEST_F(KeyRun, NineButtonsInOrderPassAndCloseTheDialog) {
    std::vector<std::string> script = {"answer ok"};
    for (int i = 0; i < 9; ++i) {
        script.push_back("screenshot state" + std::to_string(kWalk[i].state) + ".png");
        script.push_back(std::string("press ") + kWalk[i].press);
    }
    script.push_back("wait 10");
    script.push_back("screenshot panel.png");
    start_key_test(script);
    JournalLog log = journal();

    for (const Step& s : kWalk) {
        SCOPED_TRACE("state " + std::to_string(s.state));
        EXPECT_TRUE(arrow_at(screenshot("state" + std::to_string(s.state) + ".png"), s.x, s.y));
    }

    // The last press: the dialog ends through its Cancel path, untouched.
    int last = after_start(1 + 2 * 9);
    JournalLog end = from_step(log, last);
    std::vector<EventPattern> expected = hand_over();
    for (auto& p : dialog_end("PASS")) expected.push_back(p);
    EXPECT_TRUE(end.in_order(expected)) << end.dump();
    EXPECT_EQ(log.count("input", {{"action", "click"}, {"id", kCancelId}}), 0);
    EXPECT_EQ(log.count("text", {{"text", "FAIL"}}), 0);

    Image panel = screenshot("panel.png");
    EXPECT_EQ(red_over_picture(panel), 0) << "the picture is gone";
    EXPECT_GT(count_where(panel, is_title_blue, 0, 26, 120, 50), 10) << "the panel is back";
}

// Buttons other than the one shown only redraw: the arrow stays, and the
// walk goes on with the right button afterwards.  192, 200 and 201 do not
// even redraw, and 197 stays with the shell.
TEST_F(KeyRun, OtherButtonsLeaveTheArrowWhereItIs) {
    const struct {
        const char* press;
        bool redraws;
    } cases[] = {
        {"194", true}, {"195", true}, {"196", true}, {"198", true},    {"199", true},  {"left", true}, {"up", true},
        {"right", true}, {"action", true}, {"down", true}, {"192", false}, {"200", false}, {"201", false},
    };
    std::vector<std::string> script = {"answer ok"};
    for (auto& c : cases) script.push_back(std::string("press ") + c.press);
    script.push_back("press 197");
    script.push_back("screenshot still.png");
    script.push_back("press 193");
    script.push_back("press 193");  // the right code in the wrong state
    script.push_back("screenshot moved.png");
    start_key_test(script);
    JournalLog log = journal();

    int line = after_start(2);
    for (auto& c : cases) {
        SCOPED_TRACE(c.press);
        JournalLog step = step_events(log, line++);
        EXPECT_EQ(step.count("draw", {{"op", "bitblt"}, {"bitmap", kPictureName}}), c.redraws ? 1 : 0) << step.dump();
        EXPECT_EQ(step.count("draw", {{"op", "transparent"}, {"rect", {51, 202, 61, 220}}}), c.redraws ? 1 : 0);
        EXPECT_EQ(step.count("hotkey_press", {{"holder", "shell"}}), 0);
    }
    JournalLog shell_key = step_events(log, line++);
    EXPECT_EQ(shell_key.count("hotkey_press", {{"vk", 197}, {"holder", "shell"}}), 1) << shell_key.dump();
    EXPECT_EQ(shell_key.count("draw"), 0);

    EXPECT_TRUE(arrow_at(screenshot("still.png"), 51, 202));
    EXPECT_TRUE(arrow_at(screenshot("moved.png"), 69, 194));
}

// Buttons pressed while the instruction is open reach the dialog but are
// ignored, and leave nothing behind for when it is confirmed.
TEST_F(KeyRun, ButtonsPressedWhileTheInstructionIsOpenDoNothingAfterwards) {
    start_key_test({"press 193", "press 194", "press left", "press up", "press 196", "answer ok", "wait 10",
                    "screenshot armed.png", "press 193", "screenshot moved.png"});
    JournalLog log = journal();
    int box = log.find("msgbox", {{"text", kInstruction}});
    int answered = log.find("msgbox_result");
    ASSERT_GE(box, 0);
    ASSERT_GT(answered, box);
    JournalLog open = slice(log, box, answered);
    EXPECT_EQ(open.count("hotkey_press", {{"holder", "window"}}), 3) << "the catcher holds the buttons" << open.dump();
    EXPECT_EQ(open.count("draw", {{"op", "transparent"}}), 0) << "ignored, not even redrawn";

    EXPECT_TRUE(arrow_at(screenshot("armed.png"), 51, 202));
    EXPECT_TRUE(arrow_at(screenshot("moved.png"), 69, 194)) << "the walk starts at the first button";
    EXPECT_EQ(log.count("msgbox"), 1);
}

// Cancel, whenever it comes, gives FAIL; the hot keys pass to the main
// window all the same, which keeps them silent until it closes.
TEST_F(KeyRun, CancelFailsAndTheHotKeysStillPassToTheMainWindow) {
    const struct {
        const char* what;
        int pressed;  // buttons of the walk pressed before Cancel
    } cases[] = {
        {"at once", 0},
        {"halfway", 4},
        {"before the last button", 8},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> script = {"answer ok"};
        for (auto& p : presses_until(c.pressed)) script.push_back(p);
        script.push_back(kClickCancel);
        script.push_back("wait 10");
        script.push_back("screenshot panel.png");
        // After the test: every button is the main window's and does nothing.
        for (const char* k : {"192", "193", "196", "199", "200", "201", "197"}) script.push_back(std::string("press ") + k);
        script.push_back("wait 10");
        script.push_back("screenshot after.png");
        start_key_test(script);
        JournalLog log = journal();

        int cancel = after_start(2 + c.pressed);
        JournalLog end = from_step(log, cancel);
        std::vector<EventPattern> expected = hand_over();
        for (auto& p : dialog_end("FAIL")) expected.push_back(p);
        EXPECT_TRUE(end.in_order(expected)) << end.dump();
        EXPECT_EQ(log.count("text", {{"text", "PASS"}}), 0);

        JournalLog after = from_step(log, cancel + 3);
        for (int k : {192, 193, 196, 199, 200, 201})
            EXPECT_EQ(after.count("hotkey_press", {{"vk", k}, {"holder", "window"}, {"window", "Dravik"}}), 1) << k;
        EXPECT_EQ(after.count("hotkey_press", {{"vk", 197}, {"holder", "shell"}}), 1);
        for (const char* ev : {"msgbox", "dialog", "window", "draw", "hotkey", "reg_write", "process_start"})
            EXPECT_EQ(after.count(ev), 0) << ev << "\n" << after.dump();
        EXPECT_EQ(red_over_picture(screenshot("after.png")), 0);
    }
}

// "KEY" goes to 1 when the dialog opens and stays 1 after the test; only the
// main window's close writes 0, after it has let go of the hot keys.
TEST_F(KeyRun, FlagStaysRaisedUntilTheMainWindowCloses) {
    std::vector<std::string> pass = {"answer ok"};
    for (auto& p : presses_until(9)) pass.push_back(p);
    pass.push_back("wait 10");

    start_key_test(pass);
    EXPECT_EQ(reg_dword(kFlagKey, "KEY"), 1u) << "the power went off with the window open";
    EXPECT_EQ(journal().count("reg_write", {{"key", kFlagKey}}), 1);

    pass.push_back("caption-ok");
    start_key_test(pass);
    EXPECT_EQ(reg_dword(kFlagKey, "KEY"), 0u);
    JournalLog close = from_step(journal(), after_start(int(pass.size())));
    std::vector<EventPattern> expected;
    for (int k : kHotKeys)
        expected.push_back({"hotkey", {{"op", "unregister"}, {"id", k}, {"ok", true}, {"window", "Dravik"}}});
    expected.push_back({"reg_write", {{"key", kFlagKey}, {"name", "KEY"}, {"data", 0}, {"ok", true}}});
    expected.push_back({"window", {{"op", "destroy"}, {"class", "Dravik"}}});
    EXPECT_TRUE(close.in_order(expected)) << close.dump();
    EXPECT_EQ(close.count("hotkey", {{"vk", 197}}), 0);
}

// A run started while the dialog of an earlier run is still open shows that
// dialog again: no second dialog, no second instruction, the hot keys and
// the flag untouched, and the walk goes on where it was.
TEST_F(KeyRun, SecondRunShowsTheOpenDialogWithItsState) {
    std::vector<std::string> script = {"answer ok", "press 193", "press 194"};
    // Finish and Next lie under the dialog; they are reached through it.
    script.push_back("click-through \"Finish\"");
    script.push_back("answer no");
    script.push_back("click-through \"Next\"");
    script.push_back("click " + std::to_string(IDC_RESET_BOX));
    script.push_back("click " + std::to_string(IDC_START));
    script.push_back("wait 10");
    script.push_back("screenshot again.png");
    // The run ends with the main window active; a tap on the picture gives
    // the dialog, and so the key catcher, the focus back for the pad.
    script.push_back("tap 120 100");
    for (int i = 2; i < 9; ++i) script.push_back(std::string("press ") + kWalk[i].press);
    script.push_back("wait 10");
    start_key_test(script);
    JournalLog log = journal();

    int second = after_start(8);  // Start of the second run
    JournalLog run = slice(log, step_at(log, second), log.find("input", json::object(), size_t(step_at(log, second)) + 1));
    EXPECT_TRUE(run.in_order({{"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}},
                              {"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", false}}},
                              {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}}}))
        << run.dump();
    EXPECT_EQ(log.count("dialog", {{"op", "open"}, {"template", IDD_KEY_TEST}}), 1);
    EXPECT_EQ(log.count("msgbox", {{"text", kInstruction}}), 1);
    EXPECT_EQ(log.count("reg_write", {{"key", kFlagKey}}), 1);
    EXPECT_EQ(log.count("hotkey", {{"op", "register"}, {"window", ""}}), 9);
    // Finish cleared the results; the second run leaves Key at "?".
    EXPECT_GE(run.count("text", {{"text", "?                      "}, {"rect", kKeyCell}}), 1) << run.dump();
    EXPECT_EQ(run.count("text", {{"text", "PASS"}}) + run.count("text", {{"text", "FAIL"}}), 0);

    EXPECT_TRUE(arrow_at(screenshot("again.png"), 137, 194)) << "the third button, where the walk had got to";
    EXPECT_TRUE(from_step(log, second + 4).in_order(dialog_end("PASS")));
}

// The dialog's failures: each is reported as the test describes and the
// test goes on, but a button whose hot key could not be taken cannot move
// the walk on, so only Cancel ends it, with FAIL.
TEST_F(KeyRun, ButtonsItCouldNotTakeLeaveOnlyCancel) {
    const std::string no_register = "RegisterHotKey is FALSE";
    const std::vector<std::string> nine_refused(9, no_register);
    auto then = [](std::vector<std::string> first, const std::vector<std::string>& rest) {
        first.insert(first.end(), rest.begin(), rest.end());
        return first;
    };
    const struct {
        const char* what;
        json profile;
        std::vector<std::string> opening_boxes;  // before the instruction, each without owner
        int refused_at_hand_over;                // "RegisterHotKey is FALSE" again at the end
        int presses;                             // buttons of the walk that work before the stuck one
        const char* stuck_holder;                // who gets the stuck button
    } cases[] = {
        {"no coredll: the shell keeps every button",
         {{"coredll_missing", true}},
         then({"coredll is not loaded", "UnregisterFunc1 is not called"}, nine_refused),
         9, 0, "shell"},
        {"no UnregisterFunc1: the same",
         {{"unregisterfunc1_missing", true}},
         then({"UnregisterFunc1 is not called"}, nine_refused),
         9, 0, "shell"},
        {"another program holds 194", {{"hotkey_fail", {194}}}, {no_register}, 1, 1, "other"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> script;
        for (size_t i = 0; i < c.opening_boxes.size(); ++i) script.push_back("answer ok");
        script.push_back("answer ok");  // the instruction
        for (auto& p : presses_until(c.presses)) script.push_back(p);
        script.push_back(std::string("press ") + kWalk[c.presses].press);
        script.push_back("wait 10");
        script.push_back("screenshot stuck.png");
        script.push_back(kClickCancel);
        // These come while the main window is still topmost, so the dialog
        // hides them; the focus is in each, and the action button answers it.
        for (int i = 0; i < c.refused_at_hand_over; ++i) script.push_back("press action");
        script.push_back("wait 10");
        start_key_test(script, c.profile);
        JournalLog log = journal();

        std::vector<EventPattern> boxes;
        for (auto& text : c.opening_boxes) boxes.push_back({"msgbox", ownerless_box(text)});
        boxes.push_back({"msgbox", {{"text", kInstruction}}});
        for (int i = 0; i < c.refused_at_hand_over; ++i) boxes.push_back({"msgbox", ownerless_box(no_register)});
        EXPECT_TRUE(log.in_order(boxes)) << log.dump();
        EXPECT_EQ(log.count("msgbox"), int(boxes.size()));

        JournalLog stuck = step_events(log, after_start(int(c.opening_boxes.size()) + 2 + c.presses));
        EXPECT_EQ(stuck.count("hotkey_press", {{"holder", c.stuck_holder}}), 1) << stuck.dump();
        EXPECT_TRUE(arrow_at(screenshot("stuck.png"), kWalk[c.presses].x, kWalk[c.presses].y));
        EXPECT_EQ(log.count("text", {{"window", "Dravik"}, {"text", "FAIL"}, {"rect", kKeyCell}}), 1);
        EXPECT_EQ(log.count("text", {{"text", "PASS"}}), 0);
    }
}

// Cancel's own messages leave the dialog open and usable: a second tap on
// Cancel then must not start the end again.
TEST_F(KeyRun, SecondCancelWhileTheEndIsUnderWayIsIgnored) {
    // Cancel stands at (183, 274) of the dialog, 43 x 22 pixels.
    start_key_test({"answer ok", "answer ok", kClickCancel, "tap 204 311", "wait 10"}, {{"hotkey_fail", {194}}});
    JournalLog log = journal();
    EXPECT_EQ(log.count("hotkey", {{"op", "unregister"}, {"window", ""}}), 9) << log.dump();
    EXPECT_EQ(log.count("msgbox", ownerless_box("RegisterHotKey is FALSE")), 2) << "one at the start, one at the end";
    // 192 and 193 went to the main window; the end waits at the box for 194.
    EXPECT_EQ(log.count("hotkey", {{"op", "register"}, {"window", "Dravik"}}), 3);
}

// The buttons the main window holds after a Key test are taken back from it
// by the next Key test in the same power-on, which then passes like the
// first: no "RegisterHotKey is FALSE", however the first one ended.
TEST_F(KeyRun, SecondKeyTestTakesTheButtonsBackAndPasses) {
    const struct {
        const char* what;
        std::vector<std::string> first;  // after the instruction
        const char* first_result;
    } cases[] = {
        {"the first passed", presses_until(9), "PASS"},
        {"the first was cancelled", {"press 193", kClickCancel}, "FAIL"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> script = {"answer ok"};
        script.insert(script.end(), c.first.begin(), c.first.end());
        // Finish without a log, then the Key test again.
        for (const std::string& line : {std::string("wait 10"), click_step(IDC_NEXT_FINISH), std::string("answer no"),
                                        click_step(IDC_NEXT_FINISH), click_step(IDC_RESET_BOX), click_step(IDC_START),
                                        std::string("answer ok")})
            script.push_back(line);
        int second_start = after_start(int(script.size()) - 1);
        for (auto& p : presses_until(9)) script.push_back(p);
        script.push_back("wait 10");
        start_key_test(script);
        JournalLog log = journal();

        EXPECT_EQ(log.count("msgbox", ownerless_box("RegisterHotKey is FALSE")), 0) << log.dump();
        EXPECT_EQ(log.count("dialog", {{"op", "open"}, {"template", IDD_KEY_TEST}}), 2);
        JournalLog second = from_step(log, second_start);
        std::vector<EventPattern> taken;
        for (int k : kHotKeys) {
            taken.push_back({"unregister_func", {{"vk", k}, {"ok", true}, {"holder", "window"}, {"window", "Dravik"}}});
            taken.push_back({"hotkey", {{"op", "register"}, {"id", k}, {"ok", true}, {"window", ""}}});
        }
        EXPECT_TRUE(second.in_order(taken)) << second.dump();
        EXPECT_TRUE(slice(log, 0, step_at(log, second_start)).in_order(dialog_end(c.first_result)));
        std::vector<EventPattern> passed = hand_over();
        for (auto& p : dialog_end("PASS")) passed.push_back(p);
        EXPECT_TRUE(from_step(log, second_start + 10).in_order(passed)) << from_step(log, second_start + 10).dump();
    }
}

// The journal tells the windows apart by number, whatever their titles:
// the dialog's lines carry its template, its controls name it as their
// parent, the instruction names it as its owner, and the buttons say which
// window got them.  A button nobody takes (after the program has gone)
// still has its line.
TEST_F(KeyRun, JournalNamesTheWindowsByNumberAndTemplate) {
    std::vector<std::string> script = {"answer ok", "press 193", "press left", kClickCancel, "wait 10", "caption-ok",
                                       "wait 10", "press 193", "press left"};
    start_key_test(script);
    JournalLog log = journal();

    std::vector<json> dialogs = log.filter("window", {{"op", "create"}, {"template", IDD_KEY_TEST}});
    ASSERT_EQ(dialogs.size(), 1u) << log.dump();
    json dialog = dialogs[0]["number"];
    ASSERT_TRUE(dialog.is_number()) << dialogs[0];
    std::vector<json> mains = log.filter("window", {{"op", "create"}, {"class", "Dravik"}});
    ASSERT_EQ(mains.size(), 1u);
    json main = mains[0]["number"];
    EXPECT_NE(main, dialog);
    EXPECT_EQ(dialogs[0]["parent"], main) << "the dialog is owned by the main window";
    EXPECT_EQ(mains[0]["template"], nullptr);
    EXPECT_EQ(log.count("dialog", {{"op", "open"}, {"template", IDD_KEY_TEST}, {"number", dialog}}), 1);
    EXPECT_EQ(log.count("window", {{"op", "destroy"}, {"number", dialog}, {"template", IDD_KEY_TEST}}), 1);

    // The Cancel button and the untitled key catcher are the dialog's.
    std::vector<json> cancel = log.filter("window", {{"op", "create"}, {"title", "Cancel"}, {"parent", dialog}});
    std::vector<json> catcher =
        log.filter("window", {{"op", "create"}, {"class", "button"}, {"title", ""}, {"parent", dialog}});
    ASSERT_EQ(cancel.size(), 1u) << log.dump();
    ASSERT_EQ(catcher.size(), 1u) << log.dump();
    EXPECT_NE(cancel[0]["number"], catcher[0]["number"]);

    // The instruction is owned by the dialog.
    EXPECT_EQ(log.count("msgbox", {{"text", kInstruction}, {"owner_number", dialog}, {"owner_template", IDD_KEY_TEST}}), 1);
    // The buttons during the test go to the catcher, in the dialog.
    json in_dialog = {{"number", catcher[0]["number"]}, {"template", IDD_KEY_TEST}};
    json hot = in_dialog, pad = in_dialog;
    hot["vk"] = 193, hot["holder"] = "window";
    pad["vk"] = 37, pad["holder"] = "window", pad["msg"] = "down";
    EXPECT_EQ(log.count("hotkey_press", hot), 1) << log.dump();
    EXPECT_EQ(log.count("key", pad), 1) << log.dump();

    // After the program has ended nobody takes them, and each press is still there.
    JournalLog after = from_step(log, after_start(int(script.size()) - 1));
    EXPECT_EQ(after.count("key", {{"vk", 193}, {"msg", "down"}, {"holder", "none"}, {"number", nullptr}}), 1)
        << after.dump();
    EXPECT_EQ(after.count("key", {{"vk", 37}, {"msg", "down"}, {"holder", "none"}}), 1) << after.dump();
}

// A failed write of the flag goes only to the debug output.
TEST_F(KeyRun, FailedFlagWriteIsNotedOnTheDebugOutputOnly) {
    start_key_test({"answer ok", kClickCancel, "wait 10"},
                   {{"registry_fail_writes", {"HKEY_LOCAL_MACHINE\\SOFTWARE\\TESTKEY\\KEY"}}});
    JournalLog log = journal();
    EXPECT_TRUE(log.in_order({{"reg_write", {{"key", kFlagKey}, {"name", "KEY"}, {"data", 1}, {"ok", false}}},
                              {"debug", {{"text", "Write registry failed(Backlight Sensor!\r\n"}}},
                              {"unregister_func", {{"vk", 192}}}}));
    EXPECT_EQ(log.count("msgbox"), 1) << "the instruction only";
}

}  // namespace
