// The key catcher: an invisible child button of the key test dialog that
// holds the hardware buttons as hot keys and the keyboard focus, and turns
// each button the test cares about into a message to the dialog.
#pragma once

#include "platform/win32.h"

// Posted to the key test dialog: first parameter 0, second the key code.
const UINT KEY_TEST_MESSAGE = 1225;

extern HWND g_hKeyCatcher;

// The keys passed on to the dialog: the pad (Return for the action button,
// the four arrows) and the application buttons 193 to 196, 198 and 199.
// Hot keys 192, 200 and 201 are held but never passed on.
BOOL IsForwardedKey(UINT key);

// Creates the catcher in `dialog` (class "button", no text, child but not
// visible, at (130, 230), 80 x 20), gives it the focus and puts its
// procedure in place of the button's, keeping the button's for later.
HWND CreateKeyCatcher(HWND dialog);

// Puts the button's own procedure back.
void RestoreKeyCatcherProc();

LRESULT CALLBACK KeyCatcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
