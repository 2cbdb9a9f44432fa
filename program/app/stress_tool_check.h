// The automatic reset is refused while a stress-test tool runs.
#pragma once

#include "platform/win32.h"

// True when a process whose executable name, in lower case, contains the
// tool's name is running: "hopper.exe" on Windows CE above 4.0,
// "spider.exe" otherwise.  A snapshot that cannot be taken or read means
// no tool.
BOOL StressToolCheck();
