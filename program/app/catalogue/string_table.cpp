#include "app/catalogue/string_table.h"

#include "resource.h"

WCHAR g_szTitle[30];
WCHAR g_szFinish[30];
WCHAR g_szNext[30];
WCHAR g_szLogQuestion[80];
WCHAR g_szWindowsFolder[30];
WCHAR g_szLogCaption[30];
WCHAR g_szPass[30];
WCHAR g_szFail[30];
WCHAR g_szSelectTest[30];
WCHAR g_szStatus[30];
WCHAR g_szSound[30];
WCHAR g_szCalibration[30];
WCHAR g_szFile[30];
WCHAR g_szIr[30];
WCHAR g_szLed[30];
WCHAR g_szKey[30];
WCHAR g_szSoundQuestion[150];
WCHAR g_szLedQuestion[150];
WCHAR g_szMyDocuments[30];
WCHAR g_szPattern[30];
WCHAR g_szKeyInstruction[150];
WCHAR g_szRunWarning[120];
WCHAR g_szRunReset[60];
WCHAR g_szBack[30];
WCHAR g_szStart[30];
WCHAR g_szNavTitle[30];
WCHAR g_szModelOnly[150];

struct StringSlot {
    UINT id;
    WCHAR* buffer;
    int capacity;
};

#define SLOT(id, buffer) {id, buffer, sizeof(buffer) / sizeof(buffer[0])}

static const StringSlot kSlots[] = {
    SLOT(IDS_TITLE, g_szTitle),
    SLOT(IDS_FINISH, g_szFinish),
    SLOT(IDS_NEXT, g_szNext),
    SLOT(IDS_LOG_QUESTION, g_szLogQuestion),
    SLOT(IDS_WINDOWS_FOLDER, g_szWindowsFolder),
    SLOT(IDS_LOG_CAPTION, g_szLogCaption),
    SLOT(IDS_PASS, g_szPass),
    SLOT(IDS_FAIL, g_szFail),
    SLOT(IDS_SELECT_TEST, g_szSelectTest),
    SLOT(IDS_STATUS, g_szStatus),
    SLOT(IDS_SOUND, g_szSound),
    SLOT(IDS_CALIBRATION, g_szCalibration),
    SLOT(IDS_FILE, g_szFile),
    SLOT(IDS_IR, g_szIr),
    SLOT(IDS_LED, g_szLed),
    SLOT(IDS_KEY, g_szKey),
    SLOT(IDS_SOUND_QUESTION, g_szSoundQuestion),
    SLOT(IDS_LED_QUESTION, g_szLedQuestion),
    SLOT(IDS_MY_DOCUMENTS, g_szMyDocuments),
    SLOT(IDS_PATTERN, g_szPattern),
    SLOT(IDS_KEY_INSTRUCTION, g_szKeyInstruction),
    SLOT(IDS_RUN_WARNING, g_szRunWarning),
    SLOT(IDS_RUN_RESET, g_szRunReset),
    SLOT(IDS_BACK, g_szBack),
    SLOT(IDS_START, g_szStart),
    SLOT(IDS_NAV_TITLE, g_szNavTitle),
    SLOT(IDS_MODEL_ONLY, g_szModelOnly),
};

#undef SLOT

static const int kSlotCount = sizeof(kSlots) / sizeof(kSlots[0]);

void LoadStringTable(HINSTANCE instance) {
    for (int i = 0; i < kSlotCount; ++i) LoadStringW(instance, kSlots[i].id, kSlots[i].buffer, kSlots[i].capacity);
}

LPCWSTR StringTableText(UINT id) {
    for (int i = 0; i < kSlotCount; ++i)
        if (kSlots[i].id == id) return kSlots[i].buffer;
    return TEXT("");
}
