// The kernel's I/O control: the soft-reset request.
#include <windows.h>

#include "base/journal.h"
#include "base/person.h"
#include "base/profile.h"
#include "platform/ce_api.h"

extern "C" BOOL WINAPI KernelIoControl(DWORD code, LPVOID, DWORD, LPVOID, DWORD, LPDWORD returned) {
    if (returned) *returned = 0;
    if (code != IOCTL_HAL_REBOOT) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    bool fails = sim::profile().string_or("reset", "works") == "fails";
    sim::log_event("reset_request", {{"ok", !fails}});
    if (fails) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    // The device restarts at once: the program is gone without a word.
    throw sim::DeviceReset{};
}
