// The users the headless simulator knows: the scripted user, who performs a
// script's actions one by one whenever the program waits, and the demo.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/person.h"
#include "people/script.h"

namespace sim {

enum class UserKind { Demo, Script, Window };

struct RunOptions {
    std::string state_dir;        // already opened and checked by the caller
    std::string journal_path;     // "" for none
    std::string screenshots_dir;  // where screenshots land ("" : current folder)
    UserKind user = UserKind::Demo;
    Script script;                // parsed, when user == Script
    int scale = 0;                // device window scale (0: the largest that fits)
    // Called before each action of the script that takes a turn (not the
    // expect- lines), and with null once the script is done, before the
    // device loses power: the device window shows the run at a person's
    // pace there.  What the device does is the same with it or without.
    std::function<void(const ScriptAction*)> before_action;
};

// An action the script asks for cannot be done (no message box open, no
// such control, a button another window covers), exit code 2; or what the
// script expects is not what the device shows, exit code 1.  The run stops
// with this message, "FILE:LINE: ...", one line for each thing wrong.
struct ScriptError : PersonGivesUp {
    explicit ScriptError(const std::string& message, int exit_code = 2) : PersonGivesUp(message, message, exit_code) {}
};

// The headless person: the scripted user for a script, else the demo.
std::unique_ptr<Person> make_user(const RunOptions& options);

// The scripted user of `options.script`; once the script is used up it
// asks `more` for the next action (called while the program waits, so it
// may look at the screen), and powers the device off when `more` has none.
using MoreActions = std::function<bool(ScriptAction* next)>;
std::unique_ptr<Person> make_script_user(const RunOptions& options, MoreActions more);

struct Window;

// What `click` (a control of the active window) and `click-through` (a
// push button of the program, the active window's first) would act on now
// for `a`'s id or text; null when nothing.  The recorder asks them which
// words name what the person tapped.
Window* control_click_finds(const ScriptAction& a);
Window* push_button_click_through_finds(const ScriptAction& a);

// Where a screenshot named in a script or by the demo is written.
std::string screenshot_path(const std::string& dir, const std::string& file);
// Writes the screen to `path` (PNG) and journals it; false on failure.
bool take_screenshot(const std::string& path, std::string* error);

}  // namespace sim
