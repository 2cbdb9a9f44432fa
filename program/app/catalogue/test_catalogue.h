// The seven tests, their fixed order and their per-test attributes.
#pragma once

#include "platform/win32.h"

// Row order on the panel, run order, log order and resume-record order.
enum TestId {
    TestSound,
    TestCalibration,
    TestPattern,
    TestFile,
    TestIr,
    TestLed,
    TestKey,
    TestCount
};

struct TestCatalogueRow {
    TestId id;
    UINT nameId;          // string table id of the test's name
    int checkBoxId;       // control id of the test's box on the panel
    BOOL selectedAtStart;
};

extern const TestCatalogueRow TestCatalogue[TestCount];

const TestCatalogueRow& CatalogueRow(TestId id);

// The row whose check box has this control id, or NULL when no box has it.
const TestCatalogueRow* CatalogueRowForCheckBox(int checkBoxId);
