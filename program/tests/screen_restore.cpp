#include "tests/screen_restore.h"

#include "resource.h"
#include "tests/template_dialog.h"

static const int kScreenWidth = 240;
static const int kScreenHeight = 320;
// The height of the shell's task bar, which the dialog moves up over.
static const int kTaskBarHeight = 26;
// The end code of the dialog; nobody reads it.
static const INT_PTR kRestoreEndCode = 2;

static BOOL ScreenRestoreOnInitDialog(HWND dialog) {
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_FULLSCREENNOMENUBAR;
    SHInitDialog(&info);

    // The rectangle's right and bottom edges serve as width and height.
    RECT rect;
    GetWindowRect(dialog, &rect);
    MoveWindow(dialog, rect.left, rect.top - kTaskBarHeight, rect.right, rect.bottom, TRUE);

    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, kScreenWidth, kScreenHeight, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    SHFullScreen(dialog, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    return TRUE;
}

// Beginning to paint erases the background and so blanks the screen;
// nothing is drawn.
static BOOL ScreenRestoreOnPaint(HWND dialog) {
    PAINTSTRUCT paint;
    BeginPaint(dialog, &paint);
    SHFullScreen(dialog, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    EndPaint(dialog, &paint);
    EndDialog(dialog, kRestoreEndCode);
    return TRUE;
}

BOOL CALLBACK ScreenRestoreDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return ScreenRestoreOnInitDialog(dialog);
    case WM_PAINT:
        return ScreenRestoreOnPaint(dialog);
    default:
        return FALSE;
    }
}

void RunScreenRestoreDialog() { RunTemplateDialog(IDD_SCREEN_RESTORE, ScreenRestoreDialogProc); }

void RestoreScreenAfterTest(HWND mainWindow) {
    RunScreenRestoreDialog();
    InvalidateRect(NULL, NULL, TRUE);
    UpdateWindow(mainWindow);
}

void RestoreScreenAfterPatterns(HWND mainWindow) {
    RunScreenRestoreDialog();
    InvalidateRect(NULL, NULL, TRUE);
    SetActiveWindow(mainWindow);
    UpdateWindow(mainWindow);
}
