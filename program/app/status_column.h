// The Status column: one cell per test beside its check box, showing the
// test's result in this cycle.
#pragma once

#include "platform/win32.h"

// Draws all seven cells in the normal font and the device context's text
// colour, then puts the previous font back.
void DrawStatusColumn(HDC dc);
