// What dravik-sim writes, held to the rules of what it reads: no output
// goes where a link, a FIFO, a device or a folder stands, over an input or
// into the state folder; a file is replaced whole, never written into; an
// output that cannot be written stops the run naming the file and the
// system's reason; a state folder serves one simulator at a time; and the
// memory a run takes follows the work, not what an input claims.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <png.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "device/harness.h"

namespace {

namespace fs = std::filesystem;
using devtest::folder_snapshot;
using devtest::ProcessLimits;
using devtest::ProcessResult;
using devtest::read_file;
using devtest::write_file;
using devtest::write_picture;

::testing::AssertionResult one_line(const ProcessResult& r) {
    if (r.err.empty() || r.err.find('\n') != r.err.size() - 1)
        return ::testing::AssertionFailure() << "not one line on standard error: " << r.err;
    return ::testing::AssertionSuccess();
}

class Outputs : public devtest::SimRun {
protected:
    ProcessResult sim(const std::vector<std::string>& args, const ProcessLimits& limits = {}, int timeout_ms = 120000) {
        return devtest::run_process(DRAVIK_SIM, args, dir(),
                                    {"XDG_DATA_HOME=" + dir() + "/xdg", "DISPLAY=", "WAYLAND_DISPLAY="}, timeout_ms,
                                    limits);
    }
    // dravik-sim with a disk of `kib` KiB that fills up at `mount_point`.
    ProcessResult sim_on_small_disk(int kib, const std::string& mount_point, const std::vector<std::string>& args) {
        return devtest::run_on_small_disk(kib, mount_point, DRAVIK_SIM, args, dir(),
                                          {"XDG_DATA_HOME=" + dir() + "/xdg", "DISPLAY=", "WAYLAND_DISPLAY="}, 120000);
    }
};

// Each place an output may not go is refused before the device powers on:
// exit 2, one line naming the script line or the option and why, and
// nothing written anywhere (what a link leads to, the input, the state
// folder).  A failing expect-screen's pictures are outputs known before
// the run as much as screenshots are.
TEST_F(Outputs, NoOutputGoesWhereALinkAFifoAFolderAnInputOrTheStateFolderIs) {
    const std::string outside = dir() + "/outside.txt";
    const std::string state = state_dir();
    const struct {
        const char* name;
        std::function<void()> prepare;  // beside the red picture p.png
        std::string script;
        std::vector<std::string> more;  // arguments
        std::string says;               // the refusal names this
    } cases[] = {
        {"a link where the differences go", [&] { fs::create_symlink(outside, dir() + "/p.diff.png"); },
         "expect-screen p.png\n", {}, "\"" + dir() + "/p.diff.png\", which cannot be written there: a symbolic link"},
        {"a link where the screen goes", [&] { fs::create_symlink(outside, dir() + "/p.seen.png"); },
         "expect-screen p.png\n", {}, "p.seen.png\", which cannot be written there: a symbolic link"},
        {"a FIFO where the differences go", [&] { ASSERT_EQ(mkfifo((dir() + "/p.diff.png").c_str(), 0644), 0); },
         "expect-screen p.png\n", {}, "a FIFO is in its place"},
        {"a folder where the screen goes", [&] { fs::create_directories(dir() + "/p.seen.png"); },
         "expect-screen p.png\n", {}, "it is a folder"},
        {"the picture inside the state folder", [&] { write_picture(state + "/store/My Documents/p.png", 255, 0, 0); },
         "expect-screen \"" + state + "/store/My Documents/p.png\"\n", {}, "it lies inside the state folder"},
        {"the journal where the screen goes", [&] { write_file(dir() + "/p.seen.png", "journal of before\n"); },
         "expect-screen p.png\n", {"--journal", dir() + "/p.seen.png"}, "it is the --journal file"},
        {"one expectation's screen is another's picture", [&] { write_picture(dir() + "/p.seen.png", 0, 0, 255); },
         "expect-screen p.png\nexpect-screen p.seen.png\n", {}, "it is the picture of expect-screen on line 2"},
        {"a screenshot over an expected picture", [] {}, "screenshot " + dir() + "/p.png\nexpect-screen p.png\n", {},
         "it is the picture of expect-screen on line 2"},
        {"a link where a screenshot goes", [&] { fs::create_symlink(outside, screenshots_dir() + "/shot.png"); },
         "screenshot shot.png\n", {}, "a symbolic link is in its place"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir() + "/p.seen.png");
        fs::remove_all(dir() + "/p.diff.png");
        fs::remove_all(state);
        fs::remove_all(screenshots_dir());
        fs::create_directories(state + "/store/My Documents");
        fs::create_directories(screenshots_dir());
        write_file(state + "/store/My Documents/keep.txt", "kept");
        write_file(outside, "outside");
        write_picture(dir() + "/p.png", 255, 0, 0);
        c.prepare();
        set_script(c.script);
        const auto state_before = folder_snapshot(state);
        const std::string seen_before = fs::is_regular_file(dir() + "/p.seen.png") ? read_file(dir() + "/p.seen.png") : "";
        std::vector<std::string> args = {"--state", state, "--script", script_path(), "--screenshots", screenshots_dir()};
        args.insert(args.end(), c.more.begin(), c.more.end());
        ProcessResult r = sim(args, {}, 30000);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_TRUE(one_line(r));
        EXPECT_EQ(r.err.rfind(script_path() + ":", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(read_file(outside), "outside");
        EXPECT_EQ(folder_snapshot(state), state_before) << "the run changed the state folder";
        if (!seen_before.empty()) EXPECT_EQ(read_file(dir() + "/p.seen.png"), seen_before);
    }
}

// An output takes its place as a new file: a file of the same name with
// other names (hard links) keeps its bytes under them, and nothing but the
// outputs is left beside them.
TEST_F(Outputs, AnOutputReplacesAFileWholeAndNeverWritesIntoIt) {
    fs::create_directories(screenshots_dir());
    write_file(dir() + "/notes.txt", "the user's notes");
    write_file(dir() + "/letter.txt", "the user's letter");
    fs::create_hard_link(dir() + "/notes.txt", dir() + "/journal.jsonl");
    fs::create_hard_link(dir() + "/letter.txt", screenshots_dir() + "/shot.png");
    set_script("wait 0\nscreenshot shot.png\n");
    ProcessResult r = sim({"--state", state_dir(), "--script", script_path(), "--journal", dir() + "/journal.jsonl",
                           "--screenshots", screenshots_dir()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_file(dir() + "/notes.txt"), "the user's notes");
    EXPECT_EQ(read_file(dir() + "/letter.txt"), "the user's letter");
    EXPECT_GE(devtest::JournalLog::load(dir() + "/journal.jsonl").find("boot"), 0);
    EXPECT_EQ(screenshot("shot.png").width(), 240);
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(screenshots_dir())) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"shot.png"}) << "a temporary file was left behind";
}

// An output that cannot be written stops the run at once: exit 2, one
// line naming the file and the system's reason.  A journal on a device is
// refused as any output is (/dev/full would take nothing, /dev/zero read
// back by --check would never end); a disk that fills up says so.
TEST_F(Outputs, AnOutputThatCannotBeWrittenStopsTheRunNamingTheFileAndWhy) {
    set_script("wait 0\n");
    ASSERT_EQ(sim({"--state", state_dir(), "--script", script_path()}).exit_code, 0);  // the factory image, made
    write_file(dir() + "/run.txt", "wait 0\nscreenshot shot.png\nscreenshot second.png\n");
    write_file(dir() + "/check.txt", "wait 10\nwait 10\n");
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string says;
    } devices[] = {
        {"the journal on /dev/full", {"--script", dir() + "/run.txt", "--journal", "/dev/full"},
         "/dev/full: cannot be the journal: a device is in its place"},
        {"--check with its journal on /dev/zero", {"--script", dir() + "/check.txt", "--check", "--journal", "/dev/zero"},
         "/dev/zero: cannot be the journal: a device is in its place"},
        {"the demo's picture where a folder is", {"--demo", "--screenshots", dir() + "/demo-shots"},
         dir() + "/demo-shots/panel.png: cannot write: it is a folder"},
    };
    fs::create_directories(dir() + "/demo-shots/panel.png");
    for (auto& c : devices) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"--state", state_dir()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessResult r = sim(args, {}, 30000);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(r.timed_out);
    }

    if (!devtest::small_disks_available(dir())) GTEST_SKIP() << "no mount namespace here for a small disk (unshare)";
    const std::string disk = dir() + "/disk";
    fs::create_directories(disk);
    const struct {
        const char* name;
        int kib;  // the disk's size
        std::vector<std::string> args;
        std::string file;  // the one named
    } full[] = {
        {"a journal that fills the disk", 8,
         {"--script", std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run.txt", "--journal", disk + "/journal.jsonl"},
         disk + "/journal.jsonl"},
        {"a screenshot that does not fit", 4, {"--script", dir() + "/run.txt", "--screenshots", disk},
         disk + "/second.png"},
    };
    for (auto& c : full) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"--state", state_dir()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessResult r = sim_on_small_disk(c.kib, disk, args);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_TRUE(one_line(r));
        EXPECT_NE(r.err.find(c.file + ": cannot write: No space left on device"), std::string::npos) << r.err;
    }
}

// A dravik-sim left running in a process group of its own, its output
// thrown away; killed with its group when the test is done with it.
class Running {
public:
    Running(const std::vector<std::string>& args, const std::string& cwd) {
        std::vector<std::string> argv_text = {DRAVIK_SIM};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argv_text) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            int null = ::open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            setenv("DISPLAY", "", 1);
            setenv("WAYLAND_DISPLAY", "", 1);
            if (chdir(cwd.c_str()) == 0) execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Running() {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }
    // SIGKILL to the simulator alone, as a pulled battery would.
    void kill_hard() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// While one simulator runs on a state folder, every other way of powering
// a device on with that folder is refused at once: exit 2, one line that
// names the process holding it.  The hold ends with the process however it
// ends: after a SIGKILL the folder serves the next simulator.
TEST_F(Outputs, AStateFolderServesOneSimulatorAtATime) {
    Running first({"--state", state_dir(), "--stress", "100000000", "--journal", dir() + "/first.jsonl"}, dir());
    ASSERT_GT(first.pid(), 0);
    // It holds the folder once its journal begins.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (read_file(dir() + "/first.jsonl").find("\"boot\"") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_NE(read_file(dir() + "/first.jsonl").find("\"boot\""), std::string::npos) << "the first never began";

    set_script("wait 0\n");
    const struct {
        const char* name;
        std::vector<std::string> args;
    } seconds[] = {
        {"a script", {"--script", script_path()}},
        {"a checked script", {"--script", script_path(), "--check"}},
        {"a factory reset", {"--script", script_path(), "--factory-reset"}},
        {"the demo", {"--demo"}},
        {"the stress user", {"--stress", "10"}},
    };
    const std::string holder = "the state folder is in use by another simulator (process " +
                               std::to_string(first.pid()) + ")";
    for (auto& c : seconds) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"--state", state_dir(), "--journal", dir() + "/second.jsonl"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessResult r = sim(args, {}, 30000);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_TRUE(one_line(r));
        EXPECT_NE(r.err.find(holder), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir() + "/second.jsonl")) << "the refused run made its journal";
    }

    first.kill_hard();
    ProcessResult after;
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    do {
        after = sim({"--state", state_dir(), "--script", script_path()});
    } while (after.exit_code == 2 && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(after.exit_code, 0) << "the folder is still held after the first was killed: " << after.err;
}

// What a run takes from the host follows what it does: a picture is
// measured by its header before it is decoded, one picture named on many
// lines is held once, a script's lines are held compactly.  When the host
// has no more to give, the run says so in one line and exits with 3.
TEST_F(Outputs, MemoryFollowsTheWorkNotWhatAnInputClaims) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more memory than the limits here allow";
#endif
    write_file(dir() + "/shoot.txt", "wait 0\nscreenshot first.png\n");
    ASSERT_EQ(sim({"--state", dir() + "/shot-state", "--script", dir() + "/shoot.txt", "--screenshots", dir()}).exit_code,
              0);
    fs::copy_file(std::string(DRAVIK_SOURCE_DIR) + "/fuzz/regressions/picture/huge-header.png", dir() + "/huge.png");
    std::string many = "wait 0\n", waits;
    for (int i = 0; i < 5000; ++i) many += "expect-screen first.png\n";
    while (waits.size() < (size_t(4) << 20)) waits += "wait 0\n";
    std::string most;
    while (most.size() + 7 <= (size_t(16) << 20)) most += "wait 0\n";
    const uint64_t kMiB = uint64_t(1) << 20;
    const struct {
        const char* name;
        std::string script;
        uint64_t data;  // what the host gives
        int exit_code;
        std::string says;
    } cases[] = {
        {"a picture of 65 bytes that claims 37837 x 37837 pixels", "expect-screen huge.png\n", 64 * kMiB, 2,
         "huge.png is 37837 x 37837 pixels, not the screen's 240 x 320"},
        {"5000 lines naming one picture", many, 64 * kMiB, 0, ""},
        {"a script of 4 MiB", waits, 64 * kMiB, 0, ""},
        {"a script of 16 MiB on a host with less to give", most, 24 * kMiB, 3,
         "dravik-sim: out of memory: the host has no more memory to give the simulator (exit code 3)"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(script_path(), c.script);
        ProcessResult r = sim({"--state", state_dir(), "--factory-reset", "--script", script_path()}, {c.data, 0});
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err.substr(0, 2000);
        if (c.exit_code) {
            EXPECT_TRUE(one_line(r));
            EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        }
    }
}

}  // namespace
