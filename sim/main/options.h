// The simulator's command line.
#pragma once

#include <cstdint>
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
    bool force = false;           // --record may replace an existing file
    bool factory_reset = false;
    bool demo = false;
    // Play the script in the device window at a person's pace.
    bool watch = false;
    uint64_t watch_pace_ms = 600;
    bool watch_pace_given = false;
    int scale = 0;  // 1..8; 0: the largest whose window fits the display
    // The stress user: this many random actions (0: none), from this seed.
    uint64_t stress_actions = 0;
    uint64_t seed = 1;
    bool seed_given = false;
    // Check what must always hold after every action of a script.
    bool check = false;
    uint64_t busy_limit_ms = 60000;
    bool busy_limit_given = false;

    // --check PATH... (without --script): a suite of scripts, files or
    // folders of them, each run in a child of its own.
    std::vector<std::string> check_paths;
    unsigned jobs = 0;            // -j N: children at once; 0: the processors
    std::string junit_path;       // --junit FILE
    std::string report_dir;       // --report DIR
    bool accept = false;          // --accept
    unsigned shard = 1, shards = 1;  // --shard K/N
    bool shard_given = false;
    // --seeds A-B: the stress user once per seed, as a suite.
    uint64_t seed_first = 0, seed_last = 0;
    bool seeds_given = false;

    bool suite() const { return (check && script_path.empty()) || seeds_given; }
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
