#include "tests/test_sequence.h"

#include "app/catalogue/run_state.h"
#include "app/program_handles.h"
#include "app/selection_panel.h"
#include "tests/key_test_dialog.h"
#include "tests/screen_pattern_test.h"
#include "tests/screen_restore.h"
#include "tests/sound_test.h"
#include "tests/file_test.h"
#include "tests/ir_test.h"
#include "tests/led_test.h"
#include "tests/touch_target_test.h"

// Each test has its turn below.  A test stores its own result in the
// ResultTable and reports its own failures; a failed test never stops the
// run.  A slot that holds 0 (no test filled it in this cycle, or its test
// could not judge) shows as "?" on the panel and in the log.

// Sound: the sound test stores the Sound result; nothing follows it.
static void SoundTurn(HWND mainWindow) { SoundTest(mainWindow); }

// Screen Calibration: the stylus target dialog (template IDD_TOUCH_TARGET) runs with
// RunTemplateDialog; its end code becomes the result (2 PASS, 1 FAIL, any
// other code 0), then RestoreScreenAfterTest(mainWindow).
static void CalibrationTurn(HWND mainWindow) {
    TouchTargetTest(mainWindow);
    RestoreScreenAfterTest(mainWindow);
}

// Screen Patterns: the pattern test stores its result, then
// RestoreScreenAfterPatterns(mainWindow).
static void PatternTurn(HWND mainWindow) {
    ScreenPatternTest(mainWindow);
    RestoreScreenAfterPatterns(mainWindow);
}

// Read/Write files: the file test stores its result; nothing follows it.
static void FileTurn(HWND mainWindow) { FileTest(mainWindow); }

// IR Transfer: the IR port test stores its result; nothing follows it.
static void IrTurn(HWND mainWindow) { IrPortTest(); }

// LED Notification: the LED test up to and including storing its result,
// then RestoreScreenAfterTest(mainWindow), then the LED test's last step,
// the release of the utility library it loaded.
static void LedTurn(HWND mainWindow) {
    RunLedTest(mainWindow);
    if (!UserHasLeft()) RestoreScreenAfterTest(mainWindow);
    ReleaseLedTestLibrary();
}

// Key Test: the key test dialog (template IDD_KEY_TEST) is reused while the
// program-wide handle names a live window (IsWindow), otherwise made with
// CreateTemplateDialog and its handle kept; either way it is shown
// (SW_SHOW) and the run goes on without waiting: the dialog stores the Key
// result itself when it ends.
static void KeyTurn(HWND mainWindow) { ShowKeyTestDialog(); }

// A test has its turn when it is selected and the user is still in the
// program: one who left from behind a box without owner ended the run.
static BOOL TurnDue(TestId test) { return SelectionFlags[test] && !UserHasLeft(); }

void TestSequence(HWND mainWindow) {
    EnableWindow(g_hNextFinishButton, FALSE);

    if (TurnDue(TestSound)) SoundTurn(mainWindow);
    if (TurnDue(TestCalibration)) CalibrationTurn(mainWindow);
    if (TurnDue(TestPattern)) PatternTurn(mainWindow);
    if (TurnDue(TestFile)) FileTurn(mainWindow);
    if (TurnDue(TestIr)) IrTurn(mainWindow);
    if (TurnDue(TestLed)) LedTurn(mainWindow);
    if (TurnDue(TestKey)) KeyTurn(mainWindow);
    if (UserHasLeft()) return;

    // Whether or not any test ran: wipe the screen, give the button back,
    // bring the shell's bars back and let everything repaint.
    RunScreenRestoreDialog();
    EnableWindow(g_hNextFinishButton, TRUE);
    SHFullScreen(mainWindow, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);
    InvalidateRect(NULL, NULL, TRUE);
    UpdateWindow(mainWindow);
}
