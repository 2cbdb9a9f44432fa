// The LED controller's registers, reached through two views of fixed kernel
// virtual addresses (the LedRegisterBlock).  The views exist only while the
// controller flashes for the LED test: StartControllerFlashing makes them,
// StopControllerFlashing releases them.  Every register is 16 bits wide and
// is read and written as one 16-bit access.
#pragma once

#include "platform/win32.h"

// View 1: the controller's page, its registers from offset 0x200.
#define LED_VIEW1_KERNEL_ADDRESS 0xAFB07000
#define LED_VIEW1_REGISTER_BASE 0x200
// View 2: one register, at offset 0xC08.
#define LED_VIEW2_KERNEL_ADDRESS 0xAFB04000
#define LED_VIEW2_REGISTER_BASE 0xC00
#define LED_VIEW_SIZE 4096

struct LedRegisterBlock {
    volatile BYTE* view1;  // NULL while not mapped
    volatile BYTE* view2;
};

// Makes view 1, then view 2, and starts the controller flashing.  The two
// parameters are 5-bit fields: `cycleField` goes into bits 15..11 of view
// 1's register 0x14, `rateField` into bits 8..4 of its register 0x10.  A view that
// cannot be reserved or mapped is left out: no register is touched through
// it, and nothing is shown.
void StartControllerFlashing(LedRegisterBlock* block, int cycleField, int rateField);

// Stops the flashing (0 into register 0x10 of view 1) and releases view 1,
// then view 2, leaving both NULL.  The other registers keep their values.
void StopControllerFlashing(LedRegisterBlock* block);
