// The demo, headless: the built-in user runs every test of Dravik on a
// healthy device, prints its progress and the Status column, writes the
// result log and a screenshot of each test's screen, and says where they
// are.  Without a display dravik-sim runs it unasked.
#include <ctime>
#include <filesystem>
#include <regex>
#include <sstream>

#include "device/harness.h"

namespace {

using devtest::Image;
using devtest::JournalLog;
using devtest::ProcessResult;
using devtest::Rgb;
namespace fs = std::filesystem;

const char* const kTests[] = {"Sound",         "Screen Calibration", "Screen Patterns", "Read/Write files",
                              "IR Transfer",   "LED Notification",   "Key Test"};
const char* const kShots[] = {"panel.png", "sound.png", "calibration.png", "patterns.png", "file.png",
                              "ir.png",    "led.png",   "key.png",         "results.png"};

class Demo : public devtest::SimRun {
protected:
    // dravik-sim with `args` and no display, as on a server.
    ProcessResult run_demo(std::vector<std::string> args) {
        std::vector<std::string> all = {"--state", state_dir(), "--journal", dir() + "/journal.jsonl", "--screenshots",
                                        screenshots_dir()};
        all.insert(all.end(), args.begin(), args.end());
        fs::create_directories(dir() + "/xdg");
        ProcessResult r = devtest::run_process(DRAVIK_SIM, all, dir(),
                                               {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_DATA_HOME=" + dir() + "/xdg"},
                                               120000);
        EXPECT_FALSE(r.timed_out) << r.err;
        return r;
    }
    JournalLog demo_journal() const { return JournalLog::load(dir() + "/journal.jsonl"); }
};

// The host's local date `days` from now as the log writes dates: M/D/YYYY.
std::string host_date(int days) {
    std::time_t t = std::time(nullptr) + std::time_t(days) * 24 * 3600;
    std::tm tm{};
    localtime_r(&t, &tm);
    return std::to_string(tm.tm_mon + 1) + "/" + std::to_string(tm.tm_mday) + "/" + std::to_string(tm.tm_year + 1900);
}

// The lines of `out` after `heading`, up to the first that does not start
// with two blanks.
std::vector<std::string> block_after(const std::string& out, const std::string& heading) {
    std::vector<std::string> lines;
    size_t at = out.find(heading);
    if (at == std::string::npos) return lines;
    std::istringstream in(out.substr(at + heading.size()));
    std::string line;
    std::getline(in, line);  // the rest of the heading's line
    while (std::getline(in, line) && line.compare(0, 2, "  ") == 0) lines.push_back(line);
    return lines;
}

TEST_F(Demo, RunsEveryTestToPassAndSaysWhereEverythingIs) {
    // With --demo, and with nothing at all when there is no display.
    for (bool asked : {true, false}) {
        SCOPED_TRACE(asked ? "--demo" : "no options");
        fs::remove_all(state_dir());
        fs::remove_all(screenshots_dir());
        ProcessResult r = run_demo(asked ? std::vector<std::string>{"--demo"} : std::vector<std::string>{});
        ASSERT_EQ(r.exit_code, 0) << r.err << "\n" << r.out;

        // The Status column, as the panel showed it at the end of the run.
        auto column = block_after(r.out, "Status column:");
        ASSERT_EQ(column.size(), std::size(kTests)) << r.out;
        for (size_t i = 0; i < std::size(kTests); ++i)
            EXPECT_TRUE(std::regex_match(column[i], std::regex("  " + std::string(kTests[i]) + " +PASS")))
                << "\"" << column[i] << "\"\n" << r.out;

        // The log, written with Finish and Yes, where the demo says it is.
        std::string log_host = store_path("\\My Documents\\Dravik.txt");
        auto log = store_file("\\My Documents\\Dravik.txt");
        ASSERT_TRUE(log.has_value()) << r.out;
        // The demo goes by the host's clock: the log is dated today (or
        // yesterday, when the run began before midnight).
        EXPECT_TRUE(log->rfind(host_date(0) + " ", 0) == 0 || log->rfind(host_date(-1) + " ", 0) == 0)
            << "not dated today: " << log->substr(0, log->find('\r'));
        EXPECT_NE(r.out.find(fs::absolute(log_host).string()), std::string::npos) << r.out;
        for (const char* test : kTests)
            EXPECT_NE(log->find(std::string(test) + "\t\tPASS\r\n"), std::string::npos) << test << "\n" << *log;

        // A screenshot of each test's screen, and where they are.
        EXPECT_NE(r.out.find("Screenshots in " + fs::absolute(screenshots_dir()).string()), std::string::npos)
            << r.out;
        for (const char* shot : kShots) {
            EXPECT_NE(r.out.find(shot), std::string::npos) << shot;
            Image img = screenshot(shot);
            EXPECT_EQ(img.width(), 240) << shot;
            EXPECT_EQ(img.height(), 320) << shot;
        }

        // Progress on the terminal, test by test, in the order of the run.
        size_t at = 0;
        for (const char* test : kTests) {
            size_t found = r.out.find(std::string(test) + ": ", at);
            EXPECT_NE(found, std::string::npos) << test << "\n" << r.out;
            if (found != std::string::npos) at = found;
        }

        // The run went through the automatic reset, and the demo left Dravik
        // with the caption's OK, which clears the pending run.
        JournalLog j = demo_journal();
        EXPECT_TRUE(j.in_order({{"reset_request", {{"ok", true}}}, {"reset"}, {"boot"}, {"exit", {{"code", 0}}},
                                {"power_off"}}))
            << j.dump();
        EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot"), 0u);
    }
}

TEST_F(Demo, ScreenshotsShowEachTestAsItRan) {
    ProcessResult r = run_demo({"--demo"});
    ASSERT_EQ(r.exit_code, 0) << r.err << "\n" << r.out;
    JournalLog j = demo_journal();

    // Each picture was taken while its test had the screen.
    auto shot_at = [&](const std::string& name) {
        return j.find("screenshot", {{"file", screenshots_dir() + "/" + name}, {"ok", true}});
    };
    const struct {
        const char* shot;
        devtest::EventPattern from, to;
    } moments[] = {
        {"sound.png", {"msgbox", {{"caption", "Sound"}}}, {"msgbox_result", {{"result", 1}}}},
        {"calibration.png",
         {"dialog", {{"op", "open"}, {"template", IDD_TOUCH_TARGET}}},
         {"dialog", {{"op", "end"}, {"template", IDD_TOUCH_TARGET}}}},
        {"patterns.png", {"gx", {{"op", "open"}}}, {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}}},
        {"file.png", {"file", {{"op", "create"}, {"path", "\\DravikFile.txt"}}}, {"file", {{"op", "delete"}}}},
        {"ir.png", {"com", {{"op", "open"}}}, {"com", {{"op", "close"}}}},
        {"led.png", {"msgbox", {{"caption", "LED Notification"}}}, {"msgbox_result", {{"result", 1}}}},
        {"key.png",
         {"dialog", {{"op", "open"}, {"template", IDD_KEY_TEST}}},
         {"input", {{"action", "press"}, {"key", 193}}}},
    };
    for (auto& m : moments) {
        SCOPED_TRACE(m.shot);
        int from = j.find(m.from.ev, m.from.fields);
        ASSERT_GE(from, 0) << j.dump();
        int shot = shot_at(m.shot);
        EXPECT_GT(shot, from);
        int to = j.find(m.to.ev, m.to.fields, size_t(from));
        EXPECT_GT(to, shot) << j.dump();
    }

    // Screen Patterns: the first frame of vertical colour bars, 40 columns each.
    Image bars = screenshot("patterns.png");
    const Rgb expected[] = {{255, 0, 0}, {24, 255, 0}, {0, 28, 255}, {0, 0, 0}, {255, 255, 255}, {57, 28, 57}};
    for (int bar = 0; bar < 6; ++bar) EXPECT_EQ(bars.pixel(bar * 40 + 20, 160), expected[bar]) << "bar " << bar;

    // Screen Calibration: the first target's circle and cross, top left;
    // the demo tapped each target's centre, so every tap hit and the
    // dialog ended with 2.
    Image targets = screenshot("calibration.png");
    EXPECT_GT(targets.count(Rgb{0, 0, 0}, 5, 20, 56, 70), 80);
    EXPECT_GE(j.find("dialog", {{"op", "end"}, {"template", IDD_TOUCH_TARGET}, {"code", 2}}), 0) << j.dump();
}

TEST_F(Demo, ADeviceItCannotRunOnStopsTheDemoWithAReason) {
    set_profile(R"({"model": "qz Orvex k6000"})");
    ProcessResult r = run_demo({"--demo", "--profile", profile_path()});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.out.find("This application is for the Orvex k7100 series devices only."), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("the demo cannot go on: Dravik is not running"), std::string::npos) << r.err;
}

}  // namespace
