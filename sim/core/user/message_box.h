// What the system's message boxes show, for those who read the screen (a
// script's expectations).
#pragma once

#include <string>

namespace sim {

struct Window;

// The text a message box shows under its caption (the caption is the
// window's own text).  False when `box` is not a message box.
bool message_box_text(const Window* box, std::u16string* text);

}  // namespace sim
