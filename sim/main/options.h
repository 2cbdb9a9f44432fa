// The simulator's command line.
#pragma once

#include <string>
#include <vector>

namespace sim {

extern const char* const kSimulatorVersion;

struct Options {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;

    std::string state_dir;        // "" : the per-user default folder
    std::string profile_path;     // "" : the healthy device
    std::string script_path;      // "" : no scripted user
    std::string journal_path;     // "" : no journal
    std::string screenshots_dir;  // "" : the default for the user kind
    std::string record_path;      // "" : the device window records nothing
    bool factory_reset = false;
    bool demo = false;
    int scale = 2;  // 1..8
};

// Reads the arguments after the program name.  On a bad command line
// returns false with *error naming the offending option (without the
// "dravik-sim: " prefix).  --help and --version must stand alone.
bool parse_options(const std::vector<std::string>& args, Options* out, std::string* error);

// The text printed by --help and --version.
std::string usage_text();
std::string version_text();

// Where screenshots go when --screenshots is not given.
const char* default_screenshots_dir(bool scripted);

}  // namespace sim
