#include "alarm_sound.h"

#include <cmath>
#include <cstdint>

#include "state_folder.h"

namespace sim {

namespace {

void put16(std::string& s, uint16_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8);
}

void put32(std::string& s, uint32_t v) {
    put16(s, uint16_t(v & 0xFFFF));
    put16(s, uint16_t(v >> 16));
}

}  // namespace

std::string make_alarm_wav() {
    const uint32_t rate = 22050;
    // Three rising-falling beeps: 880 Hz and 660 Hz alternating, 200 ms each
    // with a short gap, shaped so they start and end without clicks.
    const double beep_s = 0.2, gap_s = 0.05;
    const int beeps = 5;
    std::string pcm;
    for (int b = 0; b < beeps; ++b) {
        double freq = (b % 2 == 0) ? 880.0 : 660.0;
        uint32_t n = uint32_t(beep_s * rate);
        for (uint32_t i = 0; i < n; ++i) {
            double t = double(i) / rate;
            double attack = std::min(1.0, t / 0.01), release = std::min(1.0, (beep_s - t) / 0.02);
            double env = std::min(attack, release);
            double v = std::sin(2 * M_PI * freq * t) + 0.3 * std::sin(2 * M_PI * 2 * freq * t);
            put16(pcm, uint16_t(int16_t(v / 1.3 * env * 20000)));
        }
        for (uint32_t i = 0; i < uint32_t(gap_s * rate); ++i) put16(pcm, 0);
    }
    std::string wav = "RIFF";
    put32(wav, uint32_t(36 + pcm.size()));
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1);  // PCM
    put16(wav, 1);  // mono
    put32(wav, rate);
    put32(wav, rate * 2);
    put16(wav, 2);
    put16(wav, 16);
    wav += "data";
    put32(wav, uint32_t(pcm.size()));
    return wav + pcm;
}

void add_device_factory_files() { add_factory_file(u"\\Windows\\Alarm3.WAV", make_alarm_wav()); }

}  // namespace sim
