#include "user/hotkeys.h"

#include <algorithm>
#include <set>
#include <vector>

#include "base/profile.h"
#include "platform/ce_api.h"
#include "user/window.h"

namespace sim {

namespace {

struct Table {
    std::vector<HotKey> keys;
    std::set<UINT> shell_held;
};

Table& table() {
    static Table t;
    return t;
}

}  // namespace

void shell_take_application_buttons() {
    for (UINT vk = VK_DEVICE_C0; vk <= VK_DEVICE_C9; ++vk) table().shell_held.insert(vk);
}

// A hardware button comes without modifier keys, so a button is one hot key
// whatever modifiers it was registered with: the call frees it by its code.
HotKeyHolder release_hotkey(UINT, UINT vk, HotKey* was_held_by) {
    auto& t = table();
    HotKeyHolder holder = HotKeyHolder::None;
    if (t.shell_held.erase(vk) > 0) holder = HotKeyHolder::Shell;
    for (auto it = t.keys.begin(); it != t.keys.end();) {
        if (it->vk != vk) {
            ++it;
            continue;
        }
        if (was_held_by) *was_held_by = *it;
        holder = HotKeyHolder::Window;
        it = t.keys.erase(it);
    }
    return holder;
}

bool register_hotkey(Window* w, int id, UINT mods, UINT vk) {
    auto& t = table();
    for (auto& k : t.keys)
        if (k.vk == vk && !(k.window == w && k.id == id)) {
            SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
            return false;
        }
    if (t.shell_held.count(vk)) {
        SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
        return false;
    }
    t.keys.erase(std::remove_if(t.keys.begin(), t.keys.end(),
                                [&](const HotKey& k) { return k.window == w && k.id == id; }),
                 t.keys.end());
    t.keys.push_back({w, id, mods, vk});
    return true;
}

bool unregister_hotkey(Window* w, int id, UINT* vk, UINT* mods) {
    auto& keys = table().keys;
    auto it = std::find_if(keys.begin(), keys.end(), [&](const HotKey& k) { return k.window == w && k.id == id; });
    if (it == keys.end()) {
        SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
        return false;
    }
    if (vk) *vk = it->vk;
    if (mods) *mods = it->mods;
    keys.erase(it);
    return true;
}

HotKeyHolder hotkey_holder(int vk, HotKey* out) {
    for (auto& k : table().keys)
        if (int(k.vk) == vk) {
            if (out) *out = k;
            return HotKeyHolder::Window;
        }
    if (table().shell_held.count(UINT(vk))) return HotKeyHolder::Shell;
    return HotKeyHolder::None;
}

bool another_program_holds(UINT vk) {
    for (auto& code : profile().raw().value("hotkey_fail", nlohmann::json::array()))
        if (code.is_number_integer() && code.get<UINT>() == vk) return true;
    return false;
}

void forget_hotkeys(Window* w) {
    auto& keys = table().keys;
    keys.erase(std::remove_if(keys.begin(), keys.end(), [&](const HotKey& k) { return k.window == w; }), keys.end());
}

void clear_hotkeys() { table() = Table{}; }

}  // namespace sim
