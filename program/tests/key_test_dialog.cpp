#include "tests/key_test_dialog.h"

#include "app/catalogue/run_state.h"
#include "app/catalogue/string_table.h"
#include "app/catalogue/ui_fonts.h"
#include "app/program_handles.h"
#include "device/device_utility.h"
#include "resource.h"
#include "tests/key_catcher.h"
#include "tests/key_test_flag.h"
#include "tests/key_test_hotkeys.h"
#include "tests/key_test_walk.h"
#include "tests/template_dialog.h"

// The system's call that makes the shell let go of a hardware button, so
// that a program can register it as a hot key.  Exported by coredll and
// found by name.
typedef BOOL(WINAPI* UnregisterFunc1Proc)(UINT modifiers, UINT key);
// Exports come back as the generic FARPROC; going through a procedure type
// without arguments makes the conversion to the export's own type explicit.
typedef void (*UntypedProc)(void);

// The Pocket PC style bit that keeps the smart-minimize button off the
// navigation bar while the dialog is in front.
static const LONG kNoNavDoneButton = 0x00010000;

// The arrow bitmap's white is see-through.
static const COLORREF kArrowTransparent = RGB(255, 255, 255);

HWND g_hKeyTestDialog = NULL;

// The test's state lives as long as the program: a dialog shown again by a
// later run goes on where it was.
static int KeyTestState = KEY_TEST_FIRST_STATE;
static BOOL KeyCaptureArmed = FALSE;  // the user has confirmed the instruction
static BOOL KeyPromptShown = FALSE;   // the instruction has been shown
// Set while the dialog ends: a second Cancel, tapped while one of the end's
// messages is open, must not run the end again.
static BOOL g_bEnding = FALSE;

static HMODULE g_hCoreDll = NULL;
static UnregisterFunc1Proc g_pfnUnregisterFunc1 = NULL;
static HMODULE g_hDeviceUtility = NULL;

static void ShowPlainMessage(LPCWSTR text) { MessageBoxW(NULL, text, NULL, MB_OK); }

// Each hot key is first taken from the system (when the system's call was
// found), then registered for `window`.
static void TakeKeyTestHotKeys(HWND window) {
    for (int i = 0; i < KEY_TEST_HOT_KEY_COUNT; ++i) {
        // A failure's box has no owner: once the user has left the program
        // from behind it, no button is taken from the shell any more.
        if (UserHasLeft()) return;
        UINT key = KeyTestHotKeys[i];
        if (g_pfnUnregisterFunc1 != NULL) g_pfnUnregisterFunc1(KEY_TEST_HOT_KEY_MODIFIER, key);
        if (!RegisterHotKey(window, (int)key, KEY_TEST_HOT_KEY_MODIFIER, key))
            ShowPlainMessage(TEXT("RegisterHotKey is FALSE"));
    }
}

static BOOL KeyTestOnInitDialog(HWND dialog) {
    g_hKeyTestDialog = dialog;

    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
    SHInitDialog(&info);

    KeyTestState = KEY_TEST_FIRST_STATE;

    SetWindowLongW(dialog, GWL_STYLE, GetWindowLongW(dialog, GWL_STYLE) | kNoNavDoneButton);
    UpdateWindow(dialog);

    CreateKeyCatcher(dialog);

    g_hCoreDll = LoadLibraryW(TEXT("coredll.dll"));
    if (g_hCoreDll == NULL) ShowPlainMessage(TEXT("coredll is not loaded"));
    // The plain messages have no owner; a user who left the program from
    // behind one ended the run: the test takes nothing more.
    if (UserHasLeft()) return TRUE;

    WriteKeyTestFlag(KEY_TEST_FLAG_VALUE, 1);

    // Without the library there is nothing to look in: the lookup fails.
    g_pfnUnregisterFunc1 = NULL;
    if (g_hCoreDll != NULL)
        g_pfnUnregisterFunc1 = reinterpret_cast<UnregisterFunc1Proc>(
            reinterpret_cast<UntypedProc>(GetProcAddressW(g_hCoreDll, TEXT("UnregisterFunc1"))));
    if (g_pfnUnregisterFunc1 == NULL) ShowPlainMessage(TEXT("UnregisterFunc1 is not called"));
    if (UserHasLeft()) return TRUE;

    SendMessageW(GetDlgItem(dialog, IDCANCEL), WM_SETFONT, (WPARAM)UiFonts.bold, TRUE);

    TakeKeyTestHotKeys(g_hKeyCatcher);
    if (UserHasLeft()) return TRUE;

    KeyCaptureArmed = FALSE;
    KeyPromptShown = FALSE;

    SetWindowPos(g_hMainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    g_hDeviceUtility = LoadDeviceUtility(dialog);
    return TRUE;
}

// Copies a bitmap resource at its own size through a memory device context
// compatible with `dc`: opaque, or with white left out.
static void DrawBitmapResource(HDC dc, int bitmapId, int x, int y, BOOL whiteIsTransparent) {
    HBITMAP bitmap = LoadBitmapW(g_hInstance, MAKEINTRESOURCE(bitmapId));
    if (bitmap == NULL) return;
    BITMAP size;
    if (GetObjectW(bitmap, sizeof size, &size) != 0) {
        HDC memory = CreateCompatibleDC(dc);
        if (memory != NULL) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            if (whiteIsTransparent)
                TransparentImage(dc, x, y, size.bmWidth, size.bmHeight, memory, 0, 0, size.bmWidth, size.bmHeight,
                                 kArrowTransparent);
            else
                BitBlt(dc, x, y, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
    }
    DeleteObject(bitmap);
}

// The whole picture each time, which also covers the arrow of the state
// before; then the arrow of this state.  The instruction comes once per
// dialog, after its first picture.
static BOOL KeyTestOnPaint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    DrawBitmapResource(dc, IDB_KEY_PICTURE, KEY_PICTURE_X, KEY_PICTURE_Y, FALSE);
    const KeyTestStep* step = KeyTestStepFor(KeyTestState);
    if (step != NULL) DrawBitmapResource(dc, IDB_KEY_ARROW, step->arrowX, step->arrowY, TRUE);
    EndPaint(dialog, &paint);

    if (!KeyPromptShown) {
        KeyPromptShown = TRUE;
        if (MessageBoxW(dialog, g_szKeyInstruction, g_szKey, MB_OK) == IDOK) KeyCaptureArmed = TRUE;
        SetFocus(g_hKeyCatcher);
    }
    return TRUE;
}

static BOOL OnKeyTestMessage(HWND dialog, UINT key) {
    if (!KeyCaptureArmed) return TRUE;
    int next = NextKeyTestState(KeyTestState, key);
    if (next == KEY_TEST_COMPLETE && KeyTestState != KEY_TEST_COMPLETE) {
        KeyTestState = next;
        // The last button: the dialog ends through its Cancel path.
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        KeyTestState = next;
    }
    InvalidateRect(dialog, NULL, FALSE);
    return TRUE;
}

// Ends the test, from the Cancel button or after the last button: the hot
// keys go to the main window, the result is stored, and the main window
// comes back to the front.
static BOOL OnCancel(HWND dialog) {
    if (g_bEnding) return TRUE;
    g_bEnding = TRUE;
    KeyCaptureArmed = FALSE;
    KeyPromptShown = FALSE;

    ReleaseKeyTestHotKeys(g_hKeyCatcher);
    RestoreKeyCatcherProc();
    TakeKeyTestHotKeys(g_hMainWindow);

    ResultTable[TestKey] = KeyTestState == KEY_TEST_COMPLETE ? ResultPass : ResultFail;

    // The catcher goes with the dialog; the dialog's deactivation on the way
    // must not give the focus to it any more.
    g_hKeyCatcher = NULL;
    DestroyWindow(dialog);
    g_hKeyTestDialog = NULL;

    SetWindowPos(g_hMainWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(g_hMainWindow);
    SetFocus(g_hMainWindow);

    if (g_hCoreDll != NULL) FreeLibrary(g_hCoreDll);
    g_hCoreDll = NULL;
    g_pfnUnregisterFunc1 = NULL;
    if (g_hDeviceUtility != NULL) FreeLibrary(g_hDeviceUtility);
    g_hDeviceUtility = NULL;
    g_bEnding = FALSE;
    return TRUE;
}

BOOL CALLBACK KeyTestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return KeyTestOnInitDialog(dialog);
    case WM_ACTIVATE:
        // Whatever the activation, the catcher keeps the focus, so that the
        // pad's keys reach it.
        SetFocus(g_hKeyCatcher);
        return TRUE;
    case WM_PAINT:
        return KeyTestOnPaint(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) return OnCancel(dialog);
        return TRUE;
    case KEY_TEST_MESSAGE:
        return OnKeyTestMessage(dialog, (UINT)lParam);
    default:
        return FALSE;
    }
}

void ShowKeyTestDialog() {
    if (!IsWindow(g_hKeyTestDialog)) g_hKeyTestDialog = CreateTemplateDialog(IDD_KEY_TEST, KeyTestDialogProc);
    ShowWindow(g_hKeyTestDialog, SW_SHOW);
}
