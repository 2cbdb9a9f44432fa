// The third step of a run: the person who holds the device is chosen, and
// the device runs until they are done.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "base/journal.h"
#include "device/power.h"
#include "device_window.h"
#include "kernel/local_time.h"
#include "people/invariants.h"
#include "people/script_user.h"
#include "people/stress_user.h"
#include "run_steps.h"
#include "window_user.h"

namespace sim {

namespace {

namespace fs = std::filesystem;

// A script run with every action checked: a violation is named with the
// script line of the action after which it showed, and ends the run (1).
int run_checked(const Options& options, RunOptions run) {
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
        if (!journal().open(journal_path, &error)) {
            ::rmdir(own_folder.c_str());
            return fail("dravik-sim: " + error);
        }
        journal().set_batched(true);
    }
    auto remove_own = [own_folder] {
        if (own_folder.empty()) return;
        ::unlink((own_folder + "/journal.jsonl").c_str());
        ::rmdir(own_folder.c_str());
    };
    CheckSettings check;
    check.journal_path = journal_path;
    check.busy_limit_ms = options.busy_limit_ms;
    std::string script = options.script_path;
    check.report = [script, remove_own](const Violation& v) {
        std::cerr << script << ":" << v.line << ": "
                  << (v.line ? "after this action: " : "before the first action: ") << v.what << " [" << v.kind
                  << "]" << std::endl;
        remove_own();
        std::_Exit(1);
    };
    CheckingUser user(make_user(run), check);
    int code = run_device(user, run.state_dir, kScriptLocalTime);
    journal().close();
    remove_own();
    return code;
}

}  // namespace

int choose_person_and_run(const Options& options, CheckedRun* checked) {
    std::string error;
    RunOptions& run = checked->run;
    WindowFeed& feed = checked->feed;
    const std::string& state_dir = checked->state_dir;

    if (checked->stress) {
        StressSettings settings;
        settings.actions = options.stress_actions;
        settings.seed = options.seed;
        settings.state_dir = state_dir;
        settings.journal_path = options.journal_path;
        settings.screenshots_dir = run.screenshots_dir;
        settings.profile_path = options.profile_path;
        settings.busy_limit_ms = options.busy_limit_ms;
        return run_stress(settings);
    }
    if (options.check) return run_checked(options, run);

    Recorder recorder;
    std::unique_ptr<DeviceWindow> window;
    std::unique_ptr<Person> window_user;
    if (run.user == UserKind::Window) {
        DeviceWindow::Settings settings;
        settings.scale = options.scale;
        settings.screenshots_dir = run.screenshots_dir;
        settings.feed = std::move(feed);
        if (!options.record_path.empty()) settings.recorder = &recorder;
        window = DeviceWindow::open(std::move(settings), &error);
        if (window) {
            // Only now is anything written for the recording.
            if (!options.record_path.empty() &&
                !recorder.open(checked->recording, &error))
                return fail(error);
            window_user = make_window_user(*window, options.demo, run.screenshots_dir);
        } else if (!options.record_path.empty()) {
            return fail("dravik-sim: " + error + "; nothing can be recorded");
        } else {
            std::cerr << "dravik-sim: " << error << "; the demo runs without a window\n";
            run.user = UserKind::Demo;
        }
    }
    if (options.watch) {
        // The scripted user holds the device, as headless; the window shows
        // what it does.
        DeviceWindow::Settings settings;
        settings.scale = options.scale;
        settings.screenshots_dir = run.screenshots_dir;
        settings.feed = std::move(feed);
        settings.watch = true;
        settings.watch_pace_ms = int(options.watch_pace_ms);
        settings.watched_name = fs::path(options.script_path).filename().string();
        window = DeviceWindow::open(std::move(settings), &error);
        if (!window) return fail("dravik-sim: " + error + "; the script cannot be watched");
        DeviceWindow* shown = window.get();
        run.before_action = [shown](const ScriptAction* a) { shown->watch_action(a ? a->line : 0); };
    }
    std::unique_ptr<Person> headless_user;
    if (!window_user) headless_user = make_user(run);
    // A script repeats exactly, its clock included; the demo and the window
    // go by the host's clock.
    const char* clock_start = window_user || run.user != UserKind::Script ? nullptr : kScriptLocalTime;
    int code = run_device(window_user ? *window_user : *headless_user, run.state_dir, clock_start);
    headless_user.reset();
    window_user.reset();
    window.reset();
    // The recording, whole, takes its place however the run ended.
    if (!recorder.commit(&error)) {
        std::cerr << "dravik-sim: " << error << "; nothing was recorded\n";
        return kBadInput;
    }
    journal().close();
    return code;
}

}  // namespace sim
