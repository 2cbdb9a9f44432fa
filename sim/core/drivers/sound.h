// Sound playback: PlaySoundW reads a RIFF/WAVE PCM file from the file store
// and, when synchronous, returns once the sound has ended.  The device
// window plugs in a real output; headless the sound takes its time on the
// device clock while the person (sim::person()) goes on and may act once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sim {

struct Pcm {
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    std::string samples;  // interleaved little-endian
    uint64_t duration_ms() const;
};

// Parses a WAVE file; false when it is not PCM WAVE.
bool parse_wav(const std::string& bytes, Pcm* out);

// Plays `pcm` to its end (synchronous).  Default: only the clock moves.
void set_sound_output(std::function<void(const Pcm&)> play);

// When the sound playing now ends (device time), or nothing while the
// device is silent: each played sound, synchronous or not, plays from its
// PlaySoundW for its length, until a null sound stops it or the device
// loses power.  The device window lights its speaker mark meanwhile.
std::optional<uint64_t> sound_playing_until();
// At power-off and reset: the sound stops.
void stop_sound();

}  // namespace sim
