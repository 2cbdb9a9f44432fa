// The IR Transfer test on the simulated device: what the serial driver
// behind "COM2:" reports decides the result, no box is ever shown; and a
// whole run of Sound, Read/Write files and IR Transfer from the example
// script.
#include <string>
#include <vector>

#include "device/driver_run_support.h"

namespace {

using namespace drivertest;
using runpath::from_step;

class IrRun : public runpath::RunPathSim {
protected:
    // IR Transfer alone, without the reset, then time for the run.
    static std::string ir_only() { return run_only({IDC_IR_BOX}) + "wait 100\n"; }
    static int start_line() { return lines_of(run_only({IDC_IR_BOX})); }
};

json com(const char* op, bool ok) { return {{"op", op}, {"port", "COM2:"}, {"ok", ok}}; }

// Every outcome of the driver.  An open that fails is FAIL whatever the
// error, ERROR_DEV_NOT_EXIST (55) included: a port that is not there took
// no data.  An opened port is always closed; nothing but the one write is
// asked of it.
TEST_F(IrRun, TheDriversAnswerDecidesWithoutABox) {
    const struct {
        const char* what;
        json com2;  // the profile's "com2", null for a healthy port
        const char* word;
        int written;  // bytes the driver took, -1 when nothing was written
    } cases[] = {
        {"healthy port", nullptr, "PASS", 48},
        {"driver takes only part", {{"write", "partial"}}, "FAIL", 20},
        {"write fails", {{"write", "fails"}}, "FAIL", 0},
        {"open fails, device does not exist (55)", {{"open_error", 55}}, "FAIL", -1},
        {"open fails, no such port (2)", {{"open_error", 2}}, "FAIL", -1},
        {"open fails, port busy (5)", {{"open_error", 5}}, "FAIL", -1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        json profile = json::object();
        if (!c.com2.is_null()) profile["com2"] = c.com2;
        boot(ir_only() + kFinishWithLog, profile);
        JournalLog log = journal();
        JournalLog run = from_step(log, start_line());
        std::vector<json> ops = run.filter("com");

        EXPECT_EQ(run.count("msgbox"), 1) << "only the log question\n" << run.dump();
        ASSERT_FALSE(ops.empty()) << run.dump();
        EXPECT_EQ(ops[0]["op"], "open");
        if (c.written < 0) {
            EXPECT_EQ(ops.size(), 1u) << "no write and no close after a failed open";
            EXPECT_EQ(ops[0]["ok"], false);
            EXPECT_EQ(ops[0]["error"], c.com2["open_error"]);
        } else {
            ASSERT_EQ(ops.size(), 3u) << run.dump();
            EXPECT_TRUE(JournalLog::matches(ops[1], "com", {{"op", "write"}, {"bytes", c.written}}));
            EXPECT_EQ(ops[1]["data_hex"], hex_of(payload_bytes().substr(0, size_t(c.written))));
            EXPECT_TRUE(JournalLog::matches(ops[2], "com", com("close", true)));
        }
        EXPECT_EQ(status_word(log, kIrRow), c.word);
        auto saved = store_file(runpath::kLogPath);
        ASSERT_TRUE(saved.has_value());
        EXPECT_NE(saved->find(log_line("IR Transfer", c.word)), std::string::npos) << *saved;
    }
}

// The port is released at the end of the test: a second run in the same
// session opens it again and passes too.
TEST_F(IrRun, ASecondRunFindsThePortFree) {
    boot(ir_only() + click(IDC_NEXT_FINISH) + "answer no\n" + click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) +
         click(IDC_START) + "wait 100\n");
    JournalLog run = from_step(journal(), start_line());
    EXPECT_EQ(run.count("com", com("open", true)), 2) << run.dump();
    EXPECT_EQ(run.count("com", {{"op", "write"}, {"bytes", 48}, {"ok", true}}), 2);
    EXPECT_EQ(run.count("com", com("close", true)), 2);
    EXPECT_EQ(status_word(journal(), kIrRow), "PASS");
}

// IR Transfer is not ticked at start: a run of the other driver tests
// leaves its slot at "?" and never touches the port.
TEST_F(IrRun, NotSelectedLeavesAQuestionMark) {
    boot(run_only({IDC_FILE_BOX}) + "wait 100\n");
    JournalLog log = journal();
    EXPECT_EQ(log.count("com"), 0);
    EXPECT_EQ(status_word(log, kIrRow), "?");
    EXPECT_EQ(status_word(log, kFileRow), "PASS");
}

// The example script runs Sound, Read/Write files and IR Transfer in this
// order, all three pass, the Status column shows it and the log keeps it.
TEST_F(IrRun, ExampleScriptRunsTheThreeDriverTests) {
    std::string script = devtest::read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/driver-tests.txt");
    ASSERT_FALSE(script.empty());
    boot(script);
    JournalLog log = journal();

    EXPECT_TRUE(log.in_order({
        {"msgbox", {{"caption", "Sound"}}},
        {"sound", {{"path", kAlarmFile}, {"played", true}}},
        {"msgbox_result", {{"result", 1}}},
        {"reg_write", {{"key", kAudioKey}, {"data", 0}, {"ok", true}}},
        {"file", {{"op", "create"}, {"path", kScratchFile}, {"ok", true}}},
        {"file", {{"op", "delete"}, {"path", kScratchFile}, {"ok", true}}},
        {"com", {{"op", "open"}, {"ok", true}}},
        {"com", {{"op", "write"}, {"bytes", 48}, {"ok", true}}},
        {"com", {{"op", "close"}}},
        {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
        {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}},
    })) << log.dump();
    EXPECT_EQ(log.count("msgbox"), 2) << "the sound question and the log question";

    const char* words[] = {"PASS", "?", "?", "PASS", "PASS", "?", "?"};
    for (int row = 0; row < 7; ++row) EXPECT_EQ(status_word(log, row), words[row]) << "row " << row;

    auto saved = store_file(runpath::kLogPath);
    ASSERT_TRUE(saved.has_value());
    for (auto& line : {log_line("Sound", "PASS"), log_line("Read/Write files", "PASS"), log_line("IR Transfer", "PASS"),
                       log_line("LED Notification", "?")})
        EXPECT_NE(saved->find(line), std::string::npos) << line << "\n" << *saved;
    EXPECT_FALSE(store_exists(kScratchFile));
    EXPECT_EQ(reg_dword(kAudioKey, "Dravik"), 0u);
}

}  // namespace
