// The Screen Patterns step of a run: a white screen, then 30 frames each of
// solid blue, solid white, vertical colour bars, horizontal colour bars and
// random-coloured columns, drawn back to back straight into the display
// memory.  The user is asked nothing; the result says whether every
// counted pass obtained the display memory.
#pragma once

#include "platform/win32.h"

// Opens the display for the main window (it stays open until the process
// ends), draws the passes and stores the Pattern result.  Every pass but
// the opening white fill counts.
void ScreenPatternTest(HWND mainWindow);
