// Resource identifiers shared by the program and its resource script.
#pragma once

// Strings
#define IDS_TITLE 10000
#define IDS_FINISH 10001
#define IDS_NEXT 10002
#define IDS_LOG_QUESTION 10003
#define IDS_WINDOWS_FOLDER 10004
#define IDS_LOG_CAPTION 10006
#define IDS_PASS 10007
#define IDS_FAIL 10008
#define IDS_SELECT_TEST 10009
#define IDS_STATUS 10010
#define IDS_SOUND 10011
#define IDS_CALIBRATION 10012
#define IDS_FILE 10013
#define IDS_IR 10014
#define IDS_LED 10015
#define IDS_KEY 10016
#define IDS_SOUND_QUESTION 10017
#define IDS_LED_QUESTION 10019
#define IDS_MY_DOCUMENTS 10022
#define IDS_PATTERN 10023
#define IDS_KEY_INSTRUCTION 10024
#define IDS_RUN_WARNING 10025
#define IDS_RUN_RESET 10026
#define IDS_BACK 10027
#define IDS_START 10028
#define IDS_NAV_TITLE 10030
#define IDS_MODEL_ONLY 10031

// Dialogs
#define IDD_RUN 101
#define IDD_TOUCH_TARGET 102
#define IDD_SCREEN_RESTORE 103
#define IDD_KEY_TEST 108

// Controls of the main window's panel: each test's check box, in catalogue
// order (1006 is left out: it is the run dialog's warning), and the
// Next/Finish button
#define IDC_SOUND_BOX 1000
#define IDC_CALIBRATION_BOX 1001
#define IDC_PATTERN_BOX 1002
#define IDC_FILE_BOX 1003
#define IDC_IR_BOX 1004
#define IDC_LED_BOX 1005
#define IDC_KEY_BOX 1007
#define IDC_NEXT_FINISH 1008

// The key test's catcher: the invisible button that holds the hardware
// buttons and the focus while the key test dialog is open
#define IDC_KEY_CATCHER 1009

// Controls of the run dialog
#define IDC_RESET_BOX 1000
#define IDC_START 1001
#define IDC_BACK 1002
#define IDC_RUN_WARNING 1006

// Bitmaps of the key test: the arrow and the device picture
#define IDB_KEY_ARROW 112
#define IDB_KEY_PICTURE 124

// The program's icon
#define IDI_DRAVIK 107
