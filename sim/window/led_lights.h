// What the notification LEDs look like at a moment: each LED of the LED
// driver is off, on, or blinking at the cycle the program set, and the
// LED controller's light flashes while its control register runs it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "drivers/drivers.h"

namespace sim {

struct LedLights {
    std::vector<bool> driver;  // one per LED of the driver
    bool controller = false;
    bool operator==(const LedLights& o) const { return driver == o.driver && controller == o.controller; }
    bool operator!=(const LedLights& o) const { return !(*this == o); }
};

// The controller's flashing as the window shows it: lit for the first half
// of each period.
constexpr uint64_t kControllerFlashPeriodMs = 500;

LedLights led_lights(const std::vector<LedState>& leds, bool controller_flashing, uint64_t now_ms);
// When that picture next changes by itself (a blink or a flash turning),
// or nothing when every light holds still.
std::optional<uint64_t> next_led_change(const std::vector<LedState>& leds, bool controller_flashing, uint64_t now_ms);

}  // namespace sim
