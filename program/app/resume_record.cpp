#include "app/resume_record.h"

#include "app/catalogue/run_state.h"
#include "app/program_handles.h"
#include "tests/registry_dword.h"

struct ResumeValue {
    LPCWSTR name;
    LPCWSTR writeFailure;  // shown when writing the value fails
};

static const ResumeValue kRebootValue = {RESUME_REBOOT_VALUE, TEXT("Write Reg Fail[Reboot]")};

// By TestId.
static const ResumeValue kTestValues[TestCount] = {
    {TEXT("Sound"), TEXT("Write Reg Fail[Snd]")},
    {TEXT("Calibration"), TEXT("Write Reg Fail[Calib]")},
    {TEXT("Pattern"), TEXT("Write Reg Fail[Pattern]")},
    {TEXT("File"), TEXT("Write Reg Fail[File]")},
    {TEXT("IR"), TEXT("Write Reg Fail[IR]")},
    {TEXT("LED"), TEXT("Write Reg Fail[LED]")},
    {TEXT("Key"), TEXT("Write Reg Fail[Key]")},
};

LPCWSTR ResumeValueName(TestId test) { return kTestValues[test].name; }

static void ReportWriteFailure(const ResumeValue& value) { MessageBoxW(NULL, value.writeFailure, NULL, MB_OK); }

// Writes one value into the open key (or, without a key, fails); a
// failure is reported at once.
static BOOL WriteResumeValue(BOOL keyOpen, HKEY key, const ResumeValue& value, DWORD data) {
    BOOL written = keyOpen &&
                   RegSetValueExW(key, value.name, 0, REG_DWORD, (const BYTE*)&data, sizeof(data)) == ERROR_SUCCESS;
    if (!written) ReportWriteFailure(value);
    return written;
}

BOOL SaveResumeRecord() {
    HKEY key = NULL;
    DWORD disposition;
    BOOL keyOpen =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, RESUME_RECORD_KEY, 0, NULL, 0, 0, NULL, &key, &disposition) == ERROR_SUCCESS;

    BOOL allWritten = WriteResumeValue(keyOpen, key, kRebootValue, 1);
    for (int i = 0; i < TestCount; ++i) {
        // A failure's box has no owner; a user who left the program from
        // behind it ended the run, and nothing more is stored for it.
        if (UserHasLeft()) {
            allWritten = FALSE;
            break;
        }
        if (!WriteResumeValue(keyOpen, key, kTestValues[i], SelectionFlags[i] ? 1 : 0)) allWritten = FALSE;
    }

    if (keyOpen) RegCloseKey(key);
    return allWritten;
}

BOOL ClearRestartFlag() {
    if (WriteRegistryDword(HKEY_LOCAL_MACHINE, RESUME_RECORD_KEY, RESUME_REBOOT_VALUE, 0)) return TRUE;
    ReportWriteFailure(kRebootValue);
    return FALSE;
}

DWORD ReadResumeValue(LPCWSTR valueName) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RESUME_RECORD_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    // The type is not looked at, but a read that fails (a value longer than
    // four bytes among them) leaves the buffer undefined, so it counts as 0.
    if (RegQueryValueExW(key, valueName, NULL, NULL, (LPBYTE)&value, &size) != ERROR_SUCCESS) value = 0;
    RegCloseKey(key);
    return value;
}
