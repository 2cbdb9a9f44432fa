// The device's one clock.  Headless it is virtual: time moves only when the
// simulator moves it (a wait, a timer that is due, a sleep, a sound), so a
// run is fast and repeats exactly.  The interactive device window uses real
// time instead.
#pragma once

#include <cstdint>

namespace sim {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since power-on.
    virtual uint64_t now_ms() const = 0;
    // Lets `ms` pass (Sleep, a synchronous sound).  A virtual clock jumps.
    virtual void pass(uint64_t ms) = 0;
    // Moves time on to `t` (never backwards): the virtual clock jumps there.
    virtual void advance_to(uint64_t t) = 0;
    virtual bool is_virtual() const = 0;
};

class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint64_t start = 0) : now_(start) {}
    uint64_t now_ms() const override { return now_; }
    void pass(uint64_t ms) override { now_ += ms; }
    void advance_to(uint64_t t) override {
        if (t > now_) now_ = t;
    }
    bool is_virtual() const override { return true; }

private:
    uint64_t now_;
};

Clock& clock();
// Replaces the device clock (the device window installs a real one).
void set_clock(Clock* c);

}  // namespace sim
