#include "tests/test_sequence.h"

#include "app/catalogue/run_state.h"
#include "app/selection_panel.h"
#include "tests/screen_restore.h"

// Each test has its turn below.  A test stores its own result in the
// ResultTable and reports its own failures; a failed test never stops the
// run.  A test that is not built yet does nothing in its turn, so its slot
// keeps 0 and the panel and the log show "?" for it.

// Sound: the sound test stores the Sound result; nothing follows it.
static void SoundTurn(HWND mainWindow) {
    // The sound test is not built yet.
}

// Screen Calibration: the stylus target dialog (template 102) runs with
// RunTemplateDialog; its end code becomes the result (2 PASS, 1 FAIL, any
// other code 0), then RestoreScreenAfterTest(mainWindow).
static void CalibrationTurn(HWND mainWindow) {
    // The stylus target test is not built yet.
}

// Screen Patterns: the pattern test stores its result, then
// RestoreScreenAfterPatterns(mainWindow).
static void PatternTurn(HWND mainWindow) {
    // The screen pattern test is not built yet.
}

// Read/Write files: the file test stores its result; nothing follows it.
static void FileTurn(HWND mainWindow) {
    // The file test is not built yet.
}

// IR Transfer: the IR port test stores its result; nothing follows it.
static void IrTurn(HWND mainWindow) {
    // The IR port test is not built yet.
}

// LED Notification: the LED test up to and including storing its result,
// then RestoreScreenAfterTest(mainWindow), then the LED test's last step,
// the release of the utility library it loaded.
static void LedTurn(HWND mainWindow) {
    // The LED test is not built yet.
}

// Key Test: the key test dialog (template 108) is reused while the
// program-wide handle names a live window (IsWindow), otherwise made with
// CreateTemplateDialog and its handle kept; either way it is shown
// (SW_SHOW) and the run goes on without waiting: the dialog stores the Key
// result itself when it ends.
static void KeyTurn(HWND mainWindow) {
    // The key test is not built yet.
}

void TestSequence(HWND mainWindow) {
    EnableWindow(g_hNextFinishButton, FALSE);

    if (SelectionFlags[TestSound]) SoundTurn(mainWindow);
    if (SelectionFlags[TestCalibration]) CalibrationTurn(mainWindow);
    if (SelectionFlags[TestPattern]) PatternTurn(mainWindow);
    if (SelectionFlags[TestFile]) FileTurn(mainWindow);
    if (SelectionFlags[TestIr]) IrTurn(mainWindow);
    if (SelectionFlags[TestLed]) LedTurn(mainWindow);
    if (SelectionFlags[TestKey]) KeyTurn(mainWindow);

    // Whether or not any test ran: wipe the screen, give the button back,
    // bring the shell's bars back and let everything repaint.
    RunScreenRestoreDialog();
    EnableWindow(g_hNextFinishButton, TRUE);
    SHFullScreen(mainWindow, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);
    InvalidateRect(NULL, NULL, TRUE);
    UpdateWindow(mainWindow);
}
