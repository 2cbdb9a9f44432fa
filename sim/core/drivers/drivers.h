// The device's drivers, loaded at boot: the serial port behind the infrared
// transceiver ("COM2:"), the notification LEDs and the LED controller, and
// the display access (GAPI).
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// Starts them all (after stopping what an earlier boot left).
void start_drivers();
// At power-off and reset: what programs left mapped goes.
void stop_drivers();

// Each driver's own start and stop, called from the two above.
void start_led_driver();
void stop_led_driver();
void start_serial_driver();
void stop_serial_driver();

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
