// The registry's key tree, its changes and their saving.
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
#include "base/verify.h"
#include "registry/registry_tree.h"

namespace sim {

const char* const kRegistryHeader = "Windows Registry Editor Version 5.00";

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

RegKey* make_key(const std::vector<std::unique_ptr<RegKey>>& roots, int root,
                 const std::vector<std::u16string>& names) {
    RegKey* key = roots[root].get();
    for (auto& n : names) {
        const std::u16string& ln = lowered(n);
        auto it = key->subkeys.find(ln);
        if (it == key->subkeys.end()) {
            it = key->subkeys.emplace(ln, std::make_unique<RegKey>()).first;
            it->second->name = n;
            // The new key and its neighbours (the whole key would cost as
            // much as it holds, at every new key).
            auto filed = [&](auto at) { return at == key->subkeys.end() || registry_entry_ok(*at); };
            VERIFY(filed(it) && filed(std::next(it)) && (it == key->subkeys.begin() || filed(std::prev(it))));
        }
        key = it->second.get();
    }
    return key;
}

namespace {

bool name_ok(const std::u16string& name) {
    if (name.empty() || name.size() > kMaxRegistryNameLength) return false;
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace

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

namespace {

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

bool registry_entry_ok(const std::pair<const std::u16string, std::unique_ptr<RegKey>>& entry) {
    return entry.second && !entry.second->name.empty() && lower(entry.second->name) == entry.first;
}

bool registry_key_ok(const RegKey& key) {
    for (auto& entry : key.subkeys)
        if (!registry_entry_ok(entry)) return false;
    return true;
}

bool registry_tree_ok(const RegKey& key) {
    if (!registry_key_ok(key)) return false;
    for (auto& [name, sub] : key.subkeys)
        if (!registry_tree_ok(*sub)) return false;
    return true;
}

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
