// The simulated device's stand-in for the device maker's utility library
// "OrvexUtil.dll": it reports the model and the Bluetooth radio that the
// device profile describes.  Which exports are missing, and whether the
// library can be loaded at all, is decided by the loader (LoadLibraryW,
// GetProcAddressW), not here.
#include <algorithm>
#include <string>

#include <windows.h>

#include "base/journal.h"
#include "base/profile.h"
#include "base/text.h"

namespace {

// The longest model name the library writes; the caller's buffer holds 260
// wide characters with the terminator.
constexpr size_t kMaxModelName = 259;

// The profile's "bluetooth" object, or an empty one.
nlohmann::json bluetooth() {
    const auto& bt = sim::profile().raw().value("bluetooth", nlohmann::json::object());
    return bt.is_object() ? bt : nlohmann::json::object();
}

bool flag_or(const nlohmann::json& j, const char* key, bool fallback) {
    auto it = j.find(key);
    return it != j.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

int int_or(const nlohmann::json& j, const char* key, int fallback) {
    auto it = j.find(key);
    return it != j.end() && it->is_number_integer() ? it->get<int>() : fallback;
}

}  // namespace

extern "C" BOOL WINAPI OrvexGetModelID(WCHAR* buffer) {
    if (!buffer) return FALSE;
    std::u16string model = sim::to_u16(sim::profile().model());
    size_t n = std::min(model.size(), kMaxModelName);
    std::copy(model.begin(), model.begin() + n, buffer);
    buffer[n] = 0;
    sim::log_event("utility_call", {{"export", "OrvexGetModelID"}, {"model", sim::to_utf8(model.substr(0, n))}});
    return TRUE;
}

extern "C" BOOL WINAPI OrvexGetBlueToothRadioPresent(int* value) {
    nlohmann::json bt = bluetooth();
    bool ok = flag_or(bt, "present_call_ok", true);
    int radio = int_or(bt, "radio", 1);
    if (ok && value) *value = radio;
    sim::log_event("utility_call", {{"export", "OrvexGetBlueToothRadioPresent"}, {"ok", ok}, {"radio", radio}});
    return ok && value ? TRUE : FALSE;
}

extern "C" BOOL WINAPI OrvexGetBlueToothRadioStatus(int* value) {
    if (value) *value = 1;  // on
    sim::log_event("utility_call", {{"export", "OrvexGetBlueToothRadioStatus"}, {"status", 1}});
    return value ? TRUE : FALSE;
}
