#include "app/main_window.h"

#include "app/catalogue/string_table.h"
#include "app/catalogue/ui_fonts.h"
#include "app/main_window_paint.h"
#include "app/menu_bar.h"
#include "app/next_finish.h"
#include "app/program_handles.h"
#include "app/resume_record.h"
#include "app/selection_panel.h"
#include "tests/key_test_flag.h"
#include "tests/key_test_hotkeys.h"
#include "tests/sound_test.h"
#include "resource.h"

static LRESULT OnCreate(HWND window) {
    g_hMenuBar = CreateMainMenuBar(window);
    BuildSelectionPanel(window);
    return 0;
}

static LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) != WA_ACTIVE) return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
    SHSetNavBarText(window, g_szNavTitle);
    return 0;
}

// Starts the help viewer on the program's page; nothing is expected back.
static LRESULT OnHelp() {
    static WCHAR commandLine[] = TEXT("file:qzsettings.htm#Dravik");
    CreateProcessW(TEXT("Peghelp.exe"), commandLine, NULL, NULL, FALSE, 0, NULL, NULL, NULL, NULL);
    return 0;
}

// Leaves without asking: the hot keys, the key test flag and the audio
// driver's flag go back, the fonts and the menu bar are released, and the
// window goes.
static LRESULT OnClose(HWND window) {
    ReleaseKeyTestHotKeys(window);
    WriteKeyTestFlag(KEY_TEST_FLAG_VALUE, 0);
    LowerAudioFlagOnLeaving();
    DeleteUiFonts();
    DestroyWindow(g_hMenuBar);
    g_hMenuBar = NULL;
    DestroyWindow(window);
    return 0;
}

static LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    // The OK button in the caption: the user leaves the program, so no
    // reset run is pending any more.
    if (LOWORD(wParam) == IDOK) {
        if (!ClearRestartFlag()) MessageBoxW(window, TEXT("Write reg : reboot error"), NULL, MB_OK);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }

    // Only click notifications (code 0 in the high half) are handled.
    switch (wParam) {
    case IDC_SOUND_BOX:
    case IDC_CALIBRATION_BOX:
    case IDC_PATTERN_BOX:
    case IDC_FILE_BOX:
    case IDC_IR_BOX:
    case IDC_LED_BOX:
    case IDC_KEY_BOX: {
        const TestCatalogueRow* row = CatalogueRowForCheckBox((int)wParam);
        OnTestCheckBoxClicked(row->id);
        return 0;
    }
    case IDC_NEXT_FINISH:
        OnNextFinishCommand(window);
        return 0;
    default:
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        return OnActivate(window, wParam, lParam);
    case WM_PAINT:
        PaintMainWindow(window);
        return 0;
    case WM_CLOSE:
        return OnClose(window);
    case WM_HELP:
        return OnHelp();
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_TIMER:
        // Only the sound test sets a timer on this window (id 1224, every
        // 700 ms); each tick, whatever its id, plays the sound once.
        return OnSoundTimer();
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
