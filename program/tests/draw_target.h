// One stylus target: a filled circle of diameter 20 with a cross of 40
// pixels over it, drawn with a device context's default pen and brush.
#pragma once

#include "platform/win32.h"

// Draws the target centred on client point (x, y) of `dialog`, through a
// device context of its own for the dialog's client area.
void DrawTarget(HWND dialog, int x, int y);
