#include "app/catalogue/run_state.h"

// The "selected at start" column of the catalogue: every test but IR.
BOOL SelectionFlags[TestCount] = {TRUE, TRUE, TRUE, TRUE, FALSE, TRUE, TRUE};

TestResult ResultTable[TestCount] = {ResultNotRun, ResultNotRun, ResultNotRun, ResultNotRun,
                                     ResultNotRun, ResultNotRun, ResultNotRun};

BOOL AnyTestSelected() {
    for (int i = 0; i < TestCount; ++i)
        if (SelectionFlags[i]) return TRUE;
    return FALSE;
}

void ClearResultTable() {
    for (int i = 0; i < TestCount; ++i) ResultTable[i] = ResultNotRun;
}
