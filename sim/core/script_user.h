// The users the headless simulator knows: the scripted user, who performs a
// script's actions one by one whenever the program waits, and the demo.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "device.h"
#include "user.h"

namespace sim {

// An action the script asks for cannot be done (no message box open, no
// such control, a button another window covers), exit code 2; or what the
// script expects is not what the device shows, exit code 1.  The run stops
// with this message, "FILE:LINE: ...", one line for each thing wrong.
struct ScriptError : std::runtime_error {
    explicit ScriptError(const std::string& what, int exit_code = 2)
        : std::runtime_error(what), exit_code(exit_code) {}
    int exit_code;
};

std::unique_ptr<User> make_user(const RunOptions& options);

// Where a screenshot named in a script or by the demo is written.
std::string screenshot_path(const std::string& dir, const std::string& file);
// Writes the screen to `path` (PNG) and journals it; false on failure.
bool take_screenshot(const std::string& path, std::string* error);

}  // namespace sim
