#include "app/model_check.h"

#include "app/catalogue/string_table.h"
#include "device/device_utility.h"

static const WCHAR kSupportedModel[] = TEXT("qz Orvex k7100");

static HMODULE g_hDeviceUtility = NULL;
static WCHAR g_szModelName[MODEL_NAME_CAPACITY];

BOOL ModelCheck(HWND mainWindow) {
    g_hDeviceUtility = LoadDeviceUtility(mainWindow);
    if (g_hDeviceUtility != NULL) {
        OrvexGetModelIDProc getModelId = FindOrvexGetModelID(g_hDeviceUtility);
        if (getModelId != NULL) getModelId(g_szModelName);
    }
    // Whatever the library wrote, the name ends inside the buffer.
    g_szModelName[MODEL_NAME_CAPACITY - 1] = 0;

    if (lstrcmpW(g_szModelName, kSupportedModel) == 0) return TRUE;
    MessageBoxW(mainWindow, g_szModelOnly, NULL, MB_OK | MB_ICONERROR);
    DestroyWindow(mainWindow);
    return FALSE;
}
