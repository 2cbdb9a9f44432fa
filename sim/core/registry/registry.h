// The device's registry: a tree of keys and values under the four root keys,
// kept in memory and saved at every change to one text file in the
// registry editor's export format ("Windows Registry Editor Version 5.00"),
// the change appended to it (registry_file.h).
//
// Key and value names are compared without regard to case and keep the case
// they were created with.  Paths are written from the root name, one
// backslash between names: "HKEY_LOCAL_MACHINE\SOFTWARE\DRAVIK".
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "registry/registry_file.h"

namespace sim {

struct RegValue {
    std::u16string name;  // "" is the key's default value
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// The platform's limits: a key or value name holds at most 255 characters,
// and keys nest at most 16 deep below a root key.
constexpr size_t kMaxRegistryNameLength = 255;
constexpr size_t kMaxRegistryDepth = 16;

// What is wrong with a key path from the root name ("" when nothing is):
// an unknown root, an empty name, a name longer than the limit or holding a
// control character, or more levels than the limit.
std::string registry_path_problem(const std::u16string& path);

struct RegKey;
// What the tree must hold below `key`: each sub-key present, named, and
// filed under its name in lower case (so that no two names differ only in
// case).  registry_tree_ok() checks the whole tree below.
bool registry_key_ok(const RegKey& key);
bool registry_tree_ok(const RegKey& key);

// A key's values by name, whatever the case: open addressing over the
// names' hashes, each slot a value of the key's list (no copy of the name,
// no allocation of its own), so that a key holding many values is read
// and changed at the same cost per value as one holding a few.
class RegValueIndex {
public:
    using Value = std::list<RegValue>::iterator;
    // The value with this name, or null.
    Value* find(const std::u16string& name);
    // The value's name is not in the index yet.
    void insert(Value value);
    // False when the name is not in the index.
    bool erase(const std::u16string& name);

private:
    struct Slot {
        Value value;
        uint32_t hash = 0;
        bool used = false;
    };
    size_t slot_of(const std::u16string& name, uint32_t hash) const;  // where it is, or the free slot it would go to
    void grow();

    std::vector<Slot> slots_;  // a power of two long, at most three quarters used
    size_t used_ = 0;
};

struct RegKey {
    std::u16string name;
    // In the order they were first set.  Changed only through put() and
    // erase(), which keep the index by name.
    std::list<RegValue> values;
    std::map<std::u16string, std::unique_ptr<RegKey>, std::less<>> subkeys;  // by lower-case name

    RegKey* subkey(const std::u16string& name) const;
    RegValue* value(const std::u16string& name);
    const RegValue* value(const std::u16string& name) const;
    // Sets a value; a new one goes after the others.
    void put(std::u16string name, DWORD type, std::vector<uint8_t> data);
    // Removes a value and returns where it stood (for restore()); false
    // when there is none.
    bool erase(const std::u16string& name, std::list<RegValue>::iterator* next = nullptr, RegValue* removed = nullptr);
    // Puts a removed value back before `next`.
    void restore(std::list<RegValue>::iterator next, RegValue value);

private:
    RegValueIndex index_;
};

class Registry {
public:
    Registry();

    // ---- the tree, by full path from the root name
    // nullptr when the path names no key (or no root).
    RegKey* find_key(const std::u16string& path) const;
    // The path with every name in the case it is stored with; "" when absent.
    std::u16string stored_path(const std::u16string& path) const;
    // Creates the key and every missing key above it, then saves.
    // ERROR_SUCCESS, ERROR_BADKEY (no such root or an empty name),
    // ERROR_INVALID_PARAMETER (beyond the limits on names and depth) or
    // ERROR_REGISTRY_IO_FAILED (the save failed; nothing changed).
    LONG create_key(const std::u16string& path, bool* created);
    // The key must exist.  Saves; on a failed save the change is undone.
    // ERROR_SUCCESS, ERROR_BADKEY, ERROR_INVALID_PARAMETER (a value name
    // beyond the limit), ERROR_FILE_NOT_FOUND (delete of a missing value)
    // or ERROR_REGISTRY_IO_FAILED.
    LONG set_value(const std::u16string& key_path, const std::u16string& name, DWORD type,
                   const std::vector<uint8_t>& data);
    LONG delete_value(const std::u16string& key_path, const std::u16string& name);
    const RegValue* find_value(const std::u16string& key_path, const std::u16string& name) const;

    // ---- the saved form
    // The whole registry as registry editor text (UTF-8, "\n" line ends).
    std::string text() const;
    // Replaces the tree by the parsed text: UTF-8 (with or without a
    // byte-order mark) or UTF-16 with its byte-order mark, as the registry
    // editor writes it.  Names and depth are held to the platform's limits.
    // On failure *error is one line "<file_name>:<line>: <what is wrong>"
    // and the tree is unchanged.
    bool parse(const std::string& text, const std::string& file_name, std::string* error);
    // Replaces the tree by the factory registry (does not save).
    void reset_to_factory();
    static const char* factory_text();

    // From now on every change is saved to `path` at once ("" saves nothing).
    void attach(const std::string& path) { file_.attach(path); }
    // The attached file holds changes appended to the whole text, this many
    // bytes (written whole at power-off).
    void file_holds_appended(uint64_t bytes) { file_.holds_appended(bytes); }
    const std::string& file() const { return file_.path(); }
    // Writes text() to the attached file atomically: a temporary file in
    // the same folder, flushed to disk, then renamed over the old one.
    bool save(std::string* error);
    // Writes the file whole when changes have been appended to it since
    // (power-off).  On failure the file, as it was, still holds them.
    bool compact(std::string* error);

private:
    // Saves a change: appends its text, or writes the file whole.
    bool save_change(const std::string& change);

    std::vector<std::unique_ptr<RegKey>> roots_;
    RegistryFile file_;
};

Registry& registry();

// The file the registry is saved to ("" before a state folder is open).
std::string registry_file_path();

// Helpers for the simulator and tests; paths are UTF-8, from the root name.
// They neither consult the profile's faults nor write the journal.
bool read_registry_dword(const std::string& key_path, const std::string& name, DWORD* out);
// REG_SZ or REG_EXPAND_SZ, without the terminator, as UTF-8.
bool read_registry_string(const std::string& key_path, const std::string& name, std::string* out);
// Creates the key when missing.
bool write_registry_dword(const std::string& key_path, const std::string& name, DWORD value);
bool write_registry_string(const std::string& key_path, const std::string& name, const std::string& value);

// For fuzzing: parses registry file bytes; "" when they are accepted, else
// the one-line error (naming "registry.reg" and the line).
std::string check_registry_text(const std::string& bytes);

// Names used in saved text and in the journal.
std::string registry_type_name(DWORD type);  // "REG_DWORD", ...

// Drops every open registry key handle (the device restarts).
void clear_registry_handles();

}  // namespace sim
