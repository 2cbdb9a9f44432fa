#include "kernel/out_of_memory.h"

#include <unistd.h>

#include <new>

namespace sim {

namespace {

// Called by operator new when it has no memory: nothing here may allocate.
void out_of_memory() {
    static const char kLine[] =
        "dravik-sim: out of memory: the host has no more memory to give the simulator (exit code 3)\n";
    ssize_t ignored = ::write(2, kLine, sizeof kLine - 1);
    (void)ignored;
    _exit(kOutOfMemoryExitCode);
}

}  // namespace

void stop_when_memory_runs_out() { std::set_new_handler(out_of_memory); }

}  // namespace sim
