// The users the headless simulator knows: the scripted user, who performs a
// script's actions one by one whenever the program waits, and the demo.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "device/person.h"
#include "device/power.h"

namespace sim {

// An action the script asks for cannot be done (no message box open, no
// such control): the run stops with this message, "FILE:LINE: ...".
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::unique_ptr<User> make_user(const RunOptions& options);

// Where a screenshot named in a script or by the demo is written.
std::string screenshot_path(const std::string& dir, const std::string& file);
// Writes the screen to `path` (PNG) and journals it; false on failure.
bool take_screenshot(const std::string& path, std::string* error);

}  // namespace sim
