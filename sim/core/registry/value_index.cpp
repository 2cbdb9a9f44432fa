#include "registry/registry.h"

#include "base/text.h"

namespace sim {

namespace {

uint32_t hash_of(const std::u16string& name) {
    uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a
    for (char16_t c : name) {
        h ^= lower_char(c);
        h *= 0x100000001b3ULL;
    }
    // FNV's low bits, which pick the slot, are weak: mix the high ones in.
    h ^= h >> 32;
    h *= 0x9E3779B97F4A7C15ULL;
    return uint32_t(h >> 32);
}

bool same_name(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower_char(a[i]) != lower_char(b[i])) return false;
    return true;
}

}  // namespace

size_t RegValueIndex::slot_of(const std::u16string& name, uint32_t hash) const {
    size_t mask = slots_.size() - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (!s.used || (s.hash == hash && same_name(s.value->name, name))) return i;
    }
}

RegValueIndex::Value* RegValueIndex::find(const std::u16string& name) {
    if (used_ == 0) return nullptr;
    Slot& s = slots_[slot_of(name, hash_of(name))];
    return s.used ? &s.value : nullptr;
}

void RegValueIndex::insert(Value value) {
    if ((used_ + 1) * 4 > slots_.size() * 3) grow();
    uint32_t hash = hash_of(value->name);
    Slot& s = slots_[slot_of(value->name, hash)];
    s.hash = hash;
    s.used = true;
    s.value = value;
    ++used_;
}

// Linear probing: the slots after the freed one that belong before it move
// back, so that every probe still meets no gap before its value.
bool RegValueIndex::erase(const std::u16string& name) {
    if (used_ == 0) return false;
    size_t mask = slots_.size() - 1;
    size_t gap = slot_of(name, hash_of(name));
    if (!slots_[gap].used) return false;
    slots_[gap].used = false;
    --used_;
    for (size_t i = (gap + 1) & mask; slots_[i].used; i = (i + 1) & mask) {
        size_t home = size_t(slots_[i].hash) & mask;
        // Whether i's home lies cyclically in (gap, i]: then it stays.
        bool stays = gap < i ? (home > gap && home <= i) : (home > gap || home <= i);
        if (stays) continue;
        slots_[gap] = slots_[i];
        slots_[i].used = false;
        gap = i;
    }
    return true;
}

void RegValueIndex::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 8 : old.size() * 2, Slot{});
    size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (!s.used) continue;
        size_t i = size_t(s.hash) & mask;
        while (slots_[i].used) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

}  // namespace sim
