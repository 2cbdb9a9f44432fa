#include "tests/touch_target_dialog.h"

#include "tests/draw_target.h"

TouchTargetState g_TouchTargetState;

// The targets sit 30 pixels in from the left and right edges; the top ones
// 15 pixels below the top edge, the bottom ones 30 pixels above the bottom.
static const int kSideInset = 30;
static const int kTopInset = 15;
static const int kBottomInset = 30;
// A tap hits when it lies within this many pixels of the centre on both
// axes, bounds included: a square of 21 x 21 pixels.
static const int kTolerance = 10;
static const int kTargetCount = 4;

static void ResetTouchTargetState() {
    for (int k = 0; k < kTargetCount; ++k) g_TouchTargetState.hit[k] = 0;
    g_TouchTargetState.targetX = kSideInset;
    g_TouchTargetState.targetY = kTopInset;
    g_TouchTargetState.step = 0;
}

static BOOL TouchTargetOnInitDialog(HWND dialog) {
    SHINITDLGINFO info;
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_FULLSCREENNOMENUBAR;
    SHInitDialog(&info);
    SetForegroundWindow(dialog);
    SHFullScreen(dialog, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    ResetTouchTargetState();
    return TRUE;
}

// The target is drawn through the dialog's own device context, not the
// one that painting supplies.
static BOOL TouchTargetOnPaint(HWND dialog) {
    PAINTSTRUCT paint;
    BeginPaint(dialog, &paint);
    DrawTarget(dialog, g_TouchTargetState.targetX, g_TouchTargetState.targetY);
    EndPaint(dialog, &paint);
    return TRUE;
}

static BOOL TouchTargetOnCommand(HWND dialog, WPARAM wParam) {
    if (LOWORD(wParam) == IDOK) EndDialog(dialog, TOUCH_TARGET_MISSED);
    return TRUE;
}

static BOOL AllTargetsHit() {
    for (int k = 0; k < kTargetCount; ++k)
        if (!g_TouchTargetState.hit[k]) return FALSE;
    return TRUE;
}

// The centre of the target shown while `step` taps have been made, for a
// client area `width` x `height`.
static void TargetCentre(int step, LONG width, LONG height, int* x, int* y) {
    switch (step) {
    case 1:  // bottom left
        *x = kSideInset;
        *y = height - kBottomInset;
        break;
    case 2:  // bottom right
        *x = width - kSideInset;
        *y = height - kBottomInset;
        break;
    case 3:  // top right
        *x = width - kSideInset;
        *y = kTopInset;
        break;
    default:  // top left
        *x = kSideInset;
        *y = kTopInset;
        break;
    }
}

// The stylus is lifted: the tap counts for the target on show, and every
// tap moves on to the next target; the fourth ends the dialog.
static BOOL OnStylusUp(HWND dialog, LPARAM lParam) {
    // Client coordinates as the platform packs them: a point left of or
    // above the client area arrives as a large value and misses.
    int x = LOWORD(lParam);
    int y = HIWORD(lParam);
    TouchTargetState& state = g_TouchTargetState;
    if (x >= state.targetX - kTolerance && x <= state.targetX + kTolerance && y >= state.targetY - kTolerance &&
        y <= state.targetY + kTolerance)
        state.hit[state.step] = 1;

    RECT client;
    GetClientRect(dialog, &client);
    if (state.step < kTargetCount - 1) {
        TargetCentre(state.step + 1, client.right, client.bottom, &state.targetX, &state.targetY);
        state.step += 1;
        // The old target is erased and the new one painted.
        InvalidateRect(dialog, &client, TRUE);
    } else {
        state.step = 0;
        EndDialog(dialog, AllTargetsHit() ? TOUCH_TARGET_ALL_HIT : TOUCH_TARGET_MISSED);
    }
    return TRUE;
}

BOOL CALLBACK TouchTargetDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TouchTargetOnInitDialog(dialog);
    case WM_PAINT:
        return TouchTargetOnPaint(dialog);
    case WM_COMMAND:
        return TouchTargetOnCommand(dialog, wParam);
    case WM_LBUTTONUP:
        return OnStylusUp(dialog, lParam);
    default:
        return FALSE;
    }
}
