// A run with the automatic reset on the simulated device: the record and
// the Startup shortcut written before the reset, the resumed run after it,
// and the failures on the way (record writes, the reset request itself).
// The runs select only tests that need no user (IR Transfer, Read/Write
// files), so that a resumed run goes through to "Finish" on its own.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "device/run_path_support.h"

namespace {

using devtest::EventPattern;
using devtest::json;
using devtest::JournalLog;
using namespace runpath;

class ResetResume : public RunPathSim {
protected:
    // The record's values as the saved registry holds them.
    std::vector<std::optional<uint32_t>> stored_selection() const {
        std::vector<std::optional<uint32_t>> out;
        for (const char* name : kValueNames) out.push_back(reg_dword(kResumeKey, name));
        return out;
    }
};

std::vector<std::optional<uint32_t>> selection(std::vector<uint32_t> values) {
    return std::vector<std::optional<uint32_t>>(values.begin(), values.end());
}

// The record written in catalogue order, "Reboot" first.
std::vector<EventPattern> record_written(const std::vector<int>& selected) {
    std::vector<EventPattern> out = {{"reg_write", resume_write("Reboot", 1)}};
    for (size_t i = 0; i < 7; ++i) out.push_back({"reg_write", resume_write(kValueNames[i], selected[i])});
    return out;
}

const char* write_failure(const std::string& name) {
    for (size_t i = 0; i < 7; ++i)
        if (name == kValueNames[i]) return kWriteFailures[i];
    return "Write Reg Fail[Reboot]";
}

// The ticks that a resume leaves on the panel, in catalogue order: only a
// box whose state changes from the panel's start shows.
std::vector<EventPattern> ticks_restored(const std::vector<int>& selected) {
    std::vector<EventPattern> out;
    for (size_t i = 0; i < 7; ++i)
        if (selected[i] != kPanelStart[i]) out.push_back({"check", {{"id", kBoxIds[i]}, {"state", selected[i]}}});
    return out;
}

// What a start of the program does once the panel is built and the model
// checked.
JournalLog after_model_check(const JournalLog& log) {
    int checked = log.find("utility_call", {{"export", "OrvexGetModelID"}});
    if (checked < 0) ADD_FAILURE() << "the model was never checked\n" << log.dump();
    return slice(log, checked);
}

// The whole cycle: IR ticked and Sound cleared (and every other test that
// would need a user), Start with the box ticked.  The record and the
// shortcut are written, the device resets, the shell starts the program
// from the Startup folder, the panel shows exactly the stored selection and
// the run starts without the user, ending on "Finish" with IR passed.
// The shortcut is then gone but "Reboot" stays 1, so the next start of the
// program runs the same selection again, until the caption's OK clears it.
TEST_F(ResetResume, ResetRunResumesAfterTheRestartUntilTheUserLeaves) {
    const std::vector<int>& chosen = kOnlyIr;
    boot(kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START) + "wait 100\nscreenshot resumed.png\n");
    JournalLog log = journal();

    std::vector<EventPattern> expected = {{"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}}};
    for (auto& p : record_written(chosen)) expected.push_back(p);
    for (EventPattern p : std::vector<EventPattern>{
             {"shortcut", {{"op", "create"}, {"path", kShortcut}, {"target", kShortcutTarget}, {"ok", true}}},
             {"reset_request", {{"ok", true}}},
             {"reset"},
             {"boot"},
             {"shortcut", {{"op", "start"}, {"path", kShortcut}}},
             {"launch", {{"exe", kProgram}}},
             {"utility_call", {{"export", "OrvexGetModelID"}}}})
        expected.push_back(p);
    for (auto& p : ticks_restored(chosen)) expected.push_back(p);
    expected.push_back({"file", {{"op", "delete"}, {"path", kShortcut}, {"ok", true}}});
    for (auto& p : run_of(ir_test_passes())) expected.push_back(p);
    EXPECT_TRUE(log.in_order(expected));

    // Nothing of the first life runs after the Start: no test sequence, no
    // "Finish" before the reset, and no user action between the reset and
    // the end of the resumed run.
    int reset = log.find("reset");
    ASSERT_GE(reset, 0);
    JournalLog before = slice(log, 0, reset);
    EXPECT_EQ(before.count("dialog", {{"template", IDD_SCREEN_RESTORE}}), 0) << before.dump();
    EXPECT_EQ(before.count("window_text", {{"id", IDC_NEXT_FINISH}}), 0);
    EXPECT_EQ(before.count("com"), 0) << "no test runs before the reset\n" << before.dump();
    JournalLog resumed = slice(log, reset, step_at(log, after_selection(3)));
    EXPECT_EQ(resumed.count("input"), 0) << resumed.dump();
    EXPECT_EQ(resumed.count("dialog", {{"op", "open"}}), 1) << "only the screen restore\n" << resumed.dump();
    EXPECT_EQ(after_model_check(resumed).count("check"), int(ticks_restored(chosen).size()))
        << "exactly the boxes whose stored state differs from the start change\n" << resumed.dump();
    EXPECT_EQ(resumed.count("com", {{"op", "open"}}), 1) << "IR runs once\n" << resumed.dump();
    int restored = resumed.find("dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}});
    ASSERT_GE(restored, 0);
    EXPECT_TRUE(status_shows_only_ir_passed(slice(resumed, restored)));

    EXPECT_EQ(reg_dword(kResumeKey, "Reboot"), 1u);
    EXPECT_EQ(stored_selection(), selection({0, 0, 0, 0, 1, 0, 0}));
    EXPECT_TRUE(store_names("\\Windows\\StartUp").empty()) << "the shortcut is deleted after the restart";

    // The next start of the program (a power-on here) runs the stored
    // selection again at once; the shortcut is gone, so its deletion fails
    // quietly.  The caption's OK then clears "Reboot", and a start after that
    // shows the idle panel.
    boot("wait 100\ncaption-ok\nwait 100\nlaunch\nwait 100\n", json::object(), KeepState);
    JournalLog again = journal();
    std::vector<EventPattern> rerun = {{"launch", {{"exe", kProgram}}}};
    for (auto& p : ticks_restored(chosen)) rerun.push_back(p);
    rerun.push_back({"file", {{"op", "delete"}, {"path", kShortcut}, {"ok", false}}});
    for (auto& p : run_of(ir_test_passes())) rerun.push_back(p);
    rerun.push_back({"input", {{"line", 1}}});
    rerun.push_back({"input", {{"action", "caption-ok"}}});
    rerun.push_back({"reg_write", resume_write("Reboot", 0)});
    rerun.push_back({"exit", {{"exe", kProgram}, {"code", 0}}});
    EXPECT_TRUE(again.in_order(rerun));
    EXPECT_EQ(again.count("reset_request"), 0);
    EXPECT_EQ(again.count("msgbox"), 0) << again.dump();

    JournalLog by_hand = from_step(again, 4);
    EXPECT_TRUE(by_hand.in_order({{"launch", {{"exe", kProgram}}}, {"utility_call", {{"export", "OrvexGetModelID"}}}}));
    for (const char* ev : {"dialog", "file", "window_text", "enable", "com"})
        EXPECT_EQ(by_hand.count(ev), 0) << ev << "\n" << by_hand.dump();
    EXPECT_EQ(reg_dword(kResumeKey, "Reboot"), 0u);
}

// Only a stored 1 means yes: a 0, a 2, another number or a missing value
// leaves the test unselected, and a "Reboot" other than 1 resumes nothing.
// The restored selection also becomes the program's: the next reset run
// stores it back unchanged.  (The tests left selected need no user.)
TEST_F(ResetResume, OnlyAStoredOneCounts) {
    const struct {
        const char* what;
        std::vector<std::pair<std::string, uint32_t>> record;
        bool resumes;
        std::vector<int> selected;  // when it resumes
    } cases[] = {
        {"0, 2, another number and missing values",
         {{"Reboot", 1}, {"Sound", 2}, {"Pattern", 0}, {"File", 1}, {"IR", 1}, {"LED", 0x101}},
         true,
         {0, 0, 0, 1, 1, 0, 0}},
        {"nothing selected", {{"Reboot", 1}}, true, {0, 0, 0, 0, 0, 0, 0}},
        {"Reboot 2", {{"Reboot", 2}, {"Sound", 1}, {"IR", 1}}, false, {}},
        {"Reboot 0", {{"Reboot", 0}, {"IR", 1}}, false, {}},
        {"no Reboot", {{"Sound", 0}, {"IR", 1}}, false, {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        seed_resume_record(c.record);
        // Finish with No, then a reset run of whatever the panel holds.  A
        // start that does not resume leaves the panel's defaults, which the
        // selection of IR alone changes box by box before the reset run.
        boot(c.resumes ? "wait 100\n" + click(IDC_NEXT_FINISH) + "answer no\n" + click(IDC_NEXT_FINISH) +
                             click(IDC_START) + "wait 100\n"
                       : "wait 100\n" + kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START) + "wait 100\n",
             json::object(), KeepState);
        JournalLog log = journal();
        JournalLog first_life = after_model_check(slice(log, 0, step_at(log, 1)));

        if (!c.resumes) {
            for (const char* ev : {"check", "dialog", "window_text", "enable", "file", "com"})
                EXPECT_EQ(first_life.count(ev), 0) << ev << "\n" << first_life.dump();
            // Every box changed once from the defaults: the record holds IR
            // alone.
            EXPECT_TRUE(log.in_order(record_written(kOnlyIr)));
            continue;
        }
        // Exactly the selected tests run: the file test makes and deletes
        // its scratch file, the IR test writes to the port.
        std::vector<EventPattern> tests;
        if (c.selected[3]) {
            tests.push_back({"file", {{"op", "create"}, {"path", "\\DravikFile.txt"}, {"ok", true}}});
            tests.push_back({"file", {{"op", "delete"}, {"path", "\\DravikFile.txt"}, {"ok", true}}});
        }
        if (c.selected[4])
            for (auto& p : ir_test_passes()) tests.push_back(p);
        std::vector<EventPattern> expected = ticks_restored(c.selected);
        for (auto& p : run_of(tests)) expected.push_back(p);
        EXPECT_TRUE(first_life.in_order(expected));
        EXPECT_EQ(first_life.count("check"), int(ticks_restored(c.selected).size())) << first_life.dump();
        EXPECT_EQ(first_life.count("dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}), 1);
        EXPECT_EQ(first_life.count("com", {{"op", "open"}}), c.selected[4]) << first_life.dump();
        EXPECT_EQ(first_life.count("file", {{"op", "create"}, {"path", "\\DravikFile.txt"}}), c.selected[3])
            << first_life.dump();
        EXPECT_TRUE(log.in_order(record_written(c.selected)));
    }
}

// When the kernel refuses the reset the user is told, and the run starts
// at once.  The run no longer waits for a reset, so what was made for the
// resume goes before it: the shortcut is deleted and "Reboot" cleared, and
// nothing starts or resumes the program at the next power-on.
TEST_F(ResetResume, FailingResetIsReportedAndTheRunStartsAtOnceLeavingNothingToResume) {
    boot(kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START) + "answer ok\nwait 100\n", {{"reset", "fails"}});
    JournalLog log = journal();

    std::vector<EventPattern> expected = record_written(kOnlyIr);
    expected.push_back({"shortcut", {{"op", "create"}, {"path", kShortcut}, {"ok", true}}});
    expected.push_back({"reset_request", {{"ok", false}}});
    expected.push_back({"msgbox", ownerless_box("Software reset Error", "Reset Result")});
    expected.push_back({"input", {{"action", "answer"}}});
    expected.push_back({"file", {{"op", "delete"}, {"path", kShortcut}, {"ok", true}}});
    expected.push_back({"reg_write", resume_write("Reboot", 0)});
    for (auto& p : run_of(ir_test_passes())) expected.push_back(p);
    EXPECT_TRUE(log.in_order(expected));
    EXPECT_EQ(log.count("msgbox"), 1) << log.dump();
    EXPECT_EQ(log.count("reset"), 0);
    JournalLog before_answer = step_events(log, after_selection(2));
    EXPECT_EQ(before_answer.count("dialog", {{"template", IDD_SCREEN_RESTORE}}), 0)
        << "the run waits for the message to be answered";
    EXPECT_EQ(before_answer.count("com"), 0) << before_answer.dump();

    EXPECT_EQ(reg_dword(kResumeKey, "Reboot"), 0u);
    EXPECT_TRUE(store_names("\\Windows\\StartUp").empty());

    // The user leaves; the next power-on starts the program with its panel
    // as it always starts, running nothing.
    boot("caption-ok\nwait 100\n", json::object(), KeepState);
    EXPECT_TRUE(store_names("\\Windows\\StartUp").empty());
    boot("wait 100\n", json::object(), KeepState);
    EXPECT_EQ(journal().count("com"), 0) << journal().dump();
    EXPECT_EQ(journal().count("dialog", {{"template", IDD_SCREEN_RESTORE}}), 0) << journal().dump();
}

// Each record write that fails shows its own message and the others still
// happen; the reset goes ahead all the same.  The values that failed are
// missing from the record, the others hold the selection (IR alone).
TEST_F(ResetResume, FailedRecordWritesAreEachReportedAndTheResetStillHappens) {
    const std::string dravik = kResumeKey;
    const struct {
        const char* what;
        json profile;
        std::vector<std::string> failing;  // value names, in writing order
        bool resumes;
    } cases[] = {
        {"two values refuse writes",
         {{"registry_fail_writes", {dravik + "\\Sound", dravik + "\\IR"}}},
         {"Sound", "IR"},
         true},
        {"Reboot refuses writes", {{"registry_fail_writes", {dravik + "\\Reboot"}}}, {"Reboot"}, false},
        {"the key cannot be made",
         {{"registry_fail_keys", {dravik}}},
         {"Reboot", "Sound", "Calibration", "Pattern", "File", "IR", "LED", "Key"},
         false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START);
        for (size_t i = 0; i < c.failing.size(); ++i) script += "answer ok\n";
        boot(script + "wait 100\n", c.profile);
        JournalLog log = journal();

        // Every value is tried in order; each failure is reported as it
        // happens.  Without the key nothing can be written at all.
        bool key_opens = c.failing.size() < 8;
        const std::vector<int> data = {1, 0, 0, 0, 0, 1, 0, 0};  // "Reboot", then the selection
        std::vector<EventPattern> expected;
        for (size_t i = 0; i < 8; ++i) {
            std::string name = i == 0 ? "Reboot" : kValueNames[i - 1];
            bool fails = std::find(c.failing.begin(), c.failing.end(), name) != c.failing.end();
            if (key_opens) expected.push_back({"reg_write", resume_write(name, data[i], !fails)});
            if (!fails) continue;
            expected.push_back({"msgbox", ownerless_box(write_failure(name))});
            expected.push_back({"msgbox_result", {{"result", 1}}});
        }
        expected.push_back({"shortcut", {{"op", "create"}, {"path", kShortcut}, {"ok", true}}});
        expected.push_back({"reset_request", {{"ok", true}}});
        expected.push_back({"reset"});
        expected.push_back({"boot"});
        EXPECT_TRUE(log.in_order(expected));
        EXPECT_EQ(log.count("msgbox"), int(c.failing.size())) << log.dump();
        EXPECT_EQ(log.count("reg_write", {{"key", kResumeKey}}), key_opens ? 8 : 0) << log.dump();
        EXPECT_EQ(registry().has_key(kResumeKey), key_opens);
        for (size_t i = 0; i < 8 && key_opens; ++i) {
            std::string name = i == 0 ? "Reboot" : kValueNames[i - 1];
            bool fails = std::find(c.failing.begin(), c.failing.end(), name) != c.failing.end();
            EXPECT_EQ(reg_dword(kResumeKey, name), fails ? std::nullopt : std::optional<uint32_t>(data[i])) << name;
        }

        // After the restart the program resumes only if "Reboot" was stored.
        int boot_at = log.find("boot", json::object(), size_t(log.find("reset")));
        JournalLog after = slice(log, boot_at);
        EXPECT_EQ(after.count("dialog", {{"template", IDD_SCREEN_RESTORE}}) > 0, c.resumes) << after.dump();
    }
}

// Without a Startup folder no shortcut is made and nothing says so; the
// reset goes ahead, the shell then starts nothing, and the record makes the
// next start of the program (by hand) run the selection.
TEST_F(ResetResume, WithoutAStartupFolderTheResetStillHappens) {
    boot("wait 0\n");
    std::filesystem::remove_all(store_path("\\Windows\\StartUp"));
    boot(kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START) + "wait 100\nlaunch\nwait 100\n", json::object(),
         KeepState);
    JournalLog log = journal();

    std::vector<EventPattern> expected = record_written(kOnlyIr);
    expected.push_back({"reset_request", {{"ok", true}}});
    expected.push_back({"reset"});
    expected.push_back({"boot"});
    expected.push_back({"input", {{"action", "launch"}}});
    expected.push_back({"launch", {{"exe", kProgram}}});
    for (auto& p : ticks_restored(kOnlyIr)) expected.push_back(p);
    for (auto& p : run_of(ir_test_passes())) expected.push_back(p);
    EXPECT_TRUE(log.in_order(expected));
    EXPECT_EQ(log.count("shortcut"), 0) << log.dump();
    EXPECT_EQ(log.count("msgbox"), 0) << log.dump();
    // Between the restart and the launch by hand nothing runs.
    JournalLog idle = slice(log, log.find("boot", json::object(), size_t(log.find("reset"))),
                            step_at(log, after_selection(4)));
    EXPECT_EQ(idle.count("launch"), 0) << idle.dump();
    EXPECT_EQ(idle.count("com"), 0) << idle.dump();
    EXPECT_EQ(log.count("file", {{"op", "delete"}}), 0) << "no folder, so no deletion is tried";
    EXPECT_FALSE(store_exists("\\Windows\\StartUp")) << "the folder is not created";
}

// Shortcuts the shell cannot read are passed over with a word in the
// journal, whatever their bytes say; the program's own shortcut, which
// comes after them by name, still starts it after the reset.
TEST_F(ResetResume, UnreadableStartupShortcutsArePassedOver) {
    const struct {
        const char* file;
        std::string bytes;
    } shortcuts[] = {
        {"A1 huge length.lnk", "99999999999999999999999#\"\\Windows\\Dravik.exe\""},
        {"A2 longer than its text.lnk", "40#\"\\Windows\\Dravik.exe\""},
        {"A3 no number.lnk", "#\"\\Windows\\Dravik.exe\""},
        {"A4 no hash.lnk", "\"\\Windows\\Dravik.exe\""},
        {"A5 a line break.lnk", "12#\"\\Windows\n\\x\""},
        {"A6 a NUL.lnk", std::string("4#ab\0c", 6)},
        {"A7 empty.lnk", ""},
    };
    boot("wait 0\n");
    for (auto& s : shortcuts) devtest::write_file(store_path("\\Windows\\StartUp") + "/" + s.file, s.bytes);
    boot(kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START) + "wait 100\n", json::object(), KeepState);
    ASSERT_EQ(last().exit_code, 0) << last().err;
    JournalLog log = journal();
    int boot_after_reset = log.find("boot", json::object(), size_t(log.find("reset")));
    ASSERT_GE(boot_after_reset, 0) << log.dump();
    JournalLog after = slice(log, boot_after_reset);
    for (auto& s : shortcuts)
        EXPECT_EQ(after.count("shortcut", {{"op", "unreadable"}, {"path", std::string("\\Windows\\StartUp\\") + s.file}}), 1)
            << s.file << "\n" << after.dump();
    EXPECT_EQ(after.count("shortcut", {{"op", "start"}, {"path", kShortcut}}), 1) << after.dump();
    EXPECT_EQ(after.count("launch", {{"exe", kProgram}}), 1) << after.dump();
}

// The example script for newcomers runs a whole cycle, and its journal
// tells the story step by step.
TEST_F(ResetResume, ExampleScriptRunsAWholeCycle) {
    std::string script = devtest::read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/reset-and-resume.txt");
    ASSERT_FALSE(script.empty());
    boot(script);
    JournalLog log = journal();

    // The panel's taps: every box that starts ticked is cleared, then IR
    // is ticked.
    std::vector<EventPattern> expected;
    for (int id : {IDC_SOUND_BOX, IDC_CALIBRATION_BOX, IDC_PATTERN_BOX, IDC_FILE_BOX, IDC_LED_BOX, IDC_KEY_BOX})
        expected.push_back({"check", {{"id", id}, {"state", 0}}});
    expected.push_back({"check", {{"id", IDC_IR_BOX}, {"state", 1}}});
    for (EventPattern p : std::vector<EventPattern>{
             {"dialog", {{"op", "open"}, {"template", IDD_RUN}}},
             {"check", {{"id", IDC_RESET_BOX}, {"state", 1}}},
             {"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}}})
        expected.push_back(p);
    for (auto& p : record_written(kOnlyIr)) expected.push_back(p);
    for (EventPattern p : std::vector<EventPattern>{
             {"shortcut", {{"op", "create"}, {"path", kShortcut}, {"target", kShortcutTarget}, {"ok", true}}},
             {"reset_request", {{"ok", true}}},
             {"reset"},
             {"boot"},
             {"shortcut", {{"op", "start"}, {"path", kShortcut}}},
             {"launch", {{"exe", kProgram}}}})
        expected.push_back(p);
    for (auto& p : ticks_restored(kOnlyIr)) expected.push_back(p);
    expected.push_back({"file", {{"op", "delete"}, {"path", kShortcut}, {"ok", true}}});
    for (auto& p : run_of(ir_test_passes())) expected.push_back(p);
    for (EventPattern p : std::vector<EventPattern>{
             {"msgbox", {{"text", "Do you want to make a result file(Dravik.log)?"}}},
             {"msgbox_result", {{"result", 6}}},
             {"file", {{"op", "close"}, {"path", kLogPath}, {"ok", true}}},
             {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Next"}}},
             {"input", {{"action", "caption-ok"}}},
             {"reg_write", resume_write("Reboot", 0)},
             {"exit", {{"exe", kProgram}, {"code", 0}}},
             {"power_off"}})
        expected.push_back(p);
    EXPECT_TRUE(log.in_order(expected));
    EXPECT_EQ(log.count("com", {{"op", "open"}}), 1) << "IR runs once, after the restart\n" << log.dump();
    EXPECT_EQ(log.count("msgbox"), 1) << "only the log question\n" << log.dump();

    EXPECT_EQ(reg_dword(kResumeKey, "Reboot"), 0u);
    EXPECT_EQ(stored_selection(), selection({0, 0, 0, 0, 1, 0, 0}));
    EXPECT_TRUE(store_names("\\Windows\\StartUp").empty());
    std::optional<std::string> result_log = store_file(kLogPath);
    ASSERT_TRUE(result_log.has_value());
    EXPECT_NE(result_log->find("IR Transfer\t\tPASS\r\n"), std::string::npos) << *result_log;
    EXPECT_NE(result_log->find("Sound\t\t?\r\n"), std::string::npos) << *result_log;
    for (const char* shot : {"1-selection.png", "2-run-dialog.png", "3-resumed.png", "4-cleared.png"})
        EXPECT_FALSE(screenshot(shot).empty()) << shot;
}

}  // namespace
