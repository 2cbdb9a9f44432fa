// The key test: a modeless dialog (template IDD_KEY_TEST) that shows a picture of
// the device with a red arrow on one hardware button.  Pressing that
// button moves the arrow on; after the ninth the test passes and the
// dialog ends itself through its Cancel path.  Cancel ends it early with
// FAIL.  The application buttons are taken from the shell as hot keys for
// the dialog's key catcher and handed to the main window when the dialog
// ends; the main window keeps them until it closes.
#pragma once

#include "platform/win32.h"

// The dialog while it exists, NULL otherwise.  A run that finds it still
// open shows it again instead of making another.
extern HWND g_hKeyTestDialog;

// The test's turn in a run: shows the open dialog again, or makes a new
// one owned by the main window, and returns at once.  The dialog stores
// the Key result when it ends.
void ShowKeyTestDialog();

BOOL CALLBACK KeyTestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
