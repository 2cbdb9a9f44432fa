// The Pocket PC shell: the task bar across the top (Start icon, the title
// of the active window, its OK button), the input panel button, the menu
// bars that programs ask for, and the desktop behind every window.
#pragma once

#include <windows.h>

#include "gdi/geometry.h"

namespace sim {

struct Window;

void start_shell();           // at boot: desktop, task bar, input panel button
void shell_window_changed();  // the active window, its title or OK button changed
bool shell_caption_ok_visible();
Rect shell_caption_ok_rect();     // screen pixels
Window* shell_task_bar();
bool shell_task_bar_visible();

}  // namespace sim
