// The two fonts every screen uses, made at start-up and deleted when the
// main window closes.
#pragma once

#include "platform/win32.h"

struct UiFontPair {
    HFONT normal;  // labels, check boxes, Status column, run dialog texts
    HFONT bold;    // title, Next/Finish, run dialog and key test buttons
};

extern UiFontPair UiFonts;

// Reads the user's ClearType setting, then makes the normal and the bold
// "Tahoma".
void CreateUiFonts();

// Deletes the normal font, then the bold one.
void DeleteUiFonts();
