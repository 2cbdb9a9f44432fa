#include "app/startup_shortcut.h"

#include "app/catalogue/string_table.h"
#include "app/device_path.h"

static const WCHAR kShortcutName[] = TEXT("\\Dravik.lnk");
static const WCHAR kProgramFile[] = TEXT("Dravik.exe");

// The shortcut's path: the Startup folder (not created when missing)
// followed by "\Dravik.lnk".  False when there is no such folder or the
// path would not fit.
static BOOL StartupShortcutPath(WCHAR path[MAX_PATH]) {
    path[0] = 0;
    if (!SHGetSpecialFolderPath(NULL, path, CSIDL_STARTUP, FALSE)) return FALSE;
    path[MAX_PATH - 1] = 0;
    if (lstrlenW(path) + lstrlenW(kShortcutName) >= MAX_PATH) return FALSE;
    lstrcatW(path, kShortcutName);
    return TRUE;
}

void CreateStartupShortcut() {
    WCHAR path[MAX_PATH];
    if (!StartupShortcutPath(path)) return;

    // "\Windows\Dravik.exe", quoted.
    WCHAR target[MAX_PATH];
    target[0] = TEXT('"');
    BuildDevicePath(target + 1, g_szWindowsFolder, kProgramFile);
    lstrcatW(target, TEXT("\""));

    SHCreateShortcut(path, target);
}

void DeleteStartupShortcut() {
    WCHAR path[MAX_PATH];
    if (!StartupShortcutPath(path)) return;
    DeleteFileW(path);
}
