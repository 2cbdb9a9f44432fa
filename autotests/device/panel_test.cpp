// Dravik's main window on the simulated device: the selection panel as it
// starts, the Next button rule, the caption's OK button and the close path,
// the navigation-bar title and the help request.
#include <map>
#include <string>
#include <vector>

#include "device/harness.h"
#include "device/run_path_support.h"

namespace {

using devtest::EventPattern;
using devtest::Image;
using devtest::json;
using devtest::JournalLog;
using devtest::Rgb;
using devtest::SimRun;
using runpath::count_where;
using runpath::from_step;
using runpath::is_dark;
using runpath::is_title_blue;
using runpath::is_white;
using runpath::kBoxIds;
using runpath::kProgram;
using runpath::kResumeKey;
using runpath::step_events;

const char* const kTestKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\TESTKEY";
const char* const kAudioFlagKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\AdvancedCPL";
const char* const kKeyFlagFailure = "Write registry failed(Backlight Sensor!\r\n";


// The window's client area starts at screen (-1, 25).
int screen_x(int client_x) { return client_x - 1; }
int screen_y(int client_y) { return client_y + 25; }


std::vector<EventPattern> released_hot_keys() {
    std::vector<EventPattern> out;
    for (int id : {192, 193, 194, 195, 196, 198, 199, 200, 201})
        out.push_back({"hotkey", {{"op", "unregister"}, {"id", id}, {"ok", false}, {"window", "Dravik"}}});
    return out;
}

json reboot_fail_box() {
    return {{"owner", nullptr}, {"text", "Write Reg Fail[Reboot]"}, {"caption", nullptr}, {"style", 0}};
}
json reboot_error_box() {
    return {{"owner", "Dravik"}, {"text", "Write reg : reboot error"}, {"caption", nullptr}, {"style", 0}};
}

class Panel : public SimRun {
protected:
    // Powers on the healthy device, `extra` merged into its profile, and
    // plays `script`; the run must end cleanly.  The storage starts from the
    // factory image unless `keep_state`.
    void boot(const std::string& script, const json& extra = json::object(), bool keep_state = false) {
        extra_args = keep_state ? std::vector<std::string>{} : std::vector<std::string>{"--factory-reset"};
        json profile = {{"model", "qz Orvex k7100"}};
        profile.update(extra);
        set_profile(profile.dump());
        set_script(script);
        auto& r = run();
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }

    // The Next button's label in black (enabled) on screen.
    static int next_label_ink(const Image& shot) {
        return count_where(shot, is_dark, screen_x(132), screen_y(232), screen_x(208), screen_y(248));
    }
};

TEST_F(Panel, StartsWithSixTestsTickedEveryStatusUnknownAndNextEnabled) {
    ASSERT_NO_FATAL_FAILURE(boot("wait 100\nscreenshot panel.png\n"));
    JournalLog log = journal();

    // The ten controls, in panel order.
    std::vector<EventPattern> controls;
    for (auto [cls, title] : std::vector<std::pair<const char*, const char*>>{
             {"static", "Select Test"}, {"static", "Status"}, {"button", "Sound"}, {"button", "Screen Calibration"},
             {"button", "Screen Patterns"}, {"button", "Read/Write files"}, {"button", "IR Transfer"},
             {"button", "LED Notification"}, {"button", "Key Test"}, {"button", "Next"}})
        controls.push_back({"window", {{"op", "create"}, {"class", cls}, {"title", title}}});
    EXPECT_TRUE(log.in_order(controls));

    // Every box but IR is ticked, in panel order, and IR is never touched.
    std::vector<json> ticks = log.filter("check");
    std::vector<int> ticked;
    for (auto& e : ticks) {
        EXPECT_EQ(e["state"], 1) << e.dump();
        ticked.push_back(e["id"].get<int>());
    }
    EXPECT_EQ(ticked, (std::vector<int>{IDC_SOUND_BOX, IDC_CALIBRATION_BOX, IDC_PATTERN_BOX, IDC_FILE_BOX, IDC_LED_BOX,
                                        IDC_KEY_BOX}));
    EXPECT_EQ(log.count("enable"), 0) << log.dump();
    EXPECT_EQ(log.count("window_text"), 0) << log.dump();

    // The painted parts: the title, then every Status cell "?" and 22
    // blanks, one line, in its 70 x 20 cell.
    std::vector<EventPattern> paint = {
        {"fullscreen", {{"flags", 0x15}}},  // task bar, input panel button and Start icon shown
        {"text", {{"window", "Dravik"}, {"text", "Dravik"}, {"rect", {8, 0, 242, 22}}, {"format", 0x24}}}};
    for (int row = 0; row < 7; ++row)
        paint.push_back({"text",
                         {{"window", "Dravik"},
                          {"text", "?" + std::string(22, ' ')},
                          {"rect", {170, 62 + 20 * row, 240, 82 + 20 * row}},
                          {"format", 0x20}}});
    EXPECT_TRUE(log.in_order(paint));

    Image shot = screenshot("panel.png");
    ASSERT_FALSE(shot.empty());

    // Blue bold "Dravik", left-aligned in the title rectangle.
    int title_x0 = screen_x(8), title_y0 = screen_y(0), title_x1 = 240, title_y1 = screen_y(22);
    EXPECT_GE(count_where(shot, is_title_blue, title_x0, title_y0, title_x1, title_y1), 60);
    EXPECT_EQ(count_where(shot, is_title_blue, 0, title_y1, 240, 320), 0) << "title blue below the title";
    int left = -1;
    for (int x = title_x0; x < title_x1 && left < 0; ++x)
        if (count_where(shot, is_title_blue, x, title_y0, x + 1, title_y1) > 0) left = x;
    EXPECT_GE(left, title_x0);
    EXPECT_LE(left, title_x0 + 3);
    // The bold D has a stem two pixels wide.
    int stem_rows = 0;
    for (int y = title_y0; y < title_y1; ++y)
        if (is_title_blue(shot.pixel(left, y)) && is_title_blue(shot.pixel(left + 1, y))) ++stem_rows;
    EXPECT_GE(stem_rows, 6);

    // Two black separator lines (the first up to x 238: the start-up fit
    // leaves the right edge's column unpainted, see Startup).
    EXPECT_EQ(count_where(shot, is_dark, 0, screen_y(25), 240, screen_y(26)), 239);
    EXPECT_EQ(count_where(shot, is_dark, screen_x(20), screen_y(50), screen_x(222), screen_y(51)), 202);

    for (int row = 0; row < 7; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        int top = screen_y(60 + 20 * row);
        // The tick, inside the frame of the box's square (client x 20 to
        // 32, y 3 to 15 of the box).
        int tick = count_where(shot, is_dark, screen_x(22), top + 5, screen_x(31), top + 14);
        if (kBoxIds[row] == IDC_IR_BOX)
            EXPECT_EQ(tick, 0);
        else
            EXPECT_GE(tick, 5);
        // The Status cell: a "?" at its left and nothing to its right.
        int cell_top = screen_y(62 + 20 * row);
        EXPECT_GT(count_where(shot, is_dark, screen_x(170), cell_top, screen_x(178), cell_top + 20), 0);
        EXPECT_EQ(count_where(shot, [](Rgb c) { return !is_white(c); }, screen_x(180), cell_top, 239, cell_top + 20),
                  0);
    }

    // "Next" in black on the enabled button.
    EXPECT_GE(next_label_ink(shot), 20);
}

// The button follows the boxes: enabled while any box is ticked.
TEST_F(Panel, NextIsEnabledOnlyWhileSomeTestIsSelected) {
    struct Case {
        std::string what;
        std::vector<int> clicks;
        std::vector<bool> enabled_after;  // the button after each click
    };
    std::vector<Case> cases;
    const std::vector<int> clear_six = {IDC_SOUND_BOX, IDC_CALIBRATION_BOX, IDC_PATTERN_BOX,
                                       IDC_FILE_BOX,  IDC_LED_BOX,         IDC_KEY_BOX};
    for (int id : kBoxIds) {
        Case c{"clear the six, tick " + std::to_string(id), clear_six, {true, true, true, true, true, false}};
        c.clicks.push_back(id);
        c.enabled_after.push_back(true);
        cases.push_back(c);
    }
    cases.push_back({"tick IR, then clear all seven from the bottom",
                     {IDC_IR_BOX, IDC_KEY_BOX, IDC_LED_BOX, IDC_IR_BOX, IDC_FILE_BOX, IDC_PATTERN_BOX,
                      IDC_CALIBRATION_BOX, IDC_SOUND_BOX},
                     {true, true, true, true, true, true, true, false}});

    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script;
        for (size_t i = 0; i < c.clicks.size(); ++i) {
            script += "click " + std::to_string(c.clicks[i]) + "\n";
            script += "screenshot step" + std::to_string(i) + ".png\n";
        }
        ASSERT_NO_FATAL_FAILURE(boot(script));
        JournalLog log = journal();

        std::map<int, int> state;  // box id -> tick
        for (int id : kBoxIds) state[id] = id == IDC_IR_BOX ? 0 : 1;
        for (size_t i = 0; i < c.clicks.size(); ++i) {
            SCOPED_TRACE("click " + std::to_string(i + 1) + " on " + std::to_string(c.clicks[i]));
            int id = c.clicks[i];
            state[id] = !state[id];
            JournalLog step = step_events(log, int(2 * i + 1));
            EXPECT_EQ(step.count("check", {{"id", id}, {"state", state[id]}}), 1) << step.dump();
            std::vector<json> enables = step.filter("enable", {{"id", IDC_NEXT_FINISH}});
            ASSERT_FALSE(enables.empty()) << step.dump();
            EXPECT_EQ(enables.back()["enabled"], bool(c.enabled_after[i])) << step.dump();

            Image shot = screenshot("step" + std::to_string(i) + ".png");
            if (c.enabled_after[i])
                EXPECT_GE(next_label_ink(shot), 20);
            else
                EXPECT_EQ(next_label_ink(shot), 0) << "a disabled button's label is grey";
        }
    }
}

// The caption's OK button: "Reboot" becomes 0, then the close path releases
// everything in order and the program ends.
TEST_F(Panel, CaptionOkClearsTheRestartFlagAndClosesTheProgram) {
    ASSERT_NO_FATAL_FAILURE(boot("wait 100\ncaption-ok\nwait 100\n"));
    JournalLog log = journal();

    std::vector<EventPattern> expected = {
        {"input", {{"action", "caption-ok"}}},
        {"reg_write", {{"key", kResumeKey}, {"name", "Reboot"}, {"type", "REG_DWORD"}, {"data", 0}, {"ok", true}}}};
    for (auto& p : released_hot_keys()) expected.push_back(p);
    for (EventPattern p : std::vector<EventPattern>{
             {"reg_write", {{"key", kTestKey}, {"name", "KEY"}, {"type", "REG_DWORD"}, {"data", 0}, {"ok", true}}},
             {"reg_write", {{"key", kAudioFlagKey}, {"name", "Dravik"}, {"type", "REG_DWORD"}, {"data", 0}, {"ok", true}}},
             {"window", {{"op", "destroy"}, {"class", "menu_worker"}}},
             {"window", {{"op", "destroy"}, {"class", "Dravik"}}},
             {"exit", {{"exe", kProgram}, {"code", 0}}}})
        expected.push_back(p);
    EXPECT_TRUE(log.in_order(expected));

    EXPECT_EQ(log.count("hotkey"), 9) << "197 is not among the keys";
    EXPECT_EQ(log.count("reg_write"), 3) << log.dump();
    EXPECT_EQ(log.count("msgbox"), 0) << log.dump();
    EXPECT_EQ(log.count("debug"), 0) << log.dump();
    EXPECT_EQ(log.count("exit"), 1) << log.dump();

    EXPECT_EQ(reg_dword(kResumeKey, "Reboot"), 0u);
    EXPECT_EQ(reg_dword(kTestKey, "KEY"), 0u);
    EXPECT_EQ(reg_dword(kAudioFlagKey, "Dravik"), 0u);
    // Nothing else of the resume record is written on the way out.
    EXPECT_EQ(registry().value_names(kResumeKey), std::vector<std::string>{"Reboot"});
}

// A restart flag that cannot be written is reported twice, and the window
// closes all the same.
TEST_F(Panel, CaptionOkWhenTheRestartFlagCannotBeWritten) {
    const struct {
        const char* what;
        json profile;
    } cases[] = {
        {"read-only registry", {{"registry_read_only", true}}},
        {"the value refuses writes", {{"registry_fail_writes", {std::string(kResumeKey) + "\\Reboot"}}}},
        {"the key cannot be made", {{"registry_fail_keys", {kResumeKey}}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(
            boot("wait 100\ncaption-ok\nwait 100\nanswer ok\nwait 100\nanswer ok\nwait 100\n", c.profile));
        JournalLog log = journal();

        std::vector<EventPattern> expected = {{"input", {{"action", "caption-ok"}}},
                                              {"msgbox", reboot_fail_box()},
                                              {"msgbox_result", {{"result", 1}}},
                                              {"msgbox", reboot_error_box()},
                                              {"msgbox_result", {{"result", 1}}}};
        for (auto& p : released_hot_keys()) expected.push_back(p);
        expected.push_back({"window", {{"op", "destroy"}, {"class", "Dravik"}}});
        expected.push_back({"exit", {{"exe", kProgram}, {"code", 0}}});
        EXPECT_TRUE(log.in_order(expected));
        EXPECT_EQ(log.count("msgbox"), 2) << log.dump();
        // The close starts only after the second box is answered.
        EXPECT_EQ(step_events(log, 4).count("hotkey"), 0) << log.dump();

        EXPECT_EQ(reg_dword(kResumeKey, "Reboot"), std::nullopt);
    }
}

// The key-test flag is cleared on the way out; a failed write goes to the
// debug output only, and a key that cannot be opened is passed over.
TEST_F(Panel, KeyTestFlagFailureIsReportedOnlyOnTheDebugOutput) {
    const struct {
        const char* what;
        json profile;
        bool keys_exist;      // a first power-on closed normally, making both keys
        bool reboot_fails;    // the two restart-flag boxes come first
        bool key_write_tried; // the key opened and the write was refused
    } cases[] = {
        {"the value refuses writes", {{"registry_fail_writes", {std::string(kTestKey) + "\\KEY"}}}, false, false, true},
        {"the key cannot be opened", {{"registry_fail_keys", {kTestKey}}}, false, false, false},
        {"read-only registry, keys present", {{"registry_read_only", true}}, true, true, true},
        {"read-only registry, keys absent", {{"registry_read_only", true}}, false, true, false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.keys_exist) {
            ASSERT_NO_FATAL_FAILURE(boot("caption-ok\n"));
            ASSERT_EQ(reg_dword(kTestKey, "KEY"), 0u);
        }
        const char* script = c.reboot_fails ? "caption-ok\nanswer ok\nanswer ok\nwait 100\n" : "caption-ok\nwait 100\n";
        ASSERT_NO_FATAL_FAILURE(boot(script, c.profile, c.keys_exist));
        JournalLog log = journal();

        EXPECT_EQ(log.count("msgbox"), c.reboot_fails ? 2 : 0) << log.dump();
        if (c.key_write_tried) {
            EXPECT_TRUE(log.in_order(
                {{"hotkey", {{"op", "unregister"}, {"id", 201}}},
                 {"reg_write", {{"key", kTestKey}, {"name", "KEY"}, {"data", 0}, {"ok", false}}},
                 {"debug", {{"text", kKeyFlagFailure}}},
                 {"window", {{"op", "destroy"}, {"class", "Dravik"}}}}));
            EXPECT_EQ(log.count("debug"), 1) << log.dump();
        } else {
            EXPECT_EQ(log.count("reg_write", {{"name", "KEY"}}), 0) << log.dump();
            EXPECT_EQ(log.count("debug"), 0) << log.dump();
        }
        EXPECT_TRUE(log.in_order({{"window", {{"op", "destroy"}, {"class", "Dravik"}}},
                                  {"exit", {{"exe", kProgram}, {"code", 0}}}}));
    }
}

// Plain activation names the window "Settings" in the navigation bar;
// activation by a tap leaves the title alone.
TEST_F(Panel, NavigationTitleIsSetOnPlainActivationOnly) {
    // An unowned box (the restart flag cannot be written) takes the
    // activation; answering it hands it back to the window.
    ASSERT_NO_FATAL_FAILURE(boot("wait 100\ncaption-ok\nwait 100\nanswer ok\nwait 100\nanswer ok\nwait 100\n",
                                 {{"registry_read_only", true}}));
    JournalLog log = journal();
    int first_step = log.find("input");
    ASSERT_GT(first_step, 0);
    int first_title = log.find("nav_title", {{"text", "Settings"}});
    EXPECT_GE(first_title, 0) << log.dump();
    EXPECT_LT(first_title, first_step) << "the title is set when the window first becomes active";
    EXPECT_EQ(step_events(log, 2).count("nav_title"), 0) << "the box took the activation";
    EXPECT_EQ(step_events(log, 4).count("nav_title", {{"text", "Settings"}}), 1) << log.dump();
    for (auto& e : log.filter("nav_title")) EXPECT_EQ(e["text"], "Settings");

    // While the unowned box is up, a tap on the window's title area
    // activates the window by a click.
    ASSERT_NO_FATAL_FAILURE(
        boot("wait 100\ncaption-ok\nwait 100\ntap 100 40\nwait 100\n", {{"registry_read_only", true}}));
    log = journal();
    JournalLog tapped = from_step(log, 4);
    EXPECT_GT(tapped.count("text", {{"window", "Dravik"}, {"text", "Dravik"}}), 0)
        << "the tapped window came to the front and repainted\n" << log.dump();
    EXPECT_EQ(tapped.count("nav_title"), 0) << log.dump();
}

TEST_F(Panel, HelpStartsTheHelpViewerOnTheProgramsPage) {
    ASSERT_NO_FATAL_FAILURE(boot("wait 100\nhelp\nwait 100\n"));
    JournalLog log = journal();
    JournalLog step = step_events(log, 2);
    EXPECT_EQ(step.count("process_start", {{"exe", "Peghelp.exe"}, {"cmdline", "file:qzsettings.htm#Dravik"}}), 1)
        << step.dump();
    EXPECT_EQ(log.count("process_start"), 1) << log.dump();
    EXPECT_EQ(log.count("msgbox"), 0) << log.dump();
    EXPECT_EQ(log.count("exit"), 0) << "the program keeps running\n" << log.dump();
}

}  // namespace
