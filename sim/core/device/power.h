// Power-on to power-off: boots the simulated handheld, lets the shell start
// the program, drives the user (a script, the demo or the device window)
// and ends when the user is done.
#pragma once

#include <string>
#include <vector>

#include "device/person.h"
#include "people/script.h"

namespace sim {

enum class UserKind { Demo, Script, Window };

struct RunOptions {
    std::string state_dir;        // already opened and checked by the caller
    std::string journal_path;     // "" for none
    std::string screenshots_dir;  // where screenshots land ("" : current folder)
    UserKind user = UserKind::Demo;
    Script script;                // parsed, when user == Script
    int scale = 2;                // device window scale
    // The user made by the caller (the device window's); when set, `user`
    // and `script` are not looked at.
    User* given_user = nullptr;
};

// Boots the device: clears the screen, starts the shell, which takes the
// application buttons.  run_device does this at every power-on and reset;
// tests of the window system call it directly.
void boot_device();
// Everything the device holds only in memory goes; the registry and the
// file store keep what was written.
void tear_down_device();

// Runs the device until the user is done; returns the simulator's exit code.
int run_device(const RunOptions& options);

}  // namespace sim
