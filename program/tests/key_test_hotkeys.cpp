#include "tests/key_test_hotkeys.h"

const UINT KeyTestHotKeys[KEY_TEST_HOT_KEY_COUNT] = {VK_DEVICE_C0, VK_APP1, VK_APP2, VK_APP3, VK_APP4,
                                                  VK_APP6,      VK_DEVICE_C7, VK_DEVICE_C8, VK_DEVICE_C9};

void ReleaseKeyTestHotKeys(HWND window) {
    for (int i = 0; i < KEY_TEST_HOT_KEY_COUNT; ++i) UnregisterHotKey(window, (int)KeyTestHotKeys[i]);
}
