#include "window_user.h"

#include "base/clock.h"
#include "people/demo_user.h"

namespace sim {

namespace {

// Time between two of the demo's moves in the window, so that they can be
// followed.
const uint64_t kDemoPauseMs = 700;

class WindowUser : public Person {
public:
    WindowUser(DeviceWindow& window, std::unique_ptr<DemoUser> demo) : window_(window), demo_(std::move(demo)) {}

    void idle(std::optional<uint64_t> next_due) override {
        if (demo_ && !demo_->finished()) {
            demo_->idle(next_due);
            return;
        }
        // A timer that is due but not for the loop that waits (a filtered
        // GetMessage) would bring the program straight back: look at the
        // window meanwhile instead of spinning.
        uint64_t now = clock().now_ms();
        if (next_due && *next_due <= now) next_due = now + 10;
        window_.wait(next_due, /*stop_on_input*/ true);
    }

private:
    DeviceWindow& window_;
    std::unique_ptr<DemoUser> demo_;
};

}  // namespace

std::unique_ptr<Person> make_window_user(DeviceWindow& window, bool demo, const std::string& screenshots_dir) {
    std::unique_ptr<DemoUser> demo_user;
    if (demo) {
        DemoSettings s;
        s.screenshots_dir = screenshots_dir;
        s.pause_ms = kDemoPauseMs;
        s.power_off_at_end = false;
        s.let_time_pass = [&window](std::optional<uint64_t> until) { window.wait(until, /*stop_on_input*/ !until); };
        demo_user = std::make_unique<DemoUser>(s);
    }
    return std::make_unique<WindowUser>(window, std::move(demo_user));
}

}  // namespace sim
