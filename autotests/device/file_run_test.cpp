// The Read/Write files test on the simulated device: the scratch file
// written, read back, compared and deleted on a healthy store, and every
// failure of the file store with its box, its result and what it leaves.
#include <string>
#include <vector>

#include "device/driver_run_support.h"

namespace {

using namespace drivertest;
using runpath::from_step;

class FileRun : public runpath::RunPathSim {
protected:
    // Read/Write files alone, without the reset, then time for the run.
    static std::string file_only() { return run_only({IDC_FILE_BOX}) + "wait 100\n"; }
    static int start_line() { return lines_of(run_only({IDC_FILE_BOX})); }

    JournalLog run_events() { return from_step(journal(), start_line()); }
};

json file_op(const char* op, bool ok = true) { return {{"op", op}, {"path", kScratchFile}, {"ok", ok}}; }

// On a healthy store: the file is made, takes the 48 bytes, is closed,
// opened again for reading, gives the 48 bytes back, is closed and deleted;
// no box, PASS, and no scratch file is left.
TEST_F(FileRun, HealthyStorePassesSilentlyAndLeavesNoFile) {
    boot(file_only() + kFinishWithLog);
    JournalLog log = journal();
    JournalLog run = from_step(log, start_line());
    JournalLog ops(run.filter("file", {{"path", kScratchFile}}));

    EXPECT_TRUE(ops.in_order({
        {"file", file_op("create")},
        {"file", {{"op", "write"}, {"bytes", 48}, {"ok", true}}},
        {"file", file_op("close")},
        {"file", file_op("open")},
        {"file", {{"op", "read"}, {"bytes", 48}, {"ok", true}}},
        {"file", file_op("close")},
        {"file", file_op("delete")},
    })) << ops.dump();
    EXPECT_EQ(ops.size(), 7u) << ops.dump();
    EXPECT_EQ(run.count("msgbox", {{"text", "Do you want to make a result file(Dravik.log)?"}}), 1);
    EXPECT_EQ(run.count("msgbox"), 1) << "only the log question";
    EXPECT_FALSE(store_exists(kScratchFile));
    EXPECT_EQ(status_word(log, kFileRow), "PASS");
    auto saved = store_file(runpath::kLogPath);
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find(log_line("Read/Write files", "PASS")), std::string::npos) << *saved;
}

// What reaches the file is the payload as 48 bytes of UTF-16LE, without
// terminator or byte-order mark, replacing whatever the file held: seen
// through a store that refuses the delete, which fails the test without a
// box.
TEST_F(FileRun, TheFileHoldsThePayloadAndAFailedDeleteFailsSilently) {
    boot("wait 0\n");
    devtest::write_file(store_path(kScratchFile), std::string(100, 'x'));
    boot(file_only() + kFinishWithLog, {{"file_faults", {{kScratchFile, "delete"}}}}, KeepState);
    JournalLog log = journal();
    JournalLog run = from_step(log, start_line());

    EXPECT_EQ(run.count("msgbox"), 1) << "only the log question\n" << run.dump();
    EXPECT_EQ(run.count("file", file_op("delete", false)), 1);
    EXPECT_EQ(store_file(kScratchFile), payload_bytes());
    EXPECT_EQ(status_word(log, kFileRow), "FAIL");
    auto saved = store_file(runpath::kLogPath);
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find(log_line("Read/Write files", "FAIL")), std::string::npos) << *saved;
}

// A mismatch keeps the file as it was written (the fault is in what the
// read returned); the next run replaces it, passes and deletes it.
TEST_F(FileRun, AFileLeftByAnEarlierRunIsReplaced) {
    boot(file_only(), {{"file_faults", {{kScratchFile, "mismatch"}}}});
    EXPECT_EQ(store_file(kScratchFile), payload_bytes());
    EXPECT_EQ(status_word(journal(), kFileRow), "FAIL");

    boot(file_only(), json::object(), KeepState);
    JournalLog run = run_events();
    EXPECT_EQ(run.count("file", file_op("create")), 1) << run.dump();
    EXPECT_EQ(run.count("msgbox"), 0);
    EXPECT_FALSE(store_exists(kScratchFile));
    EXPECT_EQ(status_word(journal(), kFileRow), "PASS");
}

// Each failure of the store: the one box it shows (owner the main window,
// caption "Error", exclamation icon), the result in the Status column and
// in the log, whether the file stays, and every handle the test opened is
// closed before it ends.  A file that read back whole but cannot be closed
// or deleted fails without a box.
TEST_F(FileRun, EachFailureShowsItsOneBoxAndEndsTheTest) {
    const struct {
        const char* what;
        json profile;
        std::vector<std::string> boxes;
        const char* word;
        bool file_stays;
        const char* last_op;  // the test's last file operation
    } cases[] = {
        {"held open elsewhere", {{"files_held_open", {kScratchFile}}}, {"File is not created"}, "FAIL", false,
         "create"},
        {"create fails", {{"file_faults", {{kScratchFile, "create"}}}}, {"File is not created"}, "FAIL", false,
         "create"},
        {"write fails", {{"file_faults", {{kScratchFile, "write"}}}}, {"Write is not done"}, "FAIL", true, "close"},
        {"close fails", {{"file_faults", {{kScratchFile, "close"}}}}, {"File is not closed"}, "FAIL", true, "close"},
        {"cannot be opened again", {{"file_faults", {{kScratchFile, "open"}}}}, {"File is not created"}, "FAIL", true,
         "open"},
        {"read fails", {{"file_faults", {{kScratchFile, "read"}}}}, {"Read is not done"}, "FAIL", true, "close"},
        {"reads other bytes", {{"file_faults", {{kScratchFile, "mismatch"}}}}, {}, "FAIL", true, "close"},
        {"reads too few bytes", {{"file_faults", {{kScratchFile, "short_read"}}}}, {}, "FAIL", true, "close"},
        {"cannot be closed after the read", {{"file_faults", {{kScratchFile, "close#2"}}}}, {}, "FAIL", true,
         "close"},
        {"cannot be deleted", {{"file_faults", {{kScratchFile, "delete"}}}}, {}, "FAIL", true, "delete"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = file_only();
        for (size_t i = 0; i < c.boxes.size(); ++i) script += "answer ok\nwait 100\n";
        boot(script + kFinishWithLog, c.profile);
        JournalLog log = journal();
        JournalLog run = from_step(log, start_line());

        std::vector<std::string> boxes = c.boxes;
        boxes.push_back("Do you want to make a result file(Dravik.log)?");
        EXPECT_EQ(box_texts(run), boxes) << run.dump();
        for (auto& text : c.boxes) EXPECT_EQ(run.count("msgbox", file_error_box(text)), 1) << text;
        EXPECT_EQ(status_word(log, kFileRow), c.word);
        auto saved = store_file(runpath::kLogPath);
        ASSERT_TRUE(saved.has_value());
        EXPECT_NE(saved->find(log_line("Read/Write files", c.word)), std::string::npos) << *saved;
        EXPECT_EQ(store_exists(kScratchFile), c.file_stays);

        std::vector<json> ops = run.filter("file", {{"path", kScratchFile}});
        ASSERT_FALSE(ops.empty());
        EXPECT_EQ(ops.back()["op"], c.last_op) << run.dump();
        int opened = 0, closed = 0;
        for (auto& op : ops) {
            if ((op["op"] == "create" || op["op"] == "open") && op["ok"] == true) ++opened;
            if (op["op"] == "close") ++closed;
        }
        EXPECT_EQ(closed, opened) << "every handle the test opened is closed";
        // A failed read or reopen never leads to a delete.
        EXPECT_EQ(run.count("file", {{"op", "delete"}}), c.last_op == std::string("delete") ? 1 : 0);
    }
}

}  // namespace
