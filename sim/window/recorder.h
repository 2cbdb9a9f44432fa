// The person at the device window written down as a script, a line as each
// thing is done (dravik-sim --record FILE): taps and drags in device
// pixels, presses of the buttons, answers to message boxes, the device time
// between them as waits, and with F11 an expectation of the screen as it
// is, its picture saved beside the script.  Replayed headless (--script
// FILE), the script does the same to the device at the same device times.
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

    // Why a recording cannot go to `path` ("" when it can), asked before
    // anything is touched: `rules` refuse the place (base/output_file.h),
    // its folder cannot take a new file, or a file is there and `force` was
    // not given (a recording never destroys a script unless asked to).
    static std::string place_problem(const std::string& path, bool force, const OutputRules& rules);
    // Starts the recording once the window is open: `header` (comment
    // lines) and then the lines go into a new file beside `path`, which
    // takes its place when the recording is committed.  With `force` the
    // pictures of F11 replace NAME-1.png, NAME-2.png, ... as they come;
    // without it a name already taken is skipped.  False (with *error,
    // one line naming the file) when it cannot.
    bool open(const std::string& path, const std::string& header, bool force, std::string* error);
    const std::string& path() const { return path_; }
    // The recording takes its place at `path` (a recording whose writes
    // failed does not: false with *error, and `path` is as it was).
    bool commit(std::string* error);

    // The stylus on the screen, in device pixels.
    void stylus_down(int x, int y);
    void stylus_up(int x, int y);
    // A hardware button goes down (its key code).
    void press(int vk);
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
    };
    void action(uint64_t at, const std::string& text);
    void write_held();
    void line(uint64_t at, const std::string& text);
    void put(const std::string& text);
    void wait_until(uint64_t at);

    std::vector<Held> held_;

    OutputStream file_;
    std::string path_;
    bool force_ = false;
    uint64_t last_ = 0;  // device time of the last line
    int pictures_ = 0;

    // The stylus since it went down.
    bool down_ = false;
    int down_x_ = 0, down_y_ = 0;
    uint64_t down_at_ = 0;
    uint32_t down_button_ = 0;   // a message box's button under it (handle), 0 for none
    const char* answer_ = nullptr;
};

}  // namespace sim
