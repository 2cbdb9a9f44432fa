// Window classes: the atom RegisterClass returns names the class wherever a
// class name is taken, names compare without regard to case, and
// registering, creating and unregistering fail with the documented errors.
#include "window_test_support.h"

namespace {

class Classes : public wintest::WindowTest {
protected:
    // Registers a recording class of this name: its atom, or 0.
    static ATOM register_recorder(const WCHAR* name) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = window_proc;
        wc.lpszClassName = name;
        return RegisterClassW(&wc);
    }
    static HWND create_of(const WCHAR* cls, const WCHAR* title) {
        return CreateWindowExW(0, cls, title, WS_POPUP, 0, 40, 50, 50, nullptr, nullptr, nullptr, nullptr);
    }
    // Creating a window of a class that is not there fails, with "Cannot
    // find window class" (Wine says ERROR_CLASS_DOES_NOT_EXIST instead).
    static void expect_no_class(const WCHAR* cls) {
        SetLastError(0);
        EXPECT_EQ(create_of(cls, TEXT("none")), nullptr);
        if (wintest::documented_only(kErrorCodes)) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
        }
    }
    static const char* const kErrorCodes;
};

const char* const Classes::kErrorCodes =
    "https://learn.microsoft.com/en-us/windows/win32/debug/system-error-codes--1300-1699-";

// "lpClassName: A null-terminated string or a class atom created by a
// previous call to the RegisterClass or RegisterClassEx function."
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-createwindowexw
// FindWindow and UnregisterClass take the atom the same way.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-findwindoww
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-unregisterclassw
TEST_F(Classes, TheAtomNamesTheClassWherever) {
    struct Case {
        const char* what;
        bool by_atom;  // else by the name in other letters' case
    };
    for (const Case& c : {Case{"by its atom", true}, Case{"by its name in capitals", false}}) {
        SCOPED_TRACE(c.what);
        start_afresh();
        ATOM atom = register_recorder(TEXT("Atomic"));
        ASSERT_NE(atom, 0);
        const WCHAR* cls = c.by_atom ? MAKEINTATOM(atom) : TEXT("ATOMIC");
        HWND w = create_of(cls, TEXT("atomic"));
        ASSERT_TRUE(w) << "error " << GetLastError();
        EXPECT_EQ(name_of(w), "atomic") << "its procedure is the class's";
        EXPECT_EQ(FindWindowW(cls, nullptr), w);
        EXPECT_EQ(FindWindowW(cls, TEXT("atomic")), w);
        EXPECT_TRUE(DestroyWindow(w));
        EXPECT_EQ(FindWindowW(cls, nullptr), nullptr);
        EXPECT_TRUE(UnregisterClassW(cls, nullptr)) << "error " << GetLastError();
        expect_no_class(MAKEINTATOM(atom));
        expect_no_class(TEXT("Atomic"));
    }
}

// Registering a name twice (in any case) fails with
// ERROR_CLASS_ALREADY_EXISTS; unregistering a class that is not there, or
// while a window of it is, fails ("If the class could not be found or if a
// window still exists that was created with the class, the return value is
// zero") and leaves the class usable; a program's class may take a name the
// system's classes have, and is the one its windows get.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-unregisterclassw
TEST_F(Classes, RegisteringAndUnregisteringFailAsDocumented) {
    ASSERT_NE(register_recorder(TEXT("Twice")), 0);
    SetLastError(0);
    EXPECT_EQ(register_recorder(TEXT("Twice")), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
    SetLastError(0);
    EXPECT_EQ(register_recorder(TEXT("TWICE")), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));

    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(TEXT("NeverRegistered"), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
    expect_no_class(TEXT("NeverRegistered"));

    HWND w = create_of(TEXT("Twice"), TEXT("held"));
    ASSERT_TRUE(w);
    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(TEXT("Twice"), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_HAS_WINDOWS));
    HWND another = create_of(TEXT("Twice"), TEXT("another"));
    EXPECT_TRUE(another) << "the class went";
    DestroyWindow(another);
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(TEXT("Twice"), nullptr));

    ATOM mine = register_recorder(TEXT("static"));
    ASSERT_NE(mine, 0) << "error " << GetLastError();
    HWND s = create_of(TEXT("static"), TEXT("own static"));
    ASSERT_TRUE(s);
    EXPECT_EQ(name_of(s), "own static") << "the window is not of the program's class";
    DestroyWindow(s);
    EXPECT_TRUE(UnregisterClassW(TEXT("static"), nullptr));
    HWND system = create_of(TEXT("static"), TEXT("system static"));
    EXPECT_TRUE(system) << "the system's class went with the program's";
    EXPECT_EQ(name_of(system), "") << "the program's class outlived its unregistering";
    DestroyWindow(system);
}

}  // namespace
