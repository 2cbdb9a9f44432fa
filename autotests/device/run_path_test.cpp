// The Next path on the simulated device: the run dialog, the stress-tool
// check that guards the automatic reset, the ways out of the dialog and the
// test sequence that a run without reset starts at once.  Runs select only
// IR Transfer first, so that no test waits for the user.
#include <string>
#include <vector>

#include "device/run_path_support.h"

namespace {

using devtest::EventPattern;
using devtest::Image;
using devtest::json;
using devtest::JournalLog;
using namespace runpath;

class RunPath : public RunPathSim {};

TEST_F(RunPath, RunDialogOpensFullScreenWithItsOwnTexts) {
    boot(click(IDC_NEXT_FINISH) + "screenshot dialog.png\n" + click(IDC_BACK) + "wait 100\n");
    JournalLog log = journal();
    JournalLog opening = step_events(log, 1);

    EXPECT_TRUE(opening.in_order({
        {"dialog", {{"op", "open"}, {"template", IDD_RUN}, {"modal", true}}},
        {"window", {{"op", "create"}, {"class", "button"}, {"title", "Start"}}},
        {"window", {{"op", "create"}, {"class", "button"}, {"title", "Back"}}},
        {"window", {{"op", "create"}, {"class", "static"},
                    {"title", "Save all unsaved data and \nclose all tasks before running a test"}}},
        {"window", {{"op", "create"}, {"class", "button"}, {"title", "Perform automatic 'Reset' before test"}}},
        // Full screen with the input panel lowered, then the box ticked.
        {"shell_init_dialog", {{"flags", 0x0C}}},
        {"check", {{"id", IDC_RESET_BOX}, {"state", 1}}},
        // The built-in texts give way to the string table's.
        {"window_text", {{"id", IDC_RESET_BOX}, {"text", "Perform automatic 'Reset' before test."}}},
        {"window_text", {{"id", IDC_BACK}, {"text", "Back"}}},
        {"window_text", {{"id", IDC_START}, {"text", "Start"}}},
        {"window_text",
         {{"id", IDC_RUN_WARNING}, {"text", "Save all unsaved data and \nclose all tasks before running a test."}}},
    }));
    EXPECT_EQ(opening.count("enable"), 0) << "no stress tool runs, the box stays enabled\n" << opening.dump();

    // The dialog covers the screen between the task bar and the bottom: no
    // trace of the panel's title or Next button is left.
    Image shot = screenshot("dialog.png");
    ASSERT_FALSE(shot.empty());
    EXPECT_EQ(count_where(shot, is_title_blue, 0, 26, 240, 50), 0);
    EXPECT_GT(count_where(shot, is_dark, 0, 26, 240, 294), 100) << "the dialog's texts are drawn";
}

// The stress tool's name depends on the system's version; the executable
// names are lower-cased and searched for the tool's name anywhere in them.
TEST_F(RunPath, RunningStressToolClearsAndDisablesTheResetBox) {
    const struct {
        const char* what;
        json version;  // [major, minor]
        int platform;
        std::vector<std::string> processes;
        bool tool_running;
    } cases[] = {
        {"hopper on 4.2", {4, 20}, 3, {"hopper.exe"}, true},
        {"hopper in capitals", {4, 20}, 3, {"HOPPER.EXE"}, true},
        {"a longer name holding hopper", {4, 20}, 3, {"oldhopper.exe.bak"}, true},
        {"hopper on 5.0", {5, 0}, 3, {"Hopper.exe"}, true},
        {"spider is not the tool on 4.2", {4, 20}, 3, {"spider.exe"}, false},
        {"hopper is not the tool on 4.0", {4, 0}, 3, {"hopper.exe"}, false},
        {"spider on 4.0", {4, 0}, 3, {"SPIDER.exe"}, true},
        {"spider on 3.0", {3, 0}, 3, {"spider.exe"}, true},
        {"spider on another platform", {4, 20}, 2, {"xspider.exe"}, true},
        {"hopper on another platform", {4, 20}, 2, {"hopper.exe"}, false},
        {"a near miss", {4, 20}, 3, {"hopper.ex", "hoppe.exe"}, false},
        {"no tool", {4, 20}, 3, {}, false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Start right away; tapping the box first must not matter when it is
        // disabled.
        std::string script = kSelectOnlyIr + click(IDC_NEXT_FINISH) +
                             (c.tool_running ? click(IDC_RESET_BOX) + click(IDC_START) : click(IDC_BACK)) + "wait 100\n";
        boot(script, {{"os_version", c.version}, {"platform_id", c.platform}, {"processes", c.processes}});
        JournalLog log = journal();
        JournalLog opening = step_events(log, after_selection(1));

        if (!c.tool_running) {
            EXPECT_TRUE(opening.in_order({{"shell_init_dialog", {{"flags", 0x0C}}},
                                          {"check", {{"id", IDC_RESET_BOX}, {"state", 1}}}}));
            EXPECT_EQ(opening.count("enable"), 0) << opening.dump();
            continue;
        }
        // Cleared (it starts clear, so no change shows) and disabled.
        EXPECT_TRUE(opening.in_order({{"shell_init_dialog", {{"flags", 0x0C}}},
                                      {"enable", {{"id", IDC_RESET_BOX}, {"enabled", false}}},
                                      {"window_text", {{"id", IDC_RESET_BOX}}}}));
        EXPECT_EQ(opening.count("check"), 0) << opening.dump();
        EXPECT_EQ(step_events(log, after_selection(2)).count("check"), 0) << "a disabled box does not change";

        // Start runs the tests at once, without a reset.
        JournalLog after = from_step(log, after_selection(3));
        std::vector<EventPattern> expected = {{"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}}};
        for (auto& p : run_of(ir_test_passes())) expected.push_back(p);
        EXPECT_TRUE(after.in_order(expected));
        for (const char* ev : {"reg_write", "shortcut", "reset_request", "reset"})
            EXPECT_EQ(log.count(ev), 0) << ev << "\n" << log.dump();
        EXPECT_FALSE(registry().has_key(kResumeKey));
    }
}

// Back, Escape (Cancel) and tapping the box on and off before leaving: the
// dialog closes, the panel is repainted, and nothing runs or is written.
TEST_F(RunPath, LeavingWithoutStartRunsNothingAndWritesNothing) {
    const struct {
        const char* what;
        std::string leave;  // script lines that leave the dialog
        int end_code;
    } cases[] = {
        {"Back", click(IDC_BACK), IDC_BACK},
        {"Escape", "press 27\n", 2},
        {"Back after clearing the box", click(IDC_RESET_BOX) + click(IDC_BACK), IDC_BACK},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(click(IDC_NEXT_FINISH) + c.leave + "wait 100\nscreenshot panel.png\n");
        JournalLog log = journal();
        JournalLog after = from_step(log, 2);

        EXPECT_TRUE(after.in_order({{"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", c.end_code}}},
                                    {"window", {{"op", "destroy"}, {"class", "Dialog"}}},
                                    {"text", {{"window", "Dravik"}, {"text", "Dravik"}}}}));
        for (const char* ev : {"reg_write", "shortcut", "reset_request", "file", "msgbox"})
            EXPECT_EQ(log.count(ev), 0) << ev << "\n" << log.dump();
        EXPECT_EQ(log.count("dialog", {{"template", IDD_SCREEN_RESTORE}}), 0) << "no test sequence";
        EXPECT_EQ(log.count("window_text", {{"id", IDC_NEXT_FINISH}}), 0) << "the button still reads Next";
        EXPECT_EQ(log.count("enable", {{"id", IDC_NEXT_FINISH}}), 0);
        EXPECT_FALSE(registry().has_key(kResumeKey));
    }
}

// Without the stylus the pad drives the run dialog: the focus starts on
// Start, the direction keys move it between Start and Back (one group; the
// reset box behind its label is another), and the action button presses
// the focused button.  The focused button shows a dotted frame.
TEST_F(RunPath, PadMovesBetweenStartAndBackAndTheActionButtonPresses) {
    const struct {
        const char* what;
        std::string keys;
        int end_code;
    } cases[] = {
        {"action at once: Start", "press action\n", IDC_START},
        {"right, action: Back", "press right\npress action\n", IDC_BACK},
        {"left, action: Back", "press left\npress action\n", IDC_BACK},
        {"down twice comes back to Start", "press down\npress down\npress action\n", IDC_START},
        {"up, action: Back", "press up\npress action\n", IDC_BACK},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) +
             "screenshot start.png\npress right\nscreenshot back.png\npress left\n" +
             c.keys + "wait 100\n");
        JournalLog log = journal();
        EXPECT_EQ(log.count("dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", c.end_code}}), 1)
            << log.dump();
        EXPECT_EQ(log.count("com", {{"op", "open"}}), c.end_code == IDC_START ? 1 : 0) << "IR ran after Start only";

        // Start (75, 97) and Back (15, 96), 50 x 14 dialog units, lie on the
        // screen from (131, 220) and (26, 218), 87 x 28 pixels.  The focus
        // frame is every other pixel 3 pixels inside the edge: dark dots on
        // that row of the focused button, none on the other's.
        Image start = screenshot("start.png"), back = screenshot("back.png");
        auto dots = [](const Image& shot, int left, int top) {
            int n = 0;
            for (int x = left + 4; x < left + 87 - 4; ++x) n += is_dark(shot.pixel(x, top + 3));
            return n;
        };
        const int start_left = 131, start_top = 220, back_left = 26, back_top = 218;
        EXPECT_GT(dots(start, start_left, start_top), 20) << "Start has the focus first";
        EXPECT_EQ(dots(start, back_left, back_top), 0);
        EXPECT_GT(dots(back, back_left, back_top), 20) << "the focus went to Back";
        EXPECT_EQ(dots(back, start_left, start_top), 0);
    }
}

// A run dialog opened again recomputes the reset box: a box cleared in an
// earlier opening is ticked again.
TEST_F(RunPath, EveryOpeningTicksTheBoxAgain) {
    boot(click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_BACK) + click(IDC_NEXT_FINISH) + click(IDC_BACK) +
         "wait 100\n");
    JournalLog log = journal();
    EXPECT_TRUE(step_events(log, 2).in_order({{"check", {{"id", IDC_RESET_BOX}, {"state", 0}}}}));
    EXPECT_TRUE(step_events(log, 4).in_order({{"dialog", {{"op", "open"}, {"template", IDD_RUN}}},
                                              {"check", {{"id", IDC_RESET_BOX}, {"state", 1}}}}));
}

// Clearing the box and tapping Start runs the selected tests at once: no
// record, no shortcut, no reset.  Only IR Transfer is selected: it alone
// runs, once, and passes; the run ends with one screen restore, the button
// enabled and reading "Finish", and a repaint whose Status column shows
// PASS for IR and "?" for the six tests that did not run.
TEST_F(RunPath, ClearingTheBoxRunsAtOnceWithoutWritingTheRecord) {
    boot(kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) +
         "wait 100\nscreenshot finish.png\n");
    JournalLog log = journal();
    JournalLog run = from_step(log, after_selection(3));

    std::vector<EventPattern> expected = {{"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}}};
    for (auto& p : run_of(ir_test_passes())) expected.push_back(p);
    EXPECT_TRUE(run.in_order(expected));
    EXPECT_EQ(log.count("dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}), 1) << log.dump();
    EXPECT_EQ(run.count("dialog", {{"op", "open"}}), 1) << "no other test's dialog\n" << run.dump();
    EXPECT_EQ(log.count("com", {{"op", "open"}}), 1) << log.dump();
    for (const char* ev : {"reg_write", "shortcut", "reset_request", "reset", "msgbox", "file", "gx", "led"})
        EXPECT_EQ(log.count(ev), 0) << ev << "\n" << log.dump();
    EXPECT_FALSE(registry().has_key(kResumeKey));
    EXPECT_TRUE(store_names("\\Windows\\StartUp").empty());

    // The repaint after the run draws the Status column.
    int restored = run.find("dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}});
    ASSERT_GE(restored, 0);
    EXPECT_TRUE(status_shows_only_ir_passed(slice(run, restored)));

    // The panel is back with its title and the shell's task bar.
    Image shot = screenshot("finish.png");
    ASSERT_FALSE(shot.empty());
    EXPECT_GT(count_where(shot, is_title_blue, 0, 26, 120, 50), 10) << "the title is painted again";
}

}  // namespace
