#include "tests/pattern_drawing.h"

GXDisplayProperties DisplayRecord;

static const int kBarCount = 6;

// The bars' colours in drawing order: red, green with a trace of red, blue
// with a trace of green, black, white, dark grey as 5-6-5 values, and the
// values stored at 8 bits per pixel.  The 16-bit table serves whatever the
// format flags say.
static const WORD kBarColours16[kBarCount] = {0xF800, 0x1FE0, 0x00FF, 0x0000, 0xFFFF, 0x38E7};
static const BYTE kBarColours8[kBarCount] = {0xE0, 0x18, 0x0F, 0xF8, 0xEF, 0xFF};

// A 16-bit pitch in 16-bit units: halved with its sign kept, which is the
// byte pitch with its lowest bit cleared.
static LONG Pitch16(LONG bytePitch) { return bytePitch >> 1; }

static BYTE PixelValue8(DWORD red, DWORD green, DWORD blue) {
    return (BYTE)((red << 5 | (green & 3) << 3 | (blue & 0x0F)) & 0xFF);
}

// `count` pixels from `first` on, `step` pixels apart (the steps of the
// frame's lines may be negative), in order, each with a store of its own.
// Four pixels a round share the loop's own work.
template <class Pixel>
static void StoreLine(Pixel* first, DWORD count, LONG step, Pixel value) {
    DWORD i = 0;
    for (; count - i >= 4; i += 4) {
        Pixel* pixel = first + (LONG)i * step;
        pixel[0] = value;
        pixel[step] = value;
        pixel[2 * step] = value;
        pixel[3 * step] = value;
    }
    for (; i < count; ++i) first[(LONG)i * step] = value;
}

static void StoreLine16(WORD* first, DWORD count, LONG step, WORD value) { StoreLine(first, count, step, value); }
static void StoreLine8(BYTE* first, DWORD count, LONG step, BYTE value) { StoreLine(first, count, step, value); }

int FillScreenSolid(DWORD red, DWORD green, DWORD blue) {
    const GXDisplayProperties& display = DisplayRecord;
    DWORD value;
    if (display.cBPP == 8)
        value = PixelValue8(red, green, blue);
    else if (display.cBPP == 16 && (display.ffFormat & kfDirect565))
        value = (red << 11 | (green & 0xFF) << 5 | (blue & 0xFF)) & 0xFFFF;
    else if (display.cBPP == 16 && (display.ffFormat & kfDirect555))
        value = (red << 10 | (green & 0xFF) << 5 | (blue & 0xFF)) & 0xFFFF;
    else if (display.cBPP == 16)
        value = 0;
    else
        return 1;  // a depth this test does not draw

    void* base = GXBeginDraw();
    if (base == NULL) return 0;
    // Row by row from the top, each row from the left.
    if (display.cBPP == 16) {
        LONG xStep = Pitch16(display.cbxPitch), yStep = Pitch16(display.cbyPitch);
        WORD* frame = (WORD*)base;
        for (DWORD y = 0; y < display.cyHeight; ++y)
            StoreLine16(frame + (LONG)y * yStep, display.cxWidth, xStep, (WORD)value);
    } else {
        BYTE* frame = (BYTE*)base;
        for (DWORD y = 0; y < display.cyHeight; ++y)
            StoreLine8(frame + (LONG)y * display.cbyPitch, display.cxWidth, display.cbxPitch, (BYTE)value);
    }
    GXEndDraw();
    return 1;
}

int DrawColourBars(int mode) {
    const GXDisplayProperties& display = DisplayRecord;
    BOOL across = mode == 0;
    // A line is a whole column across x, a whole row along y.  Each bar is
    // `barLines` lines; the lines left over by the division go to the last.
    DWORD extent = across ? display.cxWidth : display.cyHeight;
    DWORD barLines = extent / kBarCount;
    DWORD leftOver = extent % kBarCount;
    DWORD lineLength = across ? display.cyHeight : display.cxWidth;
    if (display.cBPP != 8 && display.cBPP != 16) return 1;

    void* base = GXBeginDraw();
    if (base == NULL) return 0;
    if (display.cBPP == 16) {
        LONG barPitch = Pitch16(across ? display.cbxPitch : display.cbyPitch);
        LONG linePitch = Pitch16(across ? display.cbyPitch : display.cbxPitch);
        WORD* frame = (WORD*)base;
        // Every bar paints the left-over lines too; the next bar paints
        // over them, so only the last bar keeps them.
        for (int bar = 0; bar < kBarCount; ++bar) {
            WORD* barStart = frame + (LONG)(bar * barLines) * barPitch;
            for (DWORD line = 0; line < barLines + leftOver; ++line)
                StoreLine16(barStart + (LONG)line * barPitch, lineLength, linePitch, kBarColours16[bar]);
        }
    } else {
        LONG barPitch = across ? display.cbxPitch : display.cbyPitch;
        LONG linePitch = across ? display.cbyPitch : display.cbxPitch;
        BYTE* frame = (BYTE*)base;
        // The left-over lines at the far edge keep what was there.
        for (int bar = 0; bar < kBarCount; ++bar) {
            BYTE* barStart = frame + (LONG)(bar * barLines) * barPitch;
            for (DWORD line = 0; line < barLines; ++line)
                StoreLine8(barStart + (LONG)line * barPitch, lineLength, linePitch, kBarColours8[bar]);
        }
    }
    GXEndDraw();
    return 1;
}

int DrawRandomColumns() {
    const GXDisplayProperties& display = DisplayRecord;
    void* base = GXBeginDraw();
    if (base == NULL) return 0;
    // Three numbers a column, taken in this order even when the column is
    // empty.  At 16 bits they make a 5-6-5 style value stored through the
    // 16-bit pitches; at any other depth one byte a pixel, made by the
    // 8-bit rule and stored through the byte pitches, so that nothing is
    // written outside the frame.
    for (DWORD x = 0; x < display.cxWidth; ++x) {
        DWORD a = Random();
        DWORD b = Random();
        DWORD c = Random();
        if (display.cBPP == 16) {
            WORD value = (WORD)(((a & 0xFF) << 11 | (b & 0xFF) << 5 | (c & 0xFF)) & 0xFFFF);
            WORD* column = (WORD*)base + (LONG)x * Pitch16(display.cbxPitch);
            StoreLine16(column, display.cyHeight, Pitch16(display.cbyPitch), value);
        } else {
            BYTE* column = (BYTE*)base + (LONG)x * display.cbxPitch;
            StoreLine8(column, display.cyHeight, display.cbyPitch, PixelValue8(a, b, c));
        }
    }
    GXEndDraw();
    return 1;
}
