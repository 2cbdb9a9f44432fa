#include "tests/key_catcher.h"

#include "app/program_handles.h"
#include "resource.h"
#include "tests/key_test_dialog.h"

HWND g_hKeyCatcher = NULL;
static WNDPROC g_pfnButtonProc = NULL;

static const UINT kForwardedKeys[] = {VK_RETURN, VK_LEFT, VK_UP,   VK_RIGHT, VK_DOWN,     VK_APP1,
                                      VK_APP2,   VK_APP3, VK_APP4, VK_APP6,  VK_DEVICE_C7};

BOOL IsForwardedKey(UINT key) {
    for (unsigned i = 0; i < sizeof kForwardedKeys / sizeof kForwardedKeys[0]; ++i)
        if (kForwardedKeys[i] == key) return TRUE;
    return FALSE;
}

HWND CreateKeyCatcher(HWND dialog) {
    g_hKeyCatcher = CreateWindowExW(0, TEXT("button"), TEXT(""), WS_CHILD, 130, 230, 80, 20, dialog,
                                    (HMENU)IDC_KEY_CATCHER, g_hInstance, NULL);
    SetFocus(g_hKeyCatcher);
    g_pfnButtonProc = (WNDPROC)SetWindowLongW(g_hKeyCatcher, GWL_WNDPROC, (LONG)KeyCatcherProc);
    return g_hKeyCatcher;
}

void RestoreKeyCatcherProc() {
    if (g_pfnButtonProc != NULL) SetWindowLongW(g_hKeyCatcher, GWL_WNDPROC, (LONG)g_pfnButtonProc);
}

// Posts, never sends: the dialog sees each key after the message that
// brought it.  A pad press arrives as key down and key up and so posts
// twice; the second finds the walk already moved on.
LRESULT CALLBACK KeyCatcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_KEYDOWN || message == WM_KEYUP || message == WM_HOTKEY) && IsForwardedKey((UINT)wParam)) {
        PostMessageW(g_hKeyTestDialog, KEY_TEST_MESSAGE, 0, (LPARAM)wParam);
        return 0;
    }
    return CallWindowProcW(g_pfnButtonProc, window, message, wParam, lParam);
}
