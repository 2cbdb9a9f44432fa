// The stress user's runs in child processes: the random run of a seed and
// each replay of its actions go on in a child of their own, so that a
// crash or a sanitizer report is seen too.  The child tells its parent of
// a violation or of a failure of the host through a pipe, which a full disk
// cannot stop, and hands its standard error over another.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/person.h"
#include "people/invariants.h"

namespace sim {

// How a run in a child ended.
struct ChildOutcome {
    bool clean = false;     // ran to its end, nothing violated
    bool refused = false;   // exit 2: an action could not be done, or bad input
    std::string host;       // the host failed (a full disk, no memory): what it said
    Violation violation;    // otherwise
    std::string detail;     // crashes: the signal or the sanitizer's report line
    std::string stderr_text;
};

// Runs `body` in a child process and tells how it ended.
ChildOutcome run_child(const std::function<int()>& body);

// In the child: the run, whose end for want of an output is the host's.
int run_as_child(Person& user, const std::string& state_dir);

// In the child: a violation goes to the parent, and the run ends.
void report_violation(const Violation& v);

// Both runs ended in the same violation (for a crash, of the same kind).
bool same_violation(const ChildOutcome& a, const ChildOutcome& b);

// The host failed (a full disk, no memory): said as such, and nothing of
// the finding is written.
int host_failure(uint64_t seed, const std::string& what);

}  // namespace sim
