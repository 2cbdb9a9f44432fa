// A finding of the stress user made short: the actions up to the violation
// are replayed on fresh copies of the starting state, dropping actions for
// as long as the violation stays (shrink_actions, stress_user.h), and the
// shortest script found is written beside a copy of that state folder.
#pragma once

#include <string>

#include "people/invariants.h"
#include "people/stress_run.h"
#include "people/stress_user.h"

namespace sim {

// The random run of `s` ended in `found`; its actions are in `actions_path`,
// the state it began from in `start_state`, both in the work folder `work`.
// Writes the finding and returns the exit code (1), or the host's failure.
int shrink_finding(const StressSettings& s, const std::string& work, const std::string& start_state,
                   const std::string& actions_path, const CheckSettings& check, const ChildOutcome& found);

}  // namespace sim
