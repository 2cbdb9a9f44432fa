#include "app/run_dialog.h"

#include "app/catalogue/string_table.h"
#include "app/catalogue/ui_fonts.h"
#include "app/stress_tool_check.h"
#include "resource.h"

RunChoiceFlags RunChoice = {FALSE, FALSE};

static HWND g_hResetCheckBox = NULL;

static void SetItemFont(HWND dialog, int id, HFONT font) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETFONT, (WPARAM)font, TRUE);
}

static BOOL RunDialogOnInitDialog(HWND dialog) {
    // The template asks for this style bit already; it is added again.
    SetWindowLongW(dialog, GWL_STYLE, GetWindowLongW(dialog, GWL_STYLE) | WS_MAXIMIZEBOX);
    UpdateWindow(dialog);

    // Full screen, input panel lowered.
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
    SHInitDialog(&info);

    g_hResetCheckBox = GetDlgItem(dialog, IDC_RESET_BOX);

    // No automatic reset while a stress-test tool runs.
    if (StressToolCheck()) {
        SendMessageW(g_hResetCheckBox, BM_SETCHECK, BST_UNCHECKED, 0);
        EnableWindow(g_hResetCheckBox, FALSE);
        RunChoice.autoReset = FALSE;
    } else {
        SendMessageW(g_hResetCheckBox, BM_SETCHECK, BST_CHECKED, 0);
        RunChoice.autoReset = TRUE;
    }

    SetItemFont(dialog, IDC_RESET_BOX, UiFonts.normal);
    SetItemFont(dialog, IDC_BACK, UiFonts.bold);
    SetItemFont(dialog, IDC_START, UiFonts.bold);
    SetItemFont(dialog, IDC_RUN_WARNING, UiFonts.normal);

    SetDlgItemTextW(dialog, IDC_RESET_BOX, g_szRunReset);
    SetDlgItemTextW(dialog, IDC_BACK, g_szBack);
    SetDlgItemTextW(dialog, IDC_START, g_szStart);
    SetDlgItemTextW(dialog, IDC_RUN_WARNING, g_szRunWarning);

    // The system sets the input focus.
    return TRUE;
}

static BOOL RunDialogOnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
    case IDC_BACK:
        // Leaving without Start: nothing runs.
        RunChoice.startPressed = FALSE;
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case IDC_RESET_BOX:
        RunChoice.autoReset = SendMessageW(g_hResetCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED ? TRUE : FALSE;
        return TRUE;
    case IDC_START:
        RunChoice.startPressed = TRUE;
        EndDialog(dialog, IDC_START);
        return TRUE;
    default:
        return TRUE;
    }
}

BOOL CALLBACK RunDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return RunDialogOnInitDialog(dialog);
    case WM_COMMAND:
        return RunDialogOnCommand(dialog, wParam);
    default:
        return FALSE;
    }
}
