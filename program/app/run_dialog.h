// The run dialog (template IDD_RUN): confirms a run and offers to reset the
// device first.  It leaves its outcome in RunChoice for its caller.
#pragma once

#include "platform/win32.h"

struct RunChoiceFlags {
    // 1 when the dialog was left with Start, 0 when left any other way.
    BOOL startPressed;
    // 1 when the device is to be reset before the run.  Set from the
    // stress-tool check at every opening, then follows the reset box.
    BOOL autoReset;
};

extern RunChoiceFlags RunChoice;

BOOL CALLBACK RunDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
