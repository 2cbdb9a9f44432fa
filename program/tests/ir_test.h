// The IR Transfer test: sends the TestPayload once through the serial port
// "COM2:", behind which the infrared transceiver sits, and judges by what
// the driver reports.  Nothing is read back, no partner device is needed,
// the port is used with the settings the driver has, and no box is shown.
#pragma once

#include "platform/win32.h"

// Stores the IR result: PASS when the port opened and took all 48 bytes,
// FAIL otherwise.
void IrPortTest();
