// The device clock of the device window: real milliseconds since power-on.
// Letting time pass (Sleep, a sound, a user's wait) hands the time to the
// window, which keeps drawing and taking input meanwhile.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "base/clock.h"

namespace sim {

class RealClock : public Clock {
public:
    using Waiter = std::function<void(uint64_t until_ms)>;

    RealClock() : start_(std::chrono::steady_clock::now()) {}
    void set_waiter(Waiter w) { waiter_ = std::move(w); }

    uint64_t now_ms() const override {
        return uint64_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
    }
    void pass(uint64_t ms) override { wait_until(now_ms() + ms); }
    void advance_to(uint64_t t) override {
        if (t > now_ms()) wait_until(t);
    }
    bool is_virtual() const override { return false; }

private:
    void wait_until(uint64_t t) {
        if (waiter_) {
            waiter_(t);
            return;
        }
        uint64_t now = now_ms();
        if (t > now) std::this_thread::sleep_for(std::chrono::milliseconds(t - now));
    }

    std::chrono::steady_clock::time_point start_;
    Waiter waiter_;
};

}  // namespace sim
