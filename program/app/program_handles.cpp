#include "app/program_handles.h"

HINSTANCE g_hInstance = NULL;
HWND g_hMainWindow = NULL;
HWND g_hMenuBar = NULL;

BOOL UserHasLeft() { return !IsWindow(g_hMainWindow); }
