#include "app/status_column.h"

#include "app/catalogue/run_state.h"
#include "app/catalogue/ui_fonts.h"

static const int kCellLeft = 170;
static const int kCellRight = 240;
static const int kFirstCellTop = 62;
static const int kCellHeight = 20;

void DrawStatusColumn(HDC dc) {
    HGDIOBJ previousFont = SelectObject(dc, UiFonts.normal);
    for (int i = 0; i < TestCount; ++i) {
        RECT cell;
        cell.left = kCellLeft;
        cell.top = kFirstCellTop + i * kCellHeight;
        cell.right = kCellRight;
        cell.bottom = cell.top + kCellHeight;
        // Opaque text on the context's background: the blanks after "?"
        // wipe a word drawn here earlier.
        DrawTextW(dc, StatusColumnText(ResultTable[i]), -1, &cell, DT_SINGLELINE);
    }
    SelectObject(dc, previousFont);
}
