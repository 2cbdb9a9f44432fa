// The state of a run, shared by the panel, the test sequence, the tests, the
// resume path and the result log; it lives as long as the process.
#pragma once

#include "app/catalogue/test_catalogue.h"
#include "app/catalogue/test_result.h"

// Which tests the next run performs; starts from the catalogue's defaults.
extern BOOL SelectionFlags[TestCount];

// What each test returned in this cycle; all ResultNotRun at start.
extern TestResult ResultTable[TestCount];

// True when at least one test is selected.
BOOL AnyTestSelected();

// Every slot back to ResultNotRun (on Finish).
void ClearResultTable();
