// The screen restore: a blank, topmost, full-screen dialog (template IDD_SCREEN_RESTORE)
// that wipes whatever a test drew straight onto the display, brings the
// task bar and input panel button back and closes at its first paint;
// invalidating every window afterwards makes the shell and the main window
// repaint themselves.
#pragma once

#include "platform/win32.h"

// The dialog's procedure: handles initialisation and the first paint.
BOOL CALLBACK ScreenRestoreDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog once; a dialog that cannot be shown is passed over.
void RunScreenRestoreDialog();

// What follows the Screen Calibration test (once its result is stored) and
// the LED Notification test (before it releases the utility library): the
// dialog, every window invalidated, the main window updated.
void RestoreScreenAfterTest(HWND mainWindow);

// What follows the Screen Patterns test: as above, with the main window
// made the active window before it is updated.
void RestoreScreenAfterPatterns(HWND mainWindow);
