#include "base/clock.h"

namespace sim {

namespace {
VirtualClock default_clock;
Clock* current = &default_clock;
}  // namespace

Clock& clock() { return *current; }
void set_clock(Clock* c) { current = c ? c : &default_clock; }

}  // namespace sim
