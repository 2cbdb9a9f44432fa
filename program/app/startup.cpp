// The entry procedure: everything before the message loop, then the loop.
#include "app/catalogue/string_table.h"
#include "app/catalogue/ui_fonts.h"
#include "app/main_window.h"
#include "app/model_check.h"
#include "app/program_handles.h"
#include "app/resume_pending_run.h"
#include "app/selection_panel.h"
#include "tests/test_sequence.h"

// The menu bar takes the bottom 26 pixels of the default rectangle.
static const int kMenuBarHeight = 26;

// A copy of the program already runs: bring it and its owned windows to the
// front.  True when one was found.
static BOOL ActivateRunningCopy() {
    HWND running = FindWindowW(g_szTitle, NULL);
    if (running == NULL) return FALSE;
    // The lowest bit asks for the window together with the windows it owns.
    SetForegroundWindow((HWND)((ULONG_PTR)running | 0x01));
    return TRUE;
}

static BOOL RegisterMainWindowClass() {
    WNDCLASSW windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = g_hInstance;
    windowClass.hIcon = NULL;
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = g_szTitle;
    return RegisterClassW(&windowClass) != 0;
}

// Fits the window above its menu bar.  Width and height are taken from the
// right and bottom edges themselves, which overlaps the screen by a pixel on
// each side.
static void FitAboveMenuBar(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    rect.bottom -= kMenuBarHeight;
    if (g_hMenuBar != NULL) MoveWindow(window, rect.left - 1, rect.top - 1, rect.right + 2, rect.bottom + 2, FALSE);
}

static int RunMessageLoop() {
    MSG message = {};
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return (int)message.wParam;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow) {
    g_hInstance = hInstance;
    LoadStringTable(hInstance);

    if (ActivateRunningCopy()) return 0;
    if (hPrevInstance != NULL) return 0;
    if (!RegisterMainWindowClass()) return 1;

    CreateUiFonts();

    g_hMainWindow = CreateWindowExW(WS_EX_CAPTIONOKBTN, g_szTitle, g_szTitle, WS_VISIBLE, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, hInstance, NULL);
    if (g_hMainWindow == NULL) return 0;

    FitAboveMenuBar(g_hMainWindow);
    ShowWindow(g_hMainWindow, nCmdShow);
    UpdateWindow(g_hMainWindow);

    ModelCheck(g_hMainWindow);

    // A run stored before a device reset starts at once, without the user.
    if (IsWindow(g_hMainWindow) && ResumePendingRun()) {
        SendMessageW(g_hMainWindow, WM_SETFOCUS, 0, 0);
        TestSequence(g_hMainWindow);
        SetWindowTextW(g_hNextFinishButton, g_szFinish);
    }

    return RunMessageLoop();
}
