// The panel of the main window: two labels, a check box per test and the
// Next/Finish button.  The handles live as long as the main window.
#pragma once

#include "app/catalogue/test_catalogue.h"

extern HWND g_hTestLabel;
extern HWND g_hStatusLabel;
extern HWND g_hTestCheckBoxes[TestCount];  // reached by TestId
extern HWND g_hNextFinishButton;

// Creates the ten controls in panel order, each with its font, then ticks
// the boxes of the tests selected at start.
void BuildSelectionPanel(HWND mainWindow);

// Enables the Next/Finish button while at least one test is selected.
void ApplyNextButtonRule();

// A tap on a test's box: its selection follows the box's tick.
void OnTestCheckBoxClicked(TestId test);
