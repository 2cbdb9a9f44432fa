// The hardware buttons that the key test takes from the shell as hot keys:
// 192 to 196 and 198 to 201 (197 is left alone), always in this order.  Each
// is registered with its key code as identifier and as key, with MOD_WIN.
#pragma once

#include "platform/win32.h"

const int KEY_TEST_HOT_KEY_COUNT = 9;
const UINT KEY_TEST_HOT_KEY_MODIFIER = MOD_WIN;

extern const UINT KeyTestHotKeys[KEY_TEST_HOT_KEY_COUNT];

// Unregisters every key test hot key from `window`, in order.  A key that
// the window does not hold fails quietly.
void ReleaseKeyTestHotKeys(HWND window);
