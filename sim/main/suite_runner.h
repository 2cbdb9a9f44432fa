// A folder of scripts as a test suite: `dravik-sim --check PATH...` runs
// every script in its own dravik-sim child process, on a fresh copy of its
// starting state, several at once, and says for each whether it held.
//
// A script's starting state and profile come from its leading comment
// lines (`# state: DIR`, `# profile: FILE`, relative to the script's
// folder), else from a folder NAME.state beside NAME.txt, else from the
// command line's --state and --profile, else a device fresh from the
// factory and the healthy profile.  The folder a script starts from is
// only ever copied.
//
// Each result is one line, in the scripts' order however many run at once:
//
//   held          examples/full-run.txt  (1.52 s)
//   did not hold  suite/fail.txt:4: expect-text: expected "A", seen "B"  (0.31 s; evidence: check-evidence/suite-fail)
//   refused       suite/bad.txt:3: no message box is open  (...)
//   crashed       suite/crash.txt:2: the simulator died of signal 11 (Segmentation fault)  (...)
//   3 passed, 3 failed
//
// A script that does not hold, is refused once the device is on, or
// crashes leaves evidence: the screen before its failing line (the script
// replayed up to that line in another child, which repeats the run
// exactly), the journal's last lines, its output, and for expect-screen
// the expected, seen and difference pictures.  --report DIR writes a static
// HTML page over all of it; --junit FILE the results as JUnit XML; --shard
// K/N runs the K-th of N shares; --accept takes the seen pictures of failed
// expect-screen lines as the expected ones.
//
// The stress user over a range of seeds (`--stress N --seeds A-B`) runs the
// same way, one child per seed, each on a fresh copy of the state folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct SuiteSettings {
    std::string self;                 // this program, run once per script
    std::vector<std::string> paths;   // scripts, and folders searched for *.txt
    std::string state_dir;            // the starting state of scripts that name none; "" the factory's
    std::string profile_path;         // the profile of scripts that name none; "" the healthy device
    unsigned jobs = 0;                // children at once; 0: the machine's processors
    unsigned shard = 1, shards = 1;   // run the shard-th of `shards` shares
    std::string junit_path;           // "" : no JUnit file
    std::string report_dir;           // "" : evidence only, in check-evidence
    bool accept = false;
    // The stress user over seeds instead of scripts (stress_actions > 0).
    uint64_t stress_actions = 0;
    uint64_t seed_first = 0, seed_last = 0;
    uint64_t busy_limit_ms = 0;       // 0: the stress user's default
};

struct Options;
// The settings the command line gives (options.suite()).
SuiteSettings suite_settings(const Options& options);

// Runs the suite; the exit code: 0 when every script held, 1 when one did
// not, 2 when the command cannot run (no scripts, a place it cannot
// write), each said in one line on standard error.
int run_suite(const SuiteSettings& settings);

// The starting state and profile a script's leading comment lines name
// (`# state: PATH`, `# profile: PATH`), as written ("" when absent), with
// the line each stands on.
struct ScriptHeader {
    std::string state, profile;
    int state_line = 0, profile_line = 0;
};
ScriptHeader read_script_header(const std::string& text);

// The scripts a --check run takes from `paths`: a file as it is; a folder
// searched for *.txt below it (not inside state folders: NAME.state, or a
// folder that holds registry.reg; nor hidden folders), in sorted order.
// False with *error when a path is neither.
bool find_scripts(const std::vector<std::string>& paths, std::vector<std::string>* scripts, std::string* error);

// The scripts of the shard-th (from 1) of `shards` shares: every shards-th
// one in order, starting with the shard-th.
std::vector<size_t> shard_share(size_t count, unsigned shard, unsigned shards);

}  // namespace sim
