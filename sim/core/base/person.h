// The person (or script) holding the device.  The window system calls
// `idle` whenever the program waits for input and nothing is due: the
// person then acts (queues input, lets time pass, takes a screenshot, ...).
//
// The device knows the person only through this interface; the people
// themselves (the scripted user, the demo, the person at the device window)
// live outside the device, in sim/people and sim/window.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace sim {

class Person {
public:
    virtual ~Person() = default;
    // `next_due` is when the next timer falls due, if any.  Must make
    // progress: queue input or move the clock on.  Throws PowerOff when the
    // person is done with the device.
    virtual void idle(std::optional<uint64_t> next_due) = 0;
    // After a power cycle the state folder is read again from disk before
    // the device boots; `ok` is false (with the one-line `error`) when it
    // no longer loads, and the run then ends with exit code 2.
    virtual void state_folder_reloaded(bool ok, const std::string& error) {}
};

Person& person();
void set_person(Person* p);

// Thrown through the program when the device loses power or resets: the
// program is gone at once, with no message and nothing saved by it.
struct PowerOff {};
struct DeviceReset {};
// Thrown by a person who pulls the battery and puts it back: the program is
// gone at once, the state folder is read again, and the device boots and
// starts Dravik as it does when the simulator starts.
struct PowerCycle {};

// The person cannot go on (a script asks for what cannot be done, the demo
// sees nothing it knows how to answer): the device powers off, `report`
// goes to standard error as one line and the simulator exits with
// `exit_code`.
struct PersonGivesUp : std::runtime_error {
    PersonGivesUp(const std::string& what, std::string report, int exit_code)
        : std::runtime_error(what), report(std::move(report)), exit_code(exit_code) {}
    std::string report;
    int exit_code;
    bool host_failed = false;  // see OutputFailed
};

// What the person was to write (a screenshot, a picture) cannot be written:
// the host failed, not the program.  The device powers off, the run ends
// with exit code 2, and output_failure() (device/power.h) says why.
struct OutputFailed : PersonGivesUp {
    explicit OutputFailed(const std::string& report) : PersonGivesUp(report, report, 2) { host_failed = true; }
};

}  // namespace sim
