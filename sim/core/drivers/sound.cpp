#include "drivers/sound.h"

#include <windows.h>

#include "base/journal.h"
#include "base/person.h"
#include "drivers/alarm_sound.h"
#include "files/filestore.h"
#include "base/clock.h"
#include "base/text.h"
#include "resources/little_endian.h"

namespace sim {

namespace {

const uint8_t* bytes_at(const std::string& b, size_t at) { return reinterpret_cast<const uint8_t*>(b.data()) + at; }
uint32_t le32(const std::string& b, size_t at) { return read_le32(bytes_at(b, at)); }
uint16_t le16(const std::string& b, size_t at) { return read_le16(bytes_at(b, at)); }

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

namespace {

// A synchronous sound headless: the program takes no input until the sound
// has ended, but the person holding the device goes on meanwhile.  They let
// time pass as they please and may act once (a tap, a key, an answer); what
// they do reaches the program when the call returns, before any timer that
// fell due during the sound.
void play_headless(uint64_t ms) {
    uint64_t end = clock().now_ms() + ms;
    while (clock().now_ms() < end) {
        uint64_t before = clock().now_ms();
        person().idle(end);
        if (clock().now_ms() == before) break;  // the user acted rather than waited
    }
    clock().advance_to(end);
}

void play(const Pcm& pcm, bool synchronous) {
    if (!synchronous) return;  // it plays on while the program goes on
    if (output())
        output()(pcm);
    else
        play_headless(pcm.duration_ms());
}

}  // namespace

}  // namespace sim

// The sound is a file name (SND_FILENAME, or neither SND_FILENAME nor
// SND_ALIAS: the device has no sound aliases, so the name is taken as a
// file).  A file that is missing or not PCM WAVE cannot be played: then the
// system's default sound plays instead, unless SND_NODEFAULT says nothing
// should.  A null sound stops whatever plays.
extern "C" BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
    using namespace sim;
    if (!sound) {
        log_event("sound", {{"path", nullptr}, {"played", false}, {"ms", 0}, {"flags", flags}});
        return TRUE;
    }
    std::u16string path(sound);
    std::string bytes;
    Pcm pcm;
    bool found = !path.empty() && !(flags & SND_ALIAS) && file_store().read_file(path, &bytes) &&
                 parse_wav(bytes, &pcm);
    bool use_default = !found && !(flags & SND_NODEFAULT);
    if (use_default) parse_wav(make_default_sound_wav(), &pcm);
    bool played = found || use_default;
    json fields = {{"path", to_utf8(path)}, {"played", found}, {"ms", played ? pcm.duration_ms() : 0}, {"flags", flags}};
    if (use_default) fields["default"] = true;
    log_event("sound", fields);
    if (!played) return FALSE;
    play(pcm, !(flags & SND_ASYNC));
    return TRUE;
}
