// One device, one simulator: a state folder is held by one simulator
// process at a time, so that two never write one registry or file store.
//
// The hold is the system's lock on the folder itself (flock), which ends
// with the process however it ends (SIGKILL included: a pulled battery
// never leaves the folder held) and is shared by the processes it forks
// (the stress user's runs).  Nothing is written into the folder for it.
#pragma once

#include <string>

namespace sim {

// Holds the state folder `dir` (which must exist) until this process ends.
// A folder this process (or the one it was forked from) holds already is
// held again at no cost.  False with *error, one line, when another
// process holds it: "<dir>: the state folder is in use by another
// simulator (process 1234)" (the process named where the system tells).
bool lock_state_folder(const std::string& dir, std::string* error);

// Whether this process holds `dir`.
bool state_folder_held(const std::string& dir);

}  // namespace sim
