#include "app/catalogue/ui_fonts.h"

UiFontPair UiFonts = {NULL, NULL};

// True when HKEY_CURRENT_USER\Software\Microsoft\Shell "ClearType" is the
// DWORD 1; a missing key or value, or any other value, counts as off.
static BOOL ClearTypeEnabled() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Microsoft\\Shell"), 0, 0, &key) != ERROR_SUCCESS)
        return FALSE;
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    LONG status = RegQueryValueExW(key, TEXT("ClearType"), NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value == 1;
}

static HFONT CreateTahoma(BOOL clearType, LONG weight) {
    LOGFONTW font = {};
    font.lfHeight = clearType ? -11 : 13;
    font.lfWeight = weight;
    font.lfQuality = clearType ? CLEARTYPE_QUALITY : DEFAULT_QUALITY;
    lstrcpyW(font.lfFaceName, TEXT("Tahoma"));
    return CreateFontIndirectW(&font);
}

void CreateUiFonts() {
    BOOL clearType = ClearTypeEnabled();
    UiFonts.normal = CreateTahoma(clearType, 0);
    UiFonts.bold = CreateTahoma(clearType, FW_BOLD);
}

void DeleteUiFonts() {
    DeleteObject(UiFonts.normal);
    DeleteObject(UiFonts.bold);
    UiFonts.normal = NULL;
    UiFonts.bold = NULL;
}
