#include "drivers/alarm_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/device_paths.h"
#include "files/state_folder.h"

namespace sim {

namespace {

const uint32_t kRate = 22050;

void put16(std::string& s, uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}

void put32(std::string& s, uint32_t v) {
    put16(s, uint16_t(v & 0xFFFF));
    put16(s, uint16_t(v >> 16));
}

// One beep of `seconds` at `freq` with its first overtone, shaped so that it
// starts and ends without a click, as 16-bit samples.
void beep(std::string& pcm, double freq, double seconds) {
    uint32_t n = uint32_t(seconds * kRate);
    for (uint32_t i = 0; i < n; ++i) {
        double t = double(i) / kRate;
        double attack = std::min(1.0, t / 0.01), release = std::min(1.0, (seconds - t) / 0.02);
        double env = std::min(attack, release);
        double v = std::sin(2 * M_PI * freq * t) + 0.3 * std::sin(2 * M_PI * 2 * freq * t);
        put16(pcm, uint16_t(int16_t(v / 1.3 * env * 20000)));
    }
}

void silence(std::string& pcm, double seconds) {
    for (uint32_t i = 0; i < uint32_t(seconds * kRate); ++i) put16(pcm, 0);
}

// A RIFF/WAVE file around 16-bit mono samples at kRate.
std::string wave_file(const std::string& pcm) {
    std::string wav = "RIFF";
    put32(wav, uint32_t(36 + pcm.size()));
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1);  // PCM
    put16(wav, 1);  // mono
    put32(wav, kRate);
    put32(wav, kRate * 2);
    put16(wav, 2);
    put16(wav, 16);
    wav += "data";
    put32(wav, uint32_t(pcm.size()));
    return wav + pcm;
}

}  // namespace

std::string make_alarm_wav() {
    // Five beeps, 880 Hz and 660 Hz alternating, 200 ms each with a 50 ms
    // gap after each.
    std::string pcm;
    for (int b = 0; b < 5; ++b) {
        beep(pcm, b % 2 == 0 ? 880.0 : 660.0, 0.2);
        silence(pcm, 0.05);
    }
    return wave_file(pcm);
}

std::string make_default_sound_wav() {
    std::string pcm;
    beep(pcm, 1000.0, 0.15);
    return wave_file(pcm);
}

void add_device_factory_files() { add_factory_file(device_path(kWindowsFolder, u"Alarm3.WAV"), make_alarm_wav()); }

}  // namespace sim
