// The device profile: what kind of device is simulated and which faults it
// has.  Absent keys take the healthy device's values.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

class Profile {
public:
    // Parses and checks the profile file.  On failure *error is one line
    // naming the file and line.
    bool load(const std::string& path, std::string* error);
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

}  // namespace sim
