#include "app/stress_tool_check.h"

// The platform id of Windows CE (VER_PLATFORM_WIN32_CE).
static const DWORD kPlatformWindowsCe = 3;

// The tool's name on this version of the system.
static LPCWSTR StressToolName() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(&version);
    BOOL above40 = version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion > 0);
    if (version.dwPlatformId == kPlatformWindowsCe && above40) return TEXT("hopper.exe");
    return TEXT("spider.exe");
}

// Lower-cases the name in place, character by character.
static void LowerCase(WCHAR* name) {
    for (; *name != 0; ++name) *name = (WCHAR)towlower(*name);
}

BOOL StressToolCheck() {
    LPCWSTR toolName = StressToolName();

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return FALSE;

    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (!Process32First(snapshot, &entry)) {
        CloseToolhelp32Snapshot(snapshot);
        return FALSE;
    }

    BOOL running = FALSE;
    for (;;) {
        // Whatever the system wrote, the name ends inside its buffer.
        entry.szExeFile[MAX_PATH - 1] = 0;
        LowerCase(entry.szExeFile);
        if (wcsstr(entry.szExeFile, toolName) != NULL) {
            running = TRUE;
            break;
        }
        if (!Process32Next(snapshot, &entry)) break;
    }

    CloseToolhelp32Snapshot(snapshot);
    return running;
}
