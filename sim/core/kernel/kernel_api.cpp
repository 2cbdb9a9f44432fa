// Kernel services: last error, time, debug output, strings, code pages,
// version, handles.
#include <windows.h>

#include <ctime>
#include <cstring>

#include "base/journal.h"
#include "base/profile.h"
#include "kernel/arguments.h"
#include "base/clock.h"
#include "kernel/kernel_objects.h"
#include "kernel/local_time.h"
#include "base/text.h"

namespace {
DWORD g_last_error = 0;
}

extern "C" {

DWORD WINAPI GetLastError(void) { return g_last_error; }
void WINAPI SetLastError(DWORD code) { g_last_error = code; }

DWORD WINAPI GetTickCount(void) { return DWORD(sim::clock().now_ms()); }

void WINAPI Sleep(DWORD ms) {
    sim::log_event("sleep", {{"ms", ms}});
    sim::clock().pass(ms);
}

void WINAPI GetLocalTime(LPSYSTEMTIME st) {
    if (st) *st = sim::device_local_time();
}

void WINAPI OutputDebugStringW(LPCWSTR text) { sim::log_event("debug", {{"text", sim::to_utf8(text)}}); }

BOOL WINAPI CloseHandle(HANDLE h) {
    if (!sim::find_handle(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return sim::close_handle(h) ? TRUE : FALSE;
}

// The comparisons take a null pointer for an empty string (lstrlenW,
// lstrcpyW and lstrcatW are the device headers' own, over wcslen, wcscpy
// and wcscat: see windows.h).
int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b) { return wcscmp(a ? a : u"", b ? b : u""); }
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b) {
    if (!a) a = u"";
    if (!b) b = u"";
    for (;; ++a, ++b) {
        WCHAR x = towlower(*a), y = towlower(*b);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

// The device's ANSI code page is Windows-1252; every text the program
// converts is plain ASCII, which both share.  A null output buffer with a
// size is ERROR_INSUFFICIENT_BUFFER ("A supplied buffer size was not large
// enough, or it was incorrectly set to NULL").
// https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte
int WINAPI WideCharToMultiByte(UINT, DWORD, LPCWSTR in, int in_len, LPSTR out, int out_size, LPCSTR default_char,
                               LPBOOL used_default) {
    if (!in) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (in_len < 0) in_len = int(wcslen(in)) + 1;
    if (used_default) *used_default = FALSE;
    if (out_size == 0) return in_len;
    if (!out || out_size < in_len) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; i < in_len; ++i) {
        WCHAR c = in[i];
        if (c < 0x100) {
            out[i] = char(c);
        } else {
            out[i] = default_char ? *default_char : '?';
            if (used_default) *used_default = TRUE;
        }
    }
    return in_len;
}

int WINAPI MultiByteToWideChar(UINT, DWORD, LPCSTR in, int in_len, LPWSTR out, int out_size) {
    if (!in) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (in_len < 0) in_len = int(std::strlen(in)) + 1;
    if (out_size == 0) return in_len;
    if (!out || out_size < in_len) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; i < in_len; ++i) out[i] = WCHAR(static_cast<unsigned char>(in[i]));
    return in_len;
}

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info) {
    if (sim::missing(info)) return FALSE;
    if (info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const auto& p = sim::profile();
    info->dwMajorVersion = DWORD(p.os_major());
    info->dwMinorVersion = DWORD(p.os_minor());
    info->dwBuildNumber = 1230;
    info->dwPlatformId = DWORD(p.platform_id());
    info->szCSDVersion[0] = 0;
    return TRUE;
}

}  // extern "C"

// The C runtime's routines for 16-bit text.
size_t wcslen(const WCHAR* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}
WCHAR* wcscpy(WCHAR* d, const WCHAR* s) {
    WCHAR* r = d;
    while ((*d++ = *s++)) {
    }
    return r;
}
WCHAR* wcsncpy(WCHAR* d, const WCHAR* s, size_t n) {
    size_t i = 0;
    for (; i < n && s[i]; ++i) d[i] = s[i];
    for (; i < n; ++i) d[i] = 0;
    return d;
}
WCHAR* wcscat(WCHAR* d, const WCHAR* s) {
    wcscpy(d + wcslen(d), s);
    return d;
}
int wcscmp(const WCHAR* a, const WCHAR* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b ? 0 : (*a < *b ? -1 : 1);
}
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (!a[i]) return 0;
    }
    return 0;
}
const WCHAR* wcsstr(const WCHAR* h, const WCHAR* n) {
    if (!*n) return h;
    for (; *h; ++h) {
        size_t i = 0;
        while (n[i] && h[i] == n[i]) ++i;
        if (!n[i]) return h;
    }
    return nullptr;
}
WCHAR* wcsstr(WCHAR* h, const WCHAR* n) { return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(h), n)); }
WCHAR towlower(WCHAR c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return WCHAR(c + 32);
    return c;
}
WCHAR towupper(WCHAR c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return WCHAR(c - 32);
    return c;
}
WCHAR* _wcslwr(WCHAR* s) {
    for (WCHAR* p = s; *p; ++p) *p = towlower(*p);
    return s;
}
