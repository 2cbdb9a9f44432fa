#include "registry/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "base/host_file.h"
#include "base/text.h"

namespace sim {

namespace {

const char* const kHeader = "Windows Registry Editor Version 5.00";

// In the order the registry editor lists them.
const char16_t* const kRootNames[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE",
                                      u"HKEY_USERS"};

std::vector<std::u16string> split_path(const std::u16string& path) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = path.find(u'\\', start);
        parts.push_back(path.substr(start, at == std::u16string::npos ? std::u16string::npos : at - start));
        if (at == std::u16string::npos) break;
        start = at + 1;
    }
    return parts;
}

// The root a path's first name (path[0, end)) names, whatever its case; -1
// for none.
int root_index(const std::u16string& path, size_t end) {
    for (int i = 0; i < 4; ++i) {
        std::u16string_view root = kRootNames[i];
        if (root.size() != end) continue;
        size_t k = 0;
        while (k < end && lower_char(path[k]) == lower_char(root[k])) ++k;
        if (k == end) return i;
    }
    return -1;
}

int root_index(const std::u16string& name) { return root_index(name, name.size()); }

// Splits a full path; false when it has no known root or an empty name.
// *names keeps the storage of the names it held.
bool parse_path(const std::u16string& path, int* root, std::vector<std::u16string>* names) {
    size_t first = path.find(u'\\');
    *root = root_index(path, first == std::u16string::npos ? path.size() : first);
    if (*root < 0) return false;
    size_t count = 0;
    for (size_t start = first; start != std::u16string::npos;) {
        ++start;
        size_t at = path.find(u'\\', start);
        size_t n = (at == std::u16string::npos ? path.size() : at) - start;
        if (n == 0) return false;
        if (names->size() <= count) names->emplace_back();
        (*names)[count++].assign(path, start, n);
        start = at;
    }
    names->resize(count);
    return true;
}

std::vector<std::unique_ptr<RegKey>> make_roots() {
    std::vector<std::unique_ptr<RegKey>> roots;
    for (auto name : kRootNames) {
        roots.push_back(std::make_unique<RegKey>());
        roots.back()->name = name;
    }
    return roots;
}

RegKey* walk(const std::vector<std::unique_ptr<RegKey>>& roots, const std::u16string& path) {
    int root;
    std::vector<std::u16string> names;
    if (!parse_path(path, &root, &names)) return nullptr;
    RegKey* key = roots[root].get();
    for (auto& n : names) {
        key = key->subkey(n);
        if (!key) return nullptr;
    }
    return key;
}

// A name in lower case, in a buffer that lookups reuse (no allocation).
const std::u16string& lowered(const std::u16string& name) {
    thread_local std::u16string buffer;
    buffer.assign(name);
    buffer = lower(std::move(buffer));
    return buffer;
}

RegKey* make_key(const std::vector<std::unique_ptr<RegKey>>& roots, int root,
                 const std::vector<std::u16string>& names) {
    RegKey* key = roots[root].get();
    for (auto& n : names) {
        const std::u16string& ln = lowered(n);
        auto it = key->subkeys.find(ln);
        if (it == key->subkeys.end()) {
            it = key->subkeys.emplace(ln, std::make_unique<RegKey>()).first;
            it->second->name = n;
        }
        key = it->second.get();
    }
    return key;
}

bool name_ok(const std::u16string& name) {
    if (name.empty() || name.size() > kMaxRegistryNameLength) return false;
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

// What is wrong with the names below a root ("" when nothing is).
std::string names_problem(const std::vector<std::u16string>& names) {
    if (names.size() > kMaxRegistryDepth)
        return "keys nest " + std::to_string(names.size()) + " deep, more than the " +
               std::to_string(kMaxRegistryDepth) + " levels the registry allows";
    for (auto& n : names) {
        if (n.empty()) return "an empty key name";
        if (n.size() > kMaxRegistryNameLength)
            return "a key name of " + std::to_string(n.size()) + " characters, longer than the " +
                   std::to_string(kMaxRegistryNameLength) + " the registry allows";
        if (!name_ok(n)) return "a control character in a key name";
    }
    return "";
}

// ---------------------------------------------------------------- writing

std::string quoted(const std::u16string& s) {
    std::string out = "\"";
    for (char c : to_utf8(s)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A REG_SZ is written as text when the text says exactly what is stored:
// one terminator at the end and nothing that would break the line.
bool plain_string(const std::vector<uint8_t>& data, std::u16string* text) {
    if (data.size() < 2 || data.size() % 2) return false;
    text->clear();
    for (size_t i = 0; i + 2 < data.size(); i += 2) {
        char16_t c = char16_t(data[i] | (data[i + 1] << 8));
        if (c < 0x20) return false;
        *text += c;
    }
    return data[data.size() - 2] == 0 && data[data.size() - 1] == 0;
}

std::string data_text(const RegValue& v, size_t line_start) {
    std::u16string s;
    if (v.type == REG_SZ && plain_string(v.data, &s)) return quoted(s);
    char buf[16];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t d = uint32_t(v.data[0]) | uint32_t(v.data[1]) << 8 | uint32_t(v.data[2]) << 16 |
                     uint32_t(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "%08x", d);
        return std::string("dword:") + buf;
    }
    std::string out = "hex";
    if (v.type != REG_BINARY) {
        std::snprintf(buf, sizeof buf, "(%x)", unsigned(v.type));
        out += buf;
    }
    out += ":";
    // Long lists continue on the next line after a backslash, as the
    // registry editor writes them.
    size_t column = line_start + out.size();
    for (size_t i = 0; i < v.data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", v.data[i]);
        out += buf;
        column += 2;
        if (i + 1 < v.data.size()) {
            out += ",";
            ++column;
            if (column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

// A change as the text appended to the file: the key's section with the
// value's line, its deletion ("=-") or nothing (a new key).
std::string key_change(const std::u16string& stored_key_path) { return "[" + to_utf8(stored_key_path) + "]\n"; }

std::string value_line(const std::u16string& name, const std::string& data) {
    std::string line = name.empty() ? "@" : quoted(name);
    return line + "=" + data;
}

std::string set_change(const std::u16string& stored_key_path, const RegValue& v) {
    std::string head = value_line(v.name, "");
    return key_change(stored_key_path) + head + data_text(v, head.size()) + "\n\n";
}

std::string delete_change(const std::u16string& stored_key_path, const std::u16string& name) {
    return key_change(stored_key_path) + value_line(name, "-") + "\n\n";
}

// A root and everything below it, each key before its sub-keys, without
// recursion.
void write_tree(const RegKey& root, std::string* out) {
    struct Pending {
        const RegKey* key;
        std::string path;
    };
    std::vector<Pending> stack{{&root, to_utf8(root.name)}};
    while (!stack.empty()) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        const RegKey& key = *p.key;
        if (p.key != &root || !key.values.empty()) {
            *out += "[" + p.path + "]\n";
            for (auto& v : key.values) {
                std::string line = value_line(v.name, "");
                *out += line + data_text(v, line.size()) + "\n";
            }
            *out += "\n";
        }
        for (auto it = key.subkeys.rbegin(); it != key.subkeys.rend(); ++it)
            stack.push_back({it->second.get(), p.path + "\\" + to_utf8(it->second->name)});
    }
}

// ---------------------------------------------------------------- reading

std::string_view trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_hex_number(std::string_view s, size_t max_digits, uint32_t* out) {
    if (s.empty() || s.size() > max_digits) return false;
    uint32_t v = 0;
    for (char c : s) {
        int d = hex_digit(c);
        if (d < 0) return false;
        v = v << 4 | uint32_t(d);
    }
    *out = v;
    return true;
}

bool starts_with_nocase(std::string_view s, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

// Reads a quoted text starting at s[*pos] == '"'; leaves *pos after the
// closing quote.
bool parse_quoted(std::string_view s, size_t* pos, std::string* out, std::string* why) {
    out->clear();
    size_t i = *pos + 1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
                *why = "a backslash in quotes must be followed by \\ or \"";
                return false;
            }
            c = s[++i];
        }
        *out += c;
    }
    *why = "missing closing quote";
    return false;
}

// A registry editor file in UTF-16 (what the editor writes: a byte-order
// mark, then 16-bit units) as UTF-8.  False with the line and why when a
// unit cannot be decoded.
bool utf16_to_utf8(const std::string& bytes, bool big_endian, std::string* out, size_t* bad_line, std::string* why) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    size_t line = 1;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint8_t a = uint8_t(bytes[i]), b = uint8_t(bytes[i + 1]);
        char16_t c = big_endian ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
        units += c;
    }
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t c = units[i];
        if (c == u'\n') ++line;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            *bad_line = line;
            *why = "a UTF-16 surrogate without its pair";
            return false;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) {
            *bad_line = line;
            *why = "a UTF-16 surrogate without its pair";
            return false;
        }
    }
    if (bytes.size() % 2) {
        *bad_line = line;
        *why = "a UTF-16 file with an odd number of bytes";
        return false;
    }
    *out = to_utf8(units);
    return true;
}

class Parser {
public:
    Parser(const std::string& text, const std::string& file_name) : file_(file_name) {
        const std::string* source = &text;
        size_t start = 0;
        bool le = text.compare(0, 2, "\xFF\xFE") == 0, be = text.compare(0, 2, "\xFE\xFF") == 0;
        if (le || be) {
            size_t bad_line = 1;
            if (!utf16_to_utf8(text, be, &decoded_, &bad_line, &decode_error_)) {
                decode_line_ = bad_line;
                return;
            }
            source = &decoded_;
        } else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            start = 3;
        }
        // The lines are views into the text (or its UTF-8 form, kept), taken
        // one at a time.
        text_ = std::string_view(*source).substr(start);
    }

    bool run(std::vector<std::unique_ptr<RegKey>>* roots, std::string* error) {
        if (!decode_error_.empty()) {
            line_ = decode_line_;
            return fail(decode_error_, error);
        }
        *roots = make_roots();
        roots_ = roots;
        std::string_view line;
        bool have = next_line(&line);
        while (have && blank_or_comment(line)) have = next_line(&line);
        if (!have || trim(line) != kHeader) {
            line_ = have ? lines_read_ : 1;
            return fail(std::string("expected \"") + kHeader + "\"", error);
        }
        while (next_line(&line)) {
            line_ = lines_read_;
            if (blank_or_comment(line)) continue;
            std::string_view t = trim(line);
            bool ok = t[0] == '[' ? key_line(t, error) : (t[0] == '"' || t[0] == '@') ? value_line(t, error)
                                                                                     : fail("unexpected text", error);
            if (!ok) return false;
        }
        return true;
    }

private:
    // The next line, without its line end; false after the last.  A text
    // that ends with a line end has an empty last line.
    bool next_line(std::string_view* line) {
        if (at_end_) return false;
        size_t at = text_.find('\n', next_);
        *line = text_.substr(next_, at == std::string_view::npos ? std::string_view::npos : at - next_);
        if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
        if (at == std::string_view::npos)
            at_end_ = true;
        else
            next_ = at + 1;
        ++lines_read_;
        return true;
    }

    static bool blank_or_comment(std::string_view line) {
        size_t b = line.find_first_not_of(" \t");
        return b == std::string_view::npos || line[b] == ';';
    }

    bool fail(const std::string& why, std::string* error) {
        *error = one_line(file_ + ":" + std::to_string(line_), why);
        return false;
    }

    bool key_line(std::string_view t, std::string* error) {
        if (t.back() != ']') return fail("a key line must end with ']'", error);
        std::string_view inner = t.substr(1, t.size() - 2);
        bool remove = !inner.empty() && inner[0] == '-';
        if (remove) inner.remove_prefix(1);
        int root;
        path_.clear();
        append_u16(inner, &path_);
        std::vector<std::u16string>& names = names_;
        if (!parse_path(path_, &root, &names)) {
            size_t first = path_.find(u'\\');
            if (root_index(path_, first == std::u16string::npos ? path_.size() : first) < 0)
                return fail("unknown root key in [" + std::string(inner) + "]", error);
            return fail("empty key name in [" + std::string(inner) + "]", error);
        }
        std::string why = names_problem(names);
        if (!why.empty()) return fail(why + " in [" + std::string(inner) + "]", error);
        key_ = nullptr;
        if (!remove) {
            key_ = make_key(*roots_, root, names);
        } else if (!names.empty()) {
            RegKey* parent = (*roots_)[root].get();
            for (size_t k = 0; parent && k + 1 < names.size(); ++k) parent = parent->subkey(names[k]);
            if (parent) parent->subkeys.erase(lower(names.back()));
        }
        return true;
    }

    bool value_line(std::string_view t, std::string* error) {
        if (!key_) return fail("a value line before any key line", error);
        std::string& name = name_;
        std::string why;
        name.clear();
        size_t pos = 0;
        if (t[0] == '@') {
            pos = 1;
        } else if (!parse_quoted(t, &pos, &name, &why)) {
            return fail(why + " in the value name", error);
        }
        while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
        if (pos >= t.size() || t[pos] != '=') return fail("expected '=' after the value name", error);
        std::string_view data = trim(t.substr(pos + 1));
        std::u16string wname = to_u16(name);
        if (wname.size() > kMaxRegistryNameLength)
            return fail("a value name of " + std::to_string(wname.size()) + " characters, longer than the " +
                            std::to_string(kMaxRegistryNameLength) + " the registry allows",
                        error);

        if (data == "-") {
            key_->erase(wname);
            return true;
        }
        if (!data.empty() && data[0] == '"') {
            std::string& text = quoted_;
            size_t p = 0;
            if (!parse_quoted(data, &p, &text, &why)) return fail(why, error);
            if (!trim(data.substr(p)).empty()) return fail("unexpected text after the closing quote", error);
            std::vector<uint8_t> bytes;
            for (char16_t c : to_u16(text)) {
                bytes.push_back(uint8_t(c & 0xFF));
                bytes.push_back(uint8_t(c >> 8));
            }
            bytes.push_back(0);
            bytes.push_back(0);
            key_->put(std::move(wname), REG_SZ, std::move(bytes));
            return true;
        }
        if (starts_with_nocase(data, "dword:")) {
            uint32_t d;
            if (!parse_hex_number(trim(data.substr(6)), 8, &d))
                return fail("a dword needs 1 to 8 hexadecimal digits", error);
            key_->put(std::move(wname), REG_DWORD, {uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)});
            return true;
        }
        if (starts_with_nocase(data, "hex")) {
            DWORD type = REG_BINARY;
            size_t p = 3;
            if (p < data.size() && data[p] == '(') {
                size_t close = data.find(')', p);
                uint32_t n;
                if (close == std::string_view::npos || !parse_hex_number(data.substr(p + 1, close - p - 1), 8, &n))
                    return fail("hex(type) needs a hexadecimal type number", error);
                type = n;
                p = close + 1;
            }
            if (p >= data.size() || data[p] != ':') return fail("expected ':' after hex", error);
            std::string list(trim(data.substr(p + 1)));
            // A trailing backslash continues the list on the next line.  Each
            // piece remembers its line, so that a bad byte names its own.
            std::vector<std::pair<size_t, size_t>> pieces{{0, line_}};  // (offset in list, line)
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                std::string_view more;
                if (!next_line(&more)) return fail("the hex list continues past the end of the file", error);
                line_ = lines_read_;
                pieces.push_back({list.size(), line_});
                list += trim(more);
            }
            auto line_at = [&](size_t offset) {
                size_t line = pieces.front().second;
                for (auto& piece : pieces)
                    if (piece.first <= offset) line = piece.second;
                return line;
            };
            std::vector<uint8_t> bytes;
            bytes.reserve(list.size() / 3 + 1);
            if (!trim(list).empty()) {
                size_t start = 0;
                for (;;) {
                    size_t comma = list.find(',', start);
                    std::string_view item = trim(std::string_view(list).substr(start, comma == std::string::npos ? comma : comma - start));
                    uint32_t b;
                    bool last = comma == std::string::npos;
                    if (!(last && item.empty() && !bytes.empty())) {
                        if (!parse_hex_number(item, 2, &b)) {
                            size_t at = start;
                            while (at < list.size() && (list[at] == ' ' || list[at] == '\t')) ++at;
                            line_ = line_at(at);
                            return fail("\"" + std::string(item) + "\" is not a hexadecimal byte", error);
                        }
                        bytes.push_back(uint8_t(b));
                    }
                    if (last) break;
                    start = comma + 1;
                }
            }
            key_->put(std::move(wname), type, std::move(bytes));
            return true;
        }
        return fail("unknown value data \"" + std::string(data) + "\"", error);
    }

    std::string file_;
    std::string_view text_;   // what is left to read starts at next_
    size_t next_ = 0;
    bool at_end_ = false;
    size_t lines_read_ = 0;
    std::string decoded_, decode_error_;
    std::string name_, quoted_;          // scratch of value_line
    std::u16string path_;                // ... and of key_line
    std::vector<std::u16string> names_;
    size_t decode_line_ = 1;
    std::vector<std::unique_ptr<RegKey>>* roots_ = nullptr;
    RegKey* key_ = nullptr;
    size_t line_ = 1;
};

const char* const kFactory = R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\ControlPanel\Volume]
"Volume"=dword:ffffffff

[HKEY_CURRENT_USER\Software\Microsoft\Shell]
"ClearType"=dword:00000000

[HKEY_LOCAL_MACHINE\Ident]
"Name"="PocketPC"
"Desc"="Pocket PC"

[HKEY_LOCAL_MACHINE\Init]
"Launch10"="shell.exe"
"Launch20"="device.exe"
"Launch30"="gwes.exe"
"Depend30"=hex:14,00
"Launch50"="explorer.exe"
"Depend50"=hex:14,00,1e,00

[HKEY_LOCAL_MACHINE\SOFTWARE]

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control]
)";

}  // namespace

// ---------------------------------------------------------------- RegKey

RegKey* RegKey::subkey(const std::u16string& n) const {
    auto it = subkeys.find(lowered(n));
    return it == subkeys.end() ? nullptr : it->second.get();
}

RegValue* RegKey::value(const std::u16string& n) {
    RegValueIndex::Value* at = index_.find(n);
    return at ? &**at : nullptr;
}

void RegKey::put(std::u16string n, DWORD type, std::vector<uint8_t> data) {
    if (RegValueIndex::Value* at = index_.find(n)) {
        (*at)->type = type;
        (*at)->data = std::move(data);
        return;
    }
    values.push_back(RegValue{std::move(n), type, std::move(data)});
    index_.insert(std::prev(values.end()));
}

bool RegKey::erase(const std::u16string& n, std::list<RegValue>::iterator* next, RegValue* removed) {
    RegValueIndex::Value* at = index_.find(n);
    if (!at) return false;
    std::list<RegValue>::iterator it = *at;
    index_.erase(n);
    if (removed) *removed = std::move(*it);
    auto after = values.erase(it);
    if (next) *next = after;
    return true;
}

void RegKey::restore(std::list<RegValue>::iterator next, RegValue v) {
    index_.insert(values.insert(next, std::move(v)));
}

const RegValue* RegKey::value(const std::u16string& n) const { return const_cast<RegKey*>(this)->value(n); }

// ---------------------------------------------------------------- Registry

Registry& registry() {
    static Registry r;
    return r;
}

std::string registry_file_path() { return registry().file(); }

Registry::Registry() : roots_(make_roots()) {}

RegKey* Registry::find_key(const std::u16string& path) const { return walk(roots_, path); }

std::u16string Registry::stored_path(const std::u16string& path) const {
    int root;
    std::vector<std::u16string> names;
    if (!parse_path(path, &root, &names)) return u"";
    RegKey* key = roots_[root].get();
    std::u16string out = key->name;
    for (auto& n : names) {
        key = key->subkey(n);
        if (!key) return u"";
        out += u"\\" + key->name;
    }
    return out;
}

LONG Registry::create_key(const std::u16string& path, bool* created) {
    int root;
    std::vector<std::u16string> names;
    if (!parse_path(path, &root, &names)) return ERROR_BADKEY;
    if (!names_problem(names).empty()) return ERROR_INVALID_PARAMETER;
    RegKey* key = roots_[root].get();
    size_t i = 0;
    for (; i < names.size(); ++i) {
        RegKey* next = key->subkey(names[i]);
        if (!next) break;
        key = next;
    }
    if (created) *created = i < names.size();
    if (i == names.size()) return ERROR_SUCCESS;
    RegKey* parent = key;
    make_key(roots_, root, names);
    if (!save_change(key_change(stored_path(path)) + "\n")) {
        parent->subkeys.erase(lower(names[i]));
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

LONG Registry::set_value(const std::u16string& key_path, const std::u16string& name, DWORD type,
                         const std::vector<uint8_t>& data) {
    RegKey* key = find_key(key_path);
    if (!key) return ERROR_BADKEY;
    if (name.size() > kMaxRegistryNameLength) return ERROR_INVALID_PARAMETER;
    RegValue* old = key->value(name);
    RegValue before = old ? *old : RegValue{};
    bool existed = old != nullptr;
    key->put(name, type, data);
    if (!save_change(set_change(stored_path(key_path), *key->value(name)))) {
        if (existed)
            *key->value(name) = before;
        else
            key->erase(name);
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

LONG Registry::delete_value(const std::u16string& key_path, const std::u16string& name) {
    RegKey* key = find_key(key_path);
    if (!key) return ERROR_BADKEY;
    std::list<RegValue>::iterator next;
    RegValue before;
    if (!key->erase(name, &next, &before)) return ERROR_FILE_NOT_FOUND;
    if (!save_change(delete_change(stored_path(key_path), before.name))) {
        key->restore(next, std::move(before));
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

const RegValue* Registry::find_value(const std::u16string& key_path, const std::u16string& name) const {
    RegKey* key = find_key(key_path);
    return key ? key->value(name) : nullptr;
}

std::string Registry::text() const {
    std::string out = std::string(kHeader) + "\n\n";
    for (auto& root : roots_) write_tree(*root, &out);
    return out;
}

bool Registry::parse(const std::string& text, const std::string& file_name, std::string* error) {
    std::vector<std::unique_ptr<RegKey>> roots;
    Parser parser(text, file_name);
    if (!parser.run(&roots, error)) return false;
    roots_ = std::move(roots);
    return true;
}

std::string check_registry_text(const std::string& bytes) {
    Registry r;
    std::string error;
    return r.parse(bytes, "registry.reg", &error) ? std::string() : error;
}

std::string registry_path_problem(const std::u16string& path) {
    auto parts = split_path(path);
    if (root_index(parts[0]) < 0) return "unknown root key";
    parts.erase(parts.begin());
    return names_problem(parts);
}

const char* Registry::factory_text() { return kFactory; }

void Registry::reset_to_factory() {
    std::string error;
    if (!parse(kFactory, "factory registry", &error)) {
        std::cerr << error << "\n";
        roots_ = make_roots();
    }
}

bool Registry::save(std::string* error) { return file_.write_whole(text(), error); }

bool Registry::compact(std::string* error) { return !file_.has_changes() || save(error); }

bool Registry::save_change(const std::string& change) {
    if (file().empty()) return true;
    std::string error;
    if (!file_.needs_whole(change.size()) && file_.append(change, &error)) return true;
    if (save(&error)) return true;
    std::cerr << error << "\n";
    return false;
}

// ---------------------------------------------------------------- helpers

std::string registry_type_name(DWORD type) {
    switch (type) {
        case REG_NONE: return "REG_NONE";
        case REG_SZ: return "REG_SZ";
        case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
        case REG_BINARY: return "REG_BINARY";
        case REG_DWORD: return "REG_DWORD";
        case 5: return "REG_DWORD_BIG_ENDIAN";
        case 6: return "REG_LINK";
        case REG_MULTI_SZ: return "REG_MULTI_SZ";
        case 8: return "REG_RESOURCE_LIST";
        case 11: return "REG_QWORD";
    }
    return "REG_" + std::to_string(type);
}

bool read_registry_dword(const std::string& key_path, const std::string& name, DWORD* out) {
    const RegValue* v = registry().find_value(to_u16(key_path), to_u16(name));
    if (!v || v->type != REG_DWORD || v->data.size() != 4) return false;
    *out = DWORD(v->data[0]) | DWORD(v->data[1]) << 8 | DWORD(v->data[2]) << 16 | DWORD(v->data[3]) << 24;
    return true;
}

bool read_registry_string(const std::string& key_path, const std::string& name, std::string* out) {
    const RegValue* v = registry().find_value(to_u16(key_path), to_u16(name));
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return false;
    std::u16string s;
    for (size_t i = 0; i + 1 < v->data.size(); i += 2) {
        char16_t c = char16_t(v->data[i] | (v->data[i + 1] << 8));
        if (c == 0) break;
        s += c;
    }
    *out = to_utf8(s);
    return true;
}

bool write_registry_dword(const std::string& key_path, const std::string& name, DWORD value) {
    auto path = to_u16(key_path);
    return registry().create_key(path, nullptr) == ERROR_SUCCESS &&
           registry().set_value(path, to_u16(name), REG_DWORD,
                                {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}) ==
               ERROR_SUCCESS;
}

bool write_registry_string(const std::string& key_path, const std::string& name, const std::string& value) {
    auto path = to_u16(key_path);
    std::vector<uint8_t> bytes;
    for (char16_t c : to_u16(value)) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return registry().create_key(path, nullptr) == ERROR_SUCCESS &&
           registry().set_value(path, to_u16(name), REG_SZ, bytes) == ERROR_SUCCESS;
}

}  // namespace sim
