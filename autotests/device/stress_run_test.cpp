// The stress user through dravik-sim's command line: a seed gives one run
// and another seed another; a healthy device survives random use with
// every check holding; a limit the program cannot keep is found, shrunk
// to a short script that shows it again with --script --check and that
// needs every one of its actions; a power cycle reloads the state folder.
#include <algorithm>
#include <map>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

namespace fs = std::filesystem;
using devtest::json;

// The actions of a script file, without its comments.
std::vector<std::string> actions_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (auto& l : lines) s += l + "\n";
    return s;
}

class StressRun : public devtest::SimRun {
protected:
    devtest::ProcessResult stress(const std::string& state, uint64_t actions, uint64_t seed,
                                  std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--state", state, "--stress", std::to_string(actions), "--seed",
                                         std::to_string(seed), "--journal", state + ".jsonl"};
        args.insert(args.end(), more.begin(), more.end());
        // Shrinking replays the run many times: slow under the sanitizers
        // on a loaded machine.
        timeout_ms = 300000;
        return run_with(args);
    }
    // A script run with the checks, on a copy of `start`.
    devtest::ProcessResult checked(const std::string& start, const std::string& script_text,
                                   std::vector<std::string> more = {}) {
        std::string state = dir() + "/replay";
        std::error_code ec;
        fs::remove_all(state, ec);
        fs::copy(start, state, fs::copy_options::recursive, ec);
        EXPECT_FALSE(ec) << ec.message();
        devtest::write_file(dir() + "/replay.txt", script_text);
        std::vector<std::string> args = {"--state", state, "--script", dir() + "/replay.txt", "--check"};
        args.insert(args.end(), more.begin(), more.end());
        return run_with(args);
    }
};

TEST_F(StressRun, TheSameSeedGivesTheSameRunAndAnotherSeedAnother) {
    // The device clock starts at the same moment, so that logs match too.
    set_profile(R"({"local_time": "2004-03-14 09:05:07"})");
    const std::vector<std::string> profile = {"--profile", profile_path()};
    auto a = stress(dir() + "/a", 300, 7, profile);
    auto b = stress(dir() + "/b", 300, 7, profile);
    auto c = stress(dir() + "/c", 300, 8, profile);
    ASSERT_EQ(a.exit_code, 0) << a.err;
    ASSERT_EQ(b.exit_code, 0) << b.err;
    ASSERT_EQ(c.exit_code, 0) << c.err;
    std::string ja = devtest::read_file(dir() + "/a.jsonl"), jb = devtest::read_file(dir() + "/b.jsonl"),
                jc = devtest::read_file(dir() + "/c.jsonl");
    EXPECT_FALSE(ja.empty());
    EXPECT_TRUE(ja == jb) << "seed 7 twice gave two journals";
    EXPECT_NE(ja, jc);
    EXPECT_TRUE(devtest::folder_snapshot(dir() + "/a") == devtest::folder_snapshot(dir() + "/b"))
        << "seed 7 twice left two different state folders";
}

// Random use of a healthy device breaks nothing, and the person does
// every kind of thing the table lists.
TEST_F(StressRun, AHealthyDeviceHoldsUpAndThePersonDoesEveryKindOfThing) {
    auto r = stress(dir() + "/s", 1500, 3);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("1500 actions, nothing violated"), std::string::npos) << r.out;
    devtest::JournalLog log = devtest::JournalLog::load(dir() + "/s.jsonl");
    for (const char* action : {"tap", "press", "answer", "caption-ok", "help", "launch", "wait", "power-cycle"})
        EXPECT_GE(log.find("input", {{"action", action}}), 0) << action;
    // Pictures of the screen are kept too, each read back as the screen.
    EXPECT_GE(log.find("screenshot", {{"ok", true}}), 0);
    EXPECT_EQ(log.count("input") + log.count("screenshot"), 1500);
    // The person got somewhere: tests ran and their answers were taken.
    EXPECT_GE(log.find("msgbox_result"), 0);
    EXPECT_GE(log.find("dialog", {{"op", "open"}, {"template", IDD_RUN}}), 0);
}

// With the hot keys held by another program, the Key test's boxes open
// without an owner beneath the main window: the person cannot tap their
// buttons and answers with the action button instead, as on the device.
TEST_F(StressRun, ABoxUnderAnotherWindowIsAnsweredAsAPersonWould) {
    set_profile(R"({"hotkey_fail": [193, 196, 200], "unregisterfunc1_missing": true})");
    auto r = stress(dir() + "/s", 600, 6, {"--profile", profile_path()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    devtest::JournalLog log = devtest::JournalLog::load(dir() + "/s.jsonl");
    EXPECT_GE(log.find("msgbox", {{"text", "RegisterHotKey is FALSE"}}), 0) << "the run never met a hidden box";
}

TEST_F(StressRun, AViolationIsShrunkToAScriptThatShowsItAgain) {
    // No program keeps a 500 ms limit: the LED test alone lights each LED
    // for a second.
    const std::string state = dir() + "/s";
    auto r = stress(state, 1000, 1, {"--busy-limit", "500"});
    ASSERT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("[busy]"), std::string::npos) << r.err;
    const std::string script = dir() + "/stress-seed-1.txt";
    const std::string start = dir() + "/stress-seed-1.state";
    ASSERT_TRUE(fs::is_regular_file(script)) << r.err;
    ASSERT_TRUE(fs::is_directory(start + "/store"));
    EXPECT_NE(r.err.find(script.substr(script.rfind('/') + 1)), std::string::npos) << "where the script is";
    std::string text = devtest::read_file(script);
    std::vector<std::string> shortest = actions_of(text);
    devtest::JournalLog log = devtest::JournalLog::load(state + ".jsonl");
    ASSERT_FALSE(shortest.empty());
    EXPECT_LT(shortest.size(), size_t(log.count("input")));

    // The script shows it again, and only because of the limit.
    auto again = checked(start, text, {"--busy-limit", "500"});
    EXPECT_EQ(again.exit_code, 1) << again.err;
    EXPECT_NE(again.err.find("[busy]"), std::string::npos) << again.err;
    auto without_limit = checked(start, text);
    EXPECT_EQ(without_limit.exit_code, 0) << without_limit.err;

    // Every action is needed.
    for (size_t i = 0; i < shortest.size(); ++i) {
        std::vector<std::string> less = shortest;
        less.erase(less.begin() + long(i));
        auto r2 = checked(start, joined(less), {"--busy-limit", "500"});
        EXPECT_TRUE(r2.exit_code != 1 || r2.err.find("[busy]") == std::string::npos)
            << "without \"" << shortest[i] << "\" it still shows: " << r2.err;
    }
}

// A program that dies on the pad's left key: the crash is seen from outside
// the simulator, the run shrinks to that one press, and the script alone
// crashes the simulator again.
TEST_F(StressRun, ACrashIsFoundShrunkToItsCauseAndShownAgainByTheScript) {
    const std::vector<std::string> env = {std::string("DRAVIK_MODULES_DIR=") + CRASHING_MODULES_DIR};
    auto r = devtest::run_process(DRAVIK_SIM, {"--state", dir() + "/s", "--stress", "1000", "--seed", "1"}, dir(),
                                  env, 600000);
    ASSERT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("[crash]"), std::string::npos) << r.err;
    std::vector<std::string> shortest = actions_of(devtest::read_file(dir() + "/stress-seed-1.txt"));
    EXPECT_EQ(shortest, std::vector<std::string>{"press 37"}) << r.err;

    std::string state = dir() + "/replay";
    std::error_code ec;
    fs::copy(dir() + "/stress-seed-1.state", state, fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    auto again = devtest::run_process(DRAVIK_SIM, {"--state", state, "--script", dir() + "/stress-seed-1.txt"}, dir(),
                                      env, 60000);
    EXPECT_TRUE(again.signal != 0 || (again.exit_code != 0 && again.exit_code != 2))
        << "exit " << again.exit_code << ", signal " << again.signal << ": " << again.err;
}

// The journal holds what happened up to a crash: the press that crashed the
// program is its last input.
TEST_F(StressRun, ACrashLeavesTheJournalWrittenUpToIt) {
    const std::vector<std::string> env = {std::string("DRAVIK_MODULES_DIR=") + CRASHING_MODULES_DIR};
    devtest::write_file(dir() + "/crash.txt", "wait 10\npress 38\nwait 10\npress 37\nwait 10\n");
    auto r = devtest::run_process(DRAVIK_SIM,
                                  {"--state", dir() + "/s", "--script", dir() + "/crash.txt", "--journal",
                                   dir() + "/crash.jsonl"},
                                  dir(), env, 60000);
    // A crash: the fault's signal, or in a sanitizer build the sanitizer's
    // report of it.
    ASSERT_TRUE(r.signal != 0 || r.err.find("AddressSanitizer: SEGV") != std::string::npos)
        << "exit " << r.exit_code << ": " << r.err;
    devtest::JournalLog log = devtest::JournalLog::load(dir() + "/crash.jsonl");
    int up = log.find("input", {{"action", "press"}, {"key", 38}});
    int left = log.find("input", {{"action", "press"}, {"key", 37}});
    EXPECT_GE(up, 0) << log.dump();
    EXPECT_GT(left, up) << log.dump();
}

TEST_F(StressRun, AScriptedRunOfAWholeTestRunKeepsEveryRule) {
    set_profile(R"({"local_time": "2004-03-14 09:05:07"})");
    set_script(devtest::read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run.txt"));
    // The picture the example's expect-screen names, beside the script.
    fs::copy_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run-first-target.png",
                  dir() + "/full-run-first-target.png");
    extra_args = {"--check"};
    auto& r = run();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(store_file("\\My Documents\\Dravik.txt").has_value()) << "the run writes the log it checks";
}

// A power cycle: the program is gone at once, the state folder is read
// again, and the device comes up with what was saved.
TEST_F(StressRun, APowerCycleStartsDravikAgainWithWhatWasSaved) {
    set_script("click \"Next\"\nclick \"Start\"\npower-cycle\nwait 100\n");
    auto& r = run();
    ASSERT_EQ(r.exit_code, 0) << r.err;
    devtest::JournalLog log = journal();
    int cycle = log.find("input", {{"action", "power-cycle"}});
    ASSERT_GE(cycle, 0);
    int off = log.find("power_off", {}, size_t(cycle));
    int boot = log.find("boot", {}, size_t(cycle));
    int launch = log.find("launch", {{"exe", "\\Windows\\Dravik.exe"}}, size_t(cycle));
    EXPECT_TRUE(off > cycle && boot > off && launch > boot) << log.dump();
    // What came before it went on as usual: Start reset the device first.
    int reset = log.find("reset");
    EXPECT_TRUE(reset >= 0 && reset < cycle) << log.dump();
}

struct Misuse {
    std::vector<std::string> args;
    const char* says;
};

// A finding never destroys what it finds: a link or an earlier finding at
// its names leaves them as they are, and it takes the next free names.
// The command it prints starts from a fresh copy of the finding's state
// folder each time, so that it shows the finding every time it is run.
TEST_F(StressRun, AFindingTakesFreeNamesAndItsCommandShowsItEveryTime) {
    devtest::write_file(dir() + "/outside.txt", "outside");
    fs::create_symlink(dir() + "/outside.txt", dir() + "/stress-seed-1.txt");
    devtest::write_file(dir() + "/stress-seed-1.state/earlier.txt", "an earlier finding");
    auto r = stress(dir() + "/s", 1000, 1, {"--busy-limit", "500"});
    ASSERT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(devtest::read_file(dir() + "/outside.txt"), "outside");
    EXPECT_EQ(devtest::folder_snapshot(dir() + "/stress-seed-1.state"),
              (std::map<std::string, std::string>{{"earlier.txt", "an earlier finding"}}));
    const std::string state = dir() + "/stress-seed-1-2.state";
    EXPECT_NE(r.err.find("stress-seed-1-2.txt"), std::string::npos) << r.err;
    ASSERT_FALSE(actions_of(devtest::read_file(dir() + "/stress-seed-1-2.txt")).empty());

    // The command, run twice by the shell, with a dravik-sim that keeps
    // the state folder each run is given before it runs.
    const std::string marker = "reproduce with: ";
    size_t at = r.err.find(marker);
    ASSERT_NE(at, std::string::npos) << r.err;
    std::string command = r.err.substr(at + marker.size(), r.err.find('\n', at) - at - marker.size());
    devtest::write_file(dir() + "/bin/dravik-sim",
                        "#!/bin/sh\n"
                        "prev=; for a in \"$@\"; do [ \"$prev\" = --state ] && state=$a; prev=$a; done\n"
                        "cp -a \"$state\" \"$KEEP/given-$(ls \"$KEEP\" | wc -l)\"\n"
                        "exec " DRAVIK_SIM " \"$@\"\n");
    fs::permissions(dir() + "/bin/dravik-sim", fs::perms::owner_all);
    fs::create_directories(dir() + "/kept");
    fs::create_directories(dir() + "/tmp");
    const std::vector<std::string> env = {"PATH=" + dir() + "/bin:/usr/bin:/bin", "KEEP=" + dir() + "/kept",
                                          "TMPDIR=" + dir() + "/tmp", "XDG_DATA_HOME=" + dir() + "/xdg", "DISPLAY="};
    const auto finding = devtest::folder_snapshot(state);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1));
        auto again = devtest::run_process("/bin/sh", {"-c", command}, dir(), env, 120000);
        EXPECT_EQ(again.exit_code, 1) << again.err;
        EXPECT_NE(again.err.find("[busy]"), std::string::npos) << again.err;
        EXPECT_EQ(devtest::folder_snapshot(dir() + "/kept/given-" + std::to_string(run)), finding)
            << "the run was not given the finding's state folder as it was found";
    }
    EXPECT_EQ(devtest::folder_snapshot(state), finding) << "the finding's state folder was changed";
}

// A disk that fills up is the host's failure, said as such (exit 2, the
// file and "No space left on device"), not a crash of the program; and the
// finding is written whole or not at all.
TEST_F(StressRun, AFullDiskIsSaidAsSuchAndNoFindingIsWrittenInPart) {
    if (!devtest::small_disks_available(dir())) GTEST_SKIP() << "no mount namespace here for a small disk (unshare)";
    const std::string disk = dir() + "/disk";
    fs::create_directories(disk);
    enum Use { Work, Findings, Screenshots };  // what the small disk holds
    const struct {
        const char* name;
        int kib;
        Use use;
    } cases[] = {
        {"the temporary folder fills up during the run", 100, Work},
        {"the findings' folder cannot take the finding", 48, Findings},
        {"the screenshots' folder fills up", 4, Screenshots},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir() + "/s");
        std::vector<std::string> env = {"TMPDIR=" + (c.use == Work ? disk : dir()), "DISPLAY="};
        // A limit no program keeps makes a finding; the pictures are taken
        // in a run without one.
        std::vector<std::string> args = {"--state", dir() + "/s", "--stress", "1000", "--seed", "1"};
        if (c.use == Screenshots)
            args.insert(args.end(), {"--screenshots", disk});
        else
            args.insert(args.end(), {"--busy-limit", "500"});
        auto r = devtest::run_on_small_disk(c.kib, disk, DRAVIK_SIM, args, c.use == Findings ? disk : dir(), env,
                                            600000);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find("the host failed, not the program"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("[crash]"), std::string::npos) << r.err;
        for (auto& e : fs::directory_iterator(dir()))
            EXPECT_EQ(e.path().filename().string().rfind("stress-seed-", 0), std::string::npos) << e.path();
        const std::string listing = "== on the disk:\n";
        ASSERT_NE(r.out.find(listing), std::string::npos) << r.out;
        if (c.use == Findings) EXPECT_EQ(r.out.substr(r.out.find(listing) + listing.size()), "") << "left on the disk";
    }
}

TEST_F(StressRun, MisusedOptionsAreRefusedWithOneLine) {
    const std::string script = dir() + "/s.txt";
    devtest::write_file(script, "wait 1\n");
    const Misuse cases[] = {
        {{"--stress", "0"}, "--stress"},
        {{"--stress", "ten"}, "--stress"},
        {{"--stress", "10", "--script", script}, "--stress"},
        {{"--stress", "10", "--demo"}, "--stress"},
        {{"--seed", "3"}, "--seed"},
        {{"--stress", "10", "--seed", "-1"}, "--seed"},
        {{"--stress", "10", "--seed", "18446744073709551616"}, "--seed"},
        {{"--check"}, "--check"},
        {{"--busy-limit", "100", "--script", script}, "--busy-limit"},
        {{"--stress", "10", "--busy-limit", "0"}, "--busy-limit"},
    };
    for (const Misuse& m : cases) {
        std::vector<std::string> args = {"--state", dir() + "/state"};
        args.insert(args.end(), m.args.begin(), m.args.end());
        auto r = run_with(args);
        EXPECT_EQ(r.exit_code, 2) << m.says;
        EXPECT_NE(r.err.find(m.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(fs::exists(dir() + "/state")) << "refused before the state folder is touched";
    }
}

}  // namespace
