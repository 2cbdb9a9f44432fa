#include "app/menu_bar.h"

#include "app/program_handles.h"

HWND CreateMainMenuBar(HWND mainWindow) {
    SHMENUBARINFO info = {};
    info.cbSize = sizeof(info);
    info.hwndParent = mainWindow;
    info.dwFlags = SHCMBF_EMPTYBAR;
    info.nToolBarId = 0;
    info.hInstRes = g_hInstance;
    info.nBmpId = 0;
    info.cBmpImages = 0;
    if (!SHCreateMenuBar(&info)) return NULL;
    return info.hwndMB;
}
