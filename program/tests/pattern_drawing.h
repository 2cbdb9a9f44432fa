// The Screen Patterns test's drawing routines.  Each call draws one whole
// frame straight into the display memory that GAPI hands out for one pass
// (GXBeginDraw ... GXEndDraw), one store per pixel through the pitches of
// the DisplayRecord, and returns 0 when the display memory cannot be had,
// otherwise 1.
//
// Pixel (x, y) lies at base + x * x pitch + y * y pitch.  At 16 bits per
// pixel each pitch counts 16-bit units (the byte pitch halved with its
// sign kept); at 8 bits it counts bytes.  Values are stored as they stand:
// no palette is set and the components are not scaled to the colour
// fields.
#pragma once

#include "platform/win32.h"

// The display's properties as GAPI reported them when the test started;
// read by every pass.
extern GXDisplayProperties DisplayRecord;

// The whole frame in one value made from the components (each 0 to 255):
// at 8 bits red << 5 | (green & 3) << 3 | (blue & 0x0F); at 16 bits in
// 5-6-5 red << 11 | green << 5 | blue, in 5-5-5 red << 10 | green << 5 |
// blue, and 0 when the format is neither; cut to the pixel's width.  At
// other depths nothing is drawn and the pass counts as done.
int FillScreenSolid(DWORD red, DWORD green, DWORD blue);

// Six colour bars: mode 0 side by side across x, mode 1 stacked along y.
// At other depths than 8 and 16 bits nothing is drawn and the pass counts
// as done.
int DrawColourBars(int mode);

// Every column in its own colour from three pseudo-random numbers.
int DrawRandomColumns();
