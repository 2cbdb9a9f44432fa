// Stores one DWORD in the registry, creating its key when it is missing.
#pragma once

#include "platform/win32.h"

// True exactly when the value was stored.  False at once when the key can
// be neither opened nor created; the key is closed whatever the store did.
BOOL WriteRegistryDword(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD value);
