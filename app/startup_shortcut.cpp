#include "app/startup_shortcut.h"

#include "app/catalogue/string_table.h"

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
    lstrcpyW(target, TEXT("\"\\"));
    lstrcatW(target, g_szWindowsFolder);
    lstrcatW(target, TEXT("\\"));
    lstrcatW(target, kProgramFile);
    lstrcatW(target, TEXT("\""));

    SHCreateShortcut(path, target);
}

void DeleteStartupShortcut() {
    WCHAR path[MAX_PATH];
    if (!StartupShortcutPath(path)) return;
    DeleteFileW(path);
}
