// The handheld as the device window draws it: the case around the 240 x 320
// screen, the notification LEDs above it, the four application buttons and
// the five-way pad below it and the side buttons, all at an integer scale.
// Also where on the window each of them is, for the mouse.
//
// Layout, in device pixels (multiplied by the scale in the window):
//
//   window 288 x 508; screen at (24, 54); LEDs along the top at y 24 (the
//   driver's from x 36 on, 18 apart, the controller's at x 252); the speaker
//   slot at (119..169, 15..20) and its mark right of it, (173..189, 11..24),
//   lit while a sound plays; pad centred at
//   (144, 440); application buttons 1 to 4 at (44, 452), (88, 438),
//   (200, 438), (244, 452); side buttons 192, 198, 199 on the left edge and
//   200, 201 on the right.
#pragma once

#include <vector>

#include "gdi/framebuffer.h"
#include "gdi/geometry.h"
#include "led_lights.h"
#include "picture.h"

namespace sim {

class DeviceFrame {
public:
    static constexpr int kUnitsWide = 288;
    static constexpr int kUnitsHigh = 508;
    static constexpr int kScreenLeft = 24;
    static constexpr int kScreenTop = 54;

    explicit DeviceFrame(int scale);
    // The desk the handheld lies on: the colour around the case.
    static Colour desk_colour();
    // The largest scale whose window fits in width x height (at least 1,
    // at most 8).
    static int scale_to_fit(int width, int height);

    int scale() const { return scale_; }
    int width() const { return kUnitsWide * scale_; }
    int height() const { return kUnitsHigh * scale_; }
    // The screen's place in the window (window pixels).
    Rect screen_area() const;

    // The key code of the drawn button under window pixel (x, y); 0 for none.
    int button_at(int x, int y) const;
    // The device screen pixel under window pixel (x, y), pulled onto the
    // screen's edge when outside; returns whether it was on the screen.
    bool to_screen(int x, int y, int* sx, int* sy) const;
    // The centre of a drawn button in window pixels (x -1 for a code that has
    // no button).
    Point button_centre(int vk) const;

    // The whole window: case, screen contents, LEDs, the speaker mark (lit
    // while `sounding`), and the buttons in `pressed` drawn pushed in.
    void draw(Picture* out, const Framebuffer& fb, const LedLights& leds, const std::vector<int>& pressed,
              bool sounding) const;

private:
    void draw_case(Picture* p) const;
    void draw_button(Picture* p, int vk, bool pressed) const;
    void draw_pad(Picture* p, const std::vector<int>& pressed) const;
    void draw_leds(Picture* p, const LedLights& leds) const;
    void draw_speaker_mark(Picture* p, bool sounding) const;

    int scale_;
    Picture case_;  // the parts that never change, drawn once
};

}  // namespace sim
