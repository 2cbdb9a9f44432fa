// The device window for real: dravik-sim opens its SDL window on a private
// X server (Xvfb), a window feed (DRAVIK_WINDOW_FEED) hands it mouse and
// key events through the window system's event queue, and the tests read
// what the journal and the window's own pictures (F12) show.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <regex>
#include <sstream>

#include "device/harness.h"

namespace {

using devtest::Image;
using devtest::JournalLog;
using devtest::json;
using devtest::ProcessResult;
using devtest::Rgb;

// The window's layout in device pixels, multiplied by the scale: the
// screen at (24, 54) in a window of 288 x 508.
const int kScreenLeft = 24, kScreenTop = 54, kUnitsWide = 288, kUnitsHigh = 508;

// Window pixel at the centre of device screen pixel (x, y).
int wx(int x, int scale = 2) { return (kScreenLeft + x) * scale + scale / 2; }
int wy(int y, int scale = 2) { return (kScreenTop + y) * scale + scale / 2; }

// Window feed lines for a tap at device screen pixel (x, y).
std::string tap(int x, int y) {
    std::ostringstream s;
    s << "down " << wx(x) << " " << wy(y) << "\nup " << wx(x) << " " << wy(y) << "\n";
    return s.str();
}

// A private X server for one test, its screen `size` ("WIDTHxHEIGHT").
class XServer {
public:
    bool start(std::string* error, const std::string& size = "1280x1024") {
        int fds[2];
        if (pipe(fds) != 0) {
            *error = "pipe failed";
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", (size + "x24").c_str(), "-nolisten", "tcp", "-noreset",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 20000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            *error = "Xvfb did not start (is the xvfb package installed? scripts/bootstrap.sh installs it)";
            return false;
        }
        display_ = ":" + number;
        return true;
    }
    ~XServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

    // Says that only `area` (x, y, width, height) of the screen is for
    // windows, as a desktop with a panel does (_NET_WORKAREA on the root
    // window), through the X library the window itself uses (the server
    // runs with -noreset, so the property outlives this connection).
    bool set_work_area(const long area[4], std::string* error) const {
        void* x11 = dlopen("libX11.so.6", RTLD_NOW);
        if (!x11) {
            *error = "cannot load libX11.so.6";
            return false;
        }
        using Display = void;
        auto open = reinterpret_cast<Display* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
        auto root = reinterpret_cast<unsigned long (*)(Display*)>(dlsym(x11, "XDefaultRootWindow"));
        auto atom = reinterpret_cast<unsigned long (*)(Display*, const char*, int)>(dlsym(x11, "XInternAtom"));
        auto change = reinterpret_cast<int (*)(Display*, unsigned long, unsigned long, unsigned long, int, int,
                                               const unsigned char*, int)>(dlsym(x11, "XChangeProperty"));
        auto close = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XCloseDisplay"));
        Display* d = open && root && atom && change && close ? open(display_.c_str()) : nullptr;
        if (!d) {
            *error = "cannot open " + display_;
            dlclose(x11);
            return false;
        }
        const unsigned long kCardinal = 6;  // XA_CARDINAL
        change(d, root(d), atom(d, "_NET_WORKAREA", 0), kCardinal, 32, /*PropModeReplace*/ 0,
               reinterpret_cast<const unsigned char*>(area), 4);
        close(d);  // flushes the change
        dlclose(x11);
        return true;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

class DeviceWindow : public devtest::SimRun {
protected:
    void SetUp() override {
        SimRun::SetUp();
        std::string error;
        ASSERT_TRUE(x_.start(&error)) << error;
        display_ = x_.display();
    }


    // dravik-sim with the window on the private display, fed `feed`; the
    // sound goes to SDL's silent driver unless `audio` says otherwise.
    ProcessResult run_window(const std::string& feed, std::vector<std::string> args = {},
                             const std::vector<std::string>& audio = {"SDL_AUDIODRIVER=dummy"}) {
        ++window_runs_;
        std::string feed_path = dir() + "/feed-" + std::to_string(window_runs_) + ".txt";
        devtest::write_file(feed_path, feed);
        std::vector<std::string> all = {"--state", state_dir(), "--journal", window_journal(), "--screenshots",
                                        screenshots_dir()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<std::string> env = {"DISPLAY=" + display_, "WAYLAND_DISPLAY=", "XDG_DATA_HOME=" + dir() + "/xdg",
                                        "DRAVIK_WINDOW_FEED=" + feed_path};
        env.insert(env.end(), audio.begin(), audio.end());
        ProcessResult r = devtest::run_process(DRAVIK_SIM, all, dir(), env, 120000);
        EXPECT_FALSE(r.timed_out) << "the window did not close; stderr:\n" << r.err;
        return r;
    }
    std::string window_journal() const { return dir() + "/window-journal-" + std::to_string(window_runs_) + ".jsonl"; }
    JournalLog log() const { return JournalLog::load(window_journal()); }

    // The device screen as a script sees it after `script`, on a fresh device.
    Image headless_screen(const std::string& script, const std::string& name) {
        devtest::write_file(dir() + "/headless.txt", script + "screenshot " + name + "\n");
        ProcessResult r = devtest::run_process(
            DRAVIK_SIM, {"--state", dir() + "/headless-state", "--script", dir() + "/headless.txt", "--screenshots",
                         screenshots_dir()},
            dir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 60000);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return screenshot(name);
    }

    // Whether the window picture shows `screen` at `scale`, every device
    // pixel as a scale x scale block.
    static ::testing::AssertionResult shows_screen(const Image& window, const Image& screen, int scale) {
        if (window.width() != kUnitsWide * scale || window.height() != kUnitsHigh * scale)
            return ::testing::AssertionFailure() << "window picture is " << window.width() << " x " << window.height();
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 240; ++x)
                for (int k = 0; k < scale * scale; ++k) {
                    Rgb w = window.pixel((kScreenLeft + x) * scale + k % scale, (kScreenTop + y) * scale + k / scale);
                    if (w != screen.pixel(x, y))
                        return ::testing::AssertionFailure() << "device pixel (" << x << ", " << y << ") is " << w
                                                             << " in the window, " << screen.pixel(x, y) << " on the device";
                }
        return ::testing::AssertionSuccess();
    }

    XServer x_;
    std::string display_;  // where run_window opens the window: x_'s unless a test says otherwise
    int window_runs_ = 0;
};

// The shell's check box rows: the Sound box is at (40, 95), each row 20
// pixels lower; the Next button at (168, 265).
int box_y(int row) { return 95 + 20 * row; }
const int kBoxX = 40;
// The top bar's OK button, the Start flag and the Start menu's Dravik row.
const int kCaptionOkX = 220, kCaptionOkY = 13;
const int kStartFlagX = 12, kStartFlagY = 12;
const int kMenuDravikX = 50, kMenuDravikY = 40;
const int kNextX = 168, kNextY = 265;
// The run dialog's Start button.
const int kStartX = 174, kStartY = 233;

TEST_F(DeviceWindow, ShowsTheDeviceScreenInItsCaseAtItsScale) {
    Image panel = headless_screen("", "panel.png");
    for (int scale : {2, 3}) {
        SCOPED_TRACE(scale);
        std::vector<std::string> args;
        if (scale != 2) args = {"--scale", std::to_string(scale)};
        ProcessResult r = run_window("key F12\nclose\n", args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        JournalLog j = log();
        ASSERT_GE(j.size(), 4u);
        EXPECT_TRUE(JournalLog::matches(j[0], "device_window",
                                        {{"op", "open"}, {"scale", scale}, {"width", kUnitsWide * scale},
                                         {"height", kUnitsHigh * scale}, {"video", "x11"}}))
            << j[0];
        EXPECT_TRUE(j.in_order({{"boot"}, {"launch"}, {"screenshot", {{"ok", true}}}, {"device_window", {{"op", "close"}}},
                                {"power_off"}}))
            << j.dump();
        EXPECT_EQ(j.events().back()["ev"], "power_off");
        auto shot = j.filter("screenshot");
        ASSERT_EQ(shot.size(), 1u);
        std::string file = shot[0]["file"];
        EXPECT_NE(r.out.find(file), std::string::npos) << r.out;
        Image window = Image::load(file);
        EXPECT_TRUE(shows_screen(window, panel, scale));
        // Around the screen: the case, not the screen's white.
        EXPECT_NE(window.pixel(10 * scale, 200 * scale), (Rgb{255, 255, 255}));
        EXPECT_NE(window.pixel(144 * scale, 30 * scale), window.pixel(144 * scale, 200 * scale));
    }
    // Each F12 writes a new picture.
    EXPECT_TRUE(std::filesystem::exists(screenshots_dir() + "/device-window-1.png"));
    EXPECT_TRUE(std::filesystem::exists(screenshots_dir() + "/device-window-2.png"));
}

// By default the window takes the largest scale whose window fits the
// display's usable area, so that everything on the case can be reached; a
// forced scale too large for it keeps the window's top on the display.
TEST_F(DeviceWindow, FitsTheDisplaysUsableArea) {
    const struct {
        const char* screen;
        std::vector<long> work_area;  // empty: the whole screen
        std::vector<std::string> args;
        int scale;
    } cases[] = {
        {"1280x1024", {}, {}, 2},
        {"1024x768", {}, {}, 1},
        {"1920x1600", {}, {}, 3},
        {"1920x1600", {0, 60, 1920, 1500}, {}, 2},
        {"1280x1024", {}, {"--scale", "3"}, 3},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.screen) + (c.work_area.empty() ? "" : " with a panel") +
                     (c.args.empty() ? "" : " --scale 3"));
        XServer screen;
        std::string error;
        ASSERT_TRUE(screen.start(&error, c.screen)) << error;
        if (!c.work_area.empty()) {
            ASSERT_TRUE(screen.set_work_area(c.work_area.data(), &error)) << error;
        }
        display_ = screen.display();
        ProcessResult r = run_window("close\n", c.args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        json open = log().filter("device_window", {{"op", "open"}}).at(0);
        EXPECT_EQ(open["scale"], c.scale) << open;
        int x = open["x"], y = open["y"], w = open["width"], h = open["height"];
        int ux = open["usable"]["x"], uy = open["usable"]["y"], uw = open["usable"]["width"], uh = open["usable"]["height"];
        int dw = open["display"]["width"], dh = open["display"]["height"];
        if (!c.work_area.empty()) {
            EXPECT_EQ((std::vector<int>{ux, uy, uw, uh}), (std::vector<int>{0, 60, 1920, 1500}));
        }
        EXPECT_EQ(w, kUnitsWide * c.scale);
        EXPECT_EQ(h, kUnitsHigh * c.scale);
        // The caption's OK, the LEDs and the top of the case are on the
        // display, always; fitted, the whole window is in the usable area.
        auto on_display = [&](int ux_, int uy_) {
            int px = x + ux_ * c.scale, py = y + uy_ * c.scale;
            return px >= 0 && py >= 0 && px < dw && py < dh;
        };
        EXPECT_TRUE(on_display(kScreenLeft + kCaptionOkX, kScreenTop + kCaptionOkY)) << open;
        EXPECT_TRUE(on_display(36, 24) && on_display(252, 24)) << "the LEDs: " << open;
        if (c.args.empty()) {
            EXPECT_TRUE(x >= ux && y >= uy && x + w <= ux + uw && y + h <= uy + uh) << open;
            EXPECT_TRUE(on_display(44, 452) && on_display(244, 452) && on_display(144, 440)) << "the buttons: " << open;
        } else {
            EXPECT_EQ(y, uy) << "the top of a window taller than the display is on it: " << open;
        }
    }
}

// Resized, the window draws the handheld at the largest whole scale that
// fits, in the middle, and the stylus lands where the screen now is.
TEST_F(DeviceWindow, ResizedItDrawsAtTheScaleThatFits) {
    // 400 x 600 holds scale 1 (288 x 508), 56 and 46 pixels in.
    const int left = 56, top = 46;
    std::ostringstream feed;
    feed << "resize 400 600\ndown " << left + kScreenLeft + kBoxX << " " << top + kScreenTop + box_y(0) << "\nup "
         << left + kScreenLeft + kBoxX << " " << top + kScreenTop + box_y(0) << "\nkey F12\nclose\n";
    ProcessResult r = run_window(feed.str());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    EXPECT_TRUE(j.in_order({{"device_window", {{"op", "open"}, {"scale", 2}}},
                            {"device_window", {{"op", "resize"}, {"width", 400}, {"height", 600}, {"scale", 1}}},
                            {"input", {{"action", "stylus"}, {"op", "down"}, {"x", kBoxX}, {"y", box_y(0)}}},
                            {"check", {{"id", IDC_SOUND_BOX}, {"state", 0}}}}))
        << j.dump();
    Image after_tap = headless_screen("tap " + std::to_string(kBoxX) + " " + std::to_string(box_y(0)) + "\n", "tapped.png");
    EXPECT_TRUE(shows_screen(Image::load(screenshots_dir() + "/device-window-1.png"), after_tap, 1));
}

TEST_F(DeviceWindow, MouseIsTheStylus) {
    // Tap the Sound box (it clears), picture; press on the Screen
    // Calibration box and let go far from it (no click); press on the case
    // beside the screen (nothing).
    std::ostringstream feed;
    feed << tap(kBoxX, box_y(0)) << "key F12\n"
         << "down " << wx(kBoxX) << " " << wy(box_y(1)) << "\nmove " << wx(150) << " " << wy(200) << "\nmove "
         << wx(200) << " " << wy(300) << "\nup " << wx(200) << " " << wy(300) << "\n"
         << "down 20 600\nup 20 600\nkey F12\nclose\n";
    ProcessResult r = run_window(feed.str());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    EXPECT_TRUE(j.in_order({{"input", {{"action", "stylus"}, {"op", "down"}, {"x", kBoxX}, {"y", box_y(0)}}},
                            {"input", {{"action", "stylus"}, {"op", "up"}, {"x", kBoxX}, {"y", box_y(0)}}},
                            {"check", {{"id", IDC_SOUND_BOX}, {"state", 0}}},
                            {"input", {{"action", "stylus"}, {"op", "down"}, {"x", kBoxX}, {"y", box_y(1)}}},
                            {"input", {{"action", "stylus"}, {"op", "up"}, {"x", 200}, {"y", 300}}}}))
        << j.dump();
    // The panel ticks its boxes at start; after that only the tap changed one.
    int first_input = j.find("input");
    ASSERT_GE(first_input, 0);
    int checks = 0;
    for (size_t i = size_t(first_input); i < j.size(); ++i) checks += j[i]["ev"] == "check";
    EXPECT_EQ(checks, 1) << j.dump();
    // The press on the case is no tap: two taps' worth of stylus events only.
    EXPECT_EQ(j.count("input", {{"action", "stylus"}}), 4) << j.dump();

    Image after_tap = headless_screen("tap " + std::to_string(kBoxX) + " " + std::to_string(box_y(0)) + "\n", "tapped.png");
    EXPECT_TRUE(shows_screen(Image::load(screenshots_dir() + "/device-window-1.png"), after_tap, 2));
}

TEST_F(DeviceWindow, DrawnButtonsAndKeysAreTheHardwareButtons) {
    // Drawn buttons, in device pixels of the window layout, and keys.
    const struct {
        const char* what;
        std::string feed;
        int vk;
    } cases[] = {
        {"application button 1", "down 88 904\nup 88 904\n", 193},
        {"application button 2", "down 176 876\nup 176 876\n", 194},
        {"application button 3", "down 400 876\nup 400 876\n", 195},
        {"application button 4", "down 488 904\nup 488 904\n", 196},
        {"side button 192", "down 12 250\nup 12 250\n", 192},
        {"side button 198", "down 12 340\nup 12 340\n", 198},
        {"side button 199", "down 12 392\nup 12 392\n", 199},
        {"side button 200", "down 564 250\nup 564 250\n", 200},
        {"side button 201", "down 564 350\nup 564 350\n", 201},
        {"pad left", "down 240 880\nup 240 880\n", 37},
        {"pad up", "down 288 832\nup 288 832\n", 38},
        {"pad right", "down 336 880\nup 336 880\n", 39},
        {"pad down", "down 288 928\nup 288 928\n", 40},
        {"pad action", "down 288 880\nup 288 880\n", 13},
        {"F1", "key F1\n", 193}, {"F2", "key F2\n", 194}, {"F3", "key F3\n", 195}, {"F4", "key F4\n", 196},
        {"F5", "key F5\n", 192}, {"F6", "key F6\n", 198}, {"F7", "key F7\n", 199}, {"F8", "key F8\n", 200},
        {"F9", "key F9\n", 201}, {"Left", "key Left\n", 37}, {"Up", "key Up\n", 38}, {"Right", "key Right\n", 39},
        {"Down", "key Down\n", 40}, {"Enter", "key Return\n", 13},
    };
    std::string feed;
    for (auto& c : cases) feed += c.feed;
    // A button held on the keyboard is drawn pushed in.
    feed += "keydown F2\nkey F12\nkeyup F2\nkey F12\nclose\n";
    ProcessResult r = run_window(feed);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();

    // Each press reaches the device as that button: the shell holds the
    // application and side buttons, the pad's keys go to the window with
    // the focus.  (A key's press and release come together, so the window
    // may take both before the device sees the first.)
    std::vector<devtest::EventPattern> expected;
    for (auto& c : cases) {
        expected.push_back({"input", {{"action", "button"}, {"op", "down"}, {"key", c.vk}}});
        if (c.vk >= 192)
            expected.push_back({"hotkey_press", {{"vk", c.vk}, {"holder", "shell"}}});
        else
            expected.push_back({"key", {{"msg", "down"}, {"vk", c.vk}}});
    }
    EXPECT_TRUE(j.in_order(expected)) << j.dump();
    EXPECT_EQ(j.count("input", {{"action", "button"}, {"op", "down"}}), int(std::size(cases)) + 1);
    EXPECT_EQ(j.count("input", {{"action", "button"}, {"op", "up"}}), int(std::size(cases)) + 1);
    EXPECT_EQ(j.count("key", {{"msg", "up"}}), 10);

    // Application button 2's face, below its picture: pushed in, then not.
    Image held = Image::load(screenshots_dir() + "/device-window-1.png");
    Image let_go = Image::load(screenshots_dir() + "/device-window-2.png");
    EXPECT_EQ(held.pixel(176, 896), (Rgb{0x8a, 0xb4, 0xf8}));
    EXPECT_EQ(let_go.pixel(176, 896), (Rgb{0x33, 0x36, 0x3b}));
}

TEST_F(DeviceWindow, ClosingPowersOffAndAResetRestartsInTheSameWindow) {
    // Keep only Read/Write files: clear the other boxes, Next, Start with
    // the automatic reset.
    std::string feed;
    for (int row : {0, 1, 2, 5, 6}) feed += tap(kBoxX, box_y(row));
    feed += tap(kNextX, kNextY) + tap(kStartX, kStartY) + "key F12\nclose\n";
    ProcessResult r = run_window(feed);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    EXPECT_EQ(j.count("device_window", {{"op", "open"}}), 1);
    EXPECT_EQ(j.count("boot"), 2) << j.dump();
    EXPECT_TRUE(j.in_order({{"reg_write", {{"name", "Reboot"}, {"data", 1}}},
                            {"reset_request", {{"ok", true}}},
                            {"reset"},
                            {"boot"},
                            {"launch"},
                            {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}},
                            {"screenshot"},
                            {"device_window", {{"op", "close"}}},
                            {"power_off"}}))
        << j.dump();
    // What the device wrote before it lost power is kept.
    EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot"), 1u);
    EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "File"), 1u);
    EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Sound"), 0u);
}

// One test alone, without the automatic reset: the panel's other boxes
// cleared (IR Transfer starts clear), Next, the reset box cleared, Start.
std::string only_test(int row) {
    std::string feed;
    for (int other : {0, 1, 2, 3, 5, 6})
        if (other != row) feed += tap(kBoxX, box_y(other));
    return feed + tap(kNextX, kNextY) + tap(17, 165) + tap(kStartX, kStartY);
}
const int kSoundRow = 0, kLedRow = 5;

TEST_F(DeviceWindow, SoundsPlayInRealTimeWhileTheWindowLivesAndInputWaits) {
    // The question opens; 700 ms later the alarm plays for 1.25 s.  A
    // second in, Enter goes down (the window draws the action button
    // pushed in: F12) and up; the question takes it when the sound is over.
    std::string feed = only_test(kSoundRow) + "wait 1000\nkeydown Return\nwait 50\nkey F12\nwait 50\nkeyup Return\nwait 2000\nclose\n";
    ProcessResult r = run_window(feed);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    int asked = j.find("msgbox", {{"caption", "Sound"}});
    ASSERT_GE(asked, 0) << j.dump();
    // The timer is set just before the question opens.
    int timer = j.find("timer", {{"op", "set"}, {"ms", 700}});
    ASSERT_GE(timer, 0) << j.dump();
    ASSERT_LT(timer, asked) << j.dump();
    int played = j.find("sound", {{"played", true}}, size_t(asked));
    int audio = j.find("audio", {{"op", "play"}, {"driver", "dummy"}, {"opened", true}}, size_t(asked));
    int enter = j.find("input", {{"action", "button"}, {"op", "down"}, {"key", 13}}, size_t(asked));
    int answered = j.find("msgbox_result", {{"result", 1}}, size_t(asked));
    ASSERT_GE(played, 0) << j.dump();
    ASSERT_GE(audio, 0) << j.dump();
    ASSERT_GE(enter, 0) << j.dump();
    ASSERT_GE(answered, 0) << j.dump();
    auto t = [&](int i) { return j[i]["t"].get<int64_t>(); };
    int64_t ms = j[audio]["ms"];
    EXPECT_GE(ms, 1000);
    // The timer's 700 ms, the key during the sound, the answer after it.
    EXPECT_GE(t(played) - t(timer), 700);
    EXPECT_GT(played, asked);
    EXPECT_GT(t(enter), t(played));
    EXPECT_LT(t(enter), t(played) + ms);
    EXPECT_GE(t(answered), t(played) + ms);
    // The window drew the held button while the program was in the sound.
    Image held = Image::load(screenshots_dir() + "/device-window-1.png");
    EXPECT_EQ(held.pixel(288, 880 + 18), (Rgb{0x8a, 0xb4, 0xf8}));
    int shot = j.find("screenshot", {}, size_t(asked));
    EXPECT_GT(shot, played);
    EXPECT_LT(t(shot), t(played) + ms);
}

// The speaker mark beside the speaker slot is lit while a sound plays,
// whether a sound card plays it or not.
TEST_F(DeviceWindow, TheSpeakerMarkIsLitWhileASoundPlays) {
    const Rgb kLit{0xff, 0xc8, 0x3d}, kOff{0x2e, 0x31, 0x36};
    const struct {
        const char* what;
        std::vector<std::string> audio;
    } cases[] = {
        {"a sound card", {"SDL_AUDIODRIVER=dummy"}},
        {"no sound card", {"SDL_AUDIODRIVER=nosuchdriver"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(screenshots_dir());
        // Pictures: the question before its alarm, during the first alarm,
        // and once the answer has ended the alarms.
        std::string feed = only_test(kSoundRow) + "key F12\nwait 1200\nkey F12\nkey Return\nwait 2500\nkey F12\nclose\n";
        ProcessResult r = run_window(feed, {}, c.audio);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        JournalLog j = log();
        auto sounds = j.filter("sound", {{"played", true}});
        auto shots = j.filter("screenshot");
        ASSERT_FALSE(sounds.empty()) << j.dump();
        ASSERT_EQ(shots.size(), 3u) << j.dump();
        auto t = [](const json& e) { return e["t"].get<int64_t>(); };
        int64_t first = t(sounds.front()), last_end = t(sounds.back()) + sounds.back()["ms"].get<int64_t>();
        ASSERT_LT(t(shots[0]), first) << j.dump();
        ASSERT_GE(t(shots[1]), first) << j.dump();
        ASSERT_LT(t(shots[1]), first + sounds.front()["ms"].get<int64_t>()) << j.dump();
        ASSERT_GE(t(shots[2]), last_end) << j.dump();
        // The loudspeaker's body, at scale 2.
        std::vector<Rgb> seen;
        for (int n = 1; n <= 3; ++n)
            seen.push_back(Image::load(screenshots_dir() + "/device-window-" + std::to_string(n) + ".png").pixel(350, 34));
        EXPECT_EQ(seen, (std::vector<Rgb>{kOff, kLit, kOff}));
    }
}

// Without a sound card that will play, the window says once that sounds
// take their time in silence, and nothing else reaches the terminal: not
// the sound library's own complaints, however many sounds are played.
TEST_F(DeviceWindow, NoSoundCardIsOneLineHoweverManySoundsPlay) {
    const struct {
        const char* what;
        std::vector<std::string> audio;
    } cases[] = {
        // ALSA's library is there but its card is not: every device opened
        // would have ALSA print its errors.
        {"ALSA without its card", {"SDL_AUDIODRIVER=alsa", "AUDIODEV=hw:97", "ALSA_CARD=97"}},
        {"no driver at all", {"SDL_AUDIODRIVER=nosuchdriver"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The question stays open for three ticks of the alarm.
        std::string feed = only_test(kSoundRow) + "wait 4000\nkey Return\nwait 500\nclose\n";
        ProcessResult r = run_window(feed, {}, c.audio);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        JournalLog j = log();
        EXPECT_GE(j.count("audio", {{"op", "play"}, {"opened", false}}), 2) << j.dump();
        std::vector<std::string> lines;
        std::istringstream err(r.err);
        for (std::string line; std::getline(err, line);)
            if (!line.empty()) lines.push_back(line);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_NE(lines[0].find("sounds take their time in silence"), std::string::npos) << lines[0];
    }
}

TEST_F(DeviceWindow, LedsShowWhatTheDriverAndTheControllerSay) {
    // The test lights LED 0 for a second, then LED 1, then sets both
    // blinking (0.1 s of 0.2 s) and starts the controller flashing while it
    // asks.  Pictures: in each second of the lighting pass, ten while the
    // question is open, one after Enter answered it.
    std::string feed = only_test(kLedRow) + "wait 500\nkey F12\nwait 1000\nkey F12\nwait 1200\n";
    for (int i = 0; i < 10; ++i) feed += "key F12\nwait 70\n";
    feed += "key Return\nwait 300\nkey F12\nclose\n";
    ProcessResult r = run_window(feed);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    ASSERT_EQ(j.count("screenshot", {{"ok", true}}), 13) << j.dump();

    const Rgb off{0x3a, 0x34, 0x34}, green{0x3e, 0xe8, 0x6a}, amber{0xff, 0xa7, 0x26}, blue{0x42, 0xa5, 0xff};
    struct Lights {
        Rgb led0, led1, controller;
    };
    auto lights = [&](int n) {
        Image p = Image::load(screenshots_dir() + "/device-window-" + std::to_string(n) + ".png");
        // LED centres: (36, 24) and (54, 24) from the left, the controller's at (252, 24).
        return Lights{p.pixel(73, 49), p.pixel(109, 49), p.pixel(505, 49)};
    };
    Lights first = lights(1), second = lights(2), last = lights(13);
    EXPECT_EQ(first.led0, green);
    EXPECT_EQ(first.led1, off);
    EXPECT_EQ(second.led0, off);
    EXPECT_EQ(second.led1, amber);
    EXPECT_EQ(second.controller, off);
    std::map<std::string, std::set<std::string>> seen;
    auto name = [&](Rgb c, Rgb lit) { return c == lit ? "lit" : c == off ? "off" : "other"; };
    for (int n = 3; n <= 12; ++n) {
        Lights l = lights(n);
        seen["led0"].insert(name(l.led0, green));
        seen["led1"].insert(name(l.led1, amber));
        seen["controller"].insert(name(l.controller, blue));
    }
    for (auto& [what, states] : seen) EXPECT_EQ(states, (std::set<std::string>{"lit", "off"})) << what;
    EXPECT_EQ(last.led0, off);
    EXPECT_EQ(last.led1, off);
    EXPECT_EQ(last.controller, off);

    // The lighting pass took real seconds, and Enter answered OK.
    int lit0 = j.find("led", {{"led", 0}, {"mode", 1}}), lit1 = j.find("led", {{"led", 1}, {"mode", 1}});
    ASSERT_GE(lit0, 0);
    ASSERT_GE(lit1, 0);
    EXPECT_GE(j[lit1]["t"].get<int64_t>() - j[lit0]["t"].get<int64_t>(), 1000);
    EXPECT_GE(j.find("msgbox_result", {{"result", 1}}, size_t(lit1)), 0) << j.dump();
}

TEST_F(DeviceWindow, AWholeRunByHand) {
    // Every test, as a person at the window would run it: tick IR
    // Transfer, Next, clear the reset box, Start; Enter for the Sound
    // question while the alarm plays; the four targets' centres; Enter for
    // the LED question; Enter for the Key test's instruction, then the
    // buttons in the arrow's order; a picture of the panel at the end.
    std::string feed = tap(kBoxX, box_y(4)) + tap(kNextX, kNextY) + tap(17, 165) + tap(kStartX, kStartY) +
                       "wait 1000\nkey Return\n" + tap(30, 41) + tap(30, 290) + tap(210, 290) + tap(210, 41) +
                       "key Return\nkey Return\n" +
                       "key F1\nkey F2\nkey F3\nkey F4\nkey Left\nkey Up\nkey Right\nkey Return\nkey Down\n" +
                       "key F12\nclose\n";
    ProcessResult r = run_window(feed);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    int finished = j.find("window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}});
    ASSERT_GE(finished, 0) << j.dump();
    // The Status column as last drawn: PASS in every row.
    std::map<int, std::string> column;
    for (const auto& e : j.filter("text", {{"window", "Dravik"}}))
        if (e["rect"][0] == 170) column[(e["rect"][1].get<int>() - 62) / 20] = e["text"].get<std::string>().substr(0, 4);
    for (int row = 0; row < 7; ++row) EXPECT_EQ(column[row], "PASS") << "row " << row << "\n" << j.dump();
    EXPECT_GE(j.find("screenshot", {{"ok", true}}, size_t(finished)), 0);
}

TEST_F(DeviceWindow, TheClockIsRealAndAnIdleDeviceSleeps) {
    ProcessResult r = run_window("wait 4000\nkey F12\nclose\n");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    int launch = j.find("launch"), shot = j.find("screenshot");
    ASSERT_GE(launch, 0);
    ASSERT_GE(shot, 0);
    int64_t idle_ms = j[shot]["t"].get<int64_t>() - j[launch]["t"].get<int64_t>();
    EXPECT_GE(idle_ms, 4000);
    EXPECT_LT(idle_ms, 30000);
    auto closed = j.filter("device_window", {{"op", "close"}});
    ASSERT_EQ(closed.size(), 1u);
    // Four seconds of an idle panel: the window slept a handful of times
    // (for the feed's wait and its events), not once a frame.
    EXPECT_LE(closed[0]["sleeps"].get<int>(), 10) << closed[0];
}

TEST_F(DeviceWindow, TheDemoRunsInTheWindowAndHandsTheDeviceOver) {
    // The feed's first step comes when the device is the person's again.
    ProcessResult r = run_window("key F12\nclose\n", {"--demo"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Status column:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("The demo is over; the device is yours."), std::string::npos) << r.out;
    JournalLog j = log();
    EXPECT_EQ(j.count("device_window", {{"op", "open"}}), 1);
    // Dravik was started again for the person at the window, who sees the
    // panel when the demo is done.
    EXPECT_TRUE(j.in_order({{"input", {{"action", "tap"}, {"from", "demo"}}},
                            {"exit", {{"code", 0}}},
                            {"launch"},
                            {"screenshot", {{"file", screenshots_dir() + "/device-window-1.png"}}},
                            {"power_off"}}))
        << j.dump();
    // The demo's moves are paced for watching: at least the pause between two.
    auto taps = j.filter("input", {{"from", "demo"}});
    ASSERT_GE(taps.size(), 2u);
    EXPECT_GE(taps[1]["t"].get<int64_t>() - taps[0]["t"].get<int64_t>(), 700);
}

// The lines of a recorded script, without its comments and waits; and the
// waits on their own.
std::vector<std::string> actions_of(const std::string& script, std::vector<int>* waits = nullptr) {
    std::vector<std::string> lines;
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("wait ", 0) == 0) {
            if (waits) waits->push_back(std::stoi(line.substr(5)));
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

// The message boxes of a journal: text and caption, in order.
std::vector<std::string> boxes_of(const JournalLog& j) {
    std::vector<std::string> boxes;
    for (const auto& e : j.filter("msgbox")) boxes.push_back(e["text"].dump() + " / " + e["caption"].dump());
    return boxes;
}

// The result log without its first line, the time it was written.
std::string log_after_time(const std::string& log) {
    size_t first = log.find('\n');
    return first == std::string::npos ? "" : log.substr(first + 1);
}

// What the device did, as a journal tells it, without what differs between
// the window and a script by nature: the device times, the person's inputs
// (a click in a script is a tap in the window), the window's own events
// and sound card, pictures and checks; and the length of the result log,
// whose first line is the time of day (the window's clock is the host's).
std::vector<std::string> device_events(const JournalLog& j) {
    const std::set<std::string> person = {"device_window", "input", "screenshot", "expect", "audio"};
    std::vector<std::string> events;
    for (json e : j.events()) {
        if (person.count(e.value("ev", ""))) continue;
        e.erase("t");
        if (e.value("path", "") == "\\My Documents\\Dravik.txt") e.erase("bytes");
        events.push_back(e.dump());
    }
    return events;
}

// The line a script's header begins with `prefix`, without it; "" for none.
std::string header_line(const std::string& script, const std::string& prefix) {
    std::istringstream in(script);
    for (std::string line; std::getline(in, line) && line.rfind("#", 0) == 0;)
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return "";
}

// A session at the window, recorded (--record), replayed headless: written
// as what the person meant, it does the same to the device: the same
// message boxes, the same results, the same screens.
TEST_F(DeviceWindow, ARecordedSessionReplaysHeadless) {
    // Keep Sound and Read/Write files; a press on IR Transfer slid off it
    // (no click); Next, the reset box cleared, Start; the action button
    // while the alarm sounds and a picture (F11) before the sound ends; a
    // picture of the results; Finish, Yes on the log question, a picture;
    // the caption's OK.
    const int kYesX = 91, kYesY = 189;
    std::ostringstream feed;
    for (int row : {1, 2, 5, 6}) feed << tap(kBoxX, box_y(row));
    feed << "down " << wx(kBoxX) << " " << wy(box_y(4)) << "\nmove " << wx(150) << " " << wy(250) << "\nup " << wx(150)
         << " " << wy(250) << "\n";
    feed << tap(kNextX, kNextY) << tap(17, 165) << tap(kStartX, kStartY) << "wait 1000\nkey Return\nwait 100\nkey F11\nwait 2000\nkey F11\n"
         << tap(kNextX, kNextY) << tap(kYesX, kYesY) << "wait 100\nkey F11\n" << tap(220, 12) << "wait 300\nclose\n";
    // The device as an earlier session left it (the program's settings in
    // the registry), which the recording's state copy keeps.
    devtest::write_file(dir() + "/earlier.txt", click(IDC_SOUND_BOX) + "caption-ok\n");
    ProcessResult earlier = devtest::run_process(
        DRAVIK_SIM, {"--state", state_dir(), "--script", dir() + "/earlier.txt"}, dir(), {"DISPLAY=", "WAYLAND_DISPLAY="},
        60000);
    ASSERT_EQ(earlier.exit_code, 0) << earlier.err;
    std::string registry_before = devtest::read_file(state_dir() + "/registry.reg");
    std::string script = "session/rec.txt";
    std::filesystem::create_directories(dir() + "/session");
    ProcessResult r = run_window(feed.str(), {"--record", script});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog window = log();
    std::string window_log = devtest::read_file(store_path("\\My Documents\\Dravik.txt"));

    // What was written: the check boxes, the buttons and the box's answer
    // by their words; the drag that slid off a check box by its place; the
    // pictures beside the script.  The first picture shows the question
    // still open: the program, busy with the sound, had not taken the
    // action button yet, so its line comes after the picture's.
    std::string recorded = devtest::read_file(dir() + "/" + script);
    std::vector<int> waits;
    std::vector<std::string> expected = {
        "click \"Screen Calibration\"", "click \"Screen Patterns\"", "click \"LED Notification\"",
        "click \"Key Test\"", "drag 40 175 150 250", "click \"Next\"",
        "click \"Perform automatic 'Reset' before test.\"", "click \"Start\"", "expect-screen rec-1.png",
        "press action", "expect-screen rec-2.png", "click \"Finish\"", "answer yes", "expect-screen rec-3.png",
        "caption-ok",
    };
    EXPECT_EQ(actions_of(recorded, &waits), expected) << recorded;
    // Before each action, what was in front.
    for (const std::string& said : {"# in front: the window \"Dravik\"\nclick \"Screen Calibration\"\n",
                                    "# in front: the message box \"Tap OK or press the Action Button if you hear the "
                                    "sound. Press the Cancel Button to exit this test.\"\npress action\n",
                                    "# in front: the message box \"Do you want to make a result file(Dravik.log)?\"\n"
                                    "answer yes\n"})
        EXPECT_NE(recorded.find(said), std::string::npos) << said << "\n" << recorded;
    // The header: the state it began from, kept beside it, and the command
    // that replays it there.
    EXPECT_EQ(header_line(recorded, "# state: "), "rec.state") << recorded;
    EXPECT_EQ(header_line(recorded, "# profile: "), "") << recorded;
    EXPECT_EQ(devtest::read_file(dir() + "/session/rec.state/registry.reg"), registry_before);
    EXPECT_TRUE(std::filesystem::exists(store_path("\\My Documents\\Dravik.txt"))) << "the session wrote its log";
    EXPECT_FALSE(std::filesystem::exists(dir() + "/session/rec.state/store/My Documents/Dravik.txt"))
        << "the copy is of the state before it";
    // The device time between: the action button a second after Start, at
    // least; the whole session as long as the window was open.
    int64_t total = 0;
    for (int w : waits) total += w;
    bool a_second = false;
    for (int w : waits) a_second = a_second || w >= 1000;
    EXPECT_TRUE(a_second) << recorded;
    int64_t open_ms = window.filter("power_off").at(0)["t"].get<int64_t>();
    EXPECT_LE(total, open_ms);
    EXPECT_GE(total, open_ms - 100) << recorded;
    for (const char* picture : {"/session/rec-1.png", "/session/rec-2.png", "/session/rec-3.png"})
        EXPECT_EQ(Image::load(dir() + picture).width(), 240) << picture;

    // Replayed as its header says, on a copy of the state it began from:
    // it holds, and the device did the same.
    std::string command = header_line(recorded, "#   ");
    ASSERT_NE(command.find("rec.state"), std::string::npos) << recorded;
    std::string bin = std::filesystem::path(DRAVIK_SIM).parent_path().string();
    ProcessResult replay = devtest::run_process(
        "/bin/sh", {"-c", command + " --journal replay.jsonl && cp -a \"$repro\" replay-state"}, dir(),
        {"DISPLAY=", "WAYLAND_DISPLAY=", "PATH=" + bin + ":" + std::getenv("PATH")}, 60000);
    ASSERT_EQ(replay.exit_code, 0) << replay.err;
    EXPECT_EQ(devtest::read_file(dir() + "/session/rec.state/registry.reg"), registry_before) << "the copy was used";
    JournalLog headless = JournalLog::load(dir() + "/replay.jsonl");
    EXPECT_EQ(headless.count("expect", {{"ok", true}}), 3) << headless.dump();
    EXPECT_EQ(boxes_of(headless), boxes_of(window));
    EXPECT_EQ(boxes_of(window).size(), 2u) << "the Sound question and the log question";
    std::vector<std::string> replayed = device_events(headless), done = device_events(window);
    for (size_t i = 0; i < std::max(replayed.size(), done.size()); ++i) {
        ASSERT_EQ(i < replayed.size() ? replayed[i] : "(nothing)", i < done.size() ? done[i] : "(nothing)")
            << "the device's event " << i << " (of " << done.size() << " in the window)";
    }
    std::string headless_log = devtest::read_file(dir() + "/replay-state/store/My Documents/Dravik.txt");
    EXPECT_NE(window_log.find("Sound\t\tPASS"), std::string::npos) << window_log;
    EXPECT_EQ(log_after_time(headless_log), log_after_time(window_log));

    // On a device whose files fail, the replay stops at the picture of the
    // results: FAIL in the Status column.
    devtest::write_file(dir() + "/faulty.json", R"({"file_faults": {"\\DravikFile.txt": "mismatch"}})");
    ProcessResult faulty = devtest::run_process(
        DRAVIK_SIM, {"--state", dir() + "/faulty-state", "--profile", dir() + "/faulty.json", "--script", dir() + "/" + script},
        dir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 60000);
    EXPECT_EQ(faulty.exit_code, 1) << faulty.err;
    EXPECT_NE(faulty.err.find("expect-screen: expected the screen of " + dir() + "/session/rec-2.png"), std::string::npos)
        << faulty.err;
    EXPECT_TRUE(std::filesystem::exists(dir() + "/session/rec-2.diff.png"));
}


// The events that say what the device as a whole did: boots, programs
// starting and ending, resets, lost power.
std::vector<std::string> device_life(const JournalLog& j) {
    std::vector<std::string> out;
    for (const json& e : j.events()) {
        std::string ev = e["ev"];
        if (ev == "boot" || ev == "launch" || ev == "exit" || ev == "reset" || ev == "power_off") out.push_back(ev);
    }
    return out;
}

TEST_F(DeviceWindow, TheStartMenuStartsDravikAgain) {
    // Leave Dravik; open the Start menu (picture), tap beside it (it
    // closes, nothing starts); open it again and choose Dravik (picture).
    std::string feed = tap(kCaptionOkX, kCaptionOkY) + tap(kStartFlagX, kStartFlagY) + "key F12\n" + tap(200, 200) +
                       tap(kStartFlagX, kStartFlagY) + tap(kMenuDravikX, kMenuDravikY) + "key F12\nclose\n";
    ProcessResult r = run_window(feed);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog j = log();
    EXPECT_TRUE(j.in_order({{"exit", {{"exe", "\\Windows\\Dravik.exe"}, {"code", 0}}},
                            {"start_menu", {{"op", "open"}}},
                            {"screenshot"},
                            {"start_menu", {{"op", "close"}, {"how", "outside"}}},
                            {"start_menu", {{"op", "open"}}},
                            {"start_menu", {{"op", "close"}, {"how", "choice"}}},
                            {"start_menu", {{"op", "start"}, {"item", "Dravik"}, {"exe", "\\Windows\\Dravik.exe"}}},
                            {"launch", {{"exe", "\\Windows\\Dravik.exe"}}},
                            {"screenshot"}}))
        << j.dump();
    EXPECT_EQ(j.count("launch"), 2) << "the tap beside the menu started nothing";

    // The menu drops from the flag over the Today screen, "Start" in the
    // top bar; Dravik shows its panel again as at power-on.
    Image menu = Image::load(screenshots_dir() + "/device-window-1.png");
    Image today = headless_screen("caption-ok\n", "today.png");
    EXPECT_EQ(menu.pixel(wx(100), wy(45)), (Rgb{255, 255, 255}));
    EXPECT_NE(today.pixel(100, 45), (Rgb{255, 255, 255}));
    EXPECT_EQ(menu.pixel(wx(160), wy(45)), today.pixel(160, 45)) << "the menu is no wider than its items";
    Image panel = headless_screen("", "panel.png");
    EXPECT_TRUE(shows_screen(Image::load(screenshots_dir() + "/device-window-2.png"), panel, 2));
}

TEST_F(DeviceWindow, DeviceKeysResetPullTheBatteryAndStartDravikAndAreRecorded) {
    // Leave Dravik, start it with L, soft reset (R: nothing in the Startup
    // folder, so the Today screen), pull the battery (B: Dravik starts).
    std::string feed = tap(kCaptionOkX, kCaptionOkY) + "key l\nkey r\nkey F12\nkey b\nclose\n";
    std::string script = dir() + "/keys.txt";
    ProcessResult r = run_window(feed, {"--record", script});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    JournalLog window = log();
    EXPECT_TRUE(window.in_order({{"exit"},
                                 {"input", {{"action", "launch"}, {"from", "window"}}},
                                 {"launch"},
                                 {"input", {{"action", "soft-reset"}, {"from", "window"}}},
                                 {"reset"},
                                 {"boot"},
                                 {"screenshot"},
                                 {"input", {{"action", "power-cycle"}, {"from", "window"}}},
                                 {"power_off"},
                                 {"boot"},
                                 {"launch"},
                                 {"device_window", {{"op", "close"}}}}))
        << window.dump();
    std::vector<std::string> life = {"boot", "launch", "exit", "launch", "reset", "boot",
                                     "power_off", "boot", "launch", "power_off"};
    EXPECT_EQ(device_life(window), life) << window.dump();
    Image today = headless_screen("caption-ok\n", "today.png");
    EXPECT_TRUE(shows_screen(Image::load(screenshots_dir() + "/device-window-1.png"), today, 2))
        << "after the reset the Today screen";

    // Recorded as the script's own actions; replayed headless, the device
    // lives the same life.
    std::string recorded = devtest::read_file(script);
    std::vector<std::string> expected = {"caption-ok", "launch", "soft-reset", "power-cycle"};
    std::vector<int> waits;
    EXPECT_EQ(actions_of(recorded, &waits), expected) << recorded;
    ProcessResult replay = devtest::run_process(
        DRAVIK_SIM, {"--state", dir() + "/replay-state", "--script", script, "--journal", dir() + "/replay.jsonl"},
        dir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 60000);
    ASSERT_EQ(replay.exit_code, 0) << replay.err;
    EXPECT_EQ(device_life(JournalLog::load(dir() + "/replay.jsonl")), life);
}

// The journal without the window's own lines (its size, place and real
// time), one line a string.
std::vector<std::string> device_lines(const JournalLog& j) {
    std::vector<std::string> out;
    for (const json& e : j.events())
        if (e["ev"] != "device_window") out.push_back(e.dump());
    return out;
}

// Watching a script is the headless run, shown: the same journal but for
// the window's own lines, the same exit status and message, the same
// result log; for a script whose checks hold and for one whose check does
// not.
TEST_F(DeviceWindow, AWatchedScriptRunsAsItDoesHeadless) {
    std::filesystem::copy(std::string(DRAVIK_SOURCE_DIR) + "/examples", dir() + "/examples",
                          std::filesystem::copy_options::recursive);
    devtest::write_file(dir() + "/examples/wrong.txt",
                        "click \"Next\"\nclick 1000\nclick \"Start\"\nwait 2000\nanswer cancel\n"
                        "expect-status Sound PASS\ncaption-ok\n");
    const struct {
        const char* script;
        int exit_code;
    } cases[] = {{"full-run.txt", 0}, {"wrong.txt", 1}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.script);
        std::string script = dir() + "/examples/" + c.script;
        ProcessResult watched = run_window("", {"--script", script, "--watch", "--watch-pace", "25"});
        EXPECT_EQ(watched.exit_code, c.exit_code) << watched.err;
        JournalLog shown = log();
        EXPECT_EQ(shown.count("device_window", {{"op", "open"}, {"watch", 25}}), 1) << shown.dump();
        std::string shown_log = devtest::read_file(store_path("\\My Documents\\Dravik.txt"));

        std::string journal = dir() + "/headless.jsonl";
        ProcessResult headless = devtest::run_process(
            DRAVIK_SIM, {"--state", dir() + "/headless-" + c.script, "--script", script, "--journal", journal,
                         "--screenshots", screenshots_dir()},
            dir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 60000);
        EXPECT_EQ(headless.exit_code, watched.exit_code);
        EXPECT_EQ(headless.err, watched.err);
        EXPECT_EQ(device_lines(JournalLog::load(journal)), device_lines(shown));
        std::error_code ec;
        std::filesystem::remove_all(state_dir(), ec);
        if (c.exit_code == 0) {
            EXPECT_NE(shown_log.find("IR Transfer\t\tPASS"), std::string::npos) << shown_log;
            EXPECT_EQ(log_after_time(shown_log),
                      log_after_time(devtest::read_file(dir() + "/headless-full-run.txt/store/My Documents/Dravik.txt")));
        }
    }
}

// Watching, Space pauses before the next action and N does one step: an
// action, or a frame the program puts on the panel without waiting; a red
// ring marks where the last tap landed.
TEST_F(DeviceWindow, WatchingPausesAndStepsThroughActionsAndFrames) {
    // Screen Patterns alone: two taps, clicks, Start.
    std::string script = dir() + "/patterns.txt";
    devtest::write_file(script, "tap 40 95\ntap 40 115\nclick 1003\nclick 1005\nclick 1007\nclick \"Next\"\n"
                                "click 1000\nclick \"Start\"\nwait 5000\n");
    std::string feed = "key space\nkey F12\nkey n\nkey F12\n";
    for (int i = 0; i < 7; ++i) feed += "key n\n";  // to the frame the first GXBeginDraw began
    feed += "key F12\nkey Right\nkey F12\nkey space\n";
    ProcessResult r = run_window(feed, {"--script", script, "--watch", "--watch-pace", "25"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Paused before line 1: Space goes on"), std::string::npos) << r.out;
    JournalLog j = log();
    // Each picture between the steps it was taken between.
    EXPECT_TRUE(j.in_order({{"screenshot", {{"file", screenshots_dir() + "/device-window-1.png"}}},
                            {"input", {{"line", 1}}},
                            {"screenshot", {{"file", screenshots_dir() + "/device-window-2.png"}}},
                            {"input", {{"line", 2}}},
                            {"input", {{"line", 8}}},
                            {"gx", {{"op", "end"}, {"call", 1}}},
                            {"screenshot", {{"file", screenshots_dir() + "/device-window-3.png"}}},
                            {"gx", {{"op", "begin"}, {"call", 2}}},
                            {"gx", {{"op", "end"}, {"call", 2}}},
                            {"screenshot", {{"file", screenshots_dir() + "/device-window-4.png"}}},
                            {"gx", {{"op", "begin"}, {"call", 3}}}}))
        << j.dump();
    EXPECT_EQ(j.count("gx", {{"op", "end"}, {"ok", true}}), 151);

    std::vector<Image> shot;
    for (int n = 1; n <= 4; ++n) shot.push_back(Image::load(screenshots_dir() + "/device-window-" + std::to_string(n) + ".png"));
    // The ring around the tap at (40, 95): 12 window pixels right of its
    // centre at scale 2, after the tap and not before.
    const Rgb kRing{0xe5, 0x20, 0x2a};
    EXPECT_NE(shot[0].pixel(wx(40) + 12, wy(95)), kRing);
    EXPECT_EQ(shot[1].pixel(wx(40) + 12, wy(95)), kRing);
    // The first frame is the white fill, the second blue.
    EXPECT_EQ(shot[2].pixel(wx(120), wy(160)), (Rgb{255, 255, 255}));
    Rgb blue = shot[3].pixel(wx(120), wy(160));
    EXPECT_TRUE(blue.b > 200 && blue.r < 60 && blue.g < 60) << blue;
}

TEST_F(DeviceWindow, WatchingNeedsADisplay) {
    devtest::write_file(dir() + "/s.txt", "wait 1\n");
    ProcessResult r = devtest::run_process(DRAVIK_SIM, {"--state", state_dir(), "--script", dir() + "/s.txt", "--watch"},
                                           dir(), {"DISPLAY=", "WAYLAND_DISPLAY="}, 30000);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("--watch needs the device window"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(state_dir()));
}

// --record is for the window, and the file must be writable, before
// anything is touched.
TEST_F(DeviceWindow, RecordingIsRefusedWhereItCannotBeDone) {
    const struct {
        const char* what;
        std::vector<std::string> args;
        bool display;
        std::string message;
    } cases[] = {
        {"with a script", {"--record", "r.txt", "--script", "s.txt"}, true, "--record and --script cannot be used together"},
        {"with the demo", {"--record", "r.txt", "--demo"}, true, "--record and --demo cannot be used together"},
        {"without a display", {"--record", "r.txt"}, false, "--record needs the device window"},
        {"into a folder", {"--record", "."}, true, ".: cannot record into it: it is a folder"},
        {"into a missing folder", {"--record", "nowhere/r.txt"}, true, "nowhere/r.txt: cannot record into it"},
        {"over a script", {"--record", "kept.txt"}, true,
         "kept.txt: cannot record into it: a file is there already (--force records over it)"},
        {"through a link", {"--record", "link.txt", "--force"}, true,
         "link.txt: cannot record into it: a symbolic link is in its place"},
        {"over the profile", {"--record", "p.json", "--profile", "p.json", "--force"}, true, "it is the --profile file"},
        {"into the journal", {"--record", "j.txt", "--journal", "j.txt"}, true, "it is the --journal file"},
        {"into the state folder", {"--record", state_dir() + "/r.txt"}, true, "it lies inside the state folder"},
        {"--force alone", {"--force"}, true, "--force goes with --record"},
        {"over the state another recording began from", {"--record", "new.txt"}, true,
         "new.txt: cannot record into it: new.state is there already (--force records over it)"},
        {"over a folder that is not a state folder", {"--record", "notes.txt", "--force"}, true,
         "notes.txt: cannot record into it: notes.state is there already and holds more than a state folder does"},
    };
    devtest::write_file(dir() + "/new.state/registry.reg", "kept");
    devtest::write_file(dir() + "/notes.state/diary.txt", "kept");
    devtest::write_file(dir() + "/kept.txt", "tap 1 1\n");
    devtest::write_file(dir() + "/outside.txt", "outside");
    devtest::write_file(dir() + "/p.json", "{}");
    std::filesystem::create_symlink(dir() + "/outside.txt", dir() + "/link.txt");
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"--state", state_dir()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<std::string> env = {"WAYLAND_DISPLAY=", "XDG_DATA_HOME=" + dir() + "/xdg"};
        env.push_back(c.display ? "DISPLAY=" + x_.display() : "DISPLAY=");
        ProcessResult r = devtest::run_process(DRAVIK_SIM, args, dir(), env, 30000);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(state_dir())) << "the state folder was made";
        EXPECT_EQ(devtest::read_file(dir() + "/kept.txt"), "tap 1 1\n");
        EXPECT_EQ(devtest::read_file(dir() + "/outside.txt"), "outside");
        EXPECT_EQ(devtest::read_file(dir() + "/p.json"), "{}");
        EXPECT_EQ(devtest::read_file(dir() + "/new.state/registry.reg"), "kept");
        EXPECT_EQ(devtest::read_file(dir() + "/notes.state/diary.txt"), "kept");
    }
}

// A recording never destroys a script: nothing is written before the
// window is open, so one that cannot open leaves the script as it was even
// with --force; a recording takes the script's place whole when the window
// closes; and an F11 picture skips a name another file has, unless the
// recording was asked to replace what was there.
TEST_F(DeviceWindow, ARecordingNeverDestroysAScript) {
    const std::string script = dir() + "/my-script.txt";
    std::string lines;
    for (int i = 0; i < 78; ++i) lines += "wait " + std::to_string(i) + "\n";
    devtest::write_file(script, lines);
    devtest::write_file(dir() + "/my-script-1.png", "an earlier picture");
    // A display that is not there.
    const struct {
        std::vector<std::string> more;
        const char* says;
    } cannot_open[] = {
        {{}, "a file is there already (--force records over it)"},
        {{"--force"}, "nothing can be recorded"},
    };
    ProcessResult r;
    for (auto& c : cannot_open) {
        SCOPED_TRACE(c.says);
        std::vector<std::string> args = {"--state", state_dir(), "--record", script};
        args.insert(args.end(), c.more.begin(), c.more.end());
        r = devtest::run_process(
            DRAVIK_SIM, args, dir(),
            {"DISPLAY=:4093", "SDL_VIDEODRIVER=x11", "WAYLAND_DISPLAY=", "XDG_DATA_HOME=" + dir() + "/xdg"}, 60000);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(devtest::read_file(script), lines) << "the script was touched though nothing was recorded";
    }

    // Without --force the picture's name goes to the next free one.
    const std::string fresh = dir() + "/fresh.txt";
    devtest::write_file(dir() + "/fresh-1.png", "someone's picture");
    devtest::write_file(dir() + "/profiles/p.json", "{}");
    r = run_window("key F11\nclose\n", {"--record", fresh, "--profile", dir() + "/profiles/p.json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // The header names the state and the profile it began with, beside it.
    std::string header = devtest::read_file(fresh);
    EXPECT_NE(header.find("\n# state: fresh.state\n# profile: profiles/p.json\n"), std::string::npos) << header;
    EXPECT_EQ(devtest::read_file(dir() + "/fresh-1.png"), "someone's picture");
    auto recorded = [](const std::string& path) {
        std::vector<int> waits;
        return actions_of(devtest::read_file(path), &waits);
    };
    EXPECT_EQ(recorded(fresh), std::vector<std::string>{"expect-screen fresh-2.png"});
    EXPECT_EQ(Image::load(dir() + "/fresh-2.png").width(), 240);

    EXPECT_TRUE(std::filesystem::exists(dir() + "/fresh.state/registry.reg")) << "the state it began from";
    EXPECT_TRUE(std::filesystem::is_directory(dir() + "/fresh.state/store/My Documents"));

    // With --force the recording, its pictures and the state it began from
    // replace the old ones.
    devtest::write_file(dir() + "/my-script.state/registry.reg", "an earlier state");
    devtest::write_file(dir() + "/my-script.state/store/old.txt", "an earlier file");
    r = run_window("key F11\nclose\n", {"--record", script, "--force"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(recorded(script), std::vector<std::string>{"expect-screen my-script-1.png"});
    EXPECT_EQ(Image::load(dir() + "/my-script-1.png").width(), 240);
    EXPECT_EQ(devtest::read_file(dir() + "/my-script.state/registry.reg"),
              devtest::read_file(dir() + "/fresh.state/registry.reg"));
    EXPECT_FALSE(std::filesystem::exists(dir() + "/my-script.state/store/old.txt"));

    // --force never replaces the state folder itself with its copy.
    std::string device = dir() + "/device.state";
    devtest::write_file(device + "/store/My Documents/keep.txt", "kept");
    r = devtest::run_process(DRAVIK_SIM, {"--state", device, "--record", dir() + "/device.txt", "--force"}, dir(),
                             {"DISPLAY=" + x_.display(), "WAYLAND_DISPLAY="}, 30000);
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_NE(r.err.find("its state copy " + device + " would lie inside the state folder"), std::string::npos) << r.err;
    EXPECT_EQ(devtest::read_file(device + "/store/My Documents/keep.txt"), "kept");
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir())) names.push_back(e.path().filename().string());
    for (auto& n : names) EXPECT_EQ(n.find(".txt."), std::string::npos) << "left behind: " << n;

    // A picture that may not be written (here the profile, named as an F11
    // picture would be) stops the run, and the file stays as it was.
    devtest::write_file(dir() + "/other-1.png", "{}");
    r = run_window("key F11\nclose\n", {"--record", dir() + "/other.txt", "--force", "--profile", dir() + "/other-1.png"});
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_NE(r.err.find("other-1.png: cannot write: it is the --profile file"), std::string::npos) << r.err;
    EXPECT_EQ(devtest::read_file(dir() + "/other-1.png"), "{}");
}

}  // namespace

namespace {

using KeyMapHelp = devtest::SimRun;

TEST_F(KeyMapHelp, HelpListsEveryKeyOfTheWindow) {
    ProcessResult r = run_with({"--help"});
    ASSERT_EQ(r.exit_code, 0);
    const struct {
        const char* key;
        const char* button;
    } keys[] = {
        {"Left", "pad left"}, {"Up", "pad up"}, {"Right", "pad right"}, {"Down", "pad down"},
        {"Enter", "action button (13)"}, {"F1", "(193)"}, {"F2", "(194)"}, {"F3", "(195)"}, {"F4", "(196)"},
        {"F5", "192"}, {"F6", "198"}, {"F7", "199"}, {"F8", "200"}, {"F9", "201"}, {"F12", "picture of the window"},
        {"F11", "with --record: add an expect-screen line"},
        {"R", "soft reset"}, {"B", "pull the battery"}, {"L", "start Dravik from the shell"},
    };
    for (auto& k : keys) {
        std::regex line("\n  " + std::string(k.key) + " +[^\n]*" + std::regex_replace(k.button, std::regex("[()]"), "\\$&"));
        EXPECT_TRUE(std::regex_search(r.out, line)) << k.key << " " << k.button << "\n" << r.out;
    }
}

}  // namespace
