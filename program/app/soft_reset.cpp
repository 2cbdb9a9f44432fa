#include "app/soft_reset.h"

void SoftReset() {
    if (!KernelIoControl(IOCTL_HAL_REBOOT, NULL, 0, NULL, 0, NULL))
        MessageBoxW(NULL, TEXT("Software reset Error"), TEXT("Reset Result"), MB_OK);
}
