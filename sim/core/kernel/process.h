// Programs running on the device.  Each start of a program loads a fresh
// copy of its module, so a new process keeps nothing of an earlier one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace sim {

struct Process {
    uint32_t id = 0;
    std::u16string exe;       // device path, e.g. "\Windows\Dravik.exe"
    HINSTANCE instance = nullptr;
    int exit_code = 0;
};

// The process whose code is running now (null: the shell).
Process* current_process();

// Starts a program by device path, as the shell does, and runs it to its
// end (programs run on the device's one thread; a program started from
// inside another's message loop runs nested).  Returns false when the path
// names no program.
bool run_program(const std::u16string& device_path, const std::u16string& command_line, int* exit_code);

// Programs that exist on the device but are not simulated (the help viewer):
// their start is recorded and they do nothing.
bool is_known_program(const std::u16string& device_path);

// Device paths of the programs running now, outermost first.
std::vector<std::u16string> running_programs();

// The folder holding the device's program and library modules.
std::string modules_dir();

// The parts above the kernel keep things per program (its windows, its
// resources).  They hear of a program's module loaded and of the program
// ended through these notices, rather than the kernel calling up to them;
// each part subscribes once, as the library loads.
struct ProgramNotices {
    // A program's module is loaded; `dl` is its dlopen handle.
    void (*loaded)(HMODULE module, void* dl) = nullptr;
    // The program has ended (still the current process): what it owned goes.
    void (*ended)(Process* process, HMODULE module) = nullptr;
};
void subscribe_to_programs(const ProgramNotices& notices);

}  // namespace sim
