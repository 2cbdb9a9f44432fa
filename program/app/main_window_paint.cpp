#include "app/main_window_paint.h"

#include "app/catalogue/string_table.h"
#include "app/catalogue/ui_fonts.h"
#include "app/status_column.h"

static const COLORREF kTitleColour = RGB(0, 0, 156);
static const COLORREF kBlack = RGB(0, 0, 0);

void DrawLine(HDC dc, int width, POINT from, POINT to, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ previousPen = SelectObject(dc, pen);
    POINT points[2] = {from, to};
    Polyline(dc, points, 2);
    SelectObject(dc, previousPen);
    DeleteObject(pen);
}

static POINT Point(LONG x, LONG y) {
    POINT p;
    p.x = x;
    p.y = y;
    return p;
}

void DrawSeparatorLines(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    DrawLine(dc, 1, Point(client.left, client.top + 25), Point(client.right, client.top + 25), kBlack);
    DrawLine(dc, 1, Point(client.left + 20, client.top + 50), Point(client.right - 20, client.top + 50), kBlack);
}

void PaintMainWindow(HWND window) {
    // Every paint brings the task bar, input panel button and Start icon
    // back; the full-screen dialogs of a run hide them.
    SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);

    RECT title;
    GetClientRect(window, &title);
    title.left += 8;
    title.bottom = title.top + 22;

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);

    HGDIOBJ previousFont = SelectObject(dc, UiFonts.bold);
    SetTextColor(dc, kTitleColour);
    DrawTextW(dc, g_szTitle, -1, &title, DT_SINGLELINE | DT_VCENTER);

    DrawSeparatorLines(window, dc);

    SelectObject(dc, previousFont);
    SetTextColor(dc, kBlack);

    DrawStatusColumn(dc);

    EndPaint(window, &paint);
}
