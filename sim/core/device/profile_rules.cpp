// The profile's rules: every key's type, range or words, checked as the
// profile is read, with the line of the value that breaks one.
#include "device/profile_rules.h"

#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "base/host_file.h"
#include "base/text.h"
#include "files/filestore.h"
#include "registry/registry.h"

namespace sim {

namespace {

using nlohmann::json;

int line_of_offset(const std::string& text, size_t offset) {
    int line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

// ---------------------------------------------------------------- where things stand

// The line on which each key and each value of a JSON text begins, by its
// place: "/leds", "/bluetooth/radio", "/begin_draw_fails/2".  Only the
// levels a profile has are recorded; deeper ones are passed over (a value
// that deep is refused by the level above it).  The first key given twice
// in one object is kept as well.
class JsonLines {
public:
    static constexpr size_t kDepth = 3;

    // `text` has already been parsed, so it is known to be valid JSON.
    void scan(const std::string& text) {
        text_ = &text;
        pos_ = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        line_ = 1;
        skip_blanks();
        begin_value("");
        while ((!stack_.empty() || !deep_.empty()) && pos_ < text.size()) {
            skip_blanks();
            if (pos_ >= text.size()) break;
            char c = text[pos_];
            if (c == '}' || c == ']') {
                ++pos_;
                if (!deep_.empty())
                    deep_.pop_back();
                else
                    stack_.pop_back();
                continue;
            }
            if (c == ',') {
                ++pos_;
                skip_blanks();
            }
            if (!deep_.empty()) {  // below the recorded levels: only passed over
                if (deep_.back()) {
                    read_string();
                    skip_blanks();
                    ++pos_;  // ':'
                    skip_blanks();
                }
                begin_value("");
                continue;
            }
            Frame& f = stack_.back();
            std::string place;
            if (f.object) {
                int key_line = line_;
                std::string key = read_string();
                place = f.place + "/" + key;
                keys_[place] = key_line;
                if (!f.keys.insert(key).second && twice_.empty()) {
                    twice_ = place;
                    twice_line_ = key_line;
                }
                skip_blanks();
                ++pos_;  // ':'
                skip_blanks();
            } else {
                place = f.place + "/" + std::to_string(f.index++);
            }
            begin_value(place);
        }
    }

    int value_line(const std::string& place) const {
        auto it = values_.find(place);
        return it == values_.end() ? 1 : it->second;
    }
    int key_line(const std::string& place) const {
        auto it = keys_.find(place);
        return it == keys_.end() ? value_line(place) : it->second;
    }
    // The first key given twice ("" for none) and the line of its second use.
    const std::string& twice() const { return twice_; }
    int twice_line() const { return twice_line_; }

private:
    struct Frame {
        bool object = false;
        std::string place;
        size_t index = 0;
        std::set<std::string> keys;
    };

    void skip_blanks() {
        const std::string& t = *text_;
        while (pos_ < t.size() && (t[pos_] == ' ' || t[pos_] == '\t' || t[pos_] == '\r' || t[pos_] == '\n')) {
            if (t[pos_] == '\n') ++line_;
            ++pos_;
        }
    }

    // A value at `place`; containers deeper than the recorded levels go on
    // deep_ (true for an object), the others on stack_.
    void begin_value(const std::string& place) {
        const std::string& t = *text_;
        if (pos_ >= t.size()) return;
        bool recorded = deep_.empty();
        if (recorded) values_[place] = line_;
        char c = t[pos_];
        if (c == '{' || c == '[') {
            ++pos_;
            if (recorded && stack_.size() + 1 < kDepth) {
                Frame f;
                f.object = c == '{';
                f.place = place;
                stack_.push_back(std::move(f));
            } else {
                deep_.push_back(c == '{');
            }
        } else if (c == '"') {
            read_string();
        } else {
            while (pos_ < t.size() && t[pos_] != ',' && t[pos_] != ']' && t[pos_] != '}' && t[pos_] != ' ' &&
                   t[pos_] != '\t' && t[pos_] != '\r' && t[pos_] != '\n')
                ++pos_;
        }
    }

    static void append_utf8(std::string* out, uint32_t c) {
        if (c < 0x80) {
            *out += char(c);
        } else if (c < 0x800) {
            *out += char(0xC0 | (c >> 6));
            *out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out += char(0xE0 | (c >> 12));
            *out += char(0x80 | ((c >> 6) & 0x3F));
            *out += char(0x80 | (c & 0x3F));
        } else {
            *out += char(0xF0 | (c >> 18));
            *out += char(0x80 | ((c >> 12) & 0x3F));
            *out += char(0x80 | ((c >> 6) & 0x3F));
            *out += char(0x80 | (c & 0x3F));
        }
    }

    uint32_t hex4() {
        const std::string& t = *text_;
        uint32_t v = 0;
        for (int k = 0; k < 4 && pos_ < t.size(); ++k, ++pos_) {
            char c = t[pos_];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
            v = v << 4 | uint32_t(d);
        }
        return v;
    }

    // A string starting at the quote, decoded as the parser decodes it.
    std::string read_string() {
        const std::string& t = *text_;
        std::string out;
        ++pos_;  // the opening quote
        while (pos_ < t.size() && t[pos_] != '"') {
            char c = t[pos_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= t.size()) break;
            char e = t[pos_++];
            switch (e) {
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t u = hex4();
                    if (u >= 0xD800 && u <= 0xDBFF && pos_ + 1 < t.size() && t[pos_] == '\\' && t[pos_ + 1] == 'u') {
                        pos_ += 2;
                        uint32_t low = hex4();
                        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    }
                    append_utf8(&out, u);
                    break;
                }
                default: out += e; break;  // \" \\ \/
            }
        }
        ++pos_;  // the closing quote
        return out;
    }

    const std::string* text_ = nullptr;
    size_t pos_ = 0;
    int line_ = 1;
    std::vector<Frame> stack_;
    std::vector<bool> deep_;
    std::map<std::string, int> values_, keys_;
    std::string twice_;
    int twice_line_ = 0;
};

// ---------------------------------------------------------------- what each key holds

// A refusal: the place of the value (or of its key) and what is wrong.
struct Problem {
    std::string place;
    bool at_key = false;
    std::string what;
};

using Found = std::vector<Problem>;

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

// One rule a key: its name and how its value is checked.  The same list,
// in the same order, is the profile's part of the usage text.
struct KeyRule {
    const char* key;
    std::function<void(const json& v, const std::string& place, Found*)> check;
};

void simple(const json& v, const std::string& place, const char* key, const std::string& expected,
            const std::function<bool(const json&)>& good, Found* found) {
    if (!good(v)) found->push_back({place, false, quoted(key) + " must be " + expected});
}

#define SIMPLE(KEY, EXPECTED, GOOD) \
    {KEY, [](const json& v, const std::string& p, Found* f) { simple(v, p, KEY, EXPECTED, GOOD, f); }}
#define LIST(KEY, EXPECTED, GOOD) \
    {KEY, [](const json& v, const std::string& p, Found* f) { each_element(v, p, KEY, EXPECTED, GOOD, f); }}

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

}  // namespace

std::vector<std::string> profile_keys() {
    std::vector<std::string> out;
    for (auto& r : rules()) out.push_back(r.key);
    return out;
}

bool load_profile(Profile* profile, const std::string& path, std::string* error) {
    std::string text, why;
    if (!read_host_file(path, kMaxProfileBytes, Links::Follow, &text, &why)) {
        *error = path + ":1: cannot read the profile: " + why;
        return false;
    }
    return load_profile_text(profile, text, path, error);
}

bool load_profile_text(Profile* profile, const std::string& text, const std::string& path,
                       std::string* error) {
    json j;
    try {
        j = json::parse(text);
    } catch (const json::parse_error& e) {
        *error = one_line(path + ":" + std::to_string(line_of_offset(text, e.byte ? e.byte - 1 : 0)),
                          std::string("not valid JSON: ") + e.what());
        return false;
    } catch (const json::out_of_range& e) {
        // A number beyond any double ("1e400"): the reader names the token,
        // which shows where it stands.
        std::string what = e.what();
        size_t open = what.find('\''), close = what.rfind('\'');
        size_t at = open != std::string::npos && close > open ? text.find(what.substr(open + 1, close - open - 1))
                                                              : std::string::npos;
        *error = one_line(path + ":" + std::to_string(line_of_offset(text, at == std::string::npos ? 0 : at)),
                          "a number too large for any setting");
        return false;
    }
    if (!j.is_object()) {
        *error = path + ":1: a profile is a JSON object of settings";
        return false;
    }
    JsonLines lines;
    lines.scan(text);
    if (!lines.twice().empty()) {
        *error = one_line(path + ":" + std::to_string(lines.twice_line()),
                          "\"" + lines.twice().substr(1) + "\" is given twice");
        return false;
    }
    // Every problem is found; the one nearest the top of the file is told.
    Found found;
    for (auto it = j.begin(); it != j.end(); ++it) {
        std::string place = "/" + it.key();
        const KeyRule* rule = nullptr;
        for (auto& r : rules())
            if (it.key() == r.key) rule = &r;
        if (rule) {
            rule->check(it.value(), place, &found);
            continue;
        }
        std::vector<std::string> known;
        for (auto& r : rules()) known.push_back(r.key);
        found.push_back({place, true, "unknown profile key \"" + it.key() + "\"" + did_you_mean(it.key(), known) +
                                          " (see dravik-sim --help)"});
    }
    if (!found.empty()) {
        const Problem* first = nullptr;
        int first_line = 0;
        for (auto& p : found) {
            int line = p.at_key ? lines.key_line(p.place) : lines.value_line(p.place);
            if (!first || line < first_line) {
                first = &p;
                first_line = line;
            }
        }
        *error = one_line(path + ":" + std::to_string(first_line), first->what);
        return false;
    }
    profile->accept(j, path);
    return true;
}

std::string check_profile_text(const std::string& bytes) {
    Profile p;
    std::string error;
    return load_profile_text(&p, bytes, "profile", &error) ? std::string() : error;
}

}  // namespace sim
