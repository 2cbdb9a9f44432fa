// The program's only top-level window.
#pragma once

#include "platform/win32.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
