// What the program leaves on the device once the user has left it: the
// audio driver's flag after a pulled battery, and a run that was waiting on
// a message box without owner when the user left from the panel behind it.
// Such a run stops there: no further test, no Startup shortcut, no reset,
// and nothing that a later step of the run would have undone stays behind.
#include <string>
#include <vector>

#include "device/driver_run_support.h"

namespace {

using namespace drivertest;
using runpath::ownerless_box;
using runpath::slice;

const char* const kKeyFlagKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\TESTKEY";
const char* const kSoundQuestion =
    "Tap OK or press the Action Button if you hear the sound. Press the Cancel Button to exit this test.";

// A person leaving from behind a box that leaves the panel live: a tap on
// the panel's heading brings the main window forward, and the caption's OK
// leaves.  The wait gives the program every chance to go on.
const std::string kLeaveFromBehindTheBox = "tap 120 40\ncaption-ok\nwait 5000\n";

class Leaving : public runpath::RunPathSim {
protected:
    // The events from the caption's OK on.
    JournalLog after_leaving() const {
        JournalLog log = journal();
        int at = log.find("input", {{"action", "caption-ok"}});
        if (at < 0) ADD_FAILURE() << "the caption's OK never came\n" << log.dump();
        return slice(log, at);
    }
};

// A pulled battery while the Sound question is open leaves the audio
// driver's flag raised; the next start does not touch it, and leaving with
// the caption's OK lowers it, as it lowers the key test's flag.
TEST_F(Leaving, ThePulledBatteryDuringTheSoundQuestionLeavesNoRaisedFlag) {
    boot(run_only({IDC_SOUND_BOX}) + "expect-msgbox \"" + kSoundQuestion + "\"\npower-cycle\nwait 100\n");
    ASSERT_EQ(reg_dword(kAudioKey, "Dravik"), 1u) << "the battery was pulled before the flag went down";

    boot("caption-ok\nwait 100\n", json::object(), KeepState);
    EXPECT_TRUE(journal().in_order({{"input", {{"action", "caption-ok"}}},
                                    {"reg_write", {{"key", kKeyFlagKey}, {"name", "KEY"}, {"data", 0}}},
                                    {"reg_write", {{"key", kAudioKey}, {"name", "Dravik"}, {"data", 0}, {"ok", true}}},
                                    {"window", {{"op", "destroy"}, {"class", "Dravik"}}}}))
        << journal().dump();
    EXPECT_EQ(reg_dword(kAudioKey, "Dravik"), 0u);
}

// Leaving during any box without owner that a run waits on.  Each case
// names the box, the profile that makes it appear and the tests run; after
// the caption's OK the program only closes: no test step, no further box,
// no shortcut, no reset, no hot key taken.  The registry then holds the
// key test's flag at 0 (or never had it), "Reboot" at 0 (or never had it),
// and the Startup folder is empty.
TEST_F(Leaving, ARunWaitingOnABoxWithoutOwnerStopsWhenTheUserLeaves) {
    const struct {
        const char* name;
        json profile;
        std::string start;  // the script up to the box
        const char* box;
    } cases[] = {
        {"the LED test's radio message", {{"bluetooth", {{"present_call_ok", false}}}},
         run_only({IDC_LED_BOX, IDC_KEY_BOX}), "OrvexBlueToothRadio is not mapped properly"},
        {"a failed write of the stored selection before the reset",
         {{"registry_fail_writes", {std::string(runpath::kResumeKey) + "\\Sound"}}},
         runpath::kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START), "Write Reg Fail[Snd]"},
        {"the refused reset", {{"reset", "fails"}},
         runpath::kSelectOnlyIr + click(IDC_NEXT_FINISH) + click(IDC_START), "Software reset Error"},
        {"the Sound test's registry error", {{"registry_fail_writes", {std::string(kAudioKey) + "\\Dravik"}}},
         run_only({IDC_SOUND_BOX, IDC_IR_BOX}), "Registry write error : CurrentVolume"},
        {"the key test without coredll", {{"coredll_missing", true}}, run_only({IDC_KEY_BOX}),
         "coredll is not loaded"},
        {"the key test without UnregisterFunc1", {{"unregisterfunc1_missing", true}}, run_only({IDC_KEY_BOX}),
         "UnregisterFunc1 is not called"},
        {"the key test's refused hot key", {{"hotkey_fail", {192}}}, run_only({IDC_KEY_BOX}),
         "RegisterHotKey is FALSE"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        boot(c.start + "expect-msgbox \"" + c.box + "\"\n" + kLeaveFromBehindTheBox, c.profile);
        JournalLog left = after_leaving();
        std::string all = left.dump();

        EXPECT_TRUE(left.in_order({{"window", {{"op", "destroy"}, {"class", "Dravik"}}},
                                   {"exit", {{"exe", runpath::kProgram}, {"code", 0}}}}))
            << all;
        for (const char* ev : {"led", "led_controller", "com", "sound", "reset_request", "unregister_func"})
            EXPECT_EQ(left.count(ev), 0) << ev << "\n" << all;
        EXPECT_EQ(left.count("msgbox"), 0) << all;
        EXPECT_EQ(left.count("dialog", {{"op", "open"}}), 0) << all;
        EXPECT_EQ(left.count("shortcut", {{"op", "create"}}), 0) << all;
        EXPECT_EQ(left.count("hotkey", {{"op", "register"}}), 0) << all;
        EXPECT_EQ(left.count("reg_write", {{"key", kKeyFlagKey}, {"data", 1}}), 0) << all;
        EXPECT_EQ(left.count("reg_write", {{"key", runpath::kResumeKey}, {"data", 1}}), 0) << all;

        EXPECT_NE(reg_dword(kKeyFlagKey, "KEY"), std::optional<uint32_t>(1u));
        EXPECT_NE(reg_dword(runpath::kResumeKey, "Reboot"), std::optional<uint32_t>(1u));
        EXPECT_TRUE(store_names("\\Windows\\StartUp").empty());
    }
}

}  // namespace
