// How a person reads the device's screen: a control's text as it shows, the
// program's main window, the message box in front, the stylus target.  One
// home for what the scripted user, the demo, the stress user and the checks
// all read.
#pragma once

#include <string>

#include "gdi/geometry.h"

namespace sim {

struct Window;

// A control's text as it shows: "&" marks the next letter and is not drawn.
std::u16string without_prefix_marks(const std::u16string& text);
// ... in UTF-8.
std::string shown_text(const std::u16string& text);

// The program's main window (class "Dravik"), the one whose panel lists the
// tests; null when none.  By default only a shown one counts.
enum class Showing { Shown, ShownOrHidden };
Window* program_main_window(Showing showing = Showing::Shown);

// The message box in front: the first visible one in the z-order.
Window* front_message_box();

// The target the stylus test shows below the task bar: a black circle with
// a cross whose horizontal stroke is 39 to 43 pixels long, with black 6 rows
// above or below the stroke's middle.  *centre is the middle of the first
// such stroke from the top, then from the left; false when none shows.
bool find_stylus_target(Point* centre);

}  // namespace sim
