// The device's wall clock: set at power-on (from the profile's
// "local_time"; else, for a script, a fixed time so that every run repeats
// exactly; else the host's local time) and moved on by the device clock.
#pragma once

#include <windows.h>

namespace sim {

// Where a scripted run's clock starts when the profile gives no local_time.
inline const char* const kScriptLocalTime = "2004-01-01 09:00:00";

// Reads the profile; without local_time there, `fallback` ("YYYY-MM-DD
// HH:MM:SS") or, when null, the host's clock.
void set_power_on_time(const char* fallback = nullptr);
SYSTEMTIME device_local_time();

}  // namespace sim
