// Dravik's start-up on the simulated device: the single instance, the model
// check through the device utility library and the main window fitted above
// its menu bar.
#include <string>
#include <vector>

#include "device/harness.h"
#include "device/run_path_support.h"

namespace {

using devtest::click;
using devtest::EventPattern;
using devtest::Image;
using devtest::json;
using devtest::JournalLog;
using devtest::Rgb;
using devtest::SimRun;
using runpath::is_dark;
using runpath::is_white;
using runpath::kProgram;
using runpath::slice;
using runpath::step_at;

const char* const kModel = "qz Orvex k7100";
const char* const kModelMessage = "This application is for the Orvex k7100 series devices only.";

json model_message() {
    return {{"owner", "Dravik"}, {"text", kModelMessage}, {"caption", nullptr}, {"style", 16}};
}

json not_found_message() {
    return {{"owner", "Dravik"}, {"text", "OrvexUtil.dll is not found"}, {"caption", "Not Found"}, {"style", 16}};
}

json profile_with_model(const std::string& model) { return {{"model", model}}; }



class Startup : public SimRun {
protected:
    // A fresh device from the factory image, with this profile and script.
    void boot(const json& profile, const std::string& script) {
        extra_args = {"--factory-reset"};
        set_profile(profile.dump());
        set_script(script);
        auto& r = run();
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
};

TEST_F(Startup, SecondLaunchBringsTheRunningCopyForwardAndEndsQuietly) {
    const struct {
        const char* what;
        const char* model;
        const char* after;  // script lines after the launch, finishing the first copy
    } cases[] = {
        {"idle panel", kModel, "wait 100\ncaption-ok\nwait 100\n"},
        {"first copy shows its model message", "qz Orvex k7000", "wait 100\nanswer ok\nwait 100\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(boot(profile_with_model(c.model), std::string("wait 100\nlaunch\n") + c.after));
        JournalLog log = journal();

        int launch = step_at(log, 2);
        int next_step = step_at(log, 3);
        ASSERT_GE(launch, 0) << log.dump();
        ASSERT_GT(next_step, launch) << log.dump();
        JournalLog second(std::vector<json>(log.events().begin() + launch, log.events().begin() + next_step));
        EXPECT_TRUE(second.in_order({{"launch", {{"exe", kProgram}}},
                                     {"foreground", {{"window", "Dravik"}, {"with_owned", true}}},
                                     {"exit", {{"exe", kProgram}, {"code", 0}}}}));
        // The second copy shows nothing, makes no window and never gets as
        // far as the model check.
        EXPECT_EQ(second.count("msgbox"), 0) << second.dump();
        EXPECT_EQ(second.count("window"), 0) << second.dump();
        EXPECT_EQ(second.count("library"), 0) << second.dump();
        EXPECT_EQ(second.count("exit"), 1) << second.dump();

        // The first copy went on and ended only when its user closed it.
        EXPECT_EQ(log.count("window", {{"op", "create"}, {"class", "Dravik"}}), 1);
        JournalLog later = slice(log, next_step);
        EXPECT_TRUE(later.in_order({{"window", {{"op", "destroy"}, {"class", "Dravik"}}},
                                    {"exit", {{"exe", kProgram}, {"code", 0}}},
                                    {"power_off"}}));
        EXPECT_EQ(log.count("window", {{"op", "destroy"}, {"class", "Dravik"}}), 1);
    }
}

// A second copy started while the first shows a message box brings the
// box forward, not its disabled owner: the box stays active, the top bar
// keeps its caption without the main window's OK and "Settings" title, and
// the answer still reaches the first copy.
TEST_F(Startup, SecondLaunchDuringAMessageBoxLeavesTheBoxActive) {
    const struct {
        const char* what;
        const char* model;
        std::string before;  // script lines up to the open box
    } cases[] = {
        {"the model message", "qz Orvex k7000", "wait 100\n"},
        {"the Sound question during a run", kModel,
         click(IDC_CALIBRATION_BOX) + click(IDC_PATTERN_BOX) + click(IDC_FILE_BOX) + click(IDC_LED_BOX) +
             click(IDC_KEY_BOX) + click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) + "wait 1000\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = c.before + "launch\nscreenshot launched.png\nanswer ok\nwait 100\n";
        int launch_line = 0;
        for (char ch : c.before) launch_line += ch == '\n';
        ++launch_line;
        ASSERT_NO_FATAL_FAILURE(boot(profile_with_model(c.model), script));
        JournalLog log = journal();
        int launch = step_at(log, launch_line);
        int answer = step_at(log, launch_line + 2);
        ASSERT_GE(launch, 0) << log.dump();
        ASSERT_GT(answer, launch) << log.dump();
        JournalLog second(std::vector<json>(log.events().begin() + launch, log.events().begin() + answer));
        EXPECT_TRUE(second.in_order({{"foreground", {{"window", "Dravik"}, {"with_owned", true}}},
                                     {"exit", {{"exe", kProgram}, {"code", 0}}}}));
        EXPECT_EQ(second.count("nav_title"), 0) << "the main window was activated\n" << second.dump();

        // The top bar's OK button (204, 4) to (236, 22) is not there: no
        // white frame or text on the bar's blue.
        Image shot = screenshot("launched.png");
        int white = 0;
        for (int y = 4; y < 22; ++y)
            for (int x = 204; x < 236; ++x) white += is_white(shot.pixel(x, y));
        EXPECT_EQ(white, 0) << "the top bar shows an OK button";
        // The answer reached the box.
        EXPECT_TRUE(slice(log, answer).in_order({{"msgbox_result", {{"result", 1}}}})) << log.dump();
        if (std::string(c.model) == kModel) {
            EXPECT_EQ(log.count("text", {{"window", "Dravik"}, {"text", "PASS"}, {"rect", {170, 62, 240, 82}}}), 1)
                << "the Sound result is PASS";
        }
    }
}

TEST_F(Startup, OnlyTheExactModelNamePasses) {
    const struct {
        std::string model;
        bool passes;
    } cases[] = {
        {kModel, true},
        {"qz Orvex k7100 ", false},       // trailing blank
        {"qz Orvex k71000", false},       // longer
        {"qz Orvex k7100 Pro", false},    // longer, with a word after it
        {"qz Orvex k710", false},         // shorter
        {"Orvex k7100", false},           // shorter at the front
        {"", false},                      // empty
        {std::string(kModel) + std::string(300, 'x'), false},  // longer than the 260-character buffer
    };
    for (auto& c : cases) {
        SCOPED_TRACE("model \"" + c.model + "\"");
        const char* script = c.passes ? "wait 100\n" : "wait 100\nanswer ok\nwait 100\n";
        ASSERT_NO_FATAL_FAILURE(boot(profile_with_model(c.model), script));
        JournalLog log = journal();

        // The window is up and painted before the library is asked.
        EXPECT_TRUE(log.in_order({{"launch", {{"exe", kProgram}}},
                                  {"window", {{"op", "create"}, {"class", "Dravik"}, {"title", "Dravik"}}},
                                  {"menubar", {{"op", "create"}, {"flags", 1}}},  // an empty bar
                                  {"text", {{"window", "Dravik"}, {"text", "Dravik"}}},
                                  {"library", {{"op", "load"}, {"name", "OrvexUtil.dll"}, {"ok", true}}},
                                  {"utility_call", {{"export", "OrvexGetModelID"}}}}));
        // The library stays loaded for the life of the process.
        EXPECT_EQ(log.count("library", {{"op", "free"}}), 0) << log.dump();

        if (c.passes) {
            EXPECT_EQ(log.count("msgbox"), 0) << log.dump();
            EXPECT_EQ(log.count("exit"), 0) << log.dump();
            EXPECT_EQ(log.count("window", {{"op", "destroy"}, {"class", "Dravik"}}), 0) << log.dump();
            EXPECT_EQ(log.events().back()["ev"], "power_off");
            continue;
        }
        EXPECT_EQ(log.count("msgbox"), 1) << log.dump();
        EXPECT_TRUE(log.in_order({{"utility_call", {{"export", "OrvexGetModelID"}}},
                                  {"msgbox", model_message()},
                                  {"input", {{"action", "answer"}}},
                                  {"msgbox_result", {{"result", 1}}},
                                  {"window", {{"op", "destroy"}, {"class", "Dravik"}}},
                                  {"exit", {{"exe", kProgram}, {"code", 0}}}}));
        // Nothing happens between the answer and the end: no run resumes.
        int answered = log.find("msgbox_result");
        int ended = log.find("exit");
        ASSERT_GT(ended, answered);
        for (int i = answered + 1; i < ended; ++i)
            EXPECT_EQ(log[size_t(i)]["ev"], "window") << "after the model message: " << log[size_t(i)].dump();
    }
}

TEST_F(Startup, MissingLibraryOrExportCountsAsAnEmptyModelName) {
    const struct {
        const char* what;
        json profile;
        bool library_loads;
        std::vector<json> boxes;
    } cases[] = {
        {"no library", {{"model", kModel}, {"utility_library", "missing"}}, false,
         {not_found_message(), model_message()}},
        {"no OrvexGetModelID", {{"model", kModel}, {"missing_exports", {"OrvexGetModelID"}}}, true, {model_message()}},
        {"other exports missing only", {{"model", kModel}, {"missing_exports", {"OrvexGetBlueToothRadioPresent",
                                                                               "OrvexGetBlueToothRadioStatus"}}},
         true, {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = "wait 100\n";
        for (size_t i = 0; i < c.boxes.size(); ++i) script += "answer ok\nwait 100\n";
        ASSERT_NO_FATAL_FAILURE(boot(c.profile, script));
        JournalLog log = journal();

        EXPECT_EQ(log.count("library", {{"op", "load"}, {"name", "OrvexUtil.dll"}, {"ok", c.library_loads}}), 1)
            << log.dump();
        // No call goes through an export that was not found.
        EXPECT_EQ(log.count("utility_call"), c.boxes.empty() ? 1 : 0) << log.dump();

        ASSERT_EQ(log.count("msgbox"), int(c.boxes.size())) << log.dump();
        std::vector<EventPattern> expected;
        for (auto& box : c.boxes) {
            expected.push_back({"msgbox", box});
            expected.push_back({"msgbox_result", {{"result", 1}}});
        }
        if (c.boxes.empty()) {
            EXPECT_EQ(log.count("exit"), 0) << log.dump();
        } else {
            expected.push_back({"window", {{"op", "destroy"}, {"class", "Dravik"}}});
            expected.push_back({"exit", {{"exe", kProgram}, {"code", 0}}});
        }
        EXPECT_TRUE(log.in_order(expected));
    }
}

// The default rectangle (0, 26)-(240, 320) less the 26-pixel menu bar gives
// x -1, y 25, 242 x 296: the client area is 242 wide and starts one pixel
// left of the screen.
TEST_F(Startup, MainWindowIsFittedAboveTheMenuBar) {
    ASSERT_NO_FATAL_FAILURE(boot(profile_with_model(kModel), "wait 100\nscreenshot panel.png\n"));
    JournalLog log = journal();

    // In client coordinates, straight from what the window painted.
    EXPECT_EQ(log.count("text", {{"window", "Dravik"}, {"text", "Dravik"}, {"rect", {8, 0, 242, 22}}}), 1)
        << log.dump();
    EXPECT_TRUE(log.in_order(
        {{"draw", {{"op", "polyline"}, {"window", "Dravik"}, {"points", {{0, 25}, {242, 25}}}}},
         {"draw", {{"op", "polyline"}, {"window", "Dravik"}, {"points", {{20, 50}, {222, 50}}}}}}));

    // On the screen: the client top (y 25 + 25) carries the line across the
    // screen, and the short line runs from screen x 19 to 220 (client 20 to
    // 221).  The fit moves the window without repainting, so the column it
    // gains at the right edge (x 239) is not in what its first paint covers:
    // it shows the Today screen until the window is next repainted.
    Image shot = screenshot("panel.png");
    ASSERT_EQ(shot.width(), 240);
    ASSERT_EQ(shot.height(), 320);
    EXPECT_FALSE(is_dark(shot.pixel(239, 50))) << shot.pixel(239, 50);
    EXPECT_FALSE(is_white(shot.pixel(239, 100))) << shot.pixel(239, 100);
    for (int x = 0; x < 239; ++x) {
        EXPECT_TRUE(is_dark(shot.pixel(x, 50))) << "x " << x << ": " << shot.pixel(x, 50);
        EXPECT_TRUE(is_white(shot.pixel(x, 49))) << "x " << x << ": " << shot.pixel(x, 49);
        EXPECT_TRUE(is_white(shot.pixel(x, 51))) << "x " << x << ": " << shot.pixel(x, 51);
    }
    for (int x = 19; x <= 220; ++x) EXPECT_TRUE(is_dark(shot.pixel(x, 75))) << "x " << x;
    EXPECT_TRUE(is_white(shot.pixel(18, 75))) << shot.pixel(18, 75);
    EXPECT_TRUE(is_white(shot.pixel(221, 75))) << shot.pixel(221, 75);
    // The window reaches down to the menu bar: its white background fills
    // the row just above it.
    for (int x = 0; x < 239; ++x) EXPECT_TRUE(is_white(shot.pixel(x, 293))) << "x " << x << ": " << shot.pixel(x, 293);
}

}  // namespace
