#include "base/profile.h"

namespace sim {

Profile& profile() {
    static Profile p;
    return p;
}

bool led_register_address(const std::string& text, uint32_t* addr) {
    if (text.size() != 10 || text[0] != '0' || text[1] != 'x') return false;
    uint32_t a = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        char c = text[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        a = a << 4 | uint32_t(d);
    }
    if (a % 2 || !((a >= 0xAFB07000u && a < 0xAFB08000u) || (a >= 0xAFB04000u && a < 0xAFB05000u))) return false;
    *addr = a;
    return true;
}

std::string Profile::model() const { return string_or("model", "qz Orvex k7100"); }

bool Profile::utility_library_present() const { return string_or("utility_library", "present") != "missing"; }

bool Profile::export_missing(const std::string& name) const {
    if (!data_.contains("missing_exports")) return false;
    for (auto& e : data_["missing_exports"])
        if (e.get<std::string>() == name) return true;
    return false;
}

int Profile::os_major() const { return data_.contains("os_version") ? data_["os_version"][0].get<int>() : 4; }
int Profile::os_minor() const { return data_.contains("os_version") ? data_["os_version"][1].get<int>() : 20; }
int Profile::platform_id() const { return data_.contains("platform_id") ? data_["platform_id"].get<int>() : 3; }
bool Profile::registry_read_only() const { return flag("registry_read_only"); }

static std::vector<std::string> strings(const nlohmann::json& d, const char* key) {
    std::vector<std::string> out;
    if (d.contains(key))
        for (auto& e : d[key]) out.push_back(e.get<std::string>());
    return out;
}

std::vector<std::string> Profile::registry_fail_writes() const { return strings(data_, "registry_fail_writes"); }
std::vector<std::string> Profile::registry_fail_keys() const { return strings(data_, "registry_fail_keys"); }
std::string Profile::local_time() const { return string_or("local_time", ""); }
std::vector<std::string> Profile::processes() const { return strings(data_, "processes"); }

bool Profile::flag(const char* key) const {
    return data_.contains(key) && data_[key].is_boolean() && data_[key].get<bool>();
}

std::string Profile::string_or(const char* key, const std::string& fallback) const {
    if (data_.contains(key) && data_[key].is_string()) return data_[key].get<std::string>();
    return fallback;
}

}  // namespace sim
