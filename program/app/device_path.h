// Paths on the device's store, built from the names of the folders at its
// root ("Windows", "My Documents"), which come from the string table.
#pragma once

#include "platform/win32.h"

// Writes "\<folder>\<file>" into `path` and returns it; with no folder
// (NULL), "\<file>", a file at the root.  `path` must hold the result: the
// folder names are at most 29 characters and the file names the program's
// own.
LPWSTR BuildDevicePath(LPWSTR path, LPCWSTR folder, LPCWSTR file);
