#include "app/next_finish.h"

#include "app/catalogue/string_table.h"
#include "app/selection_panel.h"

// At most 9 characters of the button's text are read.
static const int kButtonTextCapacity = 10;

// True when the first `length` characters of `text` and `reference` agree
// (an empty text agrees with anything).
static BOOL SameLeadingCharacters(const WCHAR* text, const WCHAR* reference, int length) {
    for (int i = 0; i < length; ++i) {
        if (text[i] != reference[i]) return FALSE;
        if (text[i] == 0) break;
    }
    return TRUE;
}

void OnNextFinishCommand(HWND mainWindow) {
    WCHAR text[kButtonTextCapacity] = {0};
    int length = GetWindowTextW(g_hNextFinishButton, text, kButtonTextCapacity);
    if (length < 0) length = 0;
    if (SameLeadingCharacters(text, g_szNext, length))
        RunNextPath(mainWindow);
    else
        RunFinishPath(mainWindow);
}

void RunNextPath(HWND mainWindow) {
    // Not built yet: the run dialog, the reset-and-resume preparation and
    // the test sequence come here.  Until then Next starts nothing.
}

void RunFinishPath(HWND mainWindow) {
    // Not built yet: the log question, the result log and the clearing of
    // the results come here.  Nothing leads to the Finish state until the
    // Next path runs tests.
}
