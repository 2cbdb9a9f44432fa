// The Screen Calibration step of a run: the stylus target dialog and the
// result it leaves.
#pragma once

#include "platform/win32.h"

// Runs the target dialog (template IDD_TOUCH_TARGET) owned by the main window and stores
// the Calibration result: PASS when it ended with 2, FAIL with 1, and "not
// run" for any other code, as when the dialog cannot be made.
void TouchTargetTest(HWND mainWindow);
