// What the main window paints itself: the title, two separator lines and
// the Status column (the controls paint themselves).
#pragma once

#include "platform/win32.h"

void PaintMainWindow(HWND window);

// A two-point polyline (the end point is not drawn) with a pen made, used
// and deleted for this one line.
void DrawLine(HDC dc, int width, POINT from, POINT to, COLORREF colour);

// The rule under the title and the shorter one under the panel's labels.
void DrawSeparatorLines(HWND window, HDC dc);
