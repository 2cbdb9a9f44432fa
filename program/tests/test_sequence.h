// The one routine that performs a run: every selected test once, in the
// fixed order, each storing its own result before the next one starts.
#pragma once

#include "platform/win32.h"

// Runs the selected tests on the main window.  The Next/Finish button is
// disabled until the run is over; a test that was not selected leaves its
// result slot as it was.
void TestSequence(HWND mainWindow);
