// A whole run of all seven tests from one script on a healthy device,
// answered as a working device would be: PASS in every cell of the Status
// column and on every line of the log.
#include <filesystem>
#include <string>
#include <vector>

#include "device/driver_run_support.h"

namespace {

using devtest::JournalLog;
using namespace drivertest;

class FullRun : public runpath::RunPathSim {
protected:
    // The picture the example's expect-screen names, beside the script as
    // run here.
    void copy_expected_picture() {
        std::filesystem::copy_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run-first-target.png",
                                   dir() + "/full-run-first-target.png");
    }
};

// The words of the Status column's last full repaint in `log`, top to
// bottom: the seven cell texts that follow the last Sound cell drawn.
std::vector<std::string> last_status(const JournalLog& log) {
    auto is_cell = [](const devtest::json& e) {
        if (e["ev"] != "text" || e["window"] != "Dravik") return false;
        std::string t = e["text"];
        return t == "PASS" || t == "FAIL" || t.rfind("?", 0) == 0;
    };
    size_t from = log.size();
    for (size_t i = 0; i < log.size(); ++i)
        if (is_cell(log[i]) && log[i]["rect"][1] == 62) from = i;
    std::vector<std::string> words;
    for (size_t i = from; i < log.size() && words.size() < 7; ++i)
        if (is_cell(log[i])) words.push_back(log[i]["text"].get<std::string>().substr(0, 4) == "PASS" ? "PASS"
                                             : log[i]["text"] == "FAIL"                         ? "FAIL"
                                                                                                : "?");
    return words;
}

TEST_F(FullRun, ExampleScriptPassesEveryTest) {
    std::string script = devtest::read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run.txt");
    ASSERT_FALSE(script.empty());
    copy_expected_picture();
    boot(script);
    ASSERT_EQ(last().exit_code, 0) << last().err;
    JournalLog log = journal();

    // Each test had its turn, in the fixed order.
    EXPECT_TRUE(log.in_order({
        {"msgbox", {{"caption", "Sound"}}},
        {"dialog", {{"op", "open"}, {"template", IDD_TOUCH_TARGET}}},
        {"dialog", {{"op", "end"}, {"template", IDD_TOUCH_TARGET}, {"code", 2}}},
        {"gx", json::object()},
        {"file", {{"op", "delete"}, {"path", kScratchFile}, {"ok", true}}},
        {"com", {{"op", "write"}, {"bytes", 48}, {"ok", true}}},
        {"msgbox", {{"caption", "LED Notification"}}},
        {"dialog", {{"op", "open"}, {"template", IDD_KEY_TEST}}},
    })) << log.dump();

    // The Status column as it stands before Finish clears it.
    int finish = log.find("input", {{"action", "click"}, {"text", "Finish"}});
    ASSERT_GE(finish, 0) << log.dump();
    JournalLog run = runpath::slice(log, 0, finish);
    EXPECT_EQ(last_status(run), std::vector<std::string>(7, "PASS")) << run.dump();
    // Finish leaves "?" everywhere.
    EXPECT_EQ(last_status(log), std::vector<std::string>(7, "?"));

    auto saved = store_file(runpath::kLogPath);
    ASSERT_TRUE(saved.has_value());
    for (const char* test : {"Sound", "Screen Calibration", "Screen Patterns", "Read/Write files", "IR Transfer",
                             "LED Notification", "Key Test"})
        EXPECT_NE(saved->find(log_line(test, "PASS")), std::string::npos) << test << "\n" << *saved;
    EXPECT_EQ(saved->find("?"), std::string::npos) << *saved;
}

// The whole session a technician has: all seven tests, Finish with the log,
// all seven again in the same power-on, Finish with the log again.  Every
// cell shows PASS before each Finish, each Finish writes the log, and the
// log left at the end says PASS for every test.
TEST_F(FullRun, TwoWholeRunsInOnePowerOnPassTwice) {
    std::string example = devtest::read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run.txt");
    ASSERT_FALSE(example.empty());
    copy_expected_picture();
    // The second run keeps the first one's ticks: it leaves out the line
    // that ticks IR Transfer.
    const std::string tick_ir = "click \"IR Transfer\"\n";
    size_t at = example.find(tick_ir);
    ASSERT_NE(at, std::string::npos);
    std::string again = example;
    again.erase(at, tick_ir.size());
    boot(example + again);
    ASSERT_EQ(last().exit_code, 0) << last().err;
    JournalLog log = journal();

    std::vector<int> finishes;
    for (int i = log.find("input", {{"action", "click"}, {"text", "Finish"}}); i >= 0;
         i = log.find("input", {{"action", "click"}, {"text", "Finish"}}, size_t(i) + 1))
        finishes.push_back(i);
    ASSERT_EQ(finishes.size(), 2u) << log.dump();
    EXPECT_EQ(log.count("msgbox", {{"text", "RegisterHotKey is FALSE"}}), 0);
    int from = 0;
    for (int finish : finishes) {
        SCOPED_TRACE("the run before Finish at event " + std::to_string(finish));
        JournalLog run = runpath::slice(log, from, finish);
        EXPECT_EQ(last_status(run), std::vector<std::string>(7, "PASS")) << run.dump();
        EXPECT_EQ(run.count("window", {{"op", "destroy"}, {"template", IDD_KEY_TEST}}), 1)
            << "the Key test ended in this run";
        // Yes writes the log: created, one write a line, closed.
        JournalLog finished = runpath::slice(log, finish, finish == finishes.back() ? -1 : finishes.back());
        EXPECT_TRUE(finished.in_order({{"msgbox_result", {{"result", 6}}},
                                       {"file", {{"op", "create"}, {"path", runpath::kLogPath}, {"ok", true}}},
                                       {"file", {{"op", "close"}, {"path", runpath::kLogPath}, {"ok", true}}}}));
        from = finish;
    }

    auto saved = store_file(runpath::kLogPath);
    ASSERT_TRUE(saved.has_value());
    for (const char* test : {"Sound", "Screen Calibration", "Screen Patterns", "Read/Write files", "IR Transfer",
                             "LED Notification", "Key Test"})
        EXPECT_NE(saved->find(log_line(test, "PASS")), std::string::npos) << test << "\n" << *saved;
    EXPECT_EQ(saved->find("?"), std::string::npos) << *saved;
}

}  // namespace
