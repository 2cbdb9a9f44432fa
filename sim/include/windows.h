// Win32 API as the simulated handheld provides it on Linux.
//
// Only what the program calls is declared, with the documented names, types
// and values.  Text is 16-bit (WCHAR is char16_t), never Linux's 32-bit
// wchar_t.  The functions are implemented by the simulator's core library.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifndef UNICODE
#define UNICODE
#endif

#define WINAPI
#define CALLBACK
#define APIENTRY
#define FAR
#define NEAR
#define CONST const
#define VOID void
#define IN
#define OUT
#define OPTIONAL

#define WINAPI_EXPORT extern "C"

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef long LONG;  // wide enough for a window procedure, as on the 32-bit device
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef short SHORT;
typedef unsigned short USHORT;
typedef unsigned char UCHAR;
typedef char CHAR;
typedef char16_t WCHAR;
typedef WCHAR TCHAR;
typedef uint8_t UINT8;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef DWORD COLORREF;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef BYTE* PBYTE;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef LONG* LPLONG;
typedef BOOL* LPBOOL;
typedef int* LPINT;
typedef WORD* LPWORD;
typedef USHORT* PUSHORT;
typedef UCHAR* PUCHAR;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* LPWSTR;
typedef WCHAR* PWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* PCWSTR;
typedef LPWSTR LPTSTR;
typedef LPCWSTR LPCTSTR;
typedef LONG HRESULT;

#define TEXT(s) u##s
#define _TEXT(s) u##s

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL 0
#endif
#define MAX_PATH 260

#define DECLARE_HANDLE(name) \
    struct name##__ {        \
        int unused;          \
    };                       \
    typedef struct name##__* name

typedef void* HANDLE;
typedef HANDLE* LPHANDLE;
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HKEY);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HGDIOBJ_);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HRSRC);
typedef void* HGDIOBJ;
DECLARE_HANDLE(HPEN);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HFONT);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HRGN);
DECLARE_HANDLE(HPALETTE);
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;
typedef HANDLE HGLOBAL;
typedef HKEY* PHKEY;
typedef LONG LSTATUS;
typedef DWORD REGSAM;

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCE(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEW(i) MAKEINTRESOURCE(i)
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef BOOL(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT, DWORD);
typedef INT_PTR(WINAPI* FARPROC)();

// ---------------------------------------------------------------- errors
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_DEV_NOT_EXIST 55L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_HOTKEY_ALREADY_REGISTERED 1409L
#define ERROR_HOTKEY_NOT_REGISTERED 1419L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTWRITE 1013L
#define ERROR_GEN_FAILURE 31L
#define ERROR_BAD_PATHNAME 161L

// ---------------------------------------------------------------- kernel
WINAPI_EXPORT DWORD WINAPI GetLastError(void);
WINAPI_EXPORT void WINAPI SetLastError(DWORD dwErrCode);
WINAPI_EXPORT void WINAPI Sleep(DWORD dwMilliseconds);
WINAPI_EXPORT DWORD WINAPI GetTickCount(void);
WINAPI_EXPORT void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
WINAPI_EXPORT void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
WINAPI_EXPORT BOOL WINAPI CloseHandle(HANDLE hObject);

WINAPI_EXPORT int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
WINAPI_EXPORT int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);

#define CP_ACP 0
#define CP_UTF8 65001
WINAPI_EXPORT int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                             LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                             LPBOOL lpUsedDefaultChar);
WINAPI_EXPORT int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                             LPWSTR lpWideCharStr, int cchWideChar);

// modules
WINAPI_EXPORT HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
WINAPI_EXPORT BOOL WINAPI FreeLibrary(HMODULE hLibModule);
WINAPI_EXPORT HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
#define LoadLibrary LoadLibraryW
#define GetModuleHandle GetModuleHandleW

// processes
typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;
typedef struct _STARTUPINFOW STARTUPINFOW, *LPSTARTUPINFOW;
WINAPI_EXPORT BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                                         LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                         LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                                         DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                                         LPSTARTUPINFOW lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation);
#define CreateProcess CreateProcessW

// events
WINAPI_EXPORT HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                                         LPCWSTR lpName);
// The kernel's one call behind SetEvent, ResetEvent and PulseEvent, which
// the device's headers (kfuncs.h) define over it: coredll exports no
// SetEvent.
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
WINAPI_EXPORT BOOL WINAPI EventModify(HANDLE hEvent, DWORD func);
inline BOOL SetEvent(HANDLE hEvent) { return EventModify(hEvent, EVENT_SET); }
inline BOOL ResetEvent(HANDLE hEvent) { return EventModify(hEvent, EVENT_RESET); }
inline BOOL PulseEvent(HANDLE hEvent) { return EventModify(hEvent, EVENT_PULSE); }
#define CreateEvent CreateEventW

// version
typedef struct _OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *LPOSVERSIONINFOW, OSVERSIONINFO, *LPOSVERSIONINFO;
#define VER_PLATFORM_WIN32_CE 3
WINAPI_EXPORT BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
#define GetVersionEx GetVersionExW

// ---------------------------------------------------------------- the C runtime's wide-string routines
// The device's C runtime works on 16-bit characters; these are its routines
// for WCHAR text.
size_t wcslen(const WCHAR* s);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
const WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle);
WCHAR* wcsstr(WCHAR* haystack, const WCHAR* needle);
WCHAR towlower(WCHAR c);
WCHAR towupper(WCHAR c);
WCHAR* _wcslwr(WCHAR* s);
// The device's headers give these names to the C runtime's routines:
// coredll exports no lstrlenW, lstrcpyW or lstrcatW.
// A null pointer is the program's error, not the device's crash: lstrlenW
// counts it as empty ("If lpString is NULL, the function returns 0"),
// lstrcpyW and lstrcatW fail with NULL ("If the function fails, the return
// value is NULL") and ERROR_INVALID_PARAMETER.
// https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-lstrlenw
inline int lstrlenW(LPCWSTR lpString) { return lpString ? int(wcslen(lpString)) : 0; }
inline LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return wcscpy(lpString1, lpString2);
}
inline LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return wcscat(lpString1, lpString2);
}

// ---------------------------------------------------------------- registry
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
WINAPI_EXPORT LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult);
WINAPI_EXPORT LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                          REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                          PHKEY phkResult, LPDWORD lpdwDisposition);
WINAPI_EXPORT LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData);
WINAPI_EXPORT LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData);
WINAPI_EXPORT LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
WINAPI_EXPORT LONG WINAPI RegCloseKey(HKEY hKey);
#define RegOpenKeyEx RegOpenKeyExW
#define RegCreateKeyEx RegCreateKeyExW
#define RegQueryValueEx RegQueryValueExW
#define RegSetValueEx RegSetValueExW

// ---------------------------------------------------------------- files
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
WINAPI_EXPORT HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                        LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                        DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
WINAPI_EXPORT BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                    LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
WINAPI_EXPORT BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                   LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
WINAPI_EXPORT BOOL WINAPI DeleteFileW(LPCWSTR lpFileName);
WINAPI_EXPORT DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName);
#define CreateFile CreateFileW
#define DeleteFile DeleteFileW
#define GetFileAttributes GetFileAttributesW

// ---------------------------------------------------------------- resources
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
WINAPI_EXPORT HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
WINAPI_EXPORT HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
// A loaded resource is the address of its data in the mapped module: the
// device's headers make LockResource return its handle (coredll exports no
// LockResource).
inline LPVOID LockResource(HGLOBAL hResData) { return hResData; }
WINAPI_EXPORT DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
WINAPI_EXPORT int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
#define FindResource FindResourceW
#define LoadString LoadStringW

// ---------------------------------------------------------------- user: messages
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETREDRAW 0x000B
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETTINGCHANGE 0x001A
#define WM_CANCELMODE 0x001F
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NOTIFY 0x004E
#define WM_HELP 0x0053
#define WM_NCHITTEST 0x0084
#define WM_GETDLGCODE 0x0087
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSTATIC 0x0138
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_CAPTURECHANGED 0x0215
#define WM_HOTKEY 0x0312
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_NEXTDLGCTL 0x0028
#define WM_DRAWITEM 0x002B
#define WM_USER 0x0400
// The message ranges GetMessage and PeekMessage filters name.
#define WM_KEYFIRST 0x0100
#define WM_KEYLAST 0x0108
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSELAST 0x0209

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

#define MK_LBUTTON 0x0001

// WM_NCHITTEST answers
#define HTERROR (-2)
#define HTTRANSPARENT (-1)
#define HTNOWHERE 0
#define HTCLIENT 1

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct tagHELPINFO HELPINFO, *LPHELPINFO;

WINAPI_EXPORT BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
WINAPI_EXPORT BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                       UINT wRemoveMsg);
WINAPI_EXPORT BOOL WINAPI TranslateMessage(const MSG* lpMsg);
WINAPI_EXPORT LRESULT WINAPI DispatchMessageW(const MSG* lpMsg);
WINAPI_EXPORT BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINAPI_EXPORT LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINAPI_EXPORT void WINAPI PostQuitMessage(int nExitCode);
WINAPI_EXPORT BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg);
WINAPI_EXPORT HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
WINAPI_EXPORT HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
WINAPI_EXPORT SHORT WINAPI GetKeyState(int nVirtKey);
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002
#define GetMessage GetMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW
#define PostMessage PostMessageW
#define SendMessage SendMessageW
#define IsDialogMessage IsDialogMessageW

// ---------------------------------------------------------------- user: windows
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L

#define CW_USEDEFAULT ((int)0x80000000)
#define CLR_INVALID 0xFFFFFFFF

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW, *PWNDCLASSW, *LPWNDCLASSW, WNDCLASS;
// A class atom where a class name is taken.
#define MAKEINTATOM(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))

typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW, *LPCREATESTRUCTW, CREATESTRUCT, *LPCREATESTRUCT;

WINAPI_EXPORT ATOM WINAPI RegisterClassW(const WNDCLASSW* lpWndClass);
WINAPI_EXPORT BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
WINAPI_EXPORT HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle,
                                          int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                          HINSTANCE hInstance, LPVOID lpParam);
#define CreateWindowW(lpClassName, lpWindowName, dwStyle, x, y, nWidth, nHeight, hWndParent, hMenu, hInstance,  \
                      lpParam)                                                                                   \
    CreateWindowExW(0L, lpClassName, lpWindowName, dwStyle, x, y, nWidth, nHeight, hWndParent, hMenu, hInstance, \
                    lpParam)
WINAPI_EXPORT BOOL WINAPI DestroyWindow(HWND hWnd);
WINAPI_EXPORT LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINAPI_EXPORT LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                                             LPARAM lParam);
WINAPI_EXPORT HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName);
WINAPI_EXPORT BOOL WINAPI IsWindow(HWND hWnd);
WINAPI_EXPORT BOOL WINAPI IsWindowVisible(HWND hWnd);
WINAPI_EXPORT BOOL WINAPI IsWindowEnabled(HWND hWnd);
WINAPI_EXPORT BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
WINAPI_EXPORT BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
WINAPI_EXPORT BOOL WINAPI UpdateWindow(HWND hWnd);
WINAPI_EXPORT BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
WINAPI_EXPORT BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
WINAPI_EXPORT BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
WINAPI_EXPORT BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
WINAPI_EXPORT BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString);
WINAPI_EXPORT int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
WINAPI_EXPORT int WINAPI GetWindowTextLengthW(HWND hWnd);
WINAPI_EXPORT LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex);
WINAPI_EXPORT LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);
WINAPI_EXPORT HWND WINAPI GetParent(HWND hWnd);
WINAPI_EXPORT HWND WINAPI GetWindow(HWND hWnd, UINT uCmd);
WINAPI_EXPORT HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
WINAPI_EXPORT int WINAPI GetDlgCtrlID(HWND hWnd);
WINAPI_EXPORT BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
WINAPI_EXPORT LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
WINAPI_EXPORT HWND WINAPI SetFocus(HWND hWnd);
WINAPI_EXPORT HWND WINAPI GetFocus(void);
WINAPI_EXPORT HWND WINAPI SetActiveWindow(HWND hWnd);
WINAPI_EXPORT HWND WINAPI GetActiveWindow(void);
WINAPI_EXPORT BOOL WINAPI SetForegroundWindow(HWND hWnd);
WINAPI_EXPORT HWND WINAPI GetForegroundWindow(void);
WINAPI_EXPORT HWND WINAPI SetCapture(HWND hWnd);
WINAPI_EXPORT BOOL WINAPI ReleaseCapture(void);
WINAPI_EXPORT HWND WINAPI GetCapture(void);
WINAPI_EXPORT BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
WINAPI_EXPORT BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect);
WINAPI_EXPORT BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
WINAPI_EXPORT BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint);
WINAPI_EXPORT BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint);
WINAPI_EXPORT int WINAPI GetSystemMetrics(int nIndex);
WINAPI_EXPORT BOOL WINAPI MessageBeep(UINT uType);
#define RegisterClass RegisterClassW
#define CreateWindowEx CreateWindowExW
#define CreateWindow CreateWindowW
#define DefWindowProc DefWindowProcW
#define CallWindowProc CallWindowProcW
#define FindWindow FindWindowW
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define GetWindowLong GetWindowLongW
#define SetWindowLong SetWindowLongW
#define SetDlgItemText SetDlgItemTextW
#define SendDlgItemMessage SendDlgItemMessageW

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1

#define GWL_WNDPROC (-4)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_ID (-12)
#define GWL_USERDATA (-21)
#define DWL_MSGRESULT 0
#define DWL_DLGPROC 4
#define DWL_USER 8

#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWNOACTIVATE 4
#define SW_SHOWNA 8

#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200

// timers
WINAPI_EXPORT UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
WINAPI_EXPORT BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// hot keys
#define MOD_ALT 0x0001
#define MOD_CONTROL 0x0002
#define MOD_SHIFT 0x0004
#define MOD_WIN 0x0008
#define MOD_KEYUP 0x1000
WINAPI_EXPORT BOOL WINAPI RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk);
WINAPI_EXPORT BOOL WINAPI UnregisterHotKey(HWND hWnd, int id);

// virtual keys
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_F23 0x86
#define VK_F24 0x87

// ---------------------------------------------------------------- user: controls and dialogs
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_RADIOBUTTON 0x00000004L
#define BS_3STATE 0x00000005L
#define BS_AUTO3STATE 0x00000006L
#define BS_GROUPBOX 0x00000007L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_OWNERDRAW 0x0000000BL
#define BS_TYPEMASK 0x0000000FL
#define BS_LEFTTEXT 0x00000020L
#define BS_RIGHTBUTTON BS_LEFTTEXT
#define BS_LEFT 0x00000100L
#define BS_RIGHT 0x00000200L
#define BS_CENTER 0x00000300L
#define BS_TOP 0x00000400L
#define BS_BOTTOM 0x00000800L
#define BS_VCENTER 0x00000C00L
#define BS_PUSHLIKE 0x00001000L
#define BS_MULTILINE 0x00002000L
#define BS_NOTIFY 0x00004000L

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008
#define BN_CLICKED 0
// The device's headers send the buttons' messages for these (coredll
// exports no IsDlgButtonChecked or CheckDlgButton).
inline UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    return UINT(SendDlgItemMessageW(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}
inline BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    return BOOL(SendDlgItemMessageW(hDlg, nIDButton, BM_SETCHECK, uCheck, 0));
}
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_ICON 0x00000003L
#define SS_LEFTNOWORDWRAP 0x0000000CL
#define SS_BITMAP 0x0000000EL
#define SS_TYPEMASK 0x0000001FL
#define SS_NOPREFIX 0x00000080L
#define SS_NOTIFY 0x00000100L
#define SS_CENTERIMAGE 0x00000200L

#define STM_SETIMAGE 0x0172
#define STM_GETIMAGE 0x0173
#define STN_CLICKED 0
#define STN_ENABLE 2
#define STN_DISABLE 3
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1

// Owner-drawn buttons (BS_OWNERDRAW): WM_DRAWITEM's description.
#define ODT_BUTTON 4
#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT 0x0002
#define ODA_FOCUS 0x0004
#define ODS_SELECTED 0x0001
#define ODS_DISABLED 0x0004
#define ODS_FOCUS 0x0010
typedef struct tagDRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
} DRAWITEMSTRUCT, *PDRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;

#define DS_ABSALIGN 0x01L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_SETFOREGROUND 0x200L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_BUTTON 0x2000
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

#pragma pack(push, 2)
typedef struct {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
} DLGTEMPLATE, *LPDLGTEMPLATE;
typedef const DLGTEMPLATE* LPCDLGTEMPLATE;
typedef LPCDLGTEMPLATE LPCDLGTEMPLATEW;
typedef struct {
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
} DLGITEMTEMPLATE;
#pragma pack(pop)

WINAPI_EXPORT INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate,
                                                     HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam);
WINAPI_EXPORT HWND WINAPI CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                                     DLGPROC lpDialogFunc, LPARAM dwInitParam);
WINAPI_EXPORT BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult);
WINAPI_EXPORT LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);
WINAPI_EXPORT BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect);
#define DialogBoxIndirectParam DialogBoxIndirectParamW
#define CreateDialogIndirectParam CreateDialogIndirectParamW

// message boxes
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONMASK 0x000000F0L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFMASK 0x00000F00L
#define MB_APPLMODAL 0x00000000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L
WINAPI_EXPORT int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
#define MessageBox MessageBoxW

// ---------------------------------------------------------------- gdi
typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;

#define LF_FACESIZE 32
typedef struct tagLOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW, LOGFONT, *LPLOGFONT;

typedef struct tagLOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
} LOGPEN;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

typedef struct tagTEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICW, *LPTEXTMETRICW, TEXTMETRIC;

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define CLEARTYPE_COMPAT_QUALITY 6
#define DEFAULT_CHARSET 1

#define PS_SOLID 0
#define PS_DASH 1
#define PS_NULL 5
#define TRANSPARENT 1
#define OPAQUE 2

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800

#define SRCCOPY 0x00CC0020
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_BTNTEXT 18
#define COLOR_GRAYTEXT 17
#define COLOR_STATIC 25
#define COLOR_STATICTEXT 26

WINAPI_EXPORT HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
WINAPI_EXPORT BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
WINAPI_EXPORT HDC WINAPI GetDC(HWND hWnd);
WINAPI_EXPORT int WINAPI ReleaseDC(HWND hWnd, HDC hDC);
WINAPI_EXPORT HDC WINAPI CreateCompatibleDC(HDC hdc);
WINAPI_EXPORT HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy);
WINAPI_EXPORT BOOL WINAPI DeleteDC(HDC hdc);
WINAPI_EXPORT HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
WINAPI_EXPORT BOOL WINAPI DeleteObject(HGDIOBJ ho);
WINAPI_EXPORT HGDIOBJ WINAPI GetStockObject(int i);
WINAPI_EXPORT int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv);
WINAPI_EXPORT HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
WINAPI_EXPORT HBRUSH WINAPI CreateSolidBrush(COLORREF color);
WINAPI_EXPORT HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf);
WINAPI_EXPORT COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
WINAPI_EXPORT COLORREF WINAPI GetTextColor(HDC hdc);
WINAPI_EXPORT COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
WINAPI_EXPORT int WINAPI SetBkMode(HDC hdc, int mode);
WINAPI_EXPORT int WINAPI DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format);
WINAPI_EXPORT BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCWSTR lpString,
                                      UINT c, const int* lpDx);
WINAPI_EXPORT BOOL WINAPI GetTextExtentExPointW(HDC hdc, LPCWSTR lpszStr, int cchString, int nMaxExtent, LPINT lpnFit,
                                                LPINT alpDx, LPSIZE lpSize);
// The device's headers measure with GetTextExtentExPointW (coredll exports
// no GetTextExtentPoint32W).
inline BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl) {
    return GetTextExtentExPointW(hdc, lpString, c, 0, nullptr, nullptr, psizl);
}
WINAPI_EXPORT BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
WINAPI_EXPORT BOOL WINAPI Polyline(HDC hdc, const POINT* apt, int cpt);
WINAPI_EXPORT BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom);
WINAPI_EXPORT BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
WINAPI_EXPORT int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
WINAPI_EXPORT COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);
WINAPI_EXPORT COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
WINAPI_EXPORT BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
WINAPI_EXPORT HBITMAP WINAPI LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName);
WINAPI_EXPORT DWORD WINAPI GetSysColor(int nIndex);
WINAPI_EXPORT HBRUSH WINAPI GetSysColorBrush(int nIndex);
#define DrawText DrawTextW
#define CreateFontIndirect CreateFontIndirectW
#define GetObject GetObjectW
#define LoadBitmap LoadBitmapW
#define GetTextMetrics GetTextMetricsW
#define ExtTextOut ExtTextOutW
#define GetTextExtentPoint32 GetTextExtentPoint32W

// ---------------------------------------------------------------- drivers
// sound
#define SND_SYNC 0x0000
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_LOOP 0x0008
#define SND_NOSTOP 0x0010
#define SND_ALIAS 0x00010000L
#define SND_FILENAME 0x00020000L
WINAPI_EXPORT BOOL WINAPI PlaySoundW(LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound);
#define PlaySound PlaySoundW

// memory
#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000
#define MEM_DECOMMIT 0x4000
#define MEM_RELEASE 0x8000
#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_NOCACHE 0x200
WINAPI_EXPORT LPVOID WINAPI VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect);
WINAPI_EXPORT BOOL WINAPI VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType);
