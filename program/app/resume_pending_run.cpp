#include "app/resume_pending_run.h"

#include "app/catalogue/run_state.h"
#include "app/resume_record.h"
#include "app/selection_panel.h"
#include "app/startup_shortcut.h"

BOOL ResumePendingRun() {
    if (ReadResumeValue(RESUME_REBOOT_VALUE) != 1) return FALSE;

    for (int i = 0; i < TestCount; ++i) {
        BOOL selected = ReadResumeValue(ResumeValueName((TestId)i)) == 1 ? TRUE : FALSE;
        SendMessageW(g_hTestCheckBoxes[i], BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
        SelectionFlags[i] = selected;
    }

    DeleteStartupShortcut();
    return TRUE;
}
