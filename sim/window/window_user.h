// The person at the device window: whenever the program waits for input,
// the window waits for the mouse and the keyboard (or for the next timer).
// With the demo, the demo acts first and hands the device over when done.
#pragma once

#include <memory>
#include <string>

#include "base/person.h"
#include "device_window.h"

namespace sim {

std::unique_ptr<Person> make_window_user(DeviceWindow& window, bool demo, const std::string& screenshots_dir);

}  // namespace sim
