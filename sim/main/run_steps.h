// The steps of a run on one device: every input is checked, then the
// outputs are opened, then the person who holds the device is chosen and
// the device powered on.
#pragma once

#include <string>

#include "base/output_file.h"
#include "files/state_folder.h"
#include "options.h"
#include "people/script_user.h"
#include "recorder.h"
#include "window_feed.h"

namespace sim {

// What the check of the inputs found, for the steps after it.
struct CheckedRun {
    RunOptions run;
    bool stress = false;           // the stress user holds the device
    WindowFeed feed;               // window events for the window's own tests
    std::string state_dir;
    StateFolder state;             // checked; opened with the outputs
    OutputRules with_journal;      // the outputs' rules, with the journal among the inputs
    Recorder::Settings recording;  // where the device window records, if it does
};

// The exit code of a run refused for what it was given.
const int kBadInput = 2;

// Every complaint is one line on standard error; returns kBadInput.
int fail(std::string message);

// Every input is read and checked before any output is opened or the
// state folder is touched: a refused run changes and creates nothing.
// 0 when all hold, else the exit code, the reason said.
int check_inputs(const Options& options, CheckedRun* checked);

// Locks the state folder and makes the outputs: the journal, the
// screenshots folder, the state folder.  0, else the exit code.
int open_outputs(const Options& options, CheckedRun* checked);

// The person who holds the device: the stress user, the script with its
// checks, the device window (perhaps watching a script) or the headless
// user; the device runs until they are done.  The run's exit code.
int choose_person_and_run(const Options& options, CheckedRun* checked);

}  // namespace sim
