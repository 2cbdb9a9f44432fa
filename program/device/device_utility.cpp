#include "device/device_utility.h"

HMODULE LoadDeviceUtility(HWND owner) {
    HMODULE library = LoadLibraryW(DEVICE_UTILITY_LIBRARY);
    if (library == NULL) MessageBoxW(owner, TEXT("OrvexUtil.dll is not found"), TEXT("Not Found"), MB_OK | MB_ICONERROR);
    return library;
}

// Exports come back as the generic FARPROC; going through a procedure type
// without arguments makes the conversion to the export's own type explicit.
typedef void (*UntypedProc)(void);

static UntypedProc FindExport(HMODULE library, LPCWSTR name) {
    if (library == NULL) return NULL;
    return reinterpret_cast<UntypedProc>(GetProcAddressW(library, name));
}

OrvexGetModelIDProc FindOrvexGetModelID(HMODULE library) {
    return reinterpret_cast<OrvexGetModelIDProc>(FindExport(library, TEXT("OrvexGetModelID")));
}

OrvexGetBlueToothRadioPresentProc FindOrvexGetBlueToothRadioPresent(HMODULE library) {
    return reinterpret_cast<OrvexGetBlueToothRadioPresentProc>(
        FindExport(library, TEXT("OrvexGetBlueToothRadioPresent")));
}

OrvexGetBlueToothRadioStatusProc FindOrvexGetBlueToothRadioStatus(HMODULE library) {
    return reinterpret_cast<OrvexGetBlueToothRadioStatusProc>(
        FindExport(library, TEXT("OrvexGetBlueToothRadioStatus")));
}

static void ReportRadioNotMapped() {
    MessageBoxW(NULL, TEXT("OrvexBlueToothRadio is not mapped properly"), NULL, MB_OK);
}

void QueryBlueToothRadio(HMODULE library, int* radio) {
    if (library == NULL) return;
    OrvexGetBlueToothRadioPresentProc present = FindOrvexGetBlueToothRadioPresent(library);
    if (present == NULL || present(radio) == 0) {
        ReportRadioNotMapped();
        return;
    }
    if (*radio != 1) return;
    OrvexGetBlueToothRadioStatusProc status = FindOrvexGetBlueToothRadioStatus(library);
    if (status == NULL) {
        ReportRadioNotMapped();
        return;
    }
    status(radio);
}
