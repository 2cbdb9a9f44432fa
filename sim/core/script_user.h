// The users the headless simulator knows: the scripted user, who performs a
// script's actions one by one whenever the program waits, and the demo.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "device.h"
#include "user.h"

namespace sim {

// An action the script asks for cannot be done (no message box open, no
// such control): the run stops with this message, "FILE:LINE: ...".
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::unique_ptr<User> make_user(const RunOptions& options);

// The scripted user of `options.script`; once the script is used up it
// asks `more` for the next action (called while the program waits, so it
// may look at the screen), and powers the device off when `more` has none.
using MoreActions = std::function<bool(ScriptAction* next)>;
std::unique_ptr<User> make_script_user(const RunOptions& options, MoreActions more);

// Where a screenshot named in a script or by the demo is written.
std::string screenshot_path(const std::string& dir, const std::string& file);
// Writes the screen to `path` (PNG) and journals it; false on failure.
bool take_screenshot(const std::string& path, std::string* error);

}  // namespace sim
