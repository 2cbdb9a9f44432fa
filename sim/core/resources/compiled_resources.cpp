#include "resources/compiled_resources.h"

#include "kernel/process.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <mutex>

#include "base/journal.h"
#include "base/text.h"
#include "resources/little_endian.h"

namespace sim {

// ---------------------------------------------------------------- ids

ResourceId ResourceId::number(uint16_t n) {
    ResourceId id;
    id.is_ordinal = true;
    id.ordinal = n;
    return id;
}

ResourceId ResourceId::text(std::u16string s) {
    ResourceId id;
    id.is_ordinal = false;
    id.name = std::move(s);
    return id;
}

std::optional<ResourceId> ResourceId::from_win32(const WCHAR* p) {
    if (!p) return std::nullopt;
    if (IS_INTRESOURCE(p)) return number(uint16_t(reinterpret_cast<uintptr_t>(p)));
    if (p[0] != u'#') {
        std::u16string s;
        for (const WCHAR* q = p; *q; ++q) s += *q;
        return text(std::move(s));
    }
    uint32_t n = 0;
    const WCHAR* q = p + 1;
    if (!*q) return std::nullopt;
    for (; *q; ++q) {
        if (*q < u'0' || *q > u'9') return std::nullopt;
        n = n * 10 + uint32_t(*q - u'0');
        if (n > 0xFFFF) return std::nullopt;
    }
    return number(uint16_t(n));
}

bool ResourceId::matches(const ResourceId& other) const {
    if (is_ordinal != other.is_ordinal) return false;
    if (is_ordinal) return ordinal == other.ordinal;
    return name.size() == other.name.size() && lower(name) == lower(other.name);
}

// ---------------------------------------------------------------- parsing

namespace {

constexpr uint16_t kLangNeutral = 0x0000;
constexpr uint16_t kLangUsEnglish = 0x0409;

size_t align4(size_t n) { return (n + 3) & ~size_t(3); }

// Reads an ordinal (0xFFFF, n) or a terminated UTF-16 string at *pos,
// staying below `end`.
bool read_id(const uint8_t* data, size_t end, size_t* pos, ResourceId* out) {
    if (*pos + 2 > end) return false;
    if (read_le16(data + *pos) == 0xFFFF) {
        if (*pos + 4 > end) return false;
        *out = ResourceId::number(read_le16(data + *pos + 2));
        *pos += 4;
        return true;
    }
    std::u16string s;
    for (;;) {
        if (*pos + 2 > end) return false;
        char16_t c = read_le16(data + *pos);
        *pos += 2;
        if (!c) break;
        s += c;
    }
    *out = ResourceId::text(std::move(s));
    return true;
}

std::string at(size_t offset) { return "resources at offset " + std::to_string(offset) + ": "; }

int language_rank(uint16_t language) {
    if (language == kLangNeutral) return 0;
    if (language == kLangUsEnglish) return 1;
    return 2;
}

}  // namespace

std::unique_ptr<ResourceTable> ResourceTable::parse(const uint8_t* data, size_t size, std::string* error) {
    auto fail = [&](size_t offset, const std::string& what) -> std::unique_ptr<ResourceTable> {
        if (error) *error = at(offset) + what;
        return nullptr;
    };
    if (!data && size) return fail(0, "no data");
    auto table = std::make_unique<ResourceTable>();
    size_t pos = 0;
    bool first = true;
    while (pos < size) {
        const size_t start = pos;
        if (size - start < 8) return fail(start, "truncated resource header");
        const uint32_t data_size = read_le32(data + start);
        const uint32_t header_size = read_le32(data + start + 4);
        if (header_size < 8 || header_size > size - start) return fail(start, "header size out of bounds");
        const size_t header_end = start + header_size;

        ResourceEntry entry;
        size_t p = start + 8;
        if (!read_id(data, header_end, &p, &entry.type)) return fail(start, "truncated resource type");
        if (!read_id(data, header_end, &p, &entry.name)) return fail(start, "truncated resource name");
        p = align4(p);
        if (p > header_end || header_end - p < 16) return fail(start, "truncated resource header");
        entry.data_version = read_le32(data + p);
        entry.memory_flags = read_le16(data + p + 4);
        entry.language = read_le16(data + p + 6);
        entry.version = read_le32(data + p + 8);
        entry.characteristics = read_le32(data + p + 12);

        if (data_size > size - header_end) return fail(start, "resource data runs past the end");
        entry.data = data + header_end;
        entry.size = data_size;

        const bool empty_header = data_size == 0 && entry.type.is_ordinal && entry.type.ordinal == 0 &&
                                  entry.name.is_ordinal && entry.name.ordinal == 0;
        if (first && !empty_header) return fail(start, "not a compiled resource file (no leading empty header)");
        if (!empty_header) table->entries_.push_back(std::move(entry));
        first = false;
        pos = align4(header_end + data_size);
    }
    if (first) return fail(0, "empty");
    return table;
}

bool ResourceTable::has_type(const ResourceId& type) const {
    for (auto& e : entries_)
        if (e.type.matches(type)) return true;
    return false;
}

const ResourceEntry* ResourceTable::find(const ResourceId& type, const ResourceId& name) const {
    const ResourceEntry* best = nullptr;
    for (auto& e : entries_) {
        if (!e.type.matches(type) || !e.name.matches(name)) continue;
        if (!best || language_rank(e.language) < language_rank(best->language)) best = &e;
    }
    return best;
}

bool ResourceTable::find_string(uint16_t id, const char16_t** text, size_t* length) const {
    const ResourceEntry* block = find(ResourceId::number(kRtString), ResourceId::number(uint16_t((id >> 4) + 1)));
    if (!block) return false;
    size_t pos = 0;
    for (unsigned index = 0;; ++index) {
        if (pos + 2 > block->size) return false;
        const size_t n = read_le16(block->data + pos);
        pos += 2;
        if (n > (block->size - pos) / 2) return false;
        if (index == (id & 15u)) {
            if (n == 0) return false;
            *text = reinterpret_cast<const char16_t*>(block->data + pos);
            *length = n;
            return true;
        }
        pos += n * 2;
    }
}

bool ResourceTable::owns(const void* entry) const {
    if (entries_.empty()) return false;
    auto p = reinterpret_cast<uintptr_t>(entry);
    auto first = reinterpret_cast<uintptr_t>(&entries_.front());
    auto last = reinterpret_cast<uintptr_t>(&entries_.back());
    return p >= first && p <= last && (p - first) % sizeof(ResourceEntry) == 0;
}

size_t ResourceTable::bytes_available(const void* p) const {
    auto q = reinterpret_cast<uintptr_t>(p);
    for (auto& e : entries_) {
        auto begin = reinterpret_cast<uintptr_t>(e.data);
        if (q >= begin && q < begin + e.size) return begin + e.size - q;
    }
    return 0;
}

// ---------------------------------------------------------------- modules

namespace {

// The resource tables of the modules loaded now.
struct ModuleTables {
    std::mutex mutex;
    std::map<HMODULE, std::unique_ptr<ResourceTable>> tables;
};

ModuleTables& module_tables() {
    static ModuleTables r;
    return r;
}

std::string handle_text(HMODULE module) { return std::to_string(reinterpret_cast<uintptr_t>(module)); }

}  // namespace

void register_module_resources(HMODULE module, const uint8_t* data, size_t size) {
    std::string error;
    auto table = ResourceTable::parse(data, size, &error);
    auto& r = module_tables();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!table) {
        r.tables.erase(module);
        log_event("resources_invalid", {{"module", handle_text(module)}, {"error", error}});
        return;
    }
    r.tables[module] = std::move(table);
}

void unregister_module_resources(HMODULE module) {
    auto& r = module_tables();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.tables.erase(module);
}

namespace {

// A program module carries its compiled resources as two symbols (the
// build embeds its .res file); they are read as it loads and dropped when
// the program ends.
void program_loaded(HMODULE module, void* dl) {
    auto* data = static_cast<const uint8_t*>(dlsym(dl, "sim_module_resources"));
    auto* size = static_cast<const uint32_t*>(dlsym(dl, "sim_module_resources_size"));
    if (data && size) register_module_resources(module, data, *size);
}

void program_ended(Process*, HMODULE module) { unregister_module_resources(module); }

[[maybe_unused]] const bool subscribed = (subscribe_to_programs({program_loaded, program_ended}), true);

}  // namespace

const ResourceTable* module_resources(HMODULE module) {
    // A null module is the running program's own.
    if (!module && current_process()) module = reinterpret_cast<HMODULE>(current_process()->instance);
    auto& r = module_tables();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.tables.find(module);
    return it == r.tables.end() ? nullptr : it->second.get();
}

const ResourceTable* table_owning_entry(const void* entry) {
    auto& r = module_tables();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& [module, table] : r.tables)
        if (table->owns(entry)) return table.get();
    return nullptr;
}

size_t resource_bytes_available(const void* p) {
    auto& r = module_tables();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& [module, table] : r.tables)
        if (size_t n = table->bytes_available(p)) return n;
    return 0;
}

}  // namespace sim
