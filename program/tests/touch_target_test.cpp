#include "tests/touch_target_test.h"

#include "app/catalogue/run_state.h"
#include "resource.h"
#include "tests/template_dialog.h"
#include "tests/touch_target_dialog.h"

void TouchTargetTest(HWND mainWindow) {
    INT_PTR endCode = RunTemplateDialog(IDD_TOUCH_TARGET, TouchTargetDialogProc);
    TestResult result = ResultNotRun;
    if (endCode == TOUCH_TARGET_ALL_HIT)
        result = ResultPass;
    else if (endCode == TOUCH_TARGET_MISSED)
        result = ResultFail;
    ResultTable[TestCalibration] = result;
}
