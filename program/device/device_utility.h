// The device maker's utility library, loaded by file name at run time.  It
// is not part of the program; only its file name, its export names and the
// shape of each export are agreed.
#pragma once

#include "platform/win32.h"

#define DEVICE_UTILITY_LIBRARY TEXT("OrvexUtil.dll")

// Fills a buffer of 260 wide characters with the model name, terminated.
typedef BOOL (WINAPI* OrvexGetModelIDProc)(WCHAR* modelName);
// Nonzero on success; then a value of 1 means a Bluetooth radio is present.
typedef BOOL (WINAPI* OrvexGetBlueToothRadioPresentProc)(int* present);
// Writes the radio's status.
typedef BOOL (WINAPI* OrvexGetBlueToothRadioStatusProc)(int* status);

const int MODEL_NAME_CAPACITY = 260;

// Loads the library.  When it cannot be loaded the user is told, in a box
// owned by `owner`, and the result is NULL.
HMODULE LoadDeviceUtility(HWND owner);

// Each returns NULL when the library lacks the export.
OrvexGetModelIDProc FindOrvexGetModelID(HMODULE library);
OrvexGetBlueToothRadioPresentProc FindOrvexGetBlueToothRadioPresent(HMODULE library);
OrvexGetBlueToothRadioStatusProc FindOrvexGetBlueToothRadioStatus(HMODULE library);

// The radio query: asks whether a Bluetooth radio is present and, when the
// answer is 1, for its status, both into *radio.  A failed presence call,
// a missing presence export, or a missing status export when one is needed
// is reported in a box with no owner and no caption.  Without the library
// (NULL) nothing is asked: its loader has already told the user.
void QueryBlueToothRadio(HMODULE library, int* radio);
