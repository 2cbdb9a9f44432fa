// The one start-up of the device's drivers at boot, and their stop at
// power-off and reset.
#include "drivers/drivers.h"

#include "drivers/gapi.h"
#include "drivers/sound.h"

namespace sim {

void start_drivers() {
    stop_drivers();
    start_led_driver();
    start_serial_driver();
    reset_display_access();
}

void stop_drivers() {
    stop_led_driver();
    // A device torn down keeps no driver: "COM2:" names nothing until the
    // next boot.
    stop_serial_driver();
    stop_sound();
}

}  // namespace sim
