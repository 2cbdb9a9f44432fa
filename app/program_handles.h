// Process-wide handles set at start-up and read by every part of the program.
#pragma once

#include "platform/win32.h"

extern HINSTANCE g_hInstance;    // for every resource lookup and window creation
extern HWND g_hMainWindow;       // stored as soon as the window is created
extern HWND g_hMenuBar;          // stored by the main window's create handler
