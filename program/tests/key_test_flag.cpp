#include "tests/key_test_flag.h"

void WriteKeyTestFlag(LPCWSTR valueName, DWORD value) {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\TESTKEY"), 0, NULL, 0, 0, NULL, &key, &disposition) !=
        ERROR_SUCCESS)
        return;
    if (RegSetValueExW(key, valueName, 0, REG_DWORD, (const BYTE*)&value, sizeof(value)) != ERROR_SUCCESS)
        OutputDebugStringW(TEXT("Write registry failed(Backlight Sensor!\r\n"));
    RegCloseKey(key);
}
