// dravik-sim: checks everything the user gave (command line, profile,
// script) before it touches the device's storage, then powers the device on.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "device/journal.h"
#include "device/power.h"
#include "device/profile.h"
#include "device_window.h"
#include "drivers/alarm_sound.h"
#include "files/state_folder.h"
#include "kernel/local_time.h"
#include "options.h"
#include "people/script.h"
#include "people/script_user.h"
#include "recorder.h"
#include "people/invariants.h"
#include "people/stress_user.h"
#include "window_user.h"

namespace {

namespace fs = std::filesystem;

const int kBadInput = 2;

// A window system to open the device window on.
bool display_present() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// Every complaint is one line on standard error.
int fail(std::string message) {
    for (auto& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    std::cerr << message << "\n";
    return kBadInput;
}

// A host file or folder as the output checks compare it: its identity when
// it exists, and its absolute path with every link on the way resolved.
struct Place {
    std::string canonical;
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
};

Place place_of(const std::string& path) {
    Place p;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    p.canonical = (ec ? absolute : canonical).lexically_normal().string();
    while (p.canonical.size() > 1 && p.canonical.back() == '/') p.canonical.pop_back();
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        p.exists = true;
        p.dev = st.st_dev;
        p.ino = st.st_ino;
    }
    return p;
}

bool same(const Place& a, const Place& b) {
    if (a.exists && b.exists) return a.dev == b.dev && a.ino == b.ino;
    return a.canonical == b.canonical;
}

bool inside(const Place& p, const Place& folder) {
    const std::string& f = folder.canonical;
    if (p.canonical == f) return true;
    if (f == "/") return true;
    return p.canonical.size() > f.size() && p.canonical.compare(0, f.size(), f) == 0 && p.canonical[f.size()] == '/';
}

// The files the run reads, which no output may replace.
struct Input {
    std::string what;  // "the --profile file"
    Place place;
};

// What is wrong with writing an output at `path` ("" when nothing is).
std::string output_problem(const std::string& path, const std::vector<Input>& inputs, const Place& state) {
    Place p = place_of(path);
    for (auto& in : inputs)
        if (same(p, in.place)) return "it is " + in.what;
    if (inside(p, state)) return "it lies inside the state folder " + state.canonical;
    return "";
}

// The nearest folder at or above `path` that exists must be one we may
// write in, so that `path` (a folder) can be made.
bool folder_can_be_made(const std::string& path, std::string* why) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    for (;; p = p.parent_path()) {
        struct stat st;
        if (stat(p.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *why = p.string() + " is not a folder";
                return false;
            }
            if (access(p.c_str(), W_OK | X_OK) != 0) {
                *why = std::strerror(errno);
                return false;
            }
            return true;
        }
        if (!p.has_relative_path()) return true;
    }
}

// The journal can be opened for writing: not a folder, and a file we may
// write or a new one in a folder we may write in.
bool journal_can_be_written(const std::string& path, std::string* why) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *why = "it is a folder";
            return false;
        }
        if (access(path.c_str(), W_OK) != 0) {
            *why = std::strerror(errno);
            return false;
        }
        return true;
    }
    std::error_code ec;
    fs::path parent = fs::absolute(path, ec).parent_path();
    if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *why = "no folder " + parent.string();
        return false;
    }
    if (access(parent.c_str(), W_OK | X_OK) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}
// The comment a recorded script begins with: how to replay it.
std::string record_header(const sim::Options& o) {
    std::string replay = "dravik-sim --state DIR";
    if (o.factory_reset) replay += " --factory-reset";
    if (!o.profile_path.empty()) replay += " --profile " + o.profile_path;
    replay += " --script " + o.record_path;
    return "# Recorded in the device window (dravik-sim --record).  Replay it as a check\n"
           "# on a device in the state this recording began with:\n"
           "#   " + replay + "\n";
}

// A script run with every action checked: a violation is named with the
// script line of the action after which it showed, and ends the run (1).
int run_checked(const sim::Options& options, sim::RunOptions run) {
    std::string journal_path = options.journal_path;
    std::string own_journal;
    if (journal_path.empty()) {
        // Checks read the journal back, so keep one for the run.
        const char* tmp = std::getenv("TMPDIR");
        own_journal = std::string(tmp && *tmp ? tmp : "/tmp") + "/dravik-check-XXXXXX";
        int fd = mkstemp(&own_journal[0]);
        std::string error;
        if (fd < 0 || !sim::journal().open(own_journal, false, &error)) {
            if (fd >= 0) ::close(fd);
            return fail("dravik-sim: cannot keep a journal for --check in " + own_journal);
        }
        ::close(fd);
        sim::journal().set_batched(true);
        journal_path = own_journal;
    }
    sim::CheckSettings check;
    check.journal_path = journal_path;
    check.busy_limit_ms = options.busy_limit_ms;
    std::string script = options.script_path;
    check.report = [script, own_journal](const sim::Violation& v) {
        std::cerr << script << ":" << v.line << ": "
                  << (v.line ? "after this action: " : "before the first action: ") << v.what << " [" << v.kind
                  << "]" << std::endl;
        if (!own_journal.empty()) ::unlink(own_journal.c_str());
        std::_Exit(1);
    };
    sim::CheckingUser user(sim::make_user(run), check);
    int code = sim::run_device(user, run.state_dir, sim::kScriptLocalTime);
    if (!own_journal.empty()) ::unlink(own_journal.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::Options options;
    std::string error;
    if (!sim::parse_options(args, &options, &error)) return fail("dravik-sim: " + error);
    if (options.action == sim::Options::Action::Help) {
        std::cout << sim::usage_text();
        return 0;
    }
    if (options.action == sim::Options::Action::Version) {
        std::cout << sim::version_text();
        return 0;
    }

    // Every input is read and checked before any output is opened or the
    // state folder is touched: a refused run changes and creates nothing.
    if (!options.profile_path.empty() && !sim::profile().load(options.profile_path, &error)) return fail(error);

    sim::RunOptions run;
    bool stress = options.stress_actions > 0;
    if (stress) {
        run.user = sim::UserKind::Script;
    } else if (!options.script_path.empty()) {
        if (!sim::parse_script(options.script_path, &run.script, &error)) return fail(error);
        if (!sim::load_expected_pictures(&run.script, &error)) return fail(error);
        run.user = sim::UserKind::Script;
    } else {
        // The device window when there is a display to show it on (with the
        // demo acting in it for --demo); without one, the demo.
        run.user = display_present() ? sim::UserKind::Window : sim::UserKind::Demo;
    }
    bool scripted = run.user == sim::UserKind::Script;

    // Recording needs the window.
    if (!options.record_path.empty() && run.user != sim::UserKind::Window)
        return fail("dravik-sim: --record needs the device window, and there is no display (DISPLAY or "
                    "WAYLAND_DISPLAY)");

    // Window events for the window's own tests.
    sim::WindowFeed feed;
    const char* feed_env = std::getenv("DRAVIK_WINDOW_FEED");
    std::string feed_path = run.user == sim::UserKind::Window && feed_env ? feed_env : "";
    if (!feed_path.empty() && !feed.load(feed_path, &error)) return fail(error);

    std::string state_dir = options.state_dir.empty() ? sim::StateFolder::default_dir() : options.state_dir;
    sim::add_device_factory_files();
    sim::StateFolder state;
    if (!state.check(state_dir, options.factory_reset, &error)) {
        if (error.find(state_dir) == std::string::npos) error = state_dir + ": " + error;
        return fail(error);
    }

    // The outputs: none may be an input or lie inside the state folder.
    Place state_place = place_of(state_dir);
    std::vector<Input> inputs;
    if (!options.profile_path.empty()) inputs.push_back({"the --profile file", place_of(options.profile_path)});
    if (!options.script_path.empty()) inputs.push_back({"the --script file", place_of(options.script_path)});
    if (!feed_path.empty()) inputs.push_back({"the window feed", place_of(feed_path)});
    std::string why;
    if (!options.journal_path.empty()) {
        why = output_problem(options.journal_path, inputs, state_place);
        if (!why.empty()) return fail(options.journal_path + ": cannot be the journal: " + why);
        if (!journal_can_be_written(options.journal_path, &why))
            return fail(options.journal_path + ": cannot open the journal: " + why);
        inputs.push_back({"the --journal file", place_of(options.journal_path)});
    }
    run.screenshots_dir =
        options.screenshots_dir.empty() ? sim::default_screenshots_dir(scripted) : options.screenshots_dir;
    if (inside(place_of(run.screenshots_dir), state_place))
        return fail(run.screenshots_dir + ": cannot be the screenshots folder: it lies inside the state folder " +
                    state_place.canonical);
    if (!folder_can_be_made(run.screenshots_dir, &why))
        return fail(run.screenshots_dir + ": cannot make the screenshots folder: " + why);
    for (const sim::ScriptAction& a : run.script.actions) {
        if (a.kind != sim::ScriptAction::Screenshot && a.kind != sim::ScriptAction::ScreenshotFrame) continue;
        why = output_problem(sim::screenshot_path(run.screenshots_dir, a.file), inputs, state_place);
        if (!why.empty())
            return fail(options.script_path + ":" + std::to_string(a.line) + ": the screenshot \"" + a.file +
                        "\" cannot be written there: " + why);
    }

    if (!options.record_path.empty()) {
        why = output_problem(options.record_path, inputs, state_place);
        if (!why.empty()) return fail(options.record_path + ": cannot record there: " + why);
    }

    // Every input holds: the outputs are made.
    sim::Recorder recorder;
    if (!options.record_path.empty() && !recorder.open(options.record_path, record_header(options), &error))
        return fail(error);
    if (!sim::journal().open(options.journal_path, /*append*/ false, &error)) return fail(error);
    sim::journal().set_batched(true);
    run.journal_path = options.journal_path;
    // The stress run writes the journal from its own process.
    if (stress) sim::journal().close();

    std::error_code ec;
    std::filesystem::create_directories(run.screenshots_dir, ec);
    if (ec || !std::filesystem::is_directory(run.screenshots_dir, ec))
        return fail(run.screenshots_dir + ": cannot make the screenshots folder" +
                    (ec ? ": " + ec.message() : std::string()));

    if (!state.open(state_dir, options.factory_reset, &error)) {
        if (error.find(state_dir) == std::string::npos) error = state_dir + ": " + error;
        return fail(error);
    }
    run.state_dir = state_dir;
    run.scale = options.scale;

    if (stress) {
        sim::StressSettings settings;
        settings.actions = options.stress_actions;
        settings.seed = options.seed;
        settings.state_dir = state_dir;
        settings.journal_path = options.journal_path;
        settings.screenshots_dir = run.screenshots_dir;
        settings.profile_path = options.profile_path;
        settings.busy_limit_ms = options.busy_limit_ms;
        return sim::run_stress(settings);
    }
    if (options.check) return run_checked(options, run);

    std::unique_ptr<sim::DeviceWindow> window;
    std::unique_ptr<sim::Person> window_user;
    if (run.user == sim::UserKind::Window) {
        sim::DeviceWindow::Settings settings;
        settings.scale = options.scale;
        settings.screenshots_dir = run.screenshots_dir;
        settings.feed = std::move(feed);
        if (!options.record_path.empty()) settings.recorder = &recorder;
        window = sim::DeviceWindow::open(std::move(settings), &error);
        if (window) {
            window_user = sim::make_window_user(*window, options.demo, run.screenshots_dir);
        } else if (!options.record_path.empty()) {
            std::remove(options.record_path.c_str());
            return fail("dravik-sim: " + error + "; nothing can be recorded");
        } else {
            std::cerr << "dravik-sim: " << error << "; the demo runs without a window\n";
            run.user = sim::UserKind::Demo;
        }
    }
    std::unique_ptr<sim::Person> headless_user;
    if (!window_user) headless_user = sim::make_user(run);
    // A script repeats exactly, its clock included; the demo and the window
    // go by the host's clock.
    const char* clock_start = window_user || run.user != sim::UserKind::Script ? nullptr : sim::kScriptLocalTime;
    int code = sim::run_device(window_user ? *window_user : *headless_user, run.state_dir, clock_start);
    headless_user.reset();
    window_user.reset();
    window.reset();
    return code;
}
