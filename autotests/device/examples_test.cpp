// Every script in examples/ is a check as well as a demonstration: run on a
// device fresh from the factory, each states what the device shows with
// its expect- lines, and all of them hold.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "device/harness.h"

namespace {

namespace fs = std::filesystem;
using devtest::JournalLog;
using devtest::ProcessResult;

using Examples = devtest::SimRun;

TEST_F(Examples, EveryExampleRunsAsACheckThatHolds) {
    // A copy, so that a failing expect-screen writes its pictures here.
    fs::copy(std::string(DRAVIK_SOURCE_DIR) + "/examples", dir() + "/examples", fs::copy_options::recursive);
    std::vector<std::string> scripts;
    for (const auto& e : fs::directory_iterator(dir() + "/examples"))
        if (e.path().extension() == ".txt") scripts.push_back(e.path().filename().string());
    std::sort(scripts.begin(), scripts.end());
    ASSERT_FALSE(scripts.empty());
    for (const std::string& name : scripts) {
        SCOPED_TRACE(name);
        std::string stem = fs::path(name).stem().string();
        std::string journal = dir() + "/" + stem + ".jsonl";
        ProcessResult r = run_with({"--state", dir() + "/state-" + stem, "--factory-reset", "--script",
                                    dir() + "/examples/" + name, "--journal", journal, "--screenshots",
                                    dir() + "/shots-" + stem});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        JournalLog j = JournalLog::load(journal);
        EXPECT_GT(j.count("expect"), 0) << "the example states nothing it shows";
        EXPECT_EQ(j.count("expect", {{"ok", false}}), 0) << j.dump();
        EXPECT_EQ(j.events().back()["ev"], "power_off");
    }
}

}  // namespace
