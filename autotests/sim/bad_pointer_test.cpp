// A null pointer passed to the system is the program's error, not the
// device's crash: where the platform's page says what a null pointer does,
// the call does that; where it says nothing, the call fails with its
// failure value and ERROR_INVALID_PARAMETER and changes nothing.
#include "window_test_support.h"

#include <functional>

#if WINTEST_DEVICE_API
#include "platform/ce_api.h"
#endif

namespace {

class BadPointers : public wintest::WindowTest {};

// Where the platform's pages are silent, the device's own rule (README.md,
// "A null pointer").
const char* const kDeviceRule = "README.md: the device fails a call given a null pointer it needs";

TEST_F(BadPointers, ANullPointerFailsTheCallOrMeansWhatItsPageSays) {
    HWND main = create_main("main");
    pump();
    HDC dc = GetDC(main);
    RECT rc{0, 0, 50, 20};
    SIZE size{};
    WCHAR buffer[16] = {};
    char narrow[16] = {};
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    struct Case {
        const char* call;
        std::function<intptr_t()> run;
        intptr_t result;
        DWORD error;  // 0: not looked at
        const char* source;
        bool device_rule = false;  // the source is the device's own rule
        // Wine says ERROR_INVALID_PARAMETER where the page says "A supplied
        // buffer size was not large enough, or it was incorrectly set to NULL".
        bool wine_departs = false;
    };
    const char* const page_lstrlen = "https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-lstrlenw";
    const char* const page_lstrcpy = "https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-lstrcpyw";
    const char* const page_to_wide =
        "https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-multibytetowidechar";
    const char* const page_to_narrow =
        "https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte";
    const char* const page_get_object = "https://learn.microsoft.com/en-us/windows/win32/api/wingdi/nf-wingdi-getobjectw";
    const char* const page_update_rect = "https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getupdaterect";
    const char* const page_device_get_message = "https://learn.microsoft.com/en-us/previous-versions/ms960724(v=msdn.10)";
    const Case cases[] = {
        // What the pages say.
        {"lstrlenW(NULL)", [] { return intptr_t(lstrlenW(nullptr)); }, 0, 0, page_lstrlen},
        {"lstrcpyW to NULL", [] { return intptr_t(lstrcpyW(nullptr, TEXT("text"))); }, 0, 0, page_lstrcpy},
        {"lstrcpyW from NULL", [&] { return intptr_t(lstrcpyW(buffer, nullptr)); }, 0, 0, page_lstrcpy},
        {"MultiByteToWideChar from NULL", [&] { return intptr_t(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, buffer, 16)); },
         0, ERROR_INVALID_PARAMETER, page_to_wide},
        {"MultiByteToWideChar to NULL with a size", [] { return intptr_t(MultiByteToWideChar(CP_ACP, 0, "abc", 4, nullptr, 8)); },
         0, ERROR_INSUFFICIENT_BUFFER, page_to_wide, false, true},
        {"WideCharToMultiByte to NULL with a size",
         [] { return intptr_t(WideCharToMultiByte(CP_ACP, 0, TEXT("abc"), 4, nullptr, 8, nullptr, nullptr)); }, 0,
         ERROR_INSUFFICIENT_BUFFER, page_to_narrow, false, true},
        {"WideCharToMultiByte from NULL",
         [&] { return intptr_t(WideCharToMultiByte(CP_ACP, 0, nullptr, 3, narrow, 16, nullptr, nullptr)); }, 0,
         ERROR_INVALID_PARAMETER, page_to_narrow},
        {"GetObjectW without a buffer: the size it needs", [&] { return intptr_t(GetObjectW(pen, 0, nullptr)); },
         intptr_t(sizeof(LOGPEN)), 0, page_get_object},
        {"GetUpdateRect without a rectangle: whether there is one",
         [&] {
             InvalidateRect(main, nullptr, FALSE);
             return intptr_t(GetUpdateRect(main, nullptr, FALSE) != FALSE);
         },
         1, 0, page_update_rect},
        {"GetMessageW(NULL)", [] { return intptr_t(GetMessageW(nullptr, nullptr, 0, 0)); }, 0, ERROR_INVALID_PARAMETER,
         page_device_get_message},
        // The device's rule.
        {"PeekMessageW(NULL) with a message queued",
         [&] {
             PostMessageW(main, WM_USER + 1, 0, 0);
             BOOL r = PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE);
             MSG m{};
             EXPECT_TRUE(PeekMessageW(&m, main, WM_USER + 1, WM_USER + 1, PM_REMOVE)) << "the message was taken";
             return intptr_t(r);
         },
         0, ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"TranslateMessage(NULL)", [] { return intptr_t(TranslateMessage(nullptr)); }, 0, 0, kDeviceRule, true},
        {"DispatchMessageW(NULL)", [] { return intptr_t(DispatchMessageW(nullptr)); }, 0, 0, kDeviceRule, true},
        {"IsDialogMessageW(NULL)", [&] { return intptr_t(IsDialogMessageW(main, nullptr)); }, 0, 0, kDeviceRule, true},
        {"GetWindowRect(NULL)", [&] { return intptr_t(GetWindowRect(main, nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"GetClientRect(NULL)", [&] { return intptr_t(GetClientRect(main, nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"ClientToScreen(NULL)", [&] { return intptr_t(ClientToScreen(main, nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"ScreenToClient(NULL)", [&] { return intptr_t(ScreenToClient(main, nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"GetWindowTextW(NULL)", [&] { return intptr_t(GetWindowTextW(main, nullptr, 16)); }, 0,
         ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"WM_GETTEXT to NULL", [&] { return intptr_t(SendMessageW(main, WM_GETTEXT, 16, 0)); }, 0, 0, kDeviceRule,
         true},
        {"BeginPaint(NULL)", [&] { return intptr_t(BeginPaint(main, nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"CreateFontIndirectW(NULL)", [] { return intptr_t(CreateFontIndirectW(nullptr)); }, 0,
         ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"DrawTextW of NULL", [&] { return intptr_t(DrawTextW(dc, nullptr, -1, &rc, 0)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"DrawTextW into NULL", [&] { return intptr_t(DrawTextW(dc, TEXT("a"), -1, nullptr, 0)); }, 0,
         ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"GetTextExtentPoint32W of NULL", [&] { return intptr_t(GetTextExtentPoint32W(dc, nullptr, 3, &size)); }, 0,
         ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"GetTextExtentPoint32W into NULL", [&] { return intptr_t(GetTextExtentPoint32W(dc, TEXT("a"), 1, nullptr)); },
         0, ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"GetTextMetricsW(NULL)", [&] { return intptr_t(GetTextMetricsW(dc, nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"Polyline(NULL)", [&] { return intptr_t(Polyline(dc, nullptr, 2)); }, 0, ERROR_INVALID_PARAMETER, kDeviceRule,
         true},
        {"FillRect(NULL)", [&] { return intptr_t(FillRect(dc, nullptr, HBRUSH(GetStockObject(BLACK_BRUSH)))); }, 0,
         ERROR_INVALID_PARAMETER, kDeviceRule, true},
        {"lstrcatW to NULL", [] { return intptr_t(lstrcatW(nullptr, TEXT("a"))); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
        {"lstrcmpW: NULL is an empty string", [] { return intptr_t(lstrcmpW(nullptr, TEXT(""))); }, 0, 0, kDeviceRule,
         true},
        {"lstrcmpiW: NULL comes first", [] { return intptr_t(lstrcmpiW(TEXT("a"), nullptr) > 0); }, 1, 0, kDeviceRule,
         true},
        {"GetVersionExW(NULL)", [] { return intptr_t(GetVersionExW(nullptr)); }, 0, ERROR_INVALID_PARAMETER,
         kDeviceRule, true},
#if WINTEST_DEVICE_API
        {"SHInitDialog(NULL)", [] { return intptr_t(SHInitDialog(nullptr)); }, 0, ERROR_INVALID_PARAMETER, kDeviceRule,
         true},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        if (c.device_rule || c.source == page_device_get_message) {
            if (!wintest::device_only(c.source)) continue;
        }
        if (c.wine_departs && !wintest::documented_only(c.source)) continue;
        SetLastError(0);
        EXPECT_EQ(c.run(), c.result);
        if (c.error) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    DeleteObject(pen);
    ReleaseDC(main, dc);
    // Nothing above disturbed the window.
    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(GetActiveWindow(), main);
}

// A WM_TIMER whose lParam is not the procedure of a timer that is set (one
// the program posted itself) is not called: it reaches the window as any
// other message.
// https://learn.microsoft.com/en-us/windows/win32/winmsg/wm-timer
TEST_F(BadPointers, APostedTimerMessageCallsNoProcedureOfItsOwn) {
    WINTEST_DEVICE_ONLY(kDeviceRule);
    HWND main = create_main("main");
    pump();
    take();
    PostMessageW(main, WM_TIMER, 5, LPARAM(0x40));
    pump();
    EXPECT_EQ(take_only({WM_TIMER}).size(), 1u);
}

}  // namespace
