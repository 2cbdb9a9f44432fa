// Named events: the audio driver's "AudioChangeEvent" and any other.
#include <windows.h>

#include <map>

#include "base/journal.h"
#include "kernel/kernel_objects.h"
#include "base/text.h"
#include "platform/ce_api.h"

namespace sim {

namespace {

struct EventState {
    std::u16string name;
    bool manual_reset = false;
    bool signalled = false;
    int pulses = 0;
};

struct EventObject : KernelObject {
    std::shared_ptr<EventState> state;
    bool close() override {
        log_event("event", {{"name", to_utf8(state->name)}, {"op", "close"}});
        return true;
    }
};

std::map<std::u16string, std::weak_ptr<EventState>>& named() {
    static std::map<std::u16string, std::weak_ptr<EventState>> m;
    return m;
}

}  // namespace

}  // namespace sim

using namespace sim;

extern "C" {

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial, LPCWSTR name) {
    auto obj = std::make_shared<EventObject>();
    std::u16string n = name ? std::u16string(name) : std::u16string();
    bool existed = false;
    if (!n.empty()) {
        auto it = named().find(n);
        if (it != named().end()) obj->state = it->second.lock();
        existed = obj->state != nullptr;
    }
    if (!obj->state) {
        obj->state = std::make_shared<EventState>();
        obj->state->name = n;
        obj->state->manual_reset = manual_reset != FALSE;
        obj->state->signalled = initial != FALSE;
        if (!n.empty()) named()[n] = obj->state;
    }
    log_event("event", {{"name", to_utf8(n)}, {"op", existed ? "open" : "create"}});
    HANDLE h = add_handle(obj);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

BOOL WINAPI EventModify(HANDLE h, DWORD func) {
    auto obj = find_handle_as<EventObject>(h);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const char* op = "modify";
    switch (func) {
        case EVENT_PULSE:
            op = "pulse";
            obj->state->pulses++;
            obj->state->signalled = false;
            break;
        case EVENT_RESET:
            op = "reset";
            obj->state->signalled = false;
            break;
        case EVENT_SET:
            op = "set";
            obj->state->signalled = true;
            break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    log_event("event", {{"name", to_utf8(obj->state->name)}, {"op", op}});
    return TRUE;
}

}  // extern "C"
