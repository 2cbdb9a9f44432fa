// The record that carries a reset run across the device's restart:
// HKEY_LOCAL_MACHINE\SOFTWARE\DRAVIK, one DWORD per test plus "Reboot",
// which is 1 while a reset run is pending.
#pragma once

#include "platform/win32.h"

#define RESUME_RECORD_KEY TEXT("SOFTWARE\\DRAVIK")
#define RESUME_REBOOT_VALUE TEXT("Reboot")

// Writes 0 into "Reboot", creating the key if needed.  On failure the user
// is told "Write Reg Fail[Reboot]" and the result is FALSE.
BOOL ClearRestartFlag();
