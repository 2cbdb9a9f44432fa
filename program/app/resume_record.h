// The record that carries a reset run across the device's restart:
// HKEY_LOCAL_MACHINE\SOFTWARE\DRAVIK, one DWORD per test plus "Reboot",
// which is 1 while a reset run is pending.  When read, only the value 1
// means yes; a missing value or key, or any other number, means no.
#pragma once

#include "app/catalogue/test_catalogue.h"

#define RESUME_RECORD_KEY TEXT("SOFTWARE\\DRAVIK")
#define RESUME_REBOOT_VALUE TEXT("Reboot")

// The record's value name for a test ("Sound", "Calibration", "Pattern",
// "File", "IR", "LED", "Key").
LPCWSTR ResumeValueName(TestId test);

// Writes "Reboot" = 1, then each test's selection (1 or 0) in catalogue
// order, creating the key if needed.  Each failed write is reported with
// its own message box (no owner, no caption) and the next write still
// happens; when the key cannot be opened every write counts as failed.
// True when all eight writes succeeded.
BOOL SaveResumeRecord();

// Writes 0 into "Reboot", creating the key if needed.  On failure the user
// is told "Write Reg Fail[Reboot]" and the result is FALSE.
BOOL ClearRestartFlag();

// The DWORD stored under `valueName`, or 0 when the key or the value
// cannot be read.
DWORD ReadResumeValue(LPCWSTR valueName);
