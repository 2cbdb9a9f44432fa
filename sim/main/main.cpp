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
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "base/journal.h"
#include "device/power.h"
#include "device/profile_loading.h"
#include "device_window.h"
#include "drivers/alarm_sound.h"
#include "base/output_file.h"
#include "base/host_file.h"
#include "files/state_folder.h"
#include "files/state_lock.h"
#include "kernel/out_of_memory.h"
#include "people/screen_compare.h"
#include "kernel/local_time.h"
#include "options.h"
#include "people/script.h"
#include "people/script_user.h"
#include "recorder.h"
#include "people/invariants.h"
#include "people/stress_user.h"
#include "suite_runner.h"
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

// A script run with every action checked: a violation is named with the
// script line of the action after which it showed, and ends the run (1).
int run_checked(const sim::Options& options, sim::RunOptions run) {
    std::string journal_path = options.journal_path;
    std::string own_folder;
    if (journal_path.empty()) {
        // Checks read the journal back, so keep one for the run.
        const char* tmp = std::getenv("TMPDIR");
        own_folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/dravik-check-XXXXXX";
        std::string error;
        if (!mkdtemp(&own_folder[0]))
            return fail("dravik-sim: cannot keep a journal for --check in " + own_folder + ": " + std::strerror(errno));
        journal_path = own_folder + "/journal.jsonl";
        if (!sim::journal().open(journal_path, &error)) {
            ::rmdir(own_folder.c_str());
            return fail("dravik-sim: " + error);
        }
        sim::journal().set_batched(true);
    }
    auto remove_own = [own_folder] {
        if (own_folder.empty()) return;
        ::unlink((own_folder + "/journal.jsonl").c_str());
        ::rmdir(own_folder.c_str());
    };
    sim::CheckSettings check;
    check.journal_path = journal_path;
    check.busy_limit_ms = options.busy_limit_ms;
    std::string script = options.script_path;
    check.report = [script, remove_own](const sim::Violation& v) {
        std::cerr << script << ":" << v.line << ": "
                  << (v.line ? "after this action: " : "before the first action: ") << v.what << " [" << v.kind
                  << "]" << std::endl;
        remove_own();
        std::_Exit(1);
    };
    sim::CheckingUser user(sim::make_user(run), check);
    int code = sim::run_device(user, run.state_dir, sim::kScriptLocalTime);
    sim::journal().close();
    remove_own();
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
    sim::stop_when_memory_runs_out();
    if (options.suite()) {
        // A child of its own for each script or seed (suite_runner.h).
        if (!options.profile_path.empty() && !sim::load_profile(&sim::profile(), options.profile_path, &error)) return fail(error);
        return sim::run_suite(sim::suite_settings(options));
    }

    // Every input is read and checked before any output is opened or the
    // state folder is touched: a refused run changes and creates nothing.
    if (!options.profile_path.empty() && !sim::load_profile(&sim::profile(), options.profile_path, &error)) return fail(error);

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

    // Recording and watching need the window.
    if (!options.record_path.empty() && run.user != sim::UserKind::Window)
        return fail("dravik-sim: --record needs the device window, and there is no display (DISPLAY or "
                    "WAYLAND_DISPLAY)");
    if (options.watch && !display_present())
        return fail("dravik-sim: --watch needs the device window, and there is no display (DISPLAY or "
                    "WAYLAND_DISPLAY)");

    // Window events for the window's own tests.
    sim::WindowFeed feed;
    const char* feed_env = std::getenv("DRAVIK_WINDOW_FEED");
    std::string feed_path = (run.user == sim::UserKind::Window || options.watch) && feed_env ? feed_env : "";
    if (!feed_path.empty() && !feed.load(feed_path, &error)) return fail(error);

    std::string state_dir = options.state_dir.empty() ? sim::StateFolder::default_dir() : options.state_dir;
    sim::add_device_factory_files();
    sim::StateFolder state;
    if (!state.check(state_dir, options.factory_reset, &error)) {
        if (error.find(state_dir) == std::string::npos) error = state_dir + ": " + error;
        return fail(error);
    }

    // The outputs: none may be an input or lie inside the state folder,
    // nor go where a link, a FIFO, a device or a folder stands.
    sim::OutputRules& rules = sim::output_rules();
    rules.set_state_folder(state_dir);
    if (!options.profile_path.empty()) rules.add_input("the --profile file", options.profile_path);
    if (!options.script_path.empty()) rules.add_input("the --script file", options.script_path);
    if (!feed_path.empty()) rules.add_input("the window feed", feed_path);
    // Each picture once, however many lines name it.
    std::set<std::string> pictures;
    for (size_t i = 0; i < run.script.size(); ++i) {
        sim::ScriptAction a = run.script.action(i);
        if (a.kind == sim::ScriptAction::ExpectScreen && pictures.insert(a.picture_path).second)
            rules.add_input("the picture of expect-screen on line " + std::to_string(a.line), a.picture_path);
    }
    std::string why;
    if (!options.journal_path.empty()) {
        why = rules.problem(options.journal_path);
        if (!why.empty()) return fail(options.journal_path + ": cannot be the journal: " + why);
        why = sim::folder_problem(options.journal_path);
        if (!why.empty()) return fail(options.journal_path + ": cannot open the journal: " + why);
    }
    // The other outputs may not be the journal either.
    sim::OutputRules with_journal = rules;
    if (!options.journal_path.empty()) with_journal.add_input("the --journal file", options.journal_path);
    run.screenshots_dir =
        options.screenshots_dir.empty() ? sim::default_screenshots_dir(scripted) : options.screenshots_dir;
    if (rules.inside_state_folder(run.screenshots_dir))
        return fail(run.screenshots_dir + ": cannot be the screenshots folder: it lies inside the state folder " +
                    sim::OutputRules::place_of(state_dir).canonical);
    if (!folder_can_be_made(run.screenshots_dir, &why))
        return fail(run.screenshots_dir + ": cannot make the screenshots folder: " + why);
    for (size_t i = 0; i < run.script.size(); ++i) {
        sim::ScriptAction a = run.script.action(i);
        auto refuse = [&](const std::string& what, const std::string& path) {
            why = with_journal.problem(path);
            if (why.empty()) return false;
            error = sim::one_line(options.script_path + ":" + std::to_string(a.line),
                                  what + " \"" + path + "\", which cannot be written there: " + why);
            return true;
        };
        if ((a.kind == sim::ScriptAction::Screenshot || a.kind == sim::ScriptAction::ScreenshotFrame) &&
            refuse("the screenshot is", sim::screenshot_path(run.screenshots_dir, a.file)))
            return fail(error);
        // What a failing expect-screen writes is known now too.
        if (a.kind == sim::ScriptAction::ExpectScreen && pictures.erase(a.picture_path) &&
            (refuse("expect-screen, when it does not hold, writes", sim::picture_beside(a.picture_path, "seen")) ||
             refuse("expect-screen, when it does not hold, writes", sim::picture_beside(a.picture_path, "diff"))))
            return fail(error);
    }
    // The stress user's findings go to the current folder.
    if (stress && rules.inside_state_folder("."))
        return fail("dravik-sim: --stress writes its findings in the current folder, which lies inside the state "
                    "folder " + sim::OutputRules::place_of(state_dir).canonical + "; run it from another folder");
    sim::Recorder::Settings recording{options.record_path, state_dir, options.profile_path, options.force};
    if (!options.record_path.empty()) {
        why = sim::Recorder::place_problem(recording, with_journal);
        if (!why.empty()) return fail(options.record_path + ": cannot record into it: " + why);
    }

    // One simulator on the folder, from here to the end of the process.
    {
        std::error_code ec;
        fs::create_directories(state_dir, ec);
        if (!sim::lock_state_folder(state_dir, &error)) return fail(error);
    }

    // Every input holds: the outputs are made.
    if (!sim::journal().open(options.journal_path, &error)) return fail(error);
    sim::journal().set_batched(true);
    rules = with_journal;
    run.journal_path = options.journal_path;

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

    sim::Recorder recorder;
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
            // Only now is anything written for the recording.
            if (!options.record_path.empty() &&
                !recorder.open(recording, &error))
                return fail(error);
            window_user = sim::make_window_user(*window, options.demo, run.screenshots_dir);
        } else if (!options.record_path.empty()) {
            return fail("dravik-sim: " + error + "; nothing can be recorded");
        } else {
            std::cerr << "dravik-sim: " << error << "; the demo runs without a window\n";
            run.user = sim::UserKind::Demo;
        }
    }
    if (options.watch) {
        // The scripted user holds the device, as headless; the window shows
        // what it does.
        sim::DeviceWindow::Settings settings;
        settings.scale = options.scale;
        settings.screenshots_dir = run.screenshots_dir;
        settings.feed = std::move(feed);
        settings.watch = true;
        settings.watch_pace_ms = int(options.watch_pace_ms);
        settings.watched_name = fs::path(options.script_path).filename().string();
        window = sim::DeviceWindow::open(std::move(settings), &error);
        if (!window) return fail("dravik-sim: " + error + "; the script cannot be watched");
        sim::DeviceWindow* shown = window.get();
        run.before_action = [shown](const sim::ScriptAction* a) { shown->watch_action(a ? a->line : 0); };
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
    // The recording, whole, takes its place however the run ended.
    if (!recorder.commit(&error)) {
        std::cerr << "dravik-sim: " << error << "; nothing was recorded\n";
        return kBadInput;
    }
    sim::journal().close();
    return code;
}
