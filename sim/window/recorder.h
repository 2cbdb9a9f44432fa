// The person at the device window written down as a script, a line as each
// thing is done (dravik-sim --record FILE), in the script's own words where
// they say what was meant: a tap on a control as `click "TEXT"` (or its
// id), on a message box's button as `answer`, on the caption's OK as
// `caption-ok`, on a push button of a window that is not the active one as
// `click-through`; the buttons as `press`; other taps and drags in device
// pixels (a stylus target); the device time between them as waits; a
// comment before each action naming what was in front; and with F11 an
// expectation of the screen as it is, its picture saved beside the script.
// The state folder as it was at the start is kept beside the script
// (NAME.state), and the script's header names it.  Replayed headless on a
// copy of it, the script does the same to the device at the same device
// times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/output_file.h"

namespace sim {

class Recorder {
public:
    Recorder() = default;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    struct Settings {
        std::string path;          // the script, as given
        std::string state_dir;     // the state folder the device starts from
        std::string profile_path;  // as given; "" for none
        bool force = false;        // replace what is at `path` and NAME.state
    };
    // NAME.state beside the script NAME.txt: the state it began from.
    static std::string state_copy_path(const std::string& path);
    // Why a recording cannot go to `s.path` ("" when it can), asked before
    // anything is touched: `rules` refuse the place (base/output_file.h),
    // its folder cannot take a new file, or a file is there (or at
    // NAME.state) and `force` was not given (a recording never destroys a
    // script unless asked to).  With `force` an old NAME.state is replaced
    // only when it holds what a state folder holds and is not the state
    // folder itself.
    static std::string place_problem(const Settings& s, const OutputRules& rules);
    // Starts the recording once the window is open: keeps a copy of the
    // state folder as NAME.state, then the header (the state and profile
    // it began with, the command that replays it) and the lines go into a
    // new file beside `path`, which takes its place when the recording is
    // committed.  With `force` the pictures of F11 replace NAME-1.png,
    // NAME-2.png, ... as they come; without it a name already taken is
    // skipped.  False (with *error, one line naming the file) when it
    // cannot.
    bool open(const Settings& s, std::string* error);
    // The comment lines the script begins with.
    static std::string header(const Settings& s);
    const std::string& path() const { return path_; }
    // The recording takes its place at `path` (a recording whose writes
    // failed does not: false with *error, and `path` is as it was).
    bool commit(std::string* error);

    // The stylus on the screen, in device pixels.
    void stylus_down(int x, int y);
    void stylus_up(int x, int y);
    // A hardware button goes down (its key code).
    void press(int vk);
    // The person works the device itself (the reset button, the battery,
    // starting Dravik): `word` is the script action that does the same,
    // written at once, after the actions the program has taken.
    void device_action(const std::string& word);
    // F11: the screen now, as an expectation; returns the picture's path
    // ("" with *error when it could not be written).
    std::string expect_screen(std::string* error);
    // Called as the window waits: writes the actions the program has taken.
    void poll();
    // The device loses power: the time since the last action passes too.
    void finish();

private:
    // An action waits to be written until the program has taken its input
    // from the device's queue: a picture taken meanwhile (the program busy
    // in a sound, say) shows the screen from before it, and goes first.
    struct Held {
        uint64_t at;
        std::string text;
        std::string front;  // what was in front, for the comment before it
    };
    // What a tap that went down and came up at (x, y) meant, in the
    // script's words; "" when only its place says it.
    std::string tap_meaning(int x, int y) const;
    void action(uint64_t at, const std::string& text, const std::string& front);
    void write_held();
    void line(uint64_t at, const std::string& text, const std::string& front = "");
    void put(const std::string& text);
    void wait_until(uint64_t at);

    std::vector<Held> held_;

    OutputStream file_;
    std::string path_;
    bool force_ = false;
    std::string state_copy_;  // made by open(); removed if nothing is recorded
    uint64_t last_ = 0;  // device time of the last line
    int pictures_ = 0;

    // The stylus since it went down.
    bool down_ = false;
    int down_x_ = 0, down_y_ = 0;
    uint64_t down_at_ = 0;
    std::string down_meaning_;   // what a tap there means ("" for a place)
    std::string down_front_;     // what was in front
};

}  // namespace sim
