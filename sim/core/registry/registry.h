// The device's registry: a tree of keys and values under the four root keys,
// kept in memory and saved after every change to one text file in the
// registry editor's export format ("Windows Registry Editor Version 5.00").
//
// Key and value names are compared without regard to case and keep the case
// they were created with.  Paths are written from the root name, one
// backslash between names: "HKEY_LOCAL_MACHINE\SOFTWARE\DRAVIK".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace sim {

struct RegValue {
    std::u16string name;  // "" is the key's default value
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

struct RegKey {
    std::u16string name;
    std::vector<RegValue> values;                           // in the order they were first set
    std::map<std::u16string, std::unique_ptr<RegKey>> subkeys;  // by lower-case name

    RegKey* subkey(const std::u16string& name) const;
    RegValue* value(const std::u16string& name);
    const RegValue* value(const std::u16string& name) const;
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
    // ERROR_SUCCESS, ERROR_BADKEY (no such root or an empty name) or
    // ERROR_REGISTRY_IO_FAILED (the save failed; nothing changed).
    LONG create_key(const std::u16string& path, bool* created);
    // The key must exist.  Saves; on a failed save the change is undone.
    // ERROR_SUCCESS, ERROR_BADKEY, ERROR_FILE_NOT_FOUND (delete of a
    // missing value) or ERROR_REGISTRY_IO_FAILED.
    LONG set_value(const std::u16string& key_path, const std::u16string& name, DWORD type,
                   const std::vector<uint8_t>& data);
    LONG delete_value(const std::u16string& key_path, const std::u16string& name);
    const RegValue* find_value(const std::u16string& key_path, const std::u16string& name) const;

    // ---- the saved form
    // The whole registry as registry editor text (UTF-8, "\n" line ends).
    std::string text() const;
    // Replaces the tree by the parsed text.  On failure *error is one line
    // "<file_name>:<line>: <what is wrong>" and the tree is unchanged.
    bool parse(const std::string& text, const std::string& file_name, std::string* error);
    // Replaces the tree by the factory registry (does not save).
    void reset_to_factory();
    static const char* factory_text();

    // From now on every change is saved to `path` at once ("" saves nothing).
    void attach(const std::string& path) { file_ = path; }
    const std::string& file() const { return file_; }
    // Writes text() to the attached file atomically: a temporary file in
    // the same folder, flushed to disk, then renamed over the old one.
    bool save(std::string* error) const;

private:
    bool save_or_report() const;

    std::vector<std::unique_ptr<RegKey>> roots_;
    std::string file_;
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

// Names used in saved text and in the journal.
std::string registry_type_name(DWORD type);  // "REG_DWORD", ...

// Drops every open registry key handle (the device restarts).
void clear_registry_handles();

}  // namespace sim
