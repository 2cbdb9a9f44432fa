// The device's wall clock: set at power-on (from the profile's
// "local_time", or the host's local time) and moved on by the device clock.
#pragma once

#include <windows.h>

namespace sim {

void set_power_on_time();  // reads the profile, or the host's clock
SYSTEMTIME device_local_time();

}  // namespace sim
