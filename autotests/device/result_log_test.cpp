// The Finish path on the simulated device: the log question, the result
// log's exact bytes, and the clearing of the panel whatever the answer.
// Each run selects IR Transfer alone, which passes without asking anything:
// its result reads PASS and the six others, never run, "?".
#include <string>
#include <vector>

#include "device/run_path_support.h"

namespace {

using devtest::EventPattern;
using devtest::json;
using devtest::JournalLog;
using namespace runpath;

// A run without reset, then Finish.  Finish keeps the selection, so a
// script selects IR alone once, before its first run.
const std::string kRunThenFinish =
    click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) + "wait 100\n" + click(IDC_NEXT_FINISH);
const int kFinishLine = after_selection(5);

json log_question() {
    return {{"owner", "Dravik"},
            {"text", "Do you want to make a result file(Dravik.log)?"},
            {"caption", "Make Log File"},
            {"style", 0x00010024}};
}

// The log of a run in which only IR Transfer ran and passed, stamped
// `stamp`.
std::string expected_log(const std::string& stamp) {
    return stamp + " \r\n"
                   "Dravik\r\n"
                   "\r\n"
                   "Select Test\tStatus\r\n"
                   "========================\r\n"
                   "Sound\t\t?\r\n"
                   "Screen Calibration\t\t?\r\n"
                   "Screen Patterns\t\t?\r\n"
                   "Read/Write files\t\t?\r\n"
                   "IR Transfer\t\tPASS\r\n"
                   "LED Notification\t\t?\r\n"
                   "Key Test\t\t?\r\n";
}

// Whatever the answer, Finish ends with the button reading "Next" and all
// seven cells redrawn as "?".
std::vector<EventPattern> panel_cleared() {
    std::vector<EventPattern> out = {{"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Next"}}}};
    for (int i = 0; i < 7; ++i) out.push_back({"text", {{"window", "Dravik"}, {"text", kUnknownCell}}});
    return out;
}

class ResultLog : public RunPathSim {};

// Yes writes the twelve lines in nine writes; fields of the time stamp are
// written without leading zeros and line 1 keeps its trailing blank.
TEST_F(ResultLog, YesWritesTheLogExactly) {
    const struct {
        const char* local_time;
        const char* stamp;
    } cases[] = {
        {"2004-03-04 09:05:07", "3/4/2004 9:5:7"},
        {"2012-11-25 23:59:58", "11/25/2012 23:59:58"},
        {"2010-01-01 00:00:00", "1/1/2010 0:0:0"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.local_time);
        boot(kSelectOnlyIr + kRunThenFinish + "answer yes\nwait 100\n", {{"local_time", c.local_time}});
        JournalLog log = journal();

        std::optional<std::string> bytes = store_file(kLogPath);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, expected_log(c.stamp));
        EXPECT_EQ(bytes->find('\0'), std::string::npos);

        JournalLog finish = from_step(log, kFinishLine);
        std::vector<EventPattern> expected = {{"msgbox", log_question()},
                                              {"msgbox_result", {{"result", 6}}},
                                              {"file", {{"op", "create"}, {"path", kLogPath}, {"ok", true}}}};
        // Lines 1 to 3, lines 4 and 5, then one write per test line.
        const std::string want = expected_log(c.stamp);
        size_t line3 = want.find("\r\n\r\n") + 4;
        size_t line5 = want.find("=\r\n") + 3;
        std::vector<size_t> sizes = {line3, line5 - line3};
        for (size_t at = line5; at < want.size();) {
            size_t end = want.find("\r\n", at) + 2;
            sizes.push_back(end - at);
            at = end;
        }
        ASSERT_EQ(sizes.size(), 9u);
        for (size_t n : sizes)
            expected.push_back({"file", {{"op", "write"}, {"path", kLogPath}, {"ok", true}, {"bytes", n}}});
        expected.push_back({"file", {{"op", "close"}, {"path", kLogPath}, {"ok", true}}});
        for (auto& p : panel_cleared()) expected.push_back(p);
        EXPECT_TRUE(finish.in_order(expected));
        EXPECT_EQ(finish.count("file", {{"op", "write"}}), 9) << finish.dump();
        EXPECT_EQ(finish.count("msgbox"), 1) << "a log written whole is not reported";
    }
}

// Without "local_time" in the profile a script's device clock starts at
// 2004-01-01 09:00:00, whatever the host's clock says, so the log's stamp
// is that time plus the device time the run took, and two runs of the same
// script leave the same bytes.
TEST_F(ResultLog, ScriptWithoutLocalTimeStartsTheClockAtOneFixedTime) {
    std::string first;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1));
        boot(kSelectOnlyIr + kRunThenFinish + "answer yes\nwait 100\n");
        JournalLog log = journal();
        int created = log.find("file", {{"op", "create"}, {"path", kLogPath}});
        ASSERT_GE(created, 0) << log.dump();
        long seconds = 9 * 3600 + long(log[size_t(created)]["t"].get<int64_t>() / 1000);
        std::string stamp = "1/1/2004 " + std::to_string(seconds / 3600) + ":" + std::to_string(seconds / 60 % 60) +
                            ":" + std::to_string(seconds % 60);
        std::optional<std::string> bytes = store_file(kLogPath);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, expected_log(stamp));
        if (run == 0) {
            first = *bytes;
        } else {
            EXPECT_EQ(*bytes, first) << "the second run's log differs";
        }
    }
}

// A second run's Yes replaces the first log; No leaves an earlier log as
// it was.  Either way the panel is cleared for another run.
TEST_F(ResultLog, SecondYesReplacesAndNoLeavesTheEarlierLog) {
    // 9:05:07 at power-on; the second Finish comes 2 s later.
    boot(kSelectOnlyIr + kRunThenFinish + "answer yes\nwait 2000\n" + kRunThenFinish + "answer yes\nwait 100\n" +
             kRunThenFinish + "answer no\nwait 100\n",
         {{"local_time", "2004-03-14 09:05:07"}});
    JournalLog log = journal();

    EXPECT_EQ(store_file(kLogPath), expected_log("3/14/2004 9:5:9"));
    EXPECT_EQ(log.count("file", {{"op", "create"}, {"path", kLogPath}}), 2);
    EXPECT_EQ(log.count("com", {{"op", "open"}}), 3) << "each run runs IR again\n" << log.dump();

    JournalLog third = from_step(log, after_selection(19));
    std::vector<EventPattern> expected = {{"msgbox", log_question()}, {"msgbox_result", {{"result", 7}}}};
    for (auto& p : panel_cleared()) expected.push_back(p);
    EXPECT_TRUE(third.in_order(expected));
    EXPECT_EQ(third.count("file"), 0) << third.dump();
}

TEST_F(ResultLog, NoKeepsALogFromEarlierUntouched) {
    boot("wait 0\n");
    const std::string earlier = "an earlier log\r\n";
    devtest::write_file(store_path(kLogPath), earlier);
    boot(kSelectOnlyIr + kRunThenFinish + "answer no\nwait 100\n", json::object(), KeepState);
    JournalLog log = journal();

    EXPECT_EQ(store_file(kLogPath), earlier);
    EXPECT_EQ(log.count("file"), 0) << log.dump();
    std::vector<EventPattern> expected = {{"msgbox", log_question()}, {"msgbox_result", {{"result", 7}}}};
    for (auto& p : panel_cleared()) expected.push_back(p);
    EXPECT_TRUE(from_step(log, kFinishLine).in_order(expected));
}

// A log that cannot be created is reported in a box without owner; Finish
// then goes on and clears the panel.
TEST_F(ResultLog, LogThatCannotBeCreatedIsReportedAndFinishStillClears) {
    const struct {
        const char* what;
        bool remove_folder;
        json profile;
    } cases[] = {
        {"no My Documents folder", true, json::object()},
        {"the log is held open elsewhere", false, {{"files_held_open", {kLogPath}}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot("wait 0\n");
        if (c.remove_folder) std::filesystem::remove_all(store_path("\\My Documents"));
        boot(kSelectOnlyIr + kRunThenFinish + "answer yes\nanswer ok\nwait 100\n", c.profile, KeepState);
        JournalLog log = journal();

        std::vector<EventPattern> expected = {
            {"msgbox", log_question()},
            {"msgbox_result", {{"result", 6}}},
            {"file", {{"op", "create"}, {"path", kLogPath}, {"ok", false}}},
            {"msgbox", {{"owner", nullptr}, {"text", "File is not created"}, {"caption", "Error"}, {"style", 0x30}}},
            {"msgbox_result", {{"result", 1}}}};
        for (auto& p : panel_cleared()) expected.push_back(p);
        EXPECT_TRUE(from_step(log, kFinishLine).in_order(expected));
        EXPECT_EQ(log.count("file", {{"op", "write"}}), 0) << log.dump();
        EXPECT_EQ(store_exists("\\My Documents"), !c.remove_folder) << "the folder is not created";
        EXPECT_FALSE(store_exists(kLogPath));
    }
}

// A log that the store does not take whole: every line is still tried,
// the file is closed, and then the one box of a log that is not made (no
// owner) says so, however many calls failed; Finish goes on and clears the
// panel.  What the file keeps is what the store took.
TEST_F(ResultLog, LogNotWrittenWholeIsReportedOnceAndFinishStillClears) {
    const std::string whole = expected_log("3/14/2004 9:5:7");
    std::string without_sound = whole;
    without_sound.erase(without_sound.find("Sound\t\t?\r\n"), std::string("Sound\t\t?\r\n").size());
    const struct {
        const char* what;
        json faults;
        std::vector<bool> writes_ok;  // the nine writes
        bool close_ok;
        std::string kept;
    } cases[] = {
        {"every write fails", "write", std::vector<bool>(9, false), true, ""},
        {"the Sound line's write fails",
         "write#3",
         {true, true, false, true, true, true, true, true, true},
         true,
         without_sound},
        {"the close fails", "close", std::vector<bool>(9, true), false, whole},
        {"every write and the close fail", json::array({"write", "close"}), std::vector<bool>(9, false), false, ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(kSelectOnlyIr + kRunThenFinish + "answer yes\nanswer ok\nwait 100\n",
             {{"local_time", "2004-03-14 09:05:07"}, {"file_faults", {{kLogPath, c.faults}}}});
        JournalLog finish = from_step(journal(), kFinishLine);

        std::vector<EventPattern> expected = {{"msgbox", log_question()},
                                              {"msgbox_result", {{"result", 6}}},
                                              {"file", {{"op", "create"}, {"path", kLogPath}, {"ok", true}}}};
        for (bool ok : c.writes_ok) expected.push_back({"file", {{"op", "write"}, {"path", kLogPath}, {"ok", ok}}});
        expected.push_back({"file", {{"op", "close"}, {"path", kLogPath}, {"ok", c.close_ok}}});
        expected.push_back(
            {"msgbox", {{"owner", nullptr}, {"text", "File is not created"}, {"caption", "Error"}, {"style", 0x30}}});
        expected.push_back({"msgbox_result", {{"result", 1}}});
        for (auto& p : panel_cleared()) expected.push_back(p);
        EXPECT_TRUE(finish.in_order(expected)) << finish.dump();
        EXPECT_EQ(finish.count("file", {{"op", "write"}}), 9);
        EXPECT_EQ(finish.count("msgbox"), 2) << "the question and one box";
        EXPECT_EQ(store_file(kLogPath), c.kept);
    }
}

}  // namespace
