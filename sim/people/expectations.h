// A script's expectations: what a person holding the device reads off it
// (the open message box, the active window's texts, the panel's Status
// column, the result log, the screen), checked against what the script
// says should be there.
#pragma once

#include "people/screen_reading.h"

#include <map>
#include <string>

#include "gdi/geometry.h"
#include "base/journal.h"
#include "people/script.h"

namespace sim {

struct Window;

// How a window is named to a person: a message box by its text, another
// window by its title in quotes, or by its class when it has none.
std::string window_name_for_person(const Window* w);

// The window a tap at screen pixel p reaches when it is not `target` or one
// of its children; null when the tap reaches `target`.  *nothing is set when
// no window shows that pixel at all.
Window* tap_lands_elsewhere(Window* target, Point p, bool* nothing);

// Blanks and line breaks taken as one blank, none at the ends.
std::string collapse_blanks(const std::string& s);

class Expectations {
public:
    struct Outcome {
        bool held = true;
        // The expectation names something that does not exist (a test the
        // panel does not list): the script is wrong, not the device.
        bool script_fault = false;
        // What it writes when it does not hold (expect-screen's pictures)
        // could not be written: the host failed.
        bool output_failed = false;
        std::string expected, seen;  // for the message when it did not hold
    };

    // Follows what the program paints (the Status column) from the
    // journal's lines.
    void watch(const json& line);
    Outcome check(const ScriptAction& a);

private:
    Outcome check_msgbox(const ScriptAction& a);
    Outcome check_text(const ScriptAction& a);
    Outcome check_status(const ScriptAction& a);
    Outcome check_log(const ScriptAction& a);
    Outcome check_screen(const ScriptAction& a);

    // The texts last painted beside the panel's check boxes: by the
    // window's handle, then the box's id.
    struct Cell {
        std::string text;
        Rect rect;  // client coordinates of the panel
    };
    std::map<uint32_t, std::map<int, Cell>> cells_;
};

}  // namespace sim
