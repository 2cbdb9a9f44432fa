// dravik-sim: checks everything the user gave (command line, profile,
// script) before it touches the device's storage, then powers the device on.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "device.h"
#include "device_window.h"
#include "journal.h"
#include "options.h"
#include "profile.h"
#include "script.h"
#include "alarm_sound.h"
#include "invariants.h"
#include "script_user.h"
#include "state_folder.h"
#include "stress_user.h"
#include "window_user.h"

namespace {

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
    run.given_user = &user;
    int code = sim::run_device(run);
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

    if (!options.profile_path.empty() && !sim::profile().load(options.profile_path, &error)) return fail(error);

    sim::RunOptions run;
    bool stress = options.stress_actions > 0;
    if (stress) {
        run.user = sim::UserKind::Script;
    } else if (!options.script_path.empty()) {
        if (!sim::parse_script(options.script_path, &run.script, &error)) return fail(error);
        run.user = sim::UserKind::Script;
    } else {
        // The device window when there is a display to show it on (with the
        // demo acting in it for --demo); without one, the demo.
        run.user = display_present() ? sim::UserKind::Window : sim::UserKind::Demo;
    }
    bool scripted = run.user == sim::UserKind::Script;

    // Window events for the window's own tests.
    sim::WindowFeed feed;
    const char* feed_path = std::getenv("DRAVIK_WINDOW_FEED");
    if (run.user == sim::UserKind::Window && feed_path && *feed_path && !feed.load(feed_path, &error))
        return fail(error);

    if (!sim::journal().open(options.journal_path, /*append*/ false, &error)) return fail(error);
    run.journal_path = options.journal_path;
    // The stress run writes the journal from its own process.
    if (stress) sim::journal().close();

    run.screenshots_dir =
        options.screenshots_dir.empty() ? sim::default_screenshots_dir(scripted) : options.screenshots_dir;
    std::error_code ec;
    std::filesystem::create_directories(run.screenshots_dir, ec);
    if (ec || !std::filesystem::is_directory(run.screenshots_dir, ec))
        return fail(run.screenshots_dir + ": cannot make the screenshots folder" +
                    (ec ? ": " + ec.message() : std::string()));

    std::string state_dir = options.state_dir.empty() ? sim::StateFolder::default_dir() : options.state_dir;
    sim::add_device_factory_files();
    sim::StateFolder state;
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
    std::unique_ptr<sim::User> window_user;
    if (run.user == sim::UserKind::Window) {
        sim::DeviceWindow::Settings settings;
        settings.scale = options.scale;
        settings.screenshots_dir = run.screenshots_dir;
        settings.feed = std::move(feed);
        window = sim::DeviceWindow::open(std::move(settings), &error);
        if (window) {
            window_user = sim::make_window_user(*window, options.demo, run.screenshots_dir);
            run.given_user = window_user.get();
        } else {
            std::cerr << "dravik-sim: " << error << "; the demo runs without a window\n";
            run.user = sim::UserKind::Demo;
        }
    }
    int code = sim::run_device(run);
    window_user.reset();
    window.reset();
    return code;
}
