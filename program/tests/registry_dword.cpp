#include "tests/registry_dword.h"

BOOL WriteRegistryDword(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD value) {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExW(root, subKey, 0, NULL, 0, 0, NULL, &key, &disposition) != ERROR_SUCCESS) return FALSE;
    LONG stored = RegSetValueExW(key, valueName, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
    RegCloseKey(key);
    return stored == ERROR_SUCCESS;
}
