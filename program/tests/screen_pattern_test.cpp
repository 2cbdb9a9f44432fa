#include "tests/screen_pattern_test.h"

#include "app/catalogue/run_state.h"
#include "tests/pattern_drawing.h"

static const int kPassesPerPattern = 30;
// Lets the white opening frame settle before the passes.
static const DWORD kOpeningPauseMs = 10;

void ScreenPatternTest(HWND mainWindow) {
    GXOpenDisplay(mainWindow, GX_FULLSCREEN);
    DisplayRecord = GXGetDisplayProperties();

    FillScreenSolid(255, 255, 255);
    Sleep(kOpeningPauseMs);

    // Every pass after the opening fill counts, and every pass is drawn
    // whatever the earlier ones gave.
    int verdict = 1;
    for (int pass = 0; pass < kPassesPerPattern; ++pass) verdict &= FillScreenSolid(0, 0, 255);
    for (int pass = 0; pass < kPassesPerPattern; ++pass) verdict &= FillScreenSolid(255, 255, 255);
    for (int pass = 0; pass < kPassesPerPattern; ++pass) verdict &= DrawColourBars(0);
    for (int pass = 0; pass < kPassesPerPattern; ++pass) verdict &= DrawColourBars(1);
    for (int pass = 0; pass < kPassesPerPattern; ++pass) verdict &= DrawRandomColumns();

    ResultTable[TestPattern] = verdict ? ResultPass : ResultFail;
}
