#include "led_lights.h"

#include <algorithm>

namespace sim {

namespace {

// A blinking LED with a usable cycle; anything else blinking holds lit.
bool blinks(const LedState& led) {
    return led.mode == 2 && led.total_cycle_us > 0 && led.on_time_us > 0 && led.on_time_us < led.total_cycle_us;
}

bool lit(const LedState& led, uint64_t now_ms) {
    if (led.mode == 1) return true;
    if (led.mode != 2) return false;
    if (!blinks(led)) return led.on_time_us > 0;
    uint64_t in_cycle = (now_ms * 1000) % uint64_t(led.total_cycle_us);
    return in_cycle < uint64_t(led.on_time_us);
}

}  // namespace

LedLights led_lights(const std::vector<LedState>& leds, bool controller_flashing, uint64_t now_ms) {
    LedLights l;
    for (const LedState& led : leds) l.driver.push_back(lit(led, now_ms));
    l.controller = controller_flashing && now_ms % kControllerFlashPeriodMs < kControllerFlashPeriodMs / 2;
    return l;
}

std::optional<uint64_t> next_led_change(const std::vector<LedState>& leds, bool controller_flashing, uint64_t now_ms) {
    std::optional<uint64_t> next;
    auto consider = [&](uint64_t t) { next = next ? std::min(*next, t) : t; };
    uint64_t now_us = now_ms * 1000;
    for (const LedState& led : leds) {
        if (!blinks(led)) continue;
        uint64_t cycle = uint64_t(led.total_cycle_us), on = uint64_t(led.on_time_us);
        uint64_t in_cycle = now_us % cycle;
        uint64_t turn_us = now_us + (in_cycle < on ? on - in_cycle : cycle - in_cycle);
        consider(std::max(now_ms + 1, (turn_us + 999) / 1000));
    }
    if (controller_flashing) {
        uint64_t half = kControllerFlashPeriodMs / 2;
        consider(now_ms + (half - now_ms % half));
    }
    return next;
}

}  // namespace sim
