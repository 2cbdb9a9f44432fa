// Process snapshots (CE toolhelp): the device's system processes, the
// processes the profile says are running, and the programs started now.
#include <windows.h>

#include <cstring>
#include <vector>

#include "base/profile.h"
#include "kernel/kernel_objects.h"
#include "kernel/process.h"
#include "base/text.h"
#include "platform/ce_api.h"

namespace sim {

namespace {

struct Snapshot : KernelObject {
    std::vector<std::u16string> names;
    size_t next = 0;
};

const char16_t* const kSystemProcesses[] = {u"NK.EXE",      u"filesys.exe", u"device.exe", u"gwes.exe",
                                            u"shell32.exe", u"services.exe", u"connmgr.exe"};

bool fill(Snapshot& s, LPPROCESSENTRY32 pe) {
    if (!pe || pe->dwSize < sizeof(PROCESSENTRY32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (s.next >= s.names.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return false;
    }
    DWORD size = pe->dwSize;
    std::memset(pe, 0, sizeof(PROCESSENTRY32));
    pe->dwSize = size;
    pe->th32ProcessID = DWORD(0x1000 + s.next * 4);
    pe->cntThreads = 1;
    const std::u16string& name = s.names[s.next++];
    size_t n = std::min(name.size(), size_t(MAX_PATH - 1));
    std::copy(name.begin(), name.begin() + long(n), pe->szExeFile);
    pe->szExeFile[n] = 0;
    return true;
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD) {
    if (!(flags & TH32CS_SNAPPROCESS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto s = std::make_shared<Snapshot>();
    for (auto name : kSystemProcesses) s->names.push_back(name);
    for (auto& p : profile().processes()) s->names.push_back(to_u16(p));
    for (const std::u16string& exe : running_programs()) {
        size_t at = exe.find_last_of(u'\\');
        s->names.push_back(at == std::u16string::npos ? exe : exe.substr(at + 1));
    }
    return add_handle(s);
}

BOOL WINAPI Process32First(HANDLE h, LPPROCESSENTRY32 pe) {
    auto s = find_handle_as<Snapshot>(h);
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    s->next = 0;
    return fill(*s, pe) ? TRUE : FALSE;
}

BOOL WINAPI Process32Next(HANDLE h, LPPROCESSENTRY32 pe) {
    auto s = find_handle_as<Snapshot>(h);
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return fill(*s, pe) ? TRUE : FALSE;
}

BOOL WINAPI CloseToolhelp32Snapshot(HANDLE h) {
    if (!find_handle_as<Snapshot>(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return close_handle(h) ? TRUE : FALSE;
}

}  // extern "C"
