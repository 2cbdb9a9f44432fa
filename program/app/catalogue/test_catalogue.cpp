#include "app/catalogue/test_catalogue.h"

#include "resource.h"

const TestCatalogueRow TestCatalogue[TestCount] = {
    {TestSound, IDS_SOUND, IDC_SOUND_BOX, TRUE},
    {TestCalibration, IDS_CALIBRATION, IDC_CALIBRATION_BOX, TRUE},
    {TestPattern, IDS_PATTERN, IDC_PATTERN_BOX, TRUE},
    {TestFile, IDS_FILE, IDC_FILE_BOX, TRUE},
    {TestIr, IDS_IR, IDC_IR_BOX, FALSE},
    {TestLed, IDS_LED, IDC_LED_BOX, TRUE},
    {TestKey, IDS_KEY, IDC_KEY_BOX, TRUE},
};

const TestCatalogueRow& CatalogueRow(TestId id) { return TestCatalogue[id]; }

const TestCatalogueRow* CatalogueRowForCheckBox(int checkBoxId) {
    for (int i = 0; i < TestCount; ++i)
        if (TestCatalogue[i].checkBoxId == checkBoxId) return &TestCatalogue[i];
    return NULL;
}
