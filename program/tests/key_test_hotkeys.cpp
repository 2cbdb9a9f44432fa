#include "tests/key_test_hotkeys.h"

const UINT KeyTestHotKeys[KEY_TEST_HOT_KEY_COUNT] = {192, 193, 194, 195, 196, 198, 199, 200, 201};

void ReleaseKeyTestHotKeys(HWND window) {
    for (int i = 0; i < KEY_TEST_HOT_KEY_COUNT; ++i) UnregisterHotKey(window, (int)KeyTestHotKeys[i]);
}
