#include "app/resume_record.h"

// Opens the record's key, creating it when it is missing.
static BOOL OpenResumeRecordForWriting(HKEY* key) {
    DWORD disposition;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, RESUME_RECORD_KEY, 0, NULL, 0, 0, NULL, key, &disposition) ==
           ERROR_SUCCESS;
}

static BOOL WriteResumeValue(HKEY key, LPCWSTR name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value)) == ERROR_SUCCESS;
}

BOOL ClearRestartFlag() {
    HKEY key;
    BOOL written = FALSE;
    if (OpenResumeRecordForWriting(&key)) {
        written = WriteResumeValue(key, RESUME_REBOOT_VALUE, 0);
        RegCloseKey(key);
    }
    if (!written) MessageBoxW(NULL, TEXT("Write Reg Fail[Reboot]"), NULL, MB_OK);
    return written;
}
