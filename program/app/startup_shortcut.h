// The shortcut "Dravik.lnk" in the shell's Startup folder, which makes the
// shell start the program again after a reset.  It points at the program
// file in the Windows folder.  Outcomes are not reported.
#pragma once

#include "platform/win32.h"

void CreateStartupShortcut();
void DeleteStartupShortcut();
