// Windows CE 4.2 and Pocket PC 2003 interfaces that a desktop Windows SDK
// does not have: the shell (aygshell), GAPI, the notification LED driver,
// the kernel's I/O control and address mapping, CE's toolhelp and the
// driver kit's register accessors.  Declared from the platform's public
// documentation.  On the device the SDK's own headers provide them.
#pragma once

#ifndef _WIN32_WCE

#ifdef __cplusplus
#define CE_API extern "C"
#else
#define CE_API
#endif

// ----------------------------------------------------------------- windows
#define WS_EX_CAPTIONOKBTN 0x80000000L

// ----------------------------------------------------------------- aygshell
typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

#define CSIDL_STARTUP 0x0007

CE_API BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);
CE_API BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
CE_API BOOL WINAPI SHFullScreen(HWND hwndRequester, DWORD dwState);
CE_API BOOL WINAPI SHSetNavBarText(HWND hwndRequester, LPCWSTR pszText);
CE_API BOOL WINAPI SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget);
#ifndef SHGetSpecialFolderPath
CE_API BOOL WINAPI SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);
#endif

// The application buttons' key codes (SHSetAppKeyWndAssoc takes them; the
// Pocket PC SDK's winuserm.h defines them on the device).
#define VK_APP1 0xC1
#define VK_APP2 0xC2
#define VK_APP3 0xC3
#define VK_APP4 0xC4
#define VK_APP5 0xC5
#define VK_APP6 0xC6

// ----------------------------------------------------------------- kernel
#define FILE_DEVICE_HAL 0x00000101
#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#ifndef CTL_CODE
#define CTL_CODE(DeviceType, Function, Method, Access) \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#endif
#define IOCTL_HAL_REBOOT CTL_CODE(FILE_DEVICE_HAL, 15, METHOD_BUFFERED, FILE_ANY_ACCESS)

CE_API BOOL WINAPI KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf,
                                   DWORD nOutBufSize, LPDWORD lpBytesReturned);
CE_API BOOL WINAPI VirtualCopy(LPVOID lpvDest, LPVOID lpvSrc, DWORD cbSize, DWORD fdwProtect);
#define PAGE_PHYSICAL 0x400

// Events: CE's one call behind SetEvent, ResetEvent and PulseEvent.
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
CE_API BOOL WINAPI EventModify(HANDLE hEvent, DWORD func);

// CE looks up exports by wide-character name.
CE_API FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);

// ----------------------------------------------------------------- toolhelp
#define TH32CS_SNAPPROCESS 0x00000002

typedef struct tagPROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
    DWORD th32MemoryBase;
    DWORD th32AccessKey;
} PROCESSENTRY32, *PPROCESSENTRY32, *LPPROCESSENTRY32;

CE_API HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
CE_API BOOL WINAPI Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
CE_API BOOL WINAPI Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
CE_API BOOL WINAPI CloseToolhelp32Snapshot(HANDLE hSnapshot);

// ----------------------------------------------------------------- notification LEDs
#define NLED_COUNT_INFO_ID 0
#define NLED_SUPPORTS_INFO_ID 1
#define NLED_SETTINGS_INFO_ID 2

typedef struct NLED_COUNT_INFO {
    UINT cLeds;
} NLED_COUNT_INFO;

typedef struct NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink;
    LONG TotalCycleTime;
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;
    INT MetaCycleOff;
} NLED_SETTINGS_INFO;

CE_API BOOL WINAPI NLedGetDeviceInfo(UINT nInfoId, void* pOutput);
CE_API BOOL WINAPI NLedSetDevice(UINT nDeviceId, void* pInput);

// ----------------------------------------------------------------- GAPI
struct GXDisplayProperties {
    DWORD cxWidth;
    DWORD cyHeight;
    LONG cbxPitch;
    LONG cbyPitch;
    LONG cBPP;
    DWORD ffFormat;
};

#define GX_FULLSCREEN 0x01
#define kfLandscape 0x8
#define kfPalette 0x10
#define kfDirect 0x20
#define kfDirect555 0x40
#define kfDirect565 0x80
#define kfDirect888 0x100

int GXOpenDisplay(HWND hWnd, DWORD dwFlags);
int GXCloseDisplay();
void* GXBeginDraw();
int GXEndDraw();
GXDisplayProperties GXGetDisplayProperties();

// The kernel's pseudo-random numbers.
CE_API DWORD WINAPI Random(void);

// ----------------------------------------------------------------- GDI
CE_API BOOL WINAPI TransparentImage(HDC hdcDest, LONG DstX, LONG DstY, LONG DstCx, LONG DstCy, HANDLE hSrc, LONG SrcX,
                                    LONG SrcY, LONG SrcCx, LONG SrcCy, COLORREF TransparentColor);

// ----------------------------------------------------------------- driver kit register access
#ifdef _WIN32
inline USHORT READ_REGISTER_USHORT(volatile USHORT* reg) { return *reg; }
inline void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value) { *reg = value; }
#else
CE_API USHORT READ_REGISTER_USHORT(volatile USHORT* reg);
CE_API void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value);
#endif

#endif  // !_WIN32_WCE

// The device's other hardware buttons send key codes beside the application
// buttons' that the platform leaves to the device maker: 0xC0 below VK_APP1,
// and 0xC7 to 0xC9 above VK_APP6.  Named after their codes.
#define VK_DEVICE_C0 0xC0
#define VK_DEVICE_C7 0xC7
#define VK_DEVICE_C8 0xC8
#define VK_DEVICE_C9 0xC9
