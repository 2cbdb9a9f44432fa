// What the device does with a null pointer where a call needs memory to
// read or write: the call fails (its failure value, ERROR_INVALID_PARAMETER)
// and changes nothing.  Where a call's page gives a null pointer a meaning
// of its own (InvalidateRect's whole window, GetObject's size query), the
// call checks for that first.
#pragma once

#include <windows.h>

namespace sim {

// True, with ERROR_INVALID_PARAMETER set, when `p` is null.
inline bool missing(const void* p) {
    if (p) return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return true;
}

}  // namespace sim
