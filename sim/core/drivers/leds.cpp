// The notification LED driver (NLedGetDeviceInfo, NLedSetDevice) and the
// LED controller's register pages, reached by reserving address space and
// mapping the controller's kernel addresses onto it (VirtualAlloc,
// VirtualCopy).  Every 16-bit register access goes through the driver
// kit's accessors, so each one is journaled and the controller's state is
// known.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "base/journal.h"
#include "base/profile.h"
#include "drivers/drivers.h"
#include "platform/ce_api.h"

namespace sim {

namespace {

constexpr size_t kPage = 4096;
// The controller's two register pages.
constexpr uint32_t kControllerPages[] = {0xAFB07000u, 0xAFB04000u};
// Its control register: bit 0 runs the flashing.
constexpr uint32_t kFlashControl = 0xAFB07210u;

struct View {
    uint32_t kernel_addr = 0;  // 0 while only reserved
    bool writable = false;     // mapped with PAGE_READWRITE
};

struct Leds {
    std::vector<LedState> leds;
    std::map<uint32_t, uint16_t> registers;  // kernel address -> value
    std::map<uintptr_t, View> views;         // reserved host address -> view
};

Leds& leds() {
    static Leds l;
    return l;
}

int led_count() {
    const auto& raw = profile().raw();
    return raw.contains("leds") && raw["leds"].is_number_integer() ? raw["leds"].get<int>() : 2;
}

std::string addr_hex(uint32_t a) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", a);
    return buf;
}

// The mapped view that holds a 16-bit register at host address p, with
// the register's kernel address; null when no view maps all of it.
const View* view_of(const volatile void* p, uint32_t* kernel) {
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    for (auto& [base, v] : leds().views)
        if (v.kernel_addr && a >= base && a + sizeof(uint16_t) <= base + kPage) {
            *kernel = v.kernel_addr + uint32_t(a - base);
            return &v;
        }
    return nullptr;
}

}  // namespace

void stop_led_driver() {
    for (auto& [base, v] : leds().views) std::free(reinterpret_cast<void*>(base));
    leds() = Leds{};
}

void start_led_driver() {
    stop_led_driver();
    leds().leds.assign(size_t(std::max(0, led_count())), LedState{});
    // The controller's registers at power-on (the profile checked them).
    const auto& raw = profile().raw();
    if (raw.contains("led_registers") && raw["led_registers"].is_object())
        for (auto it = raw["led_registers"].begin(); it != raw["led_registers"].end(); ++it)
            if (it.value().is_number_integer())
                leds().registers[uint32_t(std::strtoul(it.key().c_str(), nullptr, 16))] = uint16_t(it.value().get<int>());
}

std::vector<LedState> led_states() { return leds().leds; }
bool led_controller_flashing() { return leds().registers[kFlashControl] & 1; }

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI NLedGetDeviceInfo(UINT id, void* out) {
    bool fails = profile().flag("led_query_fails");
    if (id == NLED_COUNT_INFO_ID && out && !fails) {
        static_cast<NLED_COUNT_INFO*>(out)->cLeds = UINT(leds().leds.size());
        log_event("led_info", {{"id", id}, {"count", leds().leds.size()}, {"ok", true}});
        return TRUE;
    }
    log_event("led_info", {{"id", id}, {"ok", false}});
    SetLastError(fails ? ERROR_GEN_FAILURE : ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL WINAPI NLedSetDevice(UINT id, void* in) {
    if (id != NLED_SETTINGS_INFO_ID || !in) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* s = static_cast<NLED_SETTINGS_INFO*>(in);
    bool ok = !profile().flag("led_set_fails") && s->LedNum < leds().leds.size() && s->OffOnBlink >= 0 &&
              s->OffOnBlink <= 2;
    log_event("led", {{"led", s->LedNum},
                      {"mode", s->OffOnBlink},
                      {"total_cycle", s->TotalCycleTime},
                      {"on_time", s->OnTime},
                      {"ok", ok}});
    if (!ok) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    LedState& led = leds().leds[s->LedNum];
    led.mode = s->OffOnBlink;
    if (led.mode == 2) {
        led.total_cycle_us = s->TotalCycleTime;
        led.on_time_us = s->OnTime;
    }
    return TRUE;
}

LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect) {
    // Only what the program does is simulated: reserving a page-sized range
    // with no access, to map a device's registers onto.
    if (address || size == 0 || size > kPage || !(type & MEM_RESERVE) || (type & MEM_COMMIT)) {
        log_event("map", {{"op", "reserve"}, {"size", size}, {"ok", false}});
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    void* p = std::aligned_alloc(kPage, kPage);
    std::memset(p, 0, kPage);
    leds().views[reinterpret_cast<uintptr_t>(p)] = View{};
    log_event("map", {{"op", "reserve"}, {"size", size}, {"protect", protect}, {"ok", true}});
    return p;
}

BOOL WINAPI VirtualCopy(LPVOID dest, LPVOID src, DWORD size, DWORD protect) {
    uint32_t kernel = uint32_t(reinterpret_cast<uintptr_t>(src));
    auto it = leds().views.find(reinterpret_cast<uintptr_t>(dest));
    bool known = false;
    for (uint32_t page : kControllerPages) known = known || page == kernel;
    bool ok = it != leds().views.end() && known && size <= kPage && !(protect & PAGE_PHYSICAL) &&
              !profile().flag("led_map_fails");
    log_event("map", {{"op", "copy"}, {"kernel_addr", addr_hex(kernel)}, {"size", size}, {"protect", protect}, {"ok", ok}});
    if (!ok) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    it->second.kernel_addr = kernel;
    it->second.writable = (protect & PAGE_READWRITE) != 0;
    return TRUE;
}

BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD type) {
    auto it = leds().views.find(reinterpret_cast<uintptr_t>(address));
    bool ok = it != leds().views.end() && size == 0 && (type & MEM_RELEASE);
    log_event("map", {{"op", "release"},
                      {"kernel_addr", ok && it->second.kernel_addr ? json(addr_hex(it->second.kernel_addr)) : json(nullptr)},
                      {"ok", ok}});
    if (!ok) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::free(address);
    leds().views.erase(it);
    return TRUE;
}

USHORT READ_REGISTER_USHORT(volatile USHORT* reg) {
    uint32_t k;
    if (!view_of(reg, &k)) {
        log_event("reg16", {{"addr", nullptr}, {"op", "read"}, {"value", nullptr}, {"fault", true}});
        return 0;
    }
    USHORT v = leds().registers[k];
    log_event("reg16", {{"addr", addr_hex(k)}, {"op", "read"}, {"value", v}});
    return v;
}

void WRITE_REGISTER_USHORT(volatile USHORT* reg, USHORT value) {
    uint32_t k;
    const View* v = view_of(reg, &k);
    if (!v || !v->writable) {
        // On the device this is an access violation; here it is recorded
        // and the register keeps its value.
        log_event("reg16", {{"addr", v ? json(addr_hex(k)) : json(nullptr)}, {"op", "write"}, {"value", value}, {"fault", true}});
        return;
    }
    leds().registers[k] = value;
    log_event("reg16", {{"addr", addr_hex(k)}, {"op", "write"}, {"value", value}});
    if (k == kFlashControl) log_event("led_controller", {{"flashing", (value & 1) != 0}});
}

}  // extern "C"
