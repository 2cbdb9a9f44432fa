// The profile's rules: every key's type, range or words, and what is
// wrong with a value that breaks one.
#include "device/profile_rules.h"

#include "base/host_file.h"
#include "base/profile.h"
#include "base/text.h"
#include "files/filestore.h"
#include "registry/registry.h"

namespace sim {
namespace key_rules {

using nlohmann::json;

namespace {

bool whole_in(const json& v, long long lo, long long hi) {
    if (v.is_number_unsigned()) return hi >= 0 && v.get<unsigned long long>() <= (unsigned long long)hi &&
                                      (lo <= 0 || v.get<unsigned long long>() >= (unsigned long long)lo);
    if (v.is_number_integer()) return v.get<long long>() >= lo && v.get<long long>() <= hi;
    return false;
}

std::string range_text(long long lo, long long hi) {
    return "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string word_list(const std::vector<std::string>& words) {
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i) out += i + 1 == words.size() ? " or " : ", ";
        out += quoted(words[i]);
    }
    return out;
}

bool one_of(const json& v, const std::vector<std::string>& words) {
    if (!v.is_string()) return false;
    for (auto& w : words)
        if (v.get<std::string>() == w) return true;
    return false;
}

// A device path from the root: "\My Documents\Dravik.txt".
bool device_path(const std::string& s) {
    if (s.size() < 2 || s[0] != '\\' || has_control_character(s)) return false;
    std::vector<std::u16string> names;
    return FileStore::split(to_u16(s), &names) == ERROR_SUCCESS && !names.empty();
}

// "HKEY_LOCAL_MACHINE\SOFTWARE\DRAVIK" within the registry's limits.
bool key_path(const std::string& s) { return registry_path_problem(to_u16(s)).empty(); }

// A key path, a backslash and a value name ("" for the default value).
bool value_path(const std::string& s) {
    size_t cut = s.rfind('\\');
    if (cut == std::string::npos || !key_path(s.substr(0, cut))) return false;
    std::string name = s.substr(cut + 1);
    return !has_control_character(name) && to_u16(name).size() <= kMaxRegistryNameLength;
}

// A program name as the process list shows it: "hopper.exe".
bool program_name(const std::string& s) {
    if (s.empty() || s.find('\\') != std::string::npos) return false;
    std::vector<std::u16string> names;
    return FileStore::split(to_u16(s), &names) == ERROR_SUCCESS && names.size() == 1;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// "YYYY-MM-DD HH:MM:SS", a real date and time.
bool local_time_text(const std::string& s) {
    static const char kForm[] = "dddd-dd-dd dd:dd:dd";
    if (s.size() != sizeof kForm - 1) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (kForm[i] == 'd' ? !(s[i] >= '0' && s[i] <= '9') : s[i] != kForm[i]) return false;
    auto num = [&](size_t at, size_t n) { return std::stoi(s.substr(at, n)); };
    int y = num(0, 4), mo = num(5, 2), d = num(8, 2), h = num(11, 2), mi = num(14, 2), se = num(17, 2);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1601 || mo < 1 || mo > 12 || d < 1) return false;
    int days = kDays[mo - 1] + (mo == 2 && leap(y) ? 1 : 0);
    return d <= days && h <= 23 && mi <= 59 && se <= 59;
}

// Checks each element of a list; `expected` names what a list must hold.
void each_element(const json& v, const std::string& place, const std::string& key, const std::string& expected,
                  const std::function<bool(const json&)>& good, Found* found) {
    std::string what = quoted(key) + " must be " + expected;
    if (!v.is_array()) {
        found->push_back({place, false, what});
        return;
    }
    for (size_t i = 0; i < v.size(); ++i)
        if (!good(v[i])) {
            found->push_back({place + "/" + std::to_string(i), false, what});
            return;
        }
}

// The fields of an object, each with its own check; unknown ones are refused.
struct Field {
    const char* name;
    std::string expected;
    std::function<bool(const json&)> good;
};

void each_field(const json& v, const std::string& place, const std::string& key, const std::vector<Field>& fields,
                Found* found) {
    if (!v.is_object()) {
        found->push_back({place, false, quoted(key) + " must be an object"});
        return;
    }
    std::string names;
    for (auto& f : fields) names += std::string(names.empty() ? "" : ", ") + f.name;
    for (auto it = v.begin(); it != v.end(); ++it) {
        const Field* field = nullptr;
        for (auto& f : fields)
            if (it.key() == f.name) field = &f;
        std::string at = place + "/" + it.key();
        if (!field) {
            std::vector<std::string> known;
            for (auto& f : fields) known.push_back(f.name);
            found->push_back({at, true, quoted(key) + ": unknown field " + quoted(it.key()) +
                                            did_you_mean(it.key(), known) + " (" + names + ")"});
        } else if (!field->good(it.value())) {
            found->push_back({at, false, quoted(key) + ": " + quoted(it.key()) + " must be " + field->expected});
        }
    }
}

std::function<bool(const json&)> whole(long long lo, long long hi) {
    return [lo, hi](const json& v) { return whole_in(v, lo, hi); };
}
std::function<bool(const json&)> boolean() {
    return [](const json& v) { return v.is_boolean(); };
}
std::function<bool(const json&)> words(std::vector<std::string> list) {
    return [list](const json& v) { return one_of(v, list); };
}

const std::vector<std::string> kFileOps = {"create", "write", "close", "open", "read", "delete", "mismatch", "short_read"};

// A file operation that fails, "close", or one call of it, "close#2".
bool file_op(const json& op) {
    if (!op.is_string()) return false;
    std::string name = op.get<std::string>();
    size_t hash = name.find('#');
    if (hash != std::string::npos) {
        std::string number = name.substr(hash + 1);
        if (number.empty() || number.size() > 9 || number[0] == '0' ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return false;
        name.resize(hash);
    }
    return one_of(json(name), kFileOps);
}
const std::vector<std::string> kUtilityExports = {"OrvexGetModelID", "OrvexGetBlueToothRadioPresent",
                                                  "OrvexGetBlueToothRadioStatus"};

void simple(const json& v, const std::string& place, const char* key, const std::string& expected,
            const std::function<bool(const json&)>& good, Found* found) {
    if (!good(v)) found->push_back({place, false, quoted(key) + " must be " + expected});
}

#define SIMPLE(KEY, EXPECTED, GOOD) \
    {KEY, [](const json& v, const std::string& p, Found* f) { simple(v, p, KEY, EXPECTED, GOOD, f); }}
#define LIST(KEY, EXPECTED, GOOD) \
    {KEY, [](const json& v, const std::string& p, Found* f) { each_element(v, p, KEY, EXPECTED, GOOD, f); }}

}  // namespace

const std::vector<KeyRule>& rules() {
    static const std::vector<KeyRule> kRules = {
        SIMPLE("model", "a string", [](const json& v) { return v.is_string(); }),
        SIMPLE("utility_library", "\"present\" or \"missing\"", words({"present", "missing"})),
        SIMPLE("utility_library_loads", range_text(0, kMaxLoads), whole(0, kMaxLoads)),
        LIST("missing_exports", "a list of the utility library's functions: " + word_list(kUtilityExports),
             words(kUtilityExports)),
        {"os_version",
         [](const json& v, const std::string& p, Found* f) {
             if (!v.is_array() || v.size() != 2)
                 f->push_back({p, false, "\"os_version\" must be [major, minor]"});
             else
                 each_element(v, p, "os_version", "[major, minor], each " + range_text(0, kMaxVersionPart),
                              whole(0, kMaxVersionPart), f);
         }},
        SIMPLE("platform_id", range_text(0, 3), whole(0, 3)),
        SIMPLE("registry_read_only", "true or false", boolean()),
        LIST("registry_fail_writes", "a list of value paths such as \"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK\\Sound\"",
             [](const json& e) { return e.is_string() && value_path(e.get<std::string>()); }),
        LIST("registry_fail_keys", "a list of key paths such as \"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK\"",
             [](const json& e) { return e.is_string() && key_path(e.get<std::string>()); }),
        SIMPLE("local_time", "\"YYYY-MM-DD HH:MM:SS\", a real date from 1601",
               [](const json& v) { return v.is_string() && local_time_text(v.get<std::string>()); }),
        LIST("processes", "a list of program names such as \"hopper.exe\"",
             [](const json& e) { return e.is_string() && program_name(e.get<std::string>()); }),
        SIMPLE("reset", "\"works\" or \"fails\"", words({"works", "fails"})),
        {"file_faults",
         [](const json& v, const std::string& p, Found* f) {
             if (!v.is_object()) {
                 f->push_back({p, false, "\"file_faults\" must be an object"});
                 return;
             }
             for (auto it = v.begin(); it != v.end(); ++it) {
                 std::string at = p + "/" + it.key();
                 if (!device_path(it.key())) {
                     f->push_back({at, true,
                                   "\"file_faults\": " + quoted(it.key()) +
                                       " must be a device path from the root, such as \"\\My Documents\\Dravik.txt\""});
                     continue;
                 }
                 const json& ops = it.value();
                 bool ok = file_op(ops);
                 if (ops.is_array()) {
                     ok = !ops.empty();
                     for (auto& op : ops) ok = ok && file_op(op);
                 }
                 if (!ok)
                     f->push_back({at, false,
                                   "\"file_faults\": " + quoted(it.key()) +
                                       " must be one of create, write, close, open, read, delete, mismatch, "
                                       "short_read (each may name one call, as in close#2), or a list of them"});
             }
         }},
        LIST("files_held_open", "a list of device paths from the root, such as \"\\My Documents\\Dravik.txt\"",
             [](const json& e) { return e.is_string() && device_path(e.get<std::string>()); }),
        {"com2",
         [](const json& v, const std::string& p, Found* f) {
             each_field(v, p, "com2",
                        {{"open_error", "an error code from 1 to 65535", whole(1, 0xFFFF)},
                         {"write", "\"ok\", \"fails\" or \"partial\"", words({"ok", "fails", "partial"})}},
                        f);
         }},
        SIMPLE("leds", range_text(0, kMaxLeds), whole(0, kMaxLeds)),
        SIMPLE("led_query_fails", "true or false", boolean()),
        SIMPLE("led_set_fails", "true or false", boolean()),
        SIMPLE("led_map_fails", "true or false", boolean()),
        {"led_registers",
         [](const json& v, const std::string& p, Found* f) {
             if (!v.is_object()) {
                 f->push_back({p, false, "\"led_registers\" must be an object"});
                 return;
             }
             for (auto it = v.begin(); it != v.end(); ++it) {
                 uint32_t addr = 0;
                 bool key_ok = led_register_address(it.key(), &addr);
                 if (!key_ok || !whole_in(it.value(), 0, 0xFFFF))
                     f->push_back({p + "/" + it.key(), !key_ok,
                                   "\"led_registers\": \"" + it.key() +
                                       "\" must be an even address \"0xAFB07xxx\" or \"0xAFB04xxx\" with a value 0 "
                                       "to 65535"});
             }
         }},
        {"bluetooth",
         [](const json& v, const std::string& p, Found* f) {
             each_field(v, p, "bluetooth",
                        {{"present_call_ok", "true or false", boolean()},
                         {"radio", "0 (no radio) or 1 (a radio)", whole(0, 1)},
                         {"status_export", "true or false", boolean()}},
                        f);
         }},
        {"display",
         [](const json& v, const std::string& p, Found* f) {
             each_field(v, p, "display",
                        {{"width", range_text(0, 1024), whole(0, 1024)},
                         {"height", range_text(0, 1024), whole(0, 1024)},
                         {"xpitch", range_text(-8192, 8192), whole(-8192, 8192)},
                         {"ypitch", range_text(-8192, 8192), whole(-8192, 8192)},
                         {"bpp", range_text(1, 32), whole(1, 32)},
                         {"format", range_text(0, 0xFFFFFFFFLL), whole(0, 0xFFFFFFFFLL)}},
                        f);
         }},
        LIST("begin_draw_fails", "a list of whole numbers from 1 to " + std::to_string(kMaxDrawCall),
             whole(1, kMaxDrawCall)),
        SIMPLE("seed", range_text(0, 0xFFFFFFFFLL), whole(0, 0xFFFFFFFFLL)),
        SIMPLE("coredll_missing", "true or false", boolean()),
        SIMPLE("unregisterfunc1_missing", "true or false", boolean()),
        LIST("hotkey_fail", "a list of key codes from 1 to 254", whole(1, 254)),
    };
    return kRules;
}

#undef SIMPLE
#undef LIST
}  // namespace key_rules
}  // namespace sim
