// Sound playback: the WAVE files the device reads, PlaySoundW's flags (no
// default sound with SND_NODEFAULT, asynchronous play, stopping), the time a
// synchronous sound takes on the device clock, and the user who goes on
// while it plays.
#include <gtest/gtest.h>

#include "device_test.h"
#include "scratch.h"

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "base/journal.h"
#include "base/person.h"
#include "base/profile.h"
#include "drivers/alarm_sound.h"
#include "drivers/sound.h"
#include "files/filestore.h"
#include "files/state_folder.h"
#include "base/clock.h"
#include "registry/registry.h"

namespace {

using nlohmann::json;

// A user who lets time pass in steps of `step_ms` and, once the clock has
// reached `act_at`, acts once (without moving the clock).
class PacedUser : public sim::Person {
public:
    uint64_t step_ms = 100;
    std::optional<uint64_t> act_at;
    std::vector<std::optional<uint64_t>> dues;  // next_due of every call
    int acts = 0;

    void idle(std::optional<uint64_t> next_due) override {
        dues.push_back(next_due);
        uint64_t now = sim::clock().now_ms();
        if (act_at && now >= *act_at && acts == 0) {
            ++acts;
            return;
        }
        uint64_t to = now + step_ms;
        if (next_due && *next_due < to) to = *next_due;
        sim::clock().advance_to(to);
    }
};

class SoundDevice : public simtest::DeviceTest {
protected:
    SoundDevice() : DeviceTest("sound", State::Folder) {}
    void SetUp() override {
        DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(sim::file_store().write_file(u"\\Windows\\Alarm3.WAV", sim::make_alarm_wav()));
        sim::set_clock(&clock_);
        sim::set_person(&user_);
    }
    void TearDown() override {
        sim::set_person(nullptr);
        sim::set_clock(nullptr);
        DeviceTest::TearDown();
    }

    std::vector<json> sounds() { return events("sound"); }

    static uint64_t alarm_ms() {
        sim::Pcm pcm;
        EXPECT_TRUE(sim::parse_wav(sim::make_alarm_wav(), &pcm));
        return pcm.duration_ms();
    }

    sim::VirtualClock clock_{1000};
    PacedUser user_;
};

TEST(WaveFiles, TheDevicesOwnSoundsAreShortPcm) {
    sim::Pcm alarm, beep;
    ASSERT_TRUE(sim::parse_wav(sim::make_alarm_wav(), &alarm));
    EXPECT_EQ(alarm.rate, 22050u);
    EXPECT_EQ(alarm.channels, 1);
    EXPECT_EQ(alarm.bits, 16);
    EXPECT_GE(alarm.duration_ms(), 1000u) << "the alarm lasts a second or two";
    EXPECT_LE(alarm.duration_ms(), 2000u);
    ASSERT_TRUE(sim::parse_wav(sim::make_default_sound_wav(), &beep));
    EXPECT_GT(beep.duration_ms(), 0u);
    EXPECT_LT(beep.duration_ms(), alarm.duration_ms());
}

TEST(WaveFiles, OnlyWellFormedPcmIsPlayable) {
    std::string good = sim::make_alarm_wav();
    auto with = [&](size_t at, const std::string& bytes) {
        return good.substr(0, at) + bytes + good.substr(at + bytes.size());
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not RIFF", with(0, "RIFX")},
        {"not WAVE", with(8, "AVI ")},
        {"compressed (format 2)", with(20, std::string("\x02\x00", 2))},
        {"no channels", with(22, std::string("\x00\x00", 2))},
        {"24-bit samples", with(34, std::string("\x18\x00", 2))},
        {"data before fmt", good.substr(0, 12) + good.substr(36)},
        {"data longer than the file", good.substr(0, good.size() - 1)},
        {"header only", good.substr(0, 12)},
    };
    for (auto& c : cases) {
        sim::Pcm pcm;
        EXPECT_FALSE(sim::parse_wav(c.bytes, &pcm)) << c.what;
    }
}

// A synchronous sound returns when it has ended: the clock moves on by its
// length.  A sound that cannot be played plays the default sound instead,
// unless SND_NODEFAULT forbids it; then nothing is heard, no time passes
// and the call fails.
TEST_F(SoundDevice, SynchronousSoundsTakeTheirTimeAndNoDefaultMeansSilence) {
    uint64_t beep_ms = 0;
    {
        sim::Pcm pcm;
        ASSERT_TRUE(sim::parse_wav(sim::make_default_sound_wav(), &pcm));
        beep_ms = pcm.duration_ms();
    }
    ASSERT_TRUE(sim::file_store().write_file(u"\\Windows\\broken.wav", "RIFF....WAVEjunk"));
    const struct {
        const char* what;
        const char16_t* sound;
        DWORD flags;
        BOOL result;
        bool played;
        bool by_default;
        uint64_t ms;
    } cases[] = {
        {"the alarm", u"\\Windows\\Alarm3.WAV", SND_NODEFAULT, TRUE, true, false, alarm_ms()},
        {"named as a file, other case", u"\\windows\\alarm3.wav", SND_FILENAME | SND_NODEFAULT, TRUE, true, false,
         alarm_ms()},
        {"the alarm, default allowed", u"\\Windows\\Alarm3.WAV", 0, TRUE, true, false, alarm_ms()},
        {"missing, no default", u"\\Windows\\Missing.wav", SND_NODEFAULT, FALSE, false, false, 0},
        {"not a wave, no default", u"\\Windows\\broken.wav", SND_NODEFAULT, FALSE, false, false, 0},
        {"missing, default", u"\\Windows\\Missing.wav", 0, TRUE, false, true, beep_ms},
        {"not a wave, default", u"\\Windows\\broken.wav", SND_FILENAME, TRUE, false, true, beep_ms},
        {"no sound aliases on the device", u"\\Windows\\Alarm3.WAV", SND_ALIAS | SND_NODEFAULT, FALSE, false, false,
         0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        size_t before = sounds().size();
        uint64_t start = clock_.now_ms();
        EXPECT_EQ(PlaySoundW(c.sound, nullptr, c.flags), c.result);
        EXPECT_EQ(clock_.now_ms() - start, c.ms);
        auto all = sounds();
        ASSERT_EQ(all.size(), before + 1);
        const json& ev = all.back();
        EXPECT_EQ(ev["played"], c.played);
        EXPECT_EQ(ev["ms"], c.ms);
        EXPECT_EQ(ev["flags"], c.flags);
        EXPECT_EQ(ev.contains("default"), c.by_default);
        EXPECT_EQ(ev["t"], start);
    }
}

TEST_F(SoundDevice, AsynchronousSoundsAndStoppingTakeNoTime) {
    EXPECT_TRUE(PlaySoundW(u"\\Windows\\Alarm3.WAV", nullptr, SND_ASYNC | SND_NODEFAULT));
    EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));
    EXPECT_EQ(clock_.now_ms(), 1000u);
    EXPECT_TRUE(user_.dues.empty()) << "the program went on at once";
    auto all = sounds();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]["played"], true);
    EXPECT_EQ(all[1]["path"], nullptr);
}

// While a synchronous sound plays the user goes on: time passes as the
// user lets it, never past the sound's end, and the user may act once;
// the sound then plays out.
TEST_F(SoundDevice, TheUserGoesOnWhileASoundPlays) {
    uint64_t end = 1000 + alarm_ms();

    user_.step_ms = 300;
    EXPECT_TRUE(PlaySoundW(u"\\Windows\\Alarm3.WAV", nullptr, SND_NODEFAULT));
    EXPECT_EQ(clock_.now_ms(), end);
    ASSERT_FALSE(user_.dues.empty());
    for (auto& due : user_.dues) EXPECT_EQ(due, end) << "the sound's end is what the user waits for";
    EXPECT_EQ(user_.dues.size(), size_t((alarm_ms() + 299) / 300));

    user_.dues.clear();
    user_.act_at = end + 500;
    EXPECT_TRUE(PlaySoundW(u"\\Windows\\Alarm3.WAV", nullptr, SND_NODEFAULT));
    EXPECT_EQ(user_.acts, 1);
    EXPECT_EQ(clock_.now_ms(), end + alarm_ms()) << "the sound plays out after the user acted";
    EXPECT_EQ(user_.dues.size(), 3u) << "300 ms, 300 ms, then the act";
}

}  // namespace
