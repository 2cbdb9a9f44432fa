// Scripts that state what the device shows: each expect- action, holding
// and not holding; actions a person could not do; frames that never came.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "device/harness.h"

namespace {

using devtest::click;
using devtest::Image;
using devtest::JournalLog;
using devtest::ProcessResult;
using devtest::Rgb;

// A run of IR Transfer alone, without the reset: it asks nothing and
// passes.  Afterwards the panel reads PASS beside IR Transfer, "?" for the
// others, and its button reads Finish.
const char* const kIrRun =
    "click \"Sound\"\n"
    "click \"Screen Calibration\"\n"
    "click \"Screen Patterns\"\n"
    "click \"Read/Write files\"\n"
    "click \"LED Notification\"\n"
    "click \"Key Test\"\n"
    "click \"IR Transfer\"\n"
    "click \"Next\"\n";
const std::string kStartWithoutReset = click(IDC_RESET_BOX) + "click \"Start\"\nwait 100\n";
const int kIrRunLines = 11;
// Finish opens the question about the result log.
const char* const kFinish = "click \"Finish\"\n";
const char* const kLogQuestion = "Do you want to make a result file(Dravik.log)?";

class Expectation : public devtest::SimRun {
protected:
    // Runs kIrRun, then `lines`; checks that a failure is one line naming
    // the script's line `line`.
    const ProcessResult& run_after_ir(const std::string& lines) {
        extra_args = {"--factory-reset"};  // no log from an earlier run
        set_script(std::string(kIrRun) + kStartWithoutReset + lines);
        return run();
    }

    // The one line a failed run printed, and that it names the line.
    ::testing::AssertionResult one_line_naming(const ProcessResult& r, int line) {
        std::string prefix = script_path() + ":" + std::to_string(line) + ": ";
        if (r.err.rfind(prefix, 0) != 0)
            return ::testing::AssertionFailure() << "does not begin with " << prefix << ": " << r.err;
        if (r.err.find('\n') != r.err.size() - 1) return ::testing::AssertionFailure() << "not one line: " << r.err;
        return ::testing::AssertionSuccess();
    }
};

// Each kind of expectation, holding (exit 0, the run goes on to its end)
// and not (exit 1, the run stops there with one line saying what was
// expected and what was seen).
TEST_F(Expectation, EachKindHoldsOrStopsTheRunSayingWhatWasSeen) {
    const struct {
        const char* what;
        std::string lines;  // after the IR run; the last one is the expectation
        int exit_code;
        std::string message;  // a part of the message after "FILE:LINE: "
    } cases[] = {
        {"message box with its caption", std::string(kFinish) + "expect-msgbox \"" + kLogQuestion + "\" \"Make Log File\"",
         0, ""},
        {"message box without its caption", std::string(kFinish) + "expect-msgbox \"" + kLogQuestion + "\"", 0, ""},
        {"message box saying something else", std::string(kFinish) + "expect-msgbox \"Save the log?\"", 1,
         "expect-msgbox: expected a message box saying \"Save the log?\", seen \"" + std::string(kLogQuestion) +
             "\" under the caption \"Make Log File\""},
        {"message box under another caption", std::string(kFinish) + "expect-msgbox \"" + kLogQuestion + "\" \"Error\"", 1,
         "under the caption \"Error\", seen \"" + std::string(kLogQuestion) + "\" under the caption \"Make Log File\""},
        {"no message box", "expect-msgbox \"" + std::string(kLogQuestion) + "\"", 1,
         "seen no message box (the active window is the window \"Dravik\")"},

        {"text of a control", "expect-text \"Finish\"", 0, ""},
        {"text of a message box", std::string(kFinish) + "expect-text \"" + kLogQuestion + "\"", 0, ""},
        {"the active window's title", "expect-text \"Dravik\"", 0, ""},
        {"text the active window does not show", "expect-text \"Next\"", 1,
         "expect-text: expected \"Next\" in the active window, seen \"Dravik\", \"Select Test\", \"Status\", \"Sound\""},
        {"text of a window that is not the active one", std::string(kFinish) + "expect-text \"Select Test\"", 1,
         "in the message box \"" + std::string(kLogQuestion) + "\""},

        {"Status cell with PASS", "expect-status \"IR Transfer\" PASS", 0, ""},
        {"Status cell of a test not run", "expect-status Sound ?", 0, ""},
        {"Status cell with another word", "expect-status \"IR Transfer\" FAIL", 1,
         "expect-status: expected FAIL beside \"IR Transfer\" in the Status column, seen PASS"},
        {"Status cell hidden by the log question", std::string(kFinish) + "expect-status \"IR Transfer\" PASS", 1,
         "seen the cell hidden behind the message box \"" + std::string(kLogQuestion) + "\""},
        {"Status cells after Finish", std::string(kFinish) + "answer no\nexpect-status \"IR Transfer\" ?", 0, ""},

        {"result log with PASS", std::string(kFinish) + "answer yes\nexpect-log \"IR Transfer\" PASS", 0, ""},
        {"result log with ? for a test not run", std::string(kFinish) + "answer yes\nexpect-log \"Key Test\" ?", 0, ""},
        {"result log with another word", std::string(kFinish) + "answer yes\nexpect-log \"IR Transfer\" FAIL", 1,
         "expect-log: expected FAIL for \"IR Transfer\" in the result log, seen PASS"},
        {"result log without the test", std::string(kFinish) + "answer yes\nexpect-log Bluetooth PASS", 1,
         "seen no line for \"Bluetooth\" (the log's lines name \"Select Test\", \"Sound\", \"Screen Calibration\""},
        {"no result log", std::string(kFinish) + "answer no\nexpect-log \"IR Transfer\" PASS", 1,
         "seen no result log \\My Documents\\Dravik.txt"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult& r = run_after_ir(c.lines + "\nwait 10\n");
        ASSERT_EQ(r.exit_code, c.exit_code) << r.err;
        JournalLog j = journal();
        int line = kIrRunLines + int(std::count(c.lines.begin(), c.lines.end(), '\n')) + 1;
        auto checked = j.filter("expect", {{"line", line}});
        ASSERT_EQ(checked.size(), 1u) << j.dump();
        EXPECT_EQ(checked[0]["ok"], c.exit_code == 0);
        if (c.exit_code == 0) {
            EXPECT_EQ(r.err, "");
            // The run went on past it.
            EXPECT_GE(j.find("input", {{"action", "wait"}, {"line", line + 1}}), 0);
            continue;
        }
        EXPECT_TRUE(one_line_naming(r, line));
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        // Nothing after it was done; the device lost power.
        EXPECT_EQ(j.find("input", {{"line", line + 1}}), -1);
        EXPECT_EQ(j.events().back()["ev"], "power_off");
    }
}

// A test the panel does not list is the script's mistake, not the device's.
TEST_F(Expectation, StatusOfATestThePanelDoesNotListIsABadScript) {
    const ProcessResult& r = run_after_ir("expect-status Bluetooth PASS\n");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_TRUE(one_line_naming(r, kIrRunLines + 1));
    EXPECT_NE(r.err.find("the panel has no test \"Bluetooth\" (its tests: \"Sound\", \"Screen Calibration\", "
                         "\"Screen Patterns\", \"Read/Write files\", \"IR Transfer\", \"LED Notification\", "
                         "\"Key Test\")"),
              std::string::npos)
        << r.err;
}

// Texts are compared whole, blanks and line breaks counting as one blank:
// the run dialog's warning is drawn on two lines.
TEST_F(Expectation, TextsCompareWithLineBreaksAsBlanks) {
    const struct {
        const char* line;
        int exit_code;
    } cases[] = {
        {"expect-text \"Save all unsaved data and close all tasks before running a test.\"", 0},
        {"expect-text \"  Save all unsaved data and   close all tasks before running a test. \"", 0},
        {"expect-text \"Save all unsaved data\"", 1},
        {"expect-text \"Perform automatic 'Reset' before test.\"", 0},
        {"expect-text \"Start\"", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.line);
        set_script(std::string(kIrRun) + c.line + "\n");
        EXPECT_EQ(run().exit_code, c.exit_code) << last().err;
        if (c.exit_code == 0) continue;
        // What was seen is told on the one line too, its line break a blank.
        EXPECT_TRUE(one_line_naming(last(), 9));
        EXPECT_NE(last().err.find("seen \"Start\", \"Back\", \"Save all unsaved data and close all tasks before "
                                  "running a test.\", \"Perform automatic 'Reset' before test.\""),
                  std::string::npos)
            << last().err;
    }
}

// expect-screen: the picture of the screen as a screenshot keeps it holds;
// a screen that differs stops the run, writes the screen and the
// differences beside the picture, and the tolerance counts the pixels that
// may differ.
TEST_F(Expectation, ScreenMatchesAPictureWithinItsTolerance) {
    run_after_ir("screenshot results.png\n");
    ASSERT_EQ(last().exit_code, 0) << last().err;
    std::filesystem::create_directories(dir() + "/pictures");
    std::filesystem::copy_file(screenshots_dir() + "/results.png", dir() + "/pictures/results.png");

    run_after_ir("expect-screen pictures/results.png\n");
    EXPECT_EQ(last().exit_code, 0) << last().err;
    EXPECT_FALSE(std::filesystem::exists(dir() + "/pictures/results.seen.png"));

    // The log question covers a part of it.
    run_after_ir(std::string(kFinish) + "expect-screen pictures/results.png\n");
    ASSERT_EQ(last().exit_code, 1) << last().err;
    EXPECT_TRUE(one_line_naming(last(), kIrRunLines + 2));
    std::smatch m;
    std::string err = last().err;
    ASSERT_TRUE(std::regex_search(err, m, std::regex("expected the screen of " + dir() +
                                                     "/pictures/results.png, seen ([0-9]+) pixels differ, the first at "
                                                     "\\(([0-9]+), ([0-9]+)\\): (#[0-9a-f]{6}) instead of (#[0-9a-f]{6})")))
        << err;
    int differing = std::stoi(m[1]);
    EXPECT_NE(err.find("the screen is in " + dir() + "/pictures/results.seen.png, the differences in red in " + dir() +
                       "/pictures/results.diff.png"),
              std::string::npos)
        << err;
    Image seen = Image::load(dir() + "/pictures/results.seen.png");
    Image diff = Image::load(dir() + "/pictures/results.diff.png");
    Image expected = Image::load(dir() + "/pictures/results.png");
    ASSERT_FALSE(seen.empty());
    ASSERT_FALSE(diff.empty());
    // The seen picture is the screen with the question; the differences are
    // red exactly where it is not the expected picture.
    int x = std::stoi(m[2]), y = std::stoi(m[3]);
    EXPECT_NE(seen.pixel(x, y), expected.pixel(x, y));
    int red = 0, red_where_same = 0;
    for (int py = 0; py < 320; ++py)
        for (int px = 0; px < 240; ++px) {
            bool is_red = diff.pixel(px, py) == Rgb{255, 0, 0};
            red += is_red;
            red_where_same += is_red && seen.pixel(px, py) == expected.pixel(px, py);
        }
    EXPECT_EQ(red, differing);
    EXPECT_EQ(red_where_same, 0);
    EXPECT_EQ(diff.pixel(x, y), (Rgb{255, 0, 0}));
    EXPECT_GT(differing, 1000) << "the question's box is large";

    // The tolerance: as many pixels as differ pass, one fewer does not;
    // a percentage counts pixels of the screen's 76800.
    const struct {
        std::string tolerance;
        int exit_code;
    } tolerances[] = {
        {std::to_string(differing), 0},
        {std::to_string(differing - 1), 1},
        {"100%", 0},
        {std::to_string(differing * 100 / 76800) + "%", 1},  // rounded down below the count
    };
    for (auto& t : tolerances) {
        SCOPED_TRACE(t.tolerance);
        run_after_ir(std::string(kFinish) + "expect-screen pictures/results.png " + t.tolerance + "\n");
        EXPECT_EQ(last().exit_code, t.exit_code) << last().err;
    }
}

// A picture that is missing is found before the device powers on.
TEST_F(Expectation, MissingPictureIsABadScriptFoundBeforeTheRun) {
    run_after_ir("expect-screen nowhere.png\n");
    EXPECT_EQ(last().exit_code, 2);
    EXPECT_TRUE(one_line_naming(last(), kIrRunLines + 1));
    EXPECT_NE(last().err.find("there is no picture " + dir() + "/nowhere.png"), std::string::npos) << last().err;
    EXPECT_FALSE(std::filesystem::exists(state_dir())) << "the device was not powered on";
}

// What a person could not do is not done: the run stops and says so.
TEST_F(Expectation, ActionsAPersonCouldNotDoStopTheRun) {
    // The Key test alone; another program holds button 194, so the walk
    // sticks there and the hand-over at its end asks about 194 in a box
    // that the Key test's dialog hides.
    const std::string key_test_stuck =
        click(IDC_SOUND_BOX) + click(IDC_CALIBRATION_BOX) + click(IDC_PATTERN_BOX) + click(IDC_FILE_BOX) +
        click(IDC_LED_BOX) + click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) +
        "answer ok\nanswer ok\npress 193\npress 194\n" + click(devtest::kCancelId) + "wait 10\n";
    const int stuck_lines = 14;
    // The Key test alone, its dialog open.
    const std::string key_test_open = click(IDC_SOUND_BOX) + click(IDC_CALIBRATION_BOX) + click(IDC_PATTERN_BOX) +
                                      click(IDC_FILE_BOX) + click(IDC_LED_BOX) + click(IDC_NEXT_FINISH) +
                                      click(IDC_RESET_BOX) + click(IDC_START) + "answer ok\n";
    const int key_test_lines = 9;
    const struct {
        const char* what;
        std::string script;
        std::string profile;
        int exit_code;
        int line;
        std::string message;
    } cases[] = {
        {"answer a box that another window hides", key_test_stuck + "answer ok\n", R"({"hotkey_fail": [194]})", 2,
         stuck_lines + 1,
         "the message box's \"OK\" button is covered by an untitled window of class \"Dialog\": a person's tap "
         "would reach that window; a person would press the action button (press action), which answers it"},
        {"click a control of a box that another window hides", key_test_stuck + "click \"OK\"\n",
         R"({"hotkey_fail": [194]})", 2, stuck_lines + 1, "the control \"OK\" is covered by"},
        {"the action button answers it", key_test_stuck + "press action\nwait 10\nexpect-status \"Key Test\" FAIL\n",
         R"({"hotkey_fail": [194]})", 0, 0, ""},
        {"a quoted action", "wait 5\n\"tap\" 1 1\n", "", 2, 2, "actions are not quoted: write tap, not \"tap\""},
        // A refusal names what is in front and what it offers instead.
        {"click a control while another model's box is open", "click \"Screen Calibration\"\n",
         R"({"model": "qz Orvex k5000"})", 2, 1,
         "no control \"Screen Calibration\": in front is the message box \"This application is for the Orvex k7100 "
         "series devices only.\", answered with answer ok (press action answers ok)"},
        {"click Finish under the Key Test", key_test_open + "click \"Finish\"\n", "", 2, key_test_lines + 1,
         "no control \"Finish\": in front is an untitled window of class \"Dialog\", whose controls are \"Cancel\"; "
         "click-through \"Finish\" clicks the program's push button under it"},
        {"a near miss under the Key Test", key_test_open + "click \"Finsh\"\n", "", 2, key_test_lines + 1,
         "no control \"Finsh\": in front is an untitled window of class \"Dialog\", whose controls are \"Cancel\"; "
         "did you mean click-through \"Finish\"?"},
        {"a near miss of click-through", key_test_open + "click-through \"Finsh\"\n", "", 2, key_test_lines + 1,
         "the program has no push button \"Finsh\": in front is an untitled window of class \"Dialog\", whose "
         "controls are \"Cancel\"; did you mean \"Finish\"?"},
        {"a near miss on the panel", "click \"Screen Calibraton\"\n", "", 2, 1,
         "no control \"Screen Calibraton\": in front is the window \"Dravik\", whose controls are \"Select Test\", "},
        {"... and the word meant", "click \"Screen Calibraton\"\n", "", 2, 1, "; did you mean \"Screen Calibration\"?"},
        {"answer with no box open", "answer ok\n", "", 2, 1,
         "no message box is open: in front is the window \"Dravik\", whose controls are"},
        {"a frame that never came", "screenshot-frame 62 bars.png\n" + click(IDC_SOUND_BOX) + "wait 10\n", "", 1, 1,
         "screenshot-frame: frame 62 never came (no frame was shown), so bars.png was not written"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        set_profile(c.profile);
        set_script(c.script);
        const ProcessResult& r = run();
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        if (c.exit_code == 0) continue;
        EXPECT_TRUE(one_line_naming(r, c.line));
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // The frame's run did the rest of the script first.
    EXPECT_GE(journal().find("input", {{"action", "wait"}, {"line", 3}}), 0);
    EXPECT_FALSE(std::filesystem::exists(screenshots_dir() + "/bars.png"));
}

// Frames that came are kept, and the one that did not is reported beside
// them: the patterns draw 151.
TEST_F(Expectation, OnlyTheFramesThatNeverCameAreReported) {
    set_script("screenshot-frame 62 bars.png\nscreenshot-frame 152 after.png\n" + click(IDC_SOUND_BOX) +
               click(IDC_CALIBRATION_BOX) + click(IDC_FILE_BOX) + click(IDC_LED_BOX) + click(IDC_KEY_BOX) +
               click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) + "wait 100\n");
    const ProcessResult& r = run();
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_TRUE(one_line_naming(r, 2));
    EXPECT_NE(r.err.find("frame 152 never came (the last frame shown was 151)"), std::string::npos) << r.err;
    EXPECT_FALSE(screenshot("bars.png").empty());
}

}  // namespace
