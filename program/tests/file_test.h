// The Read/Write files test: writes the TestPayload to the scratch file
// "\DravikFile.txt", closes it, opens it again, reads the text back,
// compares and deletes the file.  It asks the user nothing; a failed file
// operation before the comparison is reported with a box of its own.
#pragma once

#include "platform/win32.h"

// Runs the test with the main window as owner of its boxes and stores the
// File result: PASS, or FAIL on any failure.  When the file matched but
// cannot be closed or deleted, FAIL is stored without a box and the file
// stays.
void FileTest(HWND mainWindow);
