// The resources embedded in a program module: the compiled-resource (.res)
// layout that the resource compiler writes, a sequence of resource headers
// each followed by its data, the first an empty 32-byte header.
//
// A table refers to the bytes it was parsed from (they must outlive it); a
// module's bytes are part of its image, so they live as long as the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace sim {

// The resource type of string tables (RT_STRING).
constexpr uint16_t kRtString = 6;

// A resource type or name: a 16-bit ordinal or a string.
struct ResourceId {
    bool is_ordinal = true;
    uint16_t ordinal = 0;
    std::u16string name;  // as stored, when not an ordinal

    static ResourceId number(uint16_t n);
    static ResourceId text(std::u16string s);
    // A type or name as the Win32 calls take it: MAKEINTRESOURCE(n), a
    // string, or "#n" (decimal) for the ordinal n.  Empty for a null pointer
    // or a "#" that is not followed by a decimal number below 65536.
    static std::optional<ResourceId> from_win32(const WCHAR* p);

    // Ordinals compare by value, strings without regard to letter case.
    bool matches(const ResourceId& other) const;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    uint16_t memory_flags = 0;
    uint32_t data_version = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    const uint8_t* data = nullptr;  // inside the parsed bytes
    uint32_t size = 0;
};

class ResourceTable {
public:
    // Parses a whole .res image.  Returns null and sets *error (one line
    // naming the offset) when the bytes are truncated or not that layout;
    // nothing outside [data, data + size) is ever read.
    static std::unique_ptr<ResourceTable> parse(const uint8_t* data, size_t size, std::string* error);

    const std::vector<ResourceEntry>& entries() const { return entries_; }
    bool has_type(const ResourceId& type) const;
    // The entry of that type and name.  When several languages carry it:
    // the neutral language first, then US English, then the first stored.
    const ResourceEntry* find(const ResourceId& type, const ResourceId& name) const;
    // The string table entry `id`: its text (not terminated) and length.
    // False when its block is missing, the entry is empty or the block is
    // cut short.
    bool find_string(uint16_t id, const char16_t** text, size_t* length) const;
    // True when `entry` is one of this table's entries.
    bool owns(const void* entry) const;
    // The bytes from p to the end of the resource whose data holds p, or 0.
    size_t bytes_available(const void* p) const;

private:
    std::vector<ResourceEntry> entries_;
};

// The resources of each loaded module, keyed by its module handle.  A blob
// that does not parse registers nothing (and is journalled).
void register_module_resources(HMODULE module, const uint8_t* data, size_t size);
void unregister_module_resources(HMODULE module);
const ResourceTable* module_resources(HMODULE module);

// The table (of any registered module) that owns the entry behind a
// resource handle, or null.
const ResourceTable* table_owning_entry(const void* entry);
// The bytes from p to the end of the registered resource whose data holds
// p, or 0 when p is not inside one.  Lets a dialog template handed over by
// pointer be read within its resource's bounds.
size_t resource_bytes_available(const void* p);

}  // namespace sim
