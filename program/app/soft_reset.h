// The device's soft reset, asked of the kernel.
#pragma once

#include "platform/win32.h"

// When the request succeeds the device restarts and this never returns.
// When it fails the user is told "Software reset Error" (caption "Reset
// Result", no owner) and it returns.
void SoftReset();
