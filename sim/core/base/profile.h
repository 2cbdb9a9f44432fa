// The device profile: what kind of device is simulated and which faults it
// has.  Absent keys take the healthy device's values.  Reading and checking
// a profile file is device/profile_loading.h's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

// The ranges of the profile's numbers: what the device could have.
constexpr long long kMaxLoads = 2147483647;   // "utility_library_loads"
constexpr long long kMaxVersionPart = 255;    // each of "os_version"
constexpr long long kMaxLeds = 32;            // "leds"
constexpr long long kMaxDrawCall = 1000000;   // each of "begin_draw_fails"

class Profile {
public:
    // Takes settings that device/profile_loading.h has checked; `path` names
    // the file they came from.
    void accept(const nlohmann::json& checked, const std::string& path) {
        data_ = checked;
        path_ = path;
    }
    // Tests set a profile directly, unchecked.
    void load_json(const nlohmann::json& j) { data_ = j; }

    const nlohmann::json& raw() const { return data_; }
    bool has(const char* key) const { return data_.contains(key); }

    std::string model() const;                      // "model"
    bool utility_library_present() const;           // "utility_library"
    bool export_missing(const std::string& name) const;  // "missing_exports"
    int os_major() const;                           // "os_version"[0]
    int os_minor() const;                           // "os_version"[1]
    int platform_id() const;                        // "platform_id"
    bool registry_read_only() const;                // "registry_read_only"
    std::vector<std::string> registry_fail_writes() const;
    std::vector<std::string> registry_fail_keys() const;
    std::string local_time() const;                 // "" when not given
    std::vector<std::string> processes() const;     // "processes"
    bool flag(const char* key) const;               // boolean key, default false
    std::string string_or(const char* key, const std::string& fallback) const;

    const std::string& path() const { return path_; }

private:
    nlohmann::json data_ = nlohmann::json::object();
    std::string path_;
};

Profile& profile();

// A register of the LED controller as the profile names it: "0xAFB07210",
// an even address in one of the controller's two pages.
bool led_register_address(const std::string& text, uint32_t* addr);

}  // namespace sim
