// The resumption of a run stored before a device reset.
#pragma once

#include "platform/win32.h"

// When "Reboot" is 1: restores each test's selection from the record
// (check box and selection flag; only 1 means selected), deletes the
// Startup shortcut and returns TRUE, so the caller starts the run at once.
// "Reboot" stays 1 until the user leaves with the caption's OK button, so
// every start until then runs the stored selection again.  Otherwise
// nothing changes and the result is FALSE.
BOOL ResumePendingRun();
