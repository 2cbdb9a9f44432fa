// The LED Notification test: lights each notification LED for a second,
// sets them all blinking, starts the LED controller flashing and asks the
// user whether an LED flashes; the answer alone decides the result.  The
// utility library it loads stays loaded until the test sequence has
// restored the screen and calls ReleaseLedTestLibrary.
#pragma once

#include "platform/win32.h"

// Runs the test with the main window as the owner of its boxes and stores
// the LED result: OK PASS, Cancel FAIL, a box that failed "?".
void RunLedTest(HWND mainWindow);

// The test's last step: releases the utility library if it was loaded.
void ReleaseLedTestLibrary();
