// Running out of memory is the host's failure, not the input's: wherever it
// happens the simulator says so in one line and ends with an exit code of
// its own, never with an abort.
#pragma once

namespace sim {

// The exit code of a simulator that ran out of memory.
constexpr int kOutOfMemoryExitCode = 3;

// From now on, an allocation that cannot be had prints
// "dravik-sim: out of memory: ..." on standard error and ends the process
// with kOutOfMemoryExitCode.
void stop_when_memory_runs_out();

}  // namespace sim
