// The first step of a run: everything the user gave is read and checked,
// the places of the outputs too, before anything is written.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "base/host_file.h"
#include "base/output_file.h"
#include "base/profile.h"
#include "device/profile_loading.h"
#include "drivers/alarm_sound.h"
#include "people/screen_compare.h"
#include "people/script.h"
#include "run_steps.h"

namespace sim {

namespace {

namespace fs = std::filesystem;

// A window system to open the device window on.
bool display_present() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
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

}  // namespace

int check_inputs(const Options& options, CheckedRun* checked) {
    std::string error;
    RunOptions& run = checked->run;
    bool& stress = checked->stress;
    WindowFeed& feed = checked->feed;
    std::string& state_dir = checked->state_dir;
    StateFolder& state = checked->state;
    OutputRules& with_journal = checked->with_journal;

    if (!options.profile_path.empty() && !load_profile(&profile(), options.profile_path, &error)) return fail(error);

    stress = options.stress_actions > 0;
    if (stress) {
        run.user = UserKind::Script;
    } else if (!options.script_path.empty()) {
        if (!parse_script(options.script_path, &run.script, &error)) return fail(error);
        if (!load_expected_pictures(&run.script, &error)) return fail(error);
        run.user = UserKind::Script;
    } else {
        // The device window when there is a display to show it on (with the
        // demo acting in it for --demo); without one, the demo.
        run.user = display_present() ? UserKind::Window : UserKind::Demo;
    }
    bool scripted = run.user == UserKind::Script;

    // Recording and watching need the window.
    if (!options.record_path.empty() && run.user != UserKind::Window)
        return fail("dravik-sim: --record needs the device window, and there is no display (DISPLAY or "
                    "WAYLAND_DISPLAY)");
    if (options.watch && !display_present())
        return fail("dravik-sim: --watch needs the device window, and there is no display (DISPLAY or "
                    "WAYLAND_DISPLAY)");

    // Window events for the window's own tests.
    const char* feed_env = std::getenv("DRAVIK_WINDOW_FEED");
    std::string feed_path = (run.user == UserKind::Window || options.watch) && feed_env ? feed_env : "";
    if (!feed_path.empty() && !feed.load(feed_path, &error)) return fail(error);

    state_dir = options.state_dir.empty() ? StateFolder::default_dir() : options.state_dir;
    add_device_factory_files();
    if (!state.check(state_dir, options.factory_reset, &error)) {
        if (error.find(state_dir) == std::string::npos) error = state_dir + ": " + error;
        return fail(error);
    }

    // The outputs: none may be an input or lie inside the state folder,
    // nor go where a link, a FIFO, a device or a folder stands.
    OutputRules& rules = output_rules();
    rules.set_state_folder(state_dir);
    if (!options.profile_path.empty()) rules.add_input("the --profile file", options.profile_path);
    if (!options.script_path.empty()) rules.add_input("the --script file", options.script_path);
    if (!feed_path.empty()) rules.add_input("the window feed", feed_path);
    // Each picture once, however many lines name it.
    std::set<std::string> pictures;
    for (size_t i = 0; i < run.script.size(); ++i) {
        ScriptAction a = run.script.action(i);
        if (a.kind == ScriptAction::ExpectScreen && pictures.insert(a.picture_path).second)
            rules.add_input("the picture of expect-screen on line " + std::to_string(a.line), a.picture_path);
    }
    std::string why;
    if (!options.journal_path.empty()) {
        why = rules.problem(options.journal_path);
        if (!why.empty()) return fail(options.journal_path + ": cannot be the journal: " + why);
        why = folder_problem(options.journal_path);
        if (!why.empty()) return fail(options.journal_path + ": cannot open the journal: " + why);
    }
    // The other outputs may not be the journal either.
    with_journal = rules;
    if (!options.journal_path.empty()) with_journal.add_input("the --journal file", options.journal_path);
    run.screenshots_dir =
        options.screenshots_dir.empty() ? default_screenshots_dir(scripted) : options.screenshots_dir;
    if (rules.inside_state_folder(run.screenshots_dir))
        return fail(run.screenshots_dir + ": cannot be the screenshots folder: it lies inside the state folder " +
                    OutputRules::place_of(state_dir).canonical);
    if (!folder_can_be_made(run.screenshots_dir, &why))
        return fail(run.screenshots_dir + ": cannot make the screenshots folder: " + why);
    for (size_t i = 0; i < run.script.size(); ++i) {
        ScriptAction a = run.script.action(i);
        auto refuse = [&](const std::string& what, const std::string& path) {
            why = with_journal.problem(path);
            if (why.empty()) return false;
            error = one_line(options.script_path + ":" + std::to_string(a.line),
                             what + " \"" + path + "\", which cannot be written there: " + why);
            return true;
        };
        if ((a.kind == ScriptAction::Screenshot || a.kind == ScriptAction::ScreenshotFrame) &&
            refuse("the screenshot is", screenshot_path(run.screenshots_dir, a.file)))
            return fail(error);
        // What a failing expect-screen writes is known now too.
        if (a.kind == ScriptAction::ExpectScreen && pictures.erase(a.picture_path) &&
            (refuse("expect-screen, when it does not hold, writes", picture_beside(a.picture_path, "seen")) ||
             refuse("expect-screen, when it does not hold, writes", picture_beside(a.picture_path, "diff"))))
            return fail(error);
    }
    // The stress user's findings go to the current folder.
    if (stress && rules.inside_state_folder("."))
        return fail("dravik-sim: --stress writes its findings in the current folder, which lies inside the state "
                    "folder " + OutputRules::place_of(state_dir).canonical + "; run it from another folder");
    checked->recording = {options.record_path, state_dir, options.profile_path, options.force};
    if (!options.record_path.empty()) {
        why = Recorder::place_problem(checked->recording, with_journal);
        if (!why.empty()) return fail(options.record_path + ": cannot record into it: " + why);
    }
    return 0;
}

}  // namespace sim
