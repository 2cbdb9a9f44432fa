// Power-on to power-off: boots the simulated handheld, lets the shell start
// the program, lets the person act whenever the program waits, and ends
// when the person is done.
#pragma once

#include <string>

#include "base/person.h"

namespace sim {

// Boots the device: clears the screen, starts the shell, which takes the
// application buttons.  run_device does this at every power-on and reset;
// tests of the window system call it directly.
void boot_device();
// Everything the device holds only in memory goes; the registry and the
// file store keep what was written.
void tear_down_device();

// Runs the device, held by `person` (a script, the demo or the person at
// the device window), until the person is done; returns the simulator's
// exit code.
// `state_dir` is the state folder (already opened), read again after a
// power cycle; `clock_start` ("YYYY-MM-DD HH:MM:SS") is the device clock at
// power-on when the profile gives no local_time, null for the host's time.
int run_device(Person& person, const std::string& state_dir, const char* clock_start = nullptr);

// Why the last run_device ended because something could not be written
// (OutputFailed: the host failed, exit code 2); "" when it did not.
const std::string& output_failure();

}  // namespace sim
