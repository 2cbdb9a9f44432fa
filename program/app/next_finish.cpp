#include "app/next_finish.h"

#include "app/catalogue/run_state.h"
#include "app/catalogue/string_table.h"
#include "app/program_handles.h"
#include "app/result_log.h"
#include "app/resume_record.h"
#include "app/run_dialog.h"
#include "app/selection_panel.h"
#include "app/soft_reset.h"
#include "app/startup_shortcut.h"
#include "app/status_column.h"
#include "resource.h"
#include "tests/template_dialog.h"
#include "tests/test_sequence.h"

// At most 9 characters of the button's text are read.
static const int kButtonTextCapacity = 10;

// True when the first `length` characters of `text` and `reference` agree
// (an empty text agrees with anything).
static BOOL SameLeadingCharacters(const WCHAR* text, const WCHAR* reference, int length) {
    for (int i = 0; i < length; ++i) {
        if (text[i] != reference[i]) return FALSE;
        if (text[i] == 0) break;
    }
    return TRUE;
}

void OnNextFinishCommand(HWND mainWindow) {
    WCHAR text[kButtonTextCapacity] = {0};
    int length = GetWindowTextW(g_hNextFinishButton, text, kButtonTextCapacity);
    if (length < 0) length = 0;
    if (SameLeadingCharacters(text, g_szNext, length))
        RunNextPath(mainWindow);
    else
        RunFinishPath(mainWindow);
}

void RunNextPath(HWND mainWindow) {
    // Only a Start in this opening of the dialog counts, even if the
    // dialog ends without a command.
    RunChoice.startPressed = FALSE;
    RunTemplateDialog(IDD_RUN, RunDialogProc);
    UpdateWindow(mainWindow);
    if (!RunChoice.startPressed) return;

    // A reset run: store the selection, have the shell start the program
    // again after the restart, and reset.  A successful reset ends the
    // program here; when the request fails the run goes on at once.
    if (RunChoice.autoReset) {
        SaveResumeRecord();
        if (UserHasLeft()) return;
        CreateStartupShortcut();
        SoftReset();
        // Only a refused reset comes back here.  The run happens now, so
        // nothing made for the resume may stay behind: the shortcut would
        // start the program at every power-on, and "Reboot" would run this
        // selection again at the next start.
        DeleteStartupShortcut();
        if (UserHasLeft()) return;
        ClearRestartFlag();
        if (UserHasLeft()) return;
    }

    TestSequence(mainWindow);
    if (UserHasLeft()) return;
    SetWindowTextW(g_hNextFinishButton, g_szFinish);
}

void RunFinishPath(HWND mainWindow) {
    HDC dc = GetDC(mainWindow);

    if (MessageBoxW(mainWindow, g_szLogQuestion, g_szLogCaption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) ==
        IDYES)
        WriteResultLog();

    // Whatever the answer, the panel is ready for another run.
    SetWindowTextW(g_hNextFinishButton, g_szNext);
    ClearResultTable();
    InvalidateRect(NULL, NULL, TRUE);
    DrawStatusColumn(dc);

    ReleaseDC(mainWindow, dc);
}
