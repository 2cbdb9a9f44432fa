#include "app/program_handles.h"

HINSTANCE g_hInstance = NULL;
HWND g_hMainWindow = NULL;
HWND g_hMenuBar = NULL;
