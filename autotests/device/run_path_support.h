// What the tests of a run share: the texts and ids the program shows, the
// journal slices around script steps, and a device whose registry already
// holds a resume record.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "device/harness.h"

namespace runpath {

using devtest::click;
using devtest::EventPattern;
using devtest::json;
using devtest::JournalLog;

inline const char* const kProgram = "\\Windows\\Dravik.exe";
inline const char* const kResumeKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK";
inline const char* const kShortcut = "\\Windows\\StartUp\\Dravik.lnk";
inline const char* const kShortcutTarget = "\"\\Windows\\Dravik.exe\"";
inline const char* const kLogPath = "\\My Documents\\Dravik.txt";


// The panel's check boxes and the record's value names, in catalogue order.
inline const int kBoxIds[] = {IDC_SOUND_BOX, IDC_CALIBRATION_BOX, IDC_PATTERN_BOX, IDC_FILE_BOX,
                              IDC_IR_BOX,    IDC_LED_BOX,         IDC_KEY_BOX};
inline const char* const kValueNames[] = {"Sound", "Calibration", "Pattern", "File", "IR", "LED", "Key"};
inline const char* const kWriteFailures[] = {"Write Reg Fail[Snd]",  "Write Reg Fail[Calib]", "Write Reg Fail[Pattern]",
                                             "Write Reg Fail[File]", "Write Reg Fail[IR]",    "Write Reg Fail[LED]",
                                             "Write Reg Fail[Key]"};

// A script that leaves one test ticked and starts it without the reset (a
// click on each other box, Next, the reset box, Start) starts on its line 8.
inline const int kStartLine = 8;
// A dialog that fills the screen below the task bar: its client area's top.
inline const int kClientTop = 26;

// The panel's ticks at start, in catalogue order: every test but IR.
inline const std::vector<int> kPanelStart = {1, 1, 1, 1, 0, 1, 1};

// The script lines that take the panel from its start to `selected` (one
// flag a test, catalogue order): a click on every box that must change.
inline std::string select_tests(const std::vector<int>& selected) {
    std::string script;
    for (size_t i = 0; i < 7; ++i)
        if (selected[i] != kPanelStart[i]) script += click(kBoxIds[i]);
    return script;
}

// A run that needs no user: only IR Transfer, which writes its text to
// "COM2:" and passes on a healthy port, without asking anything.  Every
// other box changes on the way, so a record of this selection also shows
// that the panel started from its defaults.  Scripts that run tests begin
// with kSelectOnlyIr; their own lines are numbered after it (after_selection).
inline const std::vector<int> kOnlyIr = {0, 0, 0, 0, 1, 0, 0};
inline const std::string kSelectOnlyIr = select_tests(kOnlyIr);
inline const int kSelectionLines = int(std::count(kSelectOnlyIr.begin(), kSelectOnlyIr.end(), '\n'));

// The number of a script's line `line` counted from the first line after
// the selection.
inline int after_selection(int line) { return kSelectionLines + line; }

// "?" padded to the Status cell's width, so that it covers a longer word.
inline const char* const kUnknownCell = "?                      ";

// The Status column drawn once in `repaint` as it stands after a run in
// which only IR Transfer ran and passed: PASS in the IR row (the fifth,
// 142 to 162), "?" in the six others, no FAIL.
inline ::testing::AssertionResult status_shows_only_ir_passed(const JournalLog& repaint) {
    int unknown = repaint.count("text", {{"window", "Dravik"}, {"text", kUnknownCell}});
    std::vector<json> passes = repaint.filter("text", {{"window", "Dravik"}, {"text", "PASS"}});
    int fails = repaint.count("text", {{"text", "FAIL"}});
    if (unknown == 6 && passes.size() == 1 && passes[0]["rect"] == json({170, 142, 240, 162}) && fails == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << unknown << " \"?\" cells, " << passes.size() << " PASS, " << fails
                                         << " FAIL\n" << repaint.dump();
}

// The IR test on a healthy port: COM2: opened, the test text (48 bytes)
// written whole, the port closed.
inline std::vector<EventPattern> ir_test_passes() {
    return {{"com", {{"op", "open"}, {"port", "COM2:"}, {"ok", true}}},
            {"com", {{"op", "write"}, {"port", "COM2:"}, {"bytes", 48}, {"ok", true}}},
            {"com", {{"op", "close"}, {"port", "COM2:"}, {"ok", true}}}};
}

inline bool is_dark(devtest::Rgb c) { return c.r < 64 && c.g < 64 && c.b < 64; }
inline bool is_white(devtest::Rgb c) { return c == devtest::Rgb{255, 255, 255}; }
inline bool is_title_blue(devtest::Rgb c) { return c.r < 48 && c.g < 48 && c.b >= 120 && c.b <= 192; }

// How many pixels of the rectangle [x0, x1) x [y0, y1) satisfy `pred`.
template <class Pred>
int count_where(const devtest::Image& img, Pred pred, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (pred(img.pixel(x, y))) ++n;
    return n;
}

// A message box without owner and with style MB_OK.
inline json ownerless_box(const std::string& text, const json& caption = nullptr) {
    return {{"owner", nullptr}, {"text", text}, {"caption", caption}, {"style", 0}};
}

inline json resume_write(const std::string& name, int data, bool ok = true) {
    return {{"key", kResumeKey}, {"name", name}, {"type", "REG_DWORD"}, {"data", data}, {"ok", ok}};
}

// Index of script line `line`'s input event; a failure when it never ran.
inline int step_at(const JournalLog& log, int line) {
    int at = log.find("input", {{"line", line}});
    if (at < 0) ADD_FAILURE() << "script line " << line << " was never acted on\n" << log.dump();
    return at;
}

// The events in [from, to); `to` < 0 runs to the end.
inline JournalLog slice(const JournalLog& log, int from, int to = -1) {
    std::vector<json> out;
    size_t end = to < 0 ? log.size() : size_t(to);
    for (size_t i = from < 0 ? log.size() : size_t(from); i < end && i < log.size(); ++i) out.push_back(log[i]);
    return JournalLog(out);
}

// The events of script line `line`, up to the next script line.
inline JournalLog step_events(const JournalLog& log, int line) {
    int at = step_at(log, line);
    if (at < 0) return JournalLog();
    int next = log.find("input", json::object(), size_t(at) + 1);
    return slice(log, at, next);
}

// The events from script line `line` on.
inline JournalLog from_step(const JournalLog& log, int line) { return slice(log, step_at(log, line)); }

// The end of every run: the screen restore dialog opens and closes at its
// first paint with the shell's bars back, the button comes back, the bars
// are shown for the main window, the main window repaints at once and the
// button reads "Finish".
inline std::vector<EventPattern> end_of_run() {
    return {{"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", false}}},
            {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}, {"modal", true}}},
            {"shell_init_dialog", {{"flags", 0x10}}},
            {"fullscreen", {{"flags", 0x0A}}},
            {"fullscreen", {{"flags", 0x05}}},
            {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}, {"code", 2}}},
            {"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", true}}},
            {"fullscreen", {{"flags", 0x15}}},
            {"text", {{"window", "Dravik"}, {"text", "Dravik"}}},
            {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}}};
}

// A whole run: the button disabled, what the selected tests do (`tests`),
// then the end of every run.
inline std::vector<EventPattern> run_of(const std::vector<EventPattern>& tests) {
    std::vector<EventPattern> out = end_of_run();
    out.insert(out.begin() + 1, tests.begin(), tests.end());
    return out;
}

// A SimRun that powers the device on from its factory state, unless told
// to keep what an earlier power-on left.
class RunPathSim : public devtest::SimRun {
protected:
    enum Storage { FactoryState, KeepState };

    // Powers the device on with `script` (and `profile`, a JSON object;
    // the right model unless it says otherwise) and expects a clean
    // power-off.
    void boot(const std::string& script, const json& profile = json::object(), Storage storage = FactoryState) {
        if (storage == FactoryState) std::filesystem::remove_all(state_dir());
        json p = profile;
        if (!p.contains("model")) p["model"] = "qz Orvex k7100";
        set_profile(p.dump());
        set_script(script);
        auto& r = run();
        ASSERT_EQ(r.exit_code, 0) << r.err << "\n" << journal().dump();
    }

    // A device whose registry holds the record's `values` (name and DWORD)
    // under the resume key, as if an earlier run had stored them.
    void seed_resume_record(const std::vector<std::pair<std::string, uint32_t>>& values) {
        boot("wait 0\n", json::object(), FactoryState);
        std::string text = devtest::read_file(state_dir() + "/registry.reg");
        ASSERT_FALSE(text.empty());
        ASSERT_EQ(text.find("SOFTWARE\\DRAVIK]"), std::string::npos) << "the first power-on wrote the record";
        text += "\n[" + std::string(kResumeKey) + "]\n";
        for (auto& v : values) {
            char hex[9];
            std::snprintf(hex, sizeof hex, "%08x", v.second);
            text += "\"" + v.first + "\"=dword:" + hex + "\n";
        }
        devtest::write_file(state_dir() + "/registry.reg", text);
    }
};

}  // namespace runpath
