// What the registry's key tree and its text (registry_text.cpp) share:
// paths split into names, new keys, and the text of one change appended
// to the saved file.  Private to the registry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "registry/registry.h"

namespace sim {

extern const char* const kRegistryHeader;

// The root a path's first name (path[0, end)) names, whatever its case; -1
// for none.
int root_index(const std::u16string& path, size_t end);
int root_index(const std::u16string& name);
// Splits a full path; false when it has no known root or an empty name.
// *names keeps the storage of the names it held.
bool parse_path(const std::u16string& path, int* root, std::vector<std::u16string>* names);
std::vector<std::unique_ptr<RegKey>> make_roots();
// Creates the key below the root and every missing key above it.
RegKey* make_key(const std::vector<std::unique_ptr<RegKey>>& roots, int root,
                 const std::vector<std::u16string>& names);
// What is wrong with the names below a root ("" when nothing is).
std::string names_problem(const std::vector<std::u16string>& names);
// One sub-key as its parent files it.
bool registry_entry_ok(const std::pair<const std::u16string, std::unique_ptr<RegKey>>& entry);

// A change as the text appended to the file: the key's section with the
// value's line, its deletion ("=-") or nothing (a new key).
std::string key_change(const std::u16string& stored_key_path);
std::string set_change(const std::u16string& stored_key_path, const RegValue& v);
std::string delete_change(const std::u16string& stored_key_path, const std::u16string& name);

}  // namespace sim
