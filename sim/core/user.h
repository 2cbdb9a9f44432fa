// The person (or script) holding the device.  The window system calls
// `idle` whenever the program waits for input and nothing is due: the user
// then acts (queues input, lets time pass, takes a screenshot, ...).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

class User {
public:
    virtual ~User() = default;
    // `next_due` is when the next timer falls due, if any.  Must make
    // progress: queue input or move the clock on.  Throws PowerOff when the
    // user is done with the device.
    virtual void idle(std::optional<uint64_t> next_due) = 0;
    // After a power cycle the state folder is read again from disk before
    // the device boots; `ok` is false (with the one-line `error`) when it
    // no longer loads, and the run then ends with exit code 2.
    virtual void state_folder_reloaded(bool ok, const std::string& error) {}
};

User& user();
void set_user(User* u);

// Thrown through the program when the device loses power or resets: the
// program is gone at once, with no message and nothing saved by it.
struct PowerOff {};
struct DeviceReset {};
// Thrown by a user who pulls the battery and puts it back: the program is
// gone at once, the state folder is read again, and the device boots and
// starts Dravik as it does when the simulator starts.
struct PowerCycle {};

}  // namespace sim
