// Kernel object handles (files, events, snapshots, ...) shared by CloseHandle.
#pragma once

#include <memory>

#include <windows.h>

namespace sim {

struct KernelObject {
    virtual ~KernelObject() = default;
    // Called by CloseHandle; false makes CloseHandle fail.
    virtual bool close() { return true; }
};

HANDLE add_handle(std::shared_ptr<KernelObject> obj);
std::shared_ptr<KernelObject> find_handle(HANDLE h);
template <class T>
std::shared_ptr<T> find_handle_as(HANDLE h) {
    return std::dynamic_pointer_cast<T>(find_handle(h));
}
// Removes the handle; returns the object's close() result, false when unknown.
bool close_handle(HANDLE h);
void clear_handles();

}  // namespace sim
