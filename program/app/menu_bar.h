// The main window's empty menu bar.
#pragma once

#include "platform/win32.h"

// Asks the shell for a bar without menu or buttons; returns its handle, or
// NULL when the shell made none.
HWND CreateMainMenuBar(HWND mainWindow);
