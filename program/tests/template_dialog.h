// Every dialog of the program is made from its resource template in the
// program's own module, with the main window as owner and 0 as the
// initialisation value.
#pragma once

#include "platform/win32.h"

// The code the dialog ended with; the platform's failure value (-1) when
// the template cannot be found or the dialog cannot be made.
INT_PTR RunTemplateDialog(int templateId, DLGPROC dialogProc);

// A modeless dialog from the template; NULL when it cannot be made.
HWND CreateTemplateDialog(int templateId, DLGPROC dialogProc);
