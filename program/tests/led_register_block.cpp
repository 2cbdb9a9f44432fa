#include "tests/led_register_block.h"

// Reserves a page of address space and maps the kernel virtual range onto
// it, read-write and uncached.  NULL when either step fails; a reservation
// that could not be mapped is given back at once.
static volatile BYTE* MakeView(UINT_PTR kernelAddress) {
    LPVOID view = VirtualAlloc(NULL, LED_VIEW_SIZE, MEM_RESERVE, PAGE_NOACCESS);
    if (view == NULL) return NULL;
    if (!VirtualCopy(view, (LPVOID)kernelAddress, LED_VIEW_SIZE, PAGE_READWRITE | PAGE_NOCACHE)) {
        VirtualFree(view, 0, MEM_RELEASE);
        return NULL;
    }
    return (volatile BYTE*)view;
}

static void ReleaseView(volatile BYTE** view) {
    if (*view == NULL) return;
    VirtualFree((LPVOID)*view, 0, MEM_RELEASE);
    *view = NULL;
}

// The 16-bit register at `offset` from view 1's register base.
static volatile USHORT* View1Register(const LedRegisterBlock* block, int offset) {
    return (volatile USHORT*)(block->view1 + LED_VIEW1_REGISTER_BASE + offset);
}

static volatile USHORT* View2Register(const LedRegisterBlock* block, int offset) {
    return (volatile USHORT*)(block->view2 + LED_VIEW2_REGISTER_BASE + offset);
}

// One 16-bit read, then one 16-bit write of the bits in `keep` with `set`
// ORed in.
static void ModifyRegister(volatile USHORT* reg, USHORT keep, USHORT set) {
    USHORT value = READ_REGISTER_USHORT(reg);
    WRITE_REGISTER_USHORT(reg, (USHORT)((value & keep) | set));
}

void StartControllerFlashing(LedRegisterBlock* block, int cycleField, int rateField) {
    block->view1 = MakeView(LED_VIEW1_KERNEL_ADDRESS);
    block->view2 = MakeView(LED_VIEW2_KERNEL_ADDRESS);

    if (block->view2 != NULL) ModifyRegister(View2Register(block, 0x08), 0xFFFF, 0x0010);  // set bit 4
    if (block->view1 == NULL) return;

    ModifyRegister(View1Register(block, 0x00), 0xFBFF, 0);  // clear bit 10
    ModifyRegister(View1Register(block, 0x10), 0xFBFF, 0);  // clear bit 10
    WRITE_REGISTER_USHORT(View1Register(block, 0x28), 0x1999);
    ModifyRegister(View1Register(block, 0x2C), 0xF800, 0);  // clear bits 10..0
    ModifyRegister(View1Register(block, 0x14), 0x07FF, (USHORT)((cycleField & 0x1F) << 11));  // bits 15..11
    ModifyRegister(View1Register(block, 0x10), (USHORT)~0x01F0, (USHORT)((rateField & 0x1F) << 4));  // bits 8..4
    ModifyRegister(View1Register(block, 0x10), 0xFFFF, 0x0002);  // set bit 1
    ModifyRegister(View1Register(block, 0x14), 0xF800, 0x0707);  // bits 10..0
    ModifyRegister(View1Register(block, 0x10), 0xFDFF, 0);       // clear bit 9
    ModifyRegister(View1Register(block, 0x10), 0xFFFF, 0x0001);  // set bit 0: the flashing runs
}

void StopControllerFlashing(LedRegisterBlock* block) {
    if (block->view1 != NULL) WRITE_REGISTER_USHORT(View1Register(block, 0x10), 0);
    ReleaseView(&block->view1);
    ReleaseView(&block->view2);
}
