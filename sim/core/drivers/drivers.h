// The device's drivers, loaded at boot: the serial port behind the infrared
// transceiver ("COM2:"), the notification LEDs and the LED controller.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

void start_drivers();
// At power-off and reset: what programs left mapped goes.
void stop_drivers();

// What the LEDs show, for the device window: per LED its mode (0 off, 1 on,
// 2 blinking) with the blink cycle, and whether the controller is flashing.
struct LedState {
    int mode = 0;
    long total_cycle_us = 0;
    long on_time_us = 0;
};
std::vector<LedState> led_states();
bool led_controller_flashing();

}  // namespace sim
