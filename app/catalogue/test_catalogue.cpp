#include "app/catalogue/test_catalogue.h"

#include "resource.h"

const TestCatalogueRow TestCatalogue[TestCount] = {
    {TestSound, IDS_SOUND, 1000, TRUE},
    {TestCalibration, IDS_CALIBRATION, 1001, TRUE},
    {TestPattern, IDS_PATTERN, 1002, TRUE},
    {TestFile, IDS_FILE, 1003, TRUE},
    {TestIr, IDS_IR, 1004, FALSE},
    {TestLed, IDS_LED, 1005, TRUE},
    {TestKey, IDS_KEY, 1007, TRUE},
};

const TestCatalogueRow& CatalogueRow(TestId id) { return TestCatalogue[id]; }

const TestCatalogueRow* CatalogueRowForCheckBox(int checkBoxId) {
    for (int i = 0; i < TestCount; ++i)
        if (TestCatalogue[i].checkBoxId == checkBoxId) return &TestCatalogue[i];
    return NULL;
}
