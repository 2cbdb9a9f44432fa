// The Sound test on the simulated device: the audio driver's flag and
// event around the question, the alarm sound played from the main window's
// timer while the question is open, the answer as the result, and what a
// read-only registry or a missing sound file change.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "device/driver_run_support.h"

namespace {

using namespace drivertest;
using runpath::from_step;
using runpath::ownerless_box;
using runpath::step_at;

const char* const kQuestion =
    "Tap OK or press the Action Button if you hear the sound. Press the Cancel Button to exit this test.";
const char* const kRegistryError = "Registry write error : CurrentVolume";

json sound_question() {
    // MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND
    return {{"owner", "Dravik"}, {"text", kQuestion}, {"caption", "Sound"}, {"style", 0x10041}};
}

json audio_flag_write(int value, bool ok = true) {
    return {{"key", kAudioKey}, {"name", "Dravik"}, {"type", "REG_DWORD"}, {"data", value}, {"ok", ok}};
}

json audio_event(const char* op) { return {{"name", "AudioChangeEvent"}, {"op", op}}; }

class SoundRun : public runpath::RunPathSim {
protected:
    // Sound alone, without the reset; the run starts at the returned line.
    static std::string sound_only() { return run_only({IDC_SOUND_BOX}); }
    static int start_line() { return lines_of(sound_only()); }

    // Powers the device on once so that its store exists, then lets
    // `change` alter the alarm file before the run itself.
    void with_alarm_file(const std::function<void(const std::string& host)>& change) {
        boot("wait 0\n");
        change(store_path(kAlarmFile));
    }
};

// OK gives PASS and Cancel FAIL.  Around the question: the event made, the
// flag raised and pulsed, the timer started; after it: the timer stopped,
// the flag lowered and pulsed, the result stored and the event closed.  The
// flag's key did not exist before the run and holds 0 afterwards.
TEST_F(SoundRun, AnswerDecidesAndTheAudioFlagIsRaisedThenLowered) {
    const struct {
        const char* answer;
        int result;
        const char* word;
    } cases[] = {{"ok", 1, "PASS"}, {"cancel", 2, "FAIL"}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.answer);
        boot(sound_only() + "wait 1000\nanswer " + c.answer + "\nwait 100\n" + kFinishWithLog);
        JournalLog log = journal();
        JournalLog run = from_step(log, start_line());

        EXPECT_TRUE(run.in_order({
            {"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", false}}},
            {"event", audio_event("create")},
            {"reg_write", audio_flag_write(1)},
            {"event", audio_event("pulse")},
            {"timer", {{"op", "set"}, {"id", 1224}, {"ms", 700}}},
            {"msgbox", sound_question()},
            {"sound", {{"path", kAlarmFile}, {"played", true}, {"flags", 2}}},
            {"msgbox_result", {{"result", c.result}}},
            {"timer", {{"op", "kill"}, {"id", 1224}, {"ok", true}}},
            {"reg_write", audio_flag_write(0)},
            {"event", audio_event("pulse")},
            {"event", audio_event("close")},
            {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
        })) << run.dump();
        EXPECT_EQ(run.count("event"), 4);
        EXPECT_EQ(run.count("reg_write", {{"key", kAudioKey}}), 2);
        EXPECT_EQ(run.count("msgbox", sound_question()), 1);
        // Only the end of the run restores the screen.
        EXPECT_EQ(run.count("dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}), 1);

        EXPECT_EQ(status_word(log, kSoundRow), c.word);
        EXPECT_EQ(status_word(log, kFileRow), "?");
        EXPECT_TRUE(registry().has_key(kAudioKey));
        EXPECT_EQ(reg_dword(kAudioKey, "Dravik"), 0u);
        auto saved = store_file(runpath::kLogPath);
        ASSERT_TRUE(saved.has_value());
        EXPECT_NE(saved->find(log_line("Sound", c.word)), std::string::npos) << *saved;
    }
}

// Switching off writes the registry's file whole again, each key once,
// however often the run changed it (the audio flag went to 1, then to 0).
TEST_F(SoundRun, SwitchedOffTheRegistryFileHoldsEachKeyOnce) {
    boot(sound_only() + "wait 1000\nanswer ok\nwait 100\n" + kFinishWithLog);
    std::istringstream text(devtest::read_file(state_dir() + "/registry.reg"));
    std::map<std::string, int> sections;
    for (std::string line; std::getline(text, line);)
        if (!line.empty() && line[0] == '[') ++sections[line];
    EXPECT_EQ(sections.count("[" + std::string(kAudioKey) + "]"), 1u);
    for (auto& [key, count] : sections) EXPECT_EQ(count, 1) << key;
    EXPECT_EQ(reg_dword(kAudioKey, "Dravik"), 0u);
}

// Dravik started again while the question is open (the second copy brings
// the first forward and ends): the question, not its disabled owner, comes
// forward and is active, so it can be answered and the program runs on,
// with the result kept.
TEST_F(SoundRun, StartedAgainWhileTheQuestionIsOpenTheQuestionComesForward) {
    boot(sound_only() + "wait 1000\nlaunch\nwait 100\nanswer ok\nwait 100\n" + kFinishWithLog);
    JournalLog log = journal();
    JournalLog run = from_step(log, start_line());
    EXPECT_TRUE(run.in_order({
        {"msgbox", sound_question()},
        {"launch", json::object()},
        {"msgbox_result", {{"result", 1}}},  // IDOK
        {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
    })) << run.dump();
    EXPECT_EQ(run.count("msgbox_result"), 2) << "the question and the log question";
    EXPECT_EQ(run.count("window", {{"op", "destroy"}, {"title", "Dravik"}}), 0) << "the program was closed";
    EXPECT_EQ(status_word(log, kSoundRow), "PASS");
    auto saved = store_file(runpath::kLogPath);
    ASSERT_TRUE(saved.has_value()) << "the program ended before Finish";
    EXPECT_NE(saved->find(log_line("Sound", "PASS")), std::string::npos) << *saved;
}

// A registry that refuses the flag shows the error box (no owner, no
// caption, OK) before the question and again after it; the answer still
// decides.  Read-only: the key cannot even be made.  A refused value: the
// key is made but the value is not stored.
TEST_F(SoundRun, RefusedRegistryWritesAreReportedTwiceAndTheAnswerStillDecides) {
    const struct {
        const char* what;
        json profile;
        const char* answer;
        const char* word;
        bool key_made;
    } cases[] = {
        {"read-only, OK", {{"registry_read_only", true}}, "ok", "PASS", false},
        {"read-only, Cancel", {{"registry_read_only", true}}, "cancel", "FAIL", false},
        {"value refused, OK", {{"registry_fail_writes", {std::string(kAudioKey) + "\\Dravik"}}}, "ok", "PASS", true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(sound_only() + "answer ok\nwait 800\nanswer " + c.answer + "\nanswer ok\nwait 100\n", c.profile);
        JournalLog log = journal();
        JournalLog run = from_step(log, start_line());

        EXPECT_EQ(box_texts(run), (std::vector<std::string>{kRegistryError, kQuestion, kRegistryError}))
            << run.dump();
        EXPECT_EQ(run.count("msgbox", ownerless_box(kRegistryError)), 2);
        EXPECT_TRUE(run.in_order({
            {"msgbox", ownerless_box(kRegistryError)},
            {"event", audio_event("pulse")},
            {"timer", {{"op", "set"}, {"id", 1224}}},
            {"msgbox", sound_question()},
            {"sound", {{"path", kAlarmFile}}},
            {"timer", {{"op", "kill"}, {"id", 1224}}},
            {"msgbox", ownerless_box(kRegistryError)},
            {"event", audio_event("pulse")},
            {"event", audio_event("close")},
        })) << run.dump();
        EXPECT_EQ(run.count("reg_write", {{"key", kAudioKey}, {"ok", true}}), 0);
        EXPECT_EQ(run.count("reg_write", {{"key", kAudioKey}}), c.key_made ? 2 : 0);
        EXPECT_EQ(registry().has_key(kAudioKey), c.key_made);
        EXPECT_FALSE(reg_dword(kAudioKey, "Dravik").has_value());
        EXPECT_EQ(status_word(log, kSoundRow), c.word);
    }
}

// The first sound plays 700 ms after the timer starts; each plays to its
// end inside the tick, and the next tick, due meanwhile, follows at once:
// a sound starts every max(700 ms, its length).  An answer given during a
// sound is taken when that sound has ended, and no sound follows the
// answer.
TEST_F(SoundRun, TheAlarmRepeatsWhileTheQuestionIsOpen) {
    boot(sound_only() + "wait 5000\nanswer ok\nwait 3000\n");
    JournalLog log = journal();
    JournalLog run = from_step(log, start_line());
    int set = run.find("timer", {{"op", "set"}});
    ASSERT_GE(set, 0) << run.dump();
    uint64_t started = run[size_t(set)]["t"];
    std::vector<json> sounds = run.filter("sound");
    ASSERT_GE(sounds.size(), 3u) << run.dump();

    uint64_t length = sounds[0]["ms"];
    EXPECT_GE(length, 1000u) << "the alarm lasts a second or two";
    EXPECT_LE(length, 2000u);
    uint64_t expected = started + 700;
    for (auto& s : sounds) {
        EXPECT_EQ(s["path"], kAlarmFile);
        EXPECT_EQ(s["played"], true);
        EXPECT_EQ(s["ms"], length);
        EXPECT_EQ(s["flags"], 2) << "SND_NODEFAULT alone: synchronous, no alias, no file-name flag";
        EXPECT_EQ(s["t"].get<uint64_t>(), expected);
        expected += std::max<uint64_t>(700, length);
    }
    // The answer came at started + 5000, during a sound: the question closes
    // when that sound ends, which is where the next one would have started.
    int answered = run.find("msgbox_result");
    ASSERT_GE(answered, 0);
    uint64_t answer_time = started + 5000;
    EXPECT_LT(sounds.back()["t"].get<uint64_t>(), answer_time);
    EXPECT_EQ(run[size_t(answered)]["t"].get<uint64_t>(), expected);
    EXPECT_EQ(run.find("sound", json::object(), size_t(answered)), -1) << "no sound after the answer";
    EXPECT_EQ(status_word(log, kSoundRow), "PASS");
}

// Without a playable Alarm3.WAV the question still opens and the ticks go
// on every 700 ms, each trying the file and playing nothing, not even the
// default sound; the answer still decides.
TEST_F(SoundRun, WithoutTheWaveFileTheTicksGoOnInSilence) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> change;
    } cases[] = {
        {"missing", [](const std::string& host) { ASSERT_TRUE(std::filesystem::remove(host)); }},
        {"not a wave file",
         [](const std::string& host) { devtest::write_file(host, std::string("RIFF\x04\0\0\0WAVE", 12)); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        with_alarm_file(c.change);
        boot(sound_only() + "wait 3000\nanswer cancel\nwait 100\n", json::object(), KeepState);
        JournalLog log = journal();
        JournalLog run = from_step(log, start_line());
        int set = run.find("timer", {{"op", "set"}});
        ASSERT_GE(set, 0) << run.dump();
        uint64_t started = run[size_t(set)]["t"];

        std::vector<json> sounds = run.filter("sound");
        ASSERT_EQ(sounds.size(), 4u) << "ticks at 700, 1400, 2100 and 2800 ms\n" << run.dump();
        for (size_t i = 0; i < sounds.size(); ++i) {
            EXPECT_EQ(sounds[i]["t"].get<uint64_t>(), started + 700 * (i + 1));
            EXPECT_EQ(sounds[i]["path"], kAlarmFile);
            EXPECT_EQ(sounds[i]["played"], false);
            EXPECT_EQ(sounds[i]["ms"], 0);
            EXPECT_FALSE(sounds[i].contains("default")) << "SND_NODEFAULT: no default sound in its place";
        }
        int answered = run.find("msgbox_result", {{"result", 2}});
        ASSERT_GE(answered, 0);
        EXPECT_EQ(run[size_t(answered)]["t"].get<uint64_t>(), started + 3000) << "nothing keeps the answer waiting";
        EXPECT_EQ(status_word(log, kSoundRow), "FAIL");
        EXPECT_EQ(reg_dword(kAudioKey, "Dravik"), 0u);
    }
}

// The timer belongs to the test: before the question and after the answer
// no tick plays anything, and a second run starts it afresh.
TEST_F(SoundRun, TheTimerLivesOnlyWhileTheQuestionIsOpen) {
    boot(sound_only() + "wait 800\nanswer ok\nwait 3000\n" + click(IDC_NEXT_FINISH) + "answer no\n" +
         click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) + "wait 800\nanswer cancel\nwait 3000\n");
    JournalLog log = journal();
    JournalLog run = from_step(log, start_line());
    std::vector<json> timers = run.filter("timer");
    ASSERT_EQ(timers.size(), 4u) << run.dump();
    const char* ops[] = {"set", "kill", "set", "kill"};
    for (size_t i = 0; i < timers.size(); ++i) {
        EXPECT_EQ(timers[i]["op"], ops[i]);
        EXPECT_EQ(timers[i]["id"], 1224);
    }
    // One sound in each run: each at 700 ms after its set, before its kill.
    std::vector<json> sounds = run.filter("sound");
    ASSERT_EQ(sounds.size(), 2u) << run.dump();
    EXPECT_EQ(sounds[0]["t"].get<uint64_t>(), timers[0]["t"].get<uint64_t>() + 700);
    EXPECT_EQ(sounds[1]["t"].get<uint64_t>(), timers[2]["t"].get<uint64_t>() + 700);
    EXPECT_EQ(run.count("event", audio_event("close")), 2);
    EXPECT_EQ(status_word(log, kSoundRow), "FAIL");
}

}  // namespace
