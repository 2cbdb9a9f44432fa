#include "sound.h"

#include <windows.h>

#include "clock.h"
#include "filestore.h"
#include "journal.h"
#include "text.h"

namespace sim {

namespace {

uint32_t le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t le16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

std::function<void(const Pcm&)>& output() {
    static std::function<void(const Pcm&)> f;
    return f;
}

}  // namespace

uint64_t Pcm::duration_ms() const {
    uint64_t frame = uint64_t(channels) * (bits / 8);
    if (!rate || !frame) return 0;
    return uint64_t(samples.size() / frame) * 1000 / rate;
}

bool parse_wav(const std::string& b, Pcm* out) {
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return false;
    bool have_fmt = false;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        std::string id = b.substr(at, 4);
        uint32_t size = le32(b, at + 4);
        size_t body = at + 8;
        if (size > b.size() - body) return false;
        if (id == "fmt ") {
            if (size < 16 || le16(b, body) != 1) return false;  // PCM only
            out->channels = le16(b, body + 2);
            out->rate = le32(b, body + 4);
            out->bits = le16(b, body + 14);
            if (!out->channels || !out->rate || (out->bits != 8 && out->bits != 16)) return false;
            have_fmt = true;
        } else if (id == "data") {
            if (!have_fmt) return false;
            out->samples = b.substr(body, size);
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

void set_sound_output(std::function<void(const Pcm&)> play) { output() = std::move(play); }

}  // namespace sim

extern "C" BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
    using namespace sim;
    std::u16string path = sound ? std::u16string(sound) : std::u16string();
    std::string bytes;
    Pcm pcm;
    bool ok = !path.empty() && !(flags & SND_ALIAS) && file_store().read_file(path, &bytes) && parse_wav(bytes, &pcm);
    uint64_t ms = ok ? pcm.duration_ms() : 0;
    log_event("sound", {{"path", to_utf8(path)}, {"played", ok}, {"ms", ms}, {"flags", flags}});
    if (!ok) {
        // Without SND_NODEFAULT the system's default sound would play; the
        // device's default is silence of no length here.
        return FALSE;
    }
    if (output())
        output()(pcm);
    else
        sim::clock().pass(ms);
    return TRUE;
}
