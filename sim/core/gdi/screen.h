// The device's screen: the framebuffer and the areas the shell leaves to
// programs.
#pragma once

#include "gdi/framebuffer.h"

namespace sim {

Framebuffer& framebuffer();

constexpr int kTaskBarHeight = 26;
constexpr int kMenuBarHeight = 26;

// Where CW_USEDEFAULT puts a top-level window: below the task bar, down to
// the bottom of the screen.
Rect default_window_area();

}  // namespace sim
