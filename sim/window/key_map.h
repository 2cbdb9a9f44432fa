// The keyboard of the desk as the handheld's buttons: arrows for the pad,
// Enter for its action button, F1 to F4 for the application buttons 193 to
// 196, F5 for 192 and F6 to F9 for 198 to 201.  R, B and L are the
// device's own controls (the reset button, the battery, starting Dravik
// from the shell).  F11 (when recording) and F12 (a picture of the window)
// are the window's own keys.
#pragma once

#include <string>

namespace sim {

// The device key code of a keyboard key (an SDL key code); 0 for none.
int device_key_for(int sdl_key);

// What a person does to the device itself, rather than to a button: each
// is also a script action, named by `script_word`.
enum class DeviceControl { None, SoftReset, PowerCycle, Launch };
DeviceControl device_control_for(int sdl_key);
const char* script_word(DeviceControl c);

// The key map as lines for the simulator's usage text.
std::string window_key_help();

}  // namespace sim
