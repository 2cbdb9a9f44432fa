// Window events read from a file, for the tests of the device window: each
// line is one thing a person does at the window, handed to the window
// system's event queue as that event would come from it, so that it takes
// the same path as the real mouse and keyboard.  dravik-sim reads the file
// named by the environment variable DRAVIK_WINDOW_FEED.
//
//   # a comment; blank lines are ignored
//   down X Y           left mouse button pressed at window pixel (X, Y)
//   move X Y           the mouse moves there
//   up X Y             the button is let go there
//   key NAME           a key pressed and let go (SDL key names: F1, Return, Left, F12)
//   keydown NAME       ... or only pressed,
//   keyup NAME         ... or only let go
//   resize W H         the window is made W x H window pixels
//   wait MS            real milliseconds pass
//   close              the window's close button
//
// A step is given when the program waits for input and has taken all input
// given before; the step right after a `wait` is given as soon as the time
// is up, even while the program is blocked in a Sleep or a sound.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct FeedStep {
    enum Kind { Down, Move, Up, Key, KeyDown, KeyUp, Wait, Close, Resize };
    Kind kind = Wait;
    int x = 0, y = 0;  // Down, Move, Up; Resize: the width and height
    int key = 0;       // an SDL key code
    int ms = 0;        // Wait
    int line = 0;
};

class WindowFeed {
public:
    // Reads the file; on failure *error is one line "FILE:LINE: what".
    bool load(const std::string& path, std::string* error);
    bool loaded() const { return !steps_.empty(); }

    // The step to give now, or null.  `idle`: the program waits for input
    // with nothing queued.  *wake is set to when a pending `wait` ends.
    const FeedStep* next(uint64_t now_ms, bool idle, std::optional<uint64_t>* wake);

private:
    std::vector<FeedStep> steps_;
    size_t next_ = 0;
    std::optional<uint64_t> wait_until_;
    bool after_wait_ = false;
};

}  // namespace sim
