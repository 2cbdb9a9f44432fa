// The program runs only on its own device model.
#pragma once

#include "platform/win32.h"

// Asks the device utility library for the model name.  On any model but
// "qz Orvex k7100" (a missing library or export counts as an empty name) the
// user is told and the main window is destroyed; returns whether the model
// passed.  The library stays loaded until the process ends.
BOOL ModelCheck(HWND mainWindow);
