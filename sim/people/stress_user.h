// The stress user: `dravik-sim --stress ACTIONS [--seed N]` hands the device
// to a person who does ACTIONS random things with it (taps, buttons,
// answers, waits, now and then a pulled battery or a picture of the
// screen), chosen from the table in stress_chooser.cpp, and checks after each
// one what must always hold (invariants.h).  The same seed on the same
// state folder and profile gives the same run.
//
// The run goes on in a child process, so that a crash or a sanitizer
// report is seen too.  On a violation the actions done so far are replayed
// in fresh children on copies of the starting state folder, dropping
// actions for as long as the violation stays; the shortest script found is
// written beside a copy of that state folder, under names no earlier
// finding has, and `--script` with `--check` shows the violation again.  An
// output that cannot be written (a full disk) or memory that runs out is
// the host's failure: said as such, and no finding is written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "people/script.h"

namespace sim {

struct StressSettings {
    uint64_t actions = 1000;
    uint64_t seed = 1;
    std::string state_dir;        // opened and checked by the caller
    std::string journal_path;     // "" : a private one
    std::string screenshots_dir;
    std::string profile_path;     // for the command that reproduces a finding
    uint64_t busy_limit_ms = 60000;
    std::string out_dir = ".";    // where a finding's script and state folder go
};

// Runs the stress user; the simulator's exit code (0: nothing found, 1: a
// violation, written and reported on standard error).
int run_stress(const StressSettings& settings);

// The random person: hands out one action at a time while the program
// waits, looking at the screen to choose.  Each action is also appended,
// as its script line, to `record` when there is one (a line it cannot take
// is output_failed()).
class StressChooser {
public:
    StressChooser(uint64_t seed, uint64_t actions, OutputStream* record);
    bool next(ScriptAction* action);
    uint64_t done() const { return done_; }

    // One row of the table of what the person does.
    struct Row {
        int weight;
        const char* what;
        bool (*possible)();
        std::string (*make)(StressChooser& self);  // the action as a script line
    };
    static const std::vector<Row>& table();

    // Random numbers that are the same on every host: [0, n).
    uint64_t below(uint64_t n);
    int between(int lo, int hi) { return lo + int(below(uint64_t(hi - lo + 1))); }

private:
    uint64_t state_;
    uint64_t left_;
    uint64_t done_ = 0;
    OutputStream* record_;
};

// The first line a sanitizer wrote in a process's standard error (what
// kind of fault), "" when none did.
std::string sanitizer_report(const std::string& err);
// "signal 11 (Segmentation fault)"
std::string signal_name(int sig);

// Drops actions while `shows` still says the violation is there: halves of
// the list, then quarters, ... down to single actions, until no single
// action can go.  At most `most_tries` calls of `shows`.
std::vector<std::string> shrink_actions(std::vector<std::string> actions,
                                        const std::function<bool(const std::vector<std::string>&)>& shows,
                                        int most_tries);

}  // namespace sim
