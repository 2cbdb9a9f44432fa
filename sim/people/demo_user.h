// The demo: a built-in user who runs every test of Dravik the way a person
// holding a healthy device would.  It ticks all seven tests, starts the run
// (the device resets first and Dravik resumes), hears the alarm and says
// OK, taps the centre of each target it sees on the screen, watches the
// patterns, sees the LEDs flash and says OK, presses the buttons in the
// order the arrow shows, reads the Status column, writes the result log
// with Finish and Yes, and leaves Dravik with the caption's OK.  It prints
// each step on the terminal, keeps a screenshot of each test's screen and
// says where the screenshots and the log are.
//
// Headless it runs on the virtual clock and powers the device off at the
// end; in the device window it runs on real time with a pause between its
// actions so that it can be watched, and leaves the device to the person
// at the window when it is done.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/journal.h"
#include "base/person.h"

namespace sim {

struct Window;

// The demo cannot go on (the device shows nothing it knows how to answer):
// the simulator stops with this message and exit code 1.
struct DemoFailed : PersonGivesUp {
    explicit DemoFailed(const std::string& message)
        : PersonGivesUp(message, "dravik-sim: the demo cannot go on: " + message, 1) {}
};

struct DemoSettings {
    std::string screenshots_dir = "screenshots";
    // Lets device time pass until the given time, or until something
    // happens when none is given.  Empty: the virtual clock jumps.
    std::function<void(std::optional<uint64_t> until)> let_time_pass;
    uint64_t pause_ms = 0;         // device time between two actions
    bool power_off_at_end = true;  // else the demo hands the device over
    std::ostream* out = nullptr;   // progress; null for standard output
};

class DemoUser : public Person {
public:
    explicit DemoUser(DemoSettings settings);
    ~DemoUser() override;

    void idle(std::optional<uint64_t> next_due) override;
    // Done, or stopped by a screenshot that could not be written (which
    // the next idle() reports, exit code 2).
    bool finished() const { return finished_ && failure_.empty(); }

private:
    void watch(const json& line);
    bool act();
    bool answer_box(Window* box);
    bool on_panel(Window* main);
    bool in_run_dialog(Window* dialog);
    bool in_target_dialog(Window* dialog);
    bool in_key_dialog(Window* dialog);
    void finish(const std::string& why);

    void say(const std::string& text);
    void screenshot(const std::string& name);
    void tap(int x, int y);
    void tap_control(Window* control);
    void press(int vk);
    int template_of(Window* dialog) const;
    void print_status_column(Window* main);

    DemoSettings settings_;
    bool finished_ = false;
    uint64_t last_action_ms_ = 0;
    int actions_ = 0;

    // What the journal told.
    struct Box {
        std::string text, caption;
    };
    std::vector<Box> boxes_;                // message boxes open, innermost last
    std::map<uint32_t, int> dialogs_;       // dialog window handle -> template id
    std::map<int, std::string> status_;     // check box id -> text of its Status cell
    int sounds_heard_ = 0, sounds_silent_ = 0;
    int frames_ = -1;                       // framebuffer passes since the display opened; -1 before
    int led_count_ = -1;
    std::vector<std::string> shots_;        // screenshots taken, by file name
    std::string failure_;                   // a screenshot that could not be written

    // How far the demo is.
    bool panel_seen_ = false;
    bool run_started_ = false;
    bool sound_asked_ = false;
    int sound_heard_before_ = 0, sound_silent_before_ = 0;
    int targets_tapped_ = 0;
    bool key_armed_ = false;
    size_t keys_pressed_ = 0;
    bool key_cancelled_ = false;
    bool results_printed_ = false;
    bool finish_tapped_ = false;
    bool log_answered_ = false;
    bool leaving_ = false;
};

}  // namespace sim
