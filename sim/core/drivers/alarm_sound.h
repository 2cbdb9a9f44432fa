// The device's own sounds, synthesised here rather than taken from
// anywhere: the alarm "\Windows\Alarm3.WAV" of the factory image and the
// system's default sound.
#pragma once

#include <string>

namespace sim {

// A RIFF/WAVE file: 16-bit mono PCM at 22050 Hz, about 1.2 seconds of a
// two-tone alarm.
std::string make_alarm_wav();

// The system's default sound, played when a sound cannot be found and the
// caller did not forbid it: one short 1 kHz beep of 16-bit mono PCM.
std::string make_default_sound_wav();

// Puts the files of the factory image that the simulator makes into the
// state folder's factory list (call before opening the state folder).
void add_device_factory_files();

}  // namespace sim
