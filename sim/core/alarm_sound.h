// The device's alarm sound, "\Windows\Alarm3.WAV" of the factory image:
// synthesised here rather than taken from anywhere.
#pragma once

#include <string>

namespace sim {

// A RIFF/WAVE file: 16-bit mono PCM at 22050 Hz, about 1.2 seconds of a
// two-tone alarm.
std::string make_alarm_wav();

// Puts the files of the factory image that the simulator makes into the
// state folder's factory list (call before opening the state folder).
void add_device_factory_files();

}  // namespace sim
