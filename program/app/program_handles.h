// Process-wide handles set at start-up and read by every part of the program.
#pragma once

#include "platform/win32.h"

extern HINSTANCE g_hInstance;    // for every resource lookup and window creation
extern HWND g_hMainWindow;       // stored as soon as the window is created
extern HWND g_hMenuBar;          // stored by the main window's create handler

// True once the main window is gone: the user has left the program (the
// caption's OK) while something of a run was still on the way, such as a
// message box without owner, which leaves the panel live behind it.  What
// was waiting on that box then stops: no further test, shortcut or reset.
BOOL UserHasLeft();
