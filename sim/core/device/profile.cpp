#include "device/profile.h"

#include <fstream>
#include <sstream>

namespace sim {

Profile& profile() {
    static Profile p;
    return p;
}

namespace {

using nlohmann::json;

int line_of_offset(const std::string& text, size_t offset) {
    int line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

int line_of_key(const std::string& text, const std::string& key) {
    size_t at = text.find("\"" + key + "\"");
    return at == std::string::npos ? 1 : line_of_offset(text, at);
}

// What each key must hold; the message names what was expected.
enum class Kind { String, Bool, Int, StringList, IntList, Object, Any };

struct KeyRule {
    const char* key;
    Kind kind;
};

const KeyRule kRules[] = {
    {"model", Kind::String},
    {"utility_library", Kind::String},
    {"utility_library_loads", Kind::Int},
    {"missing_exports", Kind::StringList},
    {"os_version", Kind::IntList},
    {"platform_id", Kind::Int},
    {"registry_read_only", Kind::Bool},
    {"registry_fail_writes", Kind::StringList},
    {"registry_fail_keys", Kind::StringList},
    {"local_time", Kind::String},
    {"processes", Kind::StringList},
    {"reset", Kind::String},
    {"file_faults", Kind::Object},
    {"files_held_open", Kind::StringList},
    {"com2", Kind::Object},
    {"leds", Kind::Int},
    {"led_query_fails", Kind::Bool},
    {"led_set_fails", Kind::Bool},
    {"led_map_fails", Kind::Bool},
    {"led_registers", Kind::Object},
    {"bluetooth", Kind::Object},
    {"display", Kind::Object},
    {"begin_draw_fails", Kind::IntList},
    {"seed", Kind::Int},
    {"coredll_missing", Kind::Bool},
    {"unregisterfunc1_missing", Kind::Bool},
    {"hotkey_fail", Kind::IntList},
};

bool kind_ok(const json& v, Kind k) {
    switch (k) {
        case Kind::String: return v.is_string();
        case Kind::Bool: return v.is_boolean();
        case Kind::Int: return v.is_number_integer();
        case Kind::Object: return v.is_object();
        case Kind::Any: return true;
        case Kind::StringList:
            if (!v.is_array()) return false;
            for (auto& e : v)
                if (!e.is_string()) return false;
            return true;
        case Kind::IntList:
            if (!v.is_array()) return false;
            for (auto& e : v)
                if (!e.is_number_integer()) return false;
            return true;
    }
    return false;
}

const char* kind_name(Kind k) {
    switch (k) {
        case Kind::String: return "a string";
        case Kind::Bool: return "true or false";
        case Kind::Int: return "a whole number";
        case Kind::Object: return "an object";
        case Kind::StringList: return "a list of strings";
        case Kind::IntList: return "a list of whole numbers";
        case Kind::Any: return "a value";
    }
    return "a value";
}

bool valid_local_time(const std::string& s) {
    int y, mo, d, h, mi, se;
    char tail;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &se, &tail) != 6) return false;
    return y >= 1601 && y <= 30827 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h <= 23 && mi >= 0 &&
           mi <= 59 && se >= 0 && se <= 59;
}

// The display that GAPI describes: each field a whole number in its range,
// so that its memory stays small.  "" when it is sound.
std::string display_problem(const json& d) {
    struct Field {
        const char* name;
        long long lo, hi;
    };
    static const Field kFields[] = {{"width", 0, 1024},     {"height", 0, 1024}, {"xpitch", -8192, 8192},
                                    {"ypitch", -8192, 8192}, {"bpp", 1, 32},      {"format", 0, 0xFFFFFFFFLL}};
    for (auto it = d.begin(); it != d.end(); ++it) {
        const Field* field = nullptr;
        for (auto& f : kFields)
            if (it.key() == f.name) field = &f;
        if (!field) return "unknown field \"" + it.key() + "\" (width, height, xpitch, ypitch, bpp, format)";
        const json& v = it.value();
        bool in_range = false;
        if (v.is_number_unsigned())
            in_range = v.get<unsigned long long>() <= (unsigned long long)field->hi &&
                       (long long)v.get<unsigned long long>() >= field->lo;
        else if (v.is_number_integer())
            in_range = v.get<long long>() >= field->lo && v.get<long long>() <= field->hi;
        if (!in_range)
            return "\"" + it.key() + "\" must be a whole number from " + std::to_string(field->lo) + " to " +
                   std::to_string(field->hi);
    }
    return "";
}

// "file_faults": device path -> an operation, or a list of them.  "" when
// it is sound.
std::string file_faults_problem(const json& faults) {
    static const char* const kOps[] = {"create", "write", "close", "open", "read", "delete", "mismatch", "short_read"};
    auto known = [](const json& op) {
        if (!op.is_string()) return false;
        for (const char* k : kOps)
            if (op.get<std::string>() == k) return true;
        return false;
    };
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        bool ok = known(it.value());
        if (it.value().is_array()) {
            ok = !it.value().empty();
            for (auto& op : it.value()) ok = ok && known(op);
        }
        if (!ok)
            return "\"" + it.key() +
                   "\" must be one of create, write, close, open, read, delete, mismatch, short_read, or a list of them";
    }
    return "";
}

// "com2": {"open_error": N} or {"write": "ok" | "fails" | "partial"}.
std::string com2_problem(const json& port) {
    for (auto it = port.begin(); it != port.end(); ++it) {
        const json& v = it.value();
        if (it.key() == "open_error") {
            if (!v.is_number_integer() || v.get<long long>() < 1 || v.get<long long>() > 0xFFFF)
                return "\"open_error\" must be an error code from 1 to 65535";
        } else if (it.key() == "write") {
            if (!v.is_string() || (v != "ok" && v != "fails" && v != "partial"))
                return "\"write\" must be \"ok\", \"fails\" or \"partial\"";
        } else {
            return "unknown field \"" + it.key() + "\" (open_error, write)";
        }
    }
    return "";
}

}  // namespace

bool Profile::load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ":1: cannot read the profile";
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    json j;
    try {
        j = json::parse(text);
    } catch (const json::parse_error& e) {
        *error = path + ":" + std::to_string(line_of_offset(text, e.byte ? e.byte - 1 : 0)) +
                 ": not valid JSON: " + e.what();
        return false;
    }
    if (!j.is_object()) {
        *error = path + ":1: a profile is a JSON object of settings";
        return false;
    }
    for (auto it = j.begin(); it != j.end(); ++it) {
        const KeyRule* rule = nullptr;
        for (auto& r : kRules)
            if (it.key() == r.key) rule = &r;
        int line = line_of_key(text, it.key());
        if (!rule) {
            *error = path + ":" + std::to_string(line) + ": unknown profile key \"" + it.key() + "\"";
            return false;
        }
        if (!kind_ok(it.value(), rule->kind)) {
            *error = path + ":" + std::to_string(line) + ": \"" + it.key() + "\" must be " + kind_name(rule->kind);
            return false;
        }
    }
    if (j.contains("utility_library")) {
        auto v = j["utility_library"].get<std::string>();
        if (v != "present" && v != "missing") {
            *error = path + ":" + std::to_string(line_of_key(text, "utility_library")) +
                     ": \"utility_library\" must be \"present\" or \"missing\"";
            return false;
        }
    }
    if (j.contains("led_registers")) {
        for (auto it = j["led_registers"].begin(); it != j["led_registers"].end(); ++it) {
            unsigned addr = 0;
            char tail;
            bool ok = std::sscanf(it.key().c_str(), "0x%8x%c", &addr, &tail) == 1 && addr % 2 == 0 &&
                      ((addr >= 0xAFB07000u && addr < 0xAFB08000u) || (addr >= 0xAFB04000u && addr < 0xAFB05000u)) &&
                      it.value().is_number_integer() && it.value().get<long long>() >= 0 &&
                      it.value().get<long long>() <= 0xFFFF;
            if (!ok) {
                *error = path + ":" + std::to_string(line_of_key(text, it.key())) +
                         ": \"led_registers\": \"" + it.key() +
                         "\" must be an even address \"0xAFB07xxx\" or \"0xAFB04xxx\" with a value 0 to 65535";
                return false;
            }
        }
    }
    if (j.contains("os_version") && j["os_version"].size() != 2) {
        *error = path + ":" + std::to_string(line_of_key(text, "os_version")) +
                 ": \"os_version\" must be [major, minor]";
        return false;
    }
    if (j.contains("display")) {
        std::string why = display_problem(j["display"]);
        if (!why.empty()) {
            *error = path + ":" + std::to_string(line_of_key(text, "display")) + ": \"display\": " + why;
            return false;
        }
    }
    for (const char* key : {"file_faults", "com2"}) {
        if (!j.contains(key)) continue;
        std::string why = key == std::string("com2") ? com2_problem(j[key]) : file_faults_problem(j[key]);
        if (!why.empty()) {
            *error = path + ":" + std::to_string(line_of_key(text, key)) + ": \"" + key + "\": " + why;
            return false;
        }
    }
    if (j.contains("local_time") && !valid_local_time(j["local_time"].get<std::string>())) {
        *error = path + ":" + std::to_string(line_of_key(text, "local_time")) +
                 ": \"local_time\" must be \"YYYY-MM-DD HH:MM:SS\"";
        return false;
    }
    data_ = j;
    path_ = path;
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
