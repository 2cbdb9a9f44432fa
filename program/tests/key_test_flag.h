// The flag that tells other software on the device that a key test has run
// since the main window opened: DWORD "KEY" under
// HKEY_LOCAL_MACHINE\SOFTWARE\TESTKEY.  1 when the key test starts, 0 when
// the main window closes; the program never reads it.
#pragma once

#include "platform/win32.h"

#define KEY_TEST_FLAG_VALUE TEXT("KEY")

// Opens or creates the key and stores `value` under `valueName` as a DWORD.
// A failed store is noted on the debug output only; a key that cannot be
// opened or created is passed over in silence.
void WriteKeyTestFlag(LPCWSTR valueName, DWORD value);
