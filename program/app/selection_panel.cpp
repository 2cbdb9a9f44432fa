#include "app/selection_panel.h"

#include "app/catalogue/run_state.h"
#include "app/catalogue/string_table.h"
#include "app/catalogue/ui_fonts.h"
#include "app/program_handles.h"
#include "resource.h"

HWND g_hTestLabel = NULL;
HWND g_hStatusLabel = NULL;
HWND g_hTestCheckBoxes[TestCount];
HWND g_hNextFinishButton = NULL;

static const DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_CENTER;
static const DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX;
static const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;

static const int kCheckBoxX = 20;
static const int kFirstCheckBoxY = 60;
static const int kCheckBoxPitch = 20;
static const int kCheckBoxWidth = 150;
static const int kCheckBoxHeight = 20;

// Creates one control and gives it its font with an immediate redraw.
static HWND CreateControl(HWND parent, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y, int width,
                          int height, int id, HFONT font) {
    HWND control = CreateWindowExW(0, className, text, style, x, y, width, height, parent, (HMENU)(UINT_PTR)id,
                                   g_hInstance, NULL);
    SendMessageW(control, WM_SETFONT, (WPARAM)font, TRUE);
    return control;
}

void BuildSelectionPanel(HWND mainWindow) {
    g_hTestLabel = CreateControl(mainWindow, TEXT("static"), g_szSelectTest, kLabelStyle, 30, 30, 110, 20, 0,
                                 UiFonts.normal);
    g_hStatusLabel =
        CreateControl(mainWindow, TEXT("static"), g_szStatus, kLabelStyle, 170, 30, 50, 20, 1, UiFonts.normal);
    for (int i = 0; i < TestCount; ++i) {
        const TestCatalogueRow& row = TestCatalogue[i];
        g_hTestCheckBoxes[i] = CreateControl(mainWindow, TEXT("button"), StringTableText(row.nameId),
                                             kCheckBoxStyle, kCheckBoxX, kFirstCheckBoxY + i * kCheckBoxPitch,
                                             kCheckBoxWidth, kCheckBoxHeight, row.checkBoxId, UiFonts.normal);
    }
    g_hNextFinishButton = CreateControl(mainWindow, TEXT("button"), g_szNext, kButtonStyle, 130, 230, 80, 20,
                                        IDC_NEXT_FINISH, UiFonts.bold);

    for (int i = 0; i < TestCount; ++i)
        if (TestCatalogue[i].selectedAtStart) SendMessageW(g_hTestCheckBoxes[i], BM_SETCHECK, BST_CHECKED, 0);
}

void ApplyNextButtonRule() { EnableWindow(g_hNextFinishButton, AnyTestSelected()); }

void OnTestCheckBoxClicked(TestId test) {
    LRESULT state = SendMessageW(g_hTestCheckBoxes[test], BM_GETCHECK, 0, 0);
    SelectionFlags[test] = state == BST_CHECKED ? TRUE : FALSE;
    ApplyNextButtonRule();
}
