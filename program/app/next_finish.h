// The Next/Finish button: the one way into a run and out of its results.
// The button's own text is the panel's state: "Next" (idle) or "Finish" (a
// run has ended and its results are on screen).
#pragma once

#include "platform/win32.h"

// Command IDC_NEXT_FINISH: reads the button's text and takes the Next path
// when it matches string IDS_NEXT "Next", otherwise the Finish path.
void OnNextFinishCommand(HWND mainWindow);

// Next: confirm with the run dialog, then run the selected tests.
void RunNextPath(HWND mainWindow);

// Finish: offer the result log, then clear the results for another run.
void RunFinishPath(HWND mainWindow);
