#include "kernel/kernel_objects.h"

#include <map>

namespace sim {

namespace {
std::map<uintptr_t, std::shared_ptr<KernelObject>>& table() {
    static std::map<uintptr_t, std::shared_ptr<KernelObject>> t;
    return t;
}
uintptr_t next_handle = 0x1000;
}  // namespace

HANDLE add_handle(std::shared_ptr<KernelObject> obj) {
    uintptr_t h = next_handle;
    next_handle += 4;
    table()[h] = std::move(obj);
    return reinterpret_cast<HANDLE>(h);
}

std::shared_ptr<KernelObject> find_handle(HANDLE h) {
    auto it = table().find(reinterpret_cast<uintptr_t>(h));
    return it == table().end() ? nullptr : it->second;
}

bool close_handle(HANDLE h) {
    auto it = table().find(reinterpret_cast<uintptr_t>(h));
    if (it == table().end()) return false;
    auto obj = it->second;
    table().erase(it);
    return obj->close();
}

void clear_handles() { table().clear(); }

}  // namespace sim
