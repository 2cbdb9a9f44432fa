// The program's texts, loaded once at start-up from the resource string
// table, each into a buffer of its own (capacity in wide characters,
// terminator included; a longer text is cut to fit).
#pragma once

#include "platform/win32.h"

extern WCHAR g_szTitle[30];            // 10000 "Dravik"
extern WCHAR g_szFinish[30];           // 10001 "Finish"
extern WCHAR g_szNext[30];             // 10002 "Next"
extern WCHAR g_szLogQuestion[80];      // 10003
extern WCHAR g_szWindowsFolder[30];    // 10004 "Windows"
extern WCHAR g_szLogCaption[30];       // 10006 "Make Log File"
extern WCHAR g_szPass[30];             // 10007 "PASS"
extern WCHAR g_szFail[30];             // 10008 "FAIL"
extern WCHAR g_szSelectTest[30];       // 10009 "Select Test"
extern WCHAR g_szStatus[30];           // 10010 "Status"
extern WCHAR g_szSound[30];            // 10011
extern WCHAR g_szCalibration[30];      // 10012
extern WCHAR g_szFile[30];             // 10013
extern WCHAR g_szIr[30];               // 10014
extern WCHAR g_szLed[30];              // 10015
extern WCHAR g_szKey[30];              // 10016
extern WCHAR g_szSoundQuestion[150];   // 10017
extern WCHAR g_szLedQuestion[150];     // 10019
extern WCHAR g_szMyDocuments[30];      // 10022 "My Documents"
extern WCHAR g_szPattern[30];          // 10023
extern WCHAR g_szKeyInstruction[150];  // 10024
extern WCHAR g_szRunWarning[120];      // 10025
extern WCHAR g_szRunReset[60];         // 10026
extern WCHAR g_szBack[30];             // 10027 "Back"
extern WCHAR g_szStart[30];            // 10028 "Start"
extern WCHAR g_szNavTitle[30];         // 10030 "Settings"
extern WCHAR g_szModelOnly[150];       // 10031

// Loads every string, in id order, from the program's own resources.
void LoadStringTable(HINSTANCE instance);

// The loaded text of a string id, or an empty text for an id not in the table.
LPCWSTR StringTableText(UINT id);
