// The Screen Calibration test: a full-screen dialog (template IDD_TOUCH_TARGET) that
// shows one stylus target at a time near the corners of its client area.
// Every tap moves on to the next target, hit or not; the fourth tap ends
// the dialog with 2 when all four taps fell within 10 pixels of their
// target's centre on both axes, otherwise with 1.  Done (OK) ends it with 1
// at any time.
#pragma once

#include "platform/win32.h"

// What the dialog remembers between taps; reset each time it opens.
struct TouchTargetState {
    int hit[4];   // hit[k]: the tap made while target k + 1 was shown hit it
    int targetX;  // client coordinates of the centre of the target on show
    int targetY;
    int step;     // taps made so far, 0 to 3: the index of the target on show
};

extern TouchTargetState g_TouchTargetState;

// The dialog's end codes.
#define TOUCH_TARGET_ALL_HIT 2
#define TOUCH_TARGET_MISSED 1

BOOL CALLBACK TouchTargetDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
