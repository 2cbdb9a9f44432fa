#include "tests/draw_target.h"

// Half the circle's diameter and half the length of each stroke.
static const int kCircleRadius = 10;
static const int kStrokeHalfLength = 20;

void DrawTarget(HWND dialog, int x, int y) {
    HDC dc = GetDC(dialog);

    Ellipse(dc, x - kCircleRadius, y - kCircleRadius, x + kCircleRadius, y + kCircleRadius);

    POINT vertical[2] = {{x, y - kStrokeHalfLength}, {x, y + kStrokeHalfLength}};
    Polyline(dc, vertical, 2);
    POINT horizontal[2] = {{x - kStrokeHalfLength, y}, {x + kStrokeHalfLength, y}};
    Polyline(dc, horizontal, 2);

    ReleaseDC(dialog, dc);
}
