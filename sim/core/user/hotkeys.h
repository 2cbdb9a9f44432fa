// Hot keys: which window (or the shell) holds each hardware button.
#pragma once

#include <set>
#include <vector>

#include <windows.h>

namespace sim {

struct Window;

enum class HotKeyHolder { None, Shell, Window };

struct HotKey {
    Window* window = nullptr;
    int id = 0;
    UINT mods = 0;
    UINT vk = 0;
};

// The shell takes the application buttons when the device boots.
void shell_take_application_buttons();
// UnregisterFunc1: the button is freed, whoever holds it (the shell or a
// window of any program), so that the next RegisterHotKey for it succeeds.
// Returns who held it (None when nobody did); *was_held_by tells which
// window when a window did.
HotKeyHolder release_hotkey(UINT mods, UINT vk, HotKey* was_held_by);

// False (with the last error set) when another window or the shell holds vk.
bool register_hotkey(Window* w, int id, UINT mods, UINT vk);
// False when `w` holds no hot key with this id; *vk and *mods tell what was freed.
bool unregister_hotkey(Window* w, int id, UINT* vk, UINT* mods);
HotKeyHolder hotkey_holder(int vk, HotKey* out);
// What the hot-key table must hold: no window's id twice, no key twice, and
// no key that the shell holds.
bool hotkey_table_ok(const std::vector<HotKey>& keys, const std::set<UINT>& shell_held);
// The profile's "hotkey_fail": buttons that another program holds, so that
// registering them fails and their presses go to that program.
bool another_program_holds(UINT vk);
void forget_hotkeys(Window* w);
void clear_hotkeys();

}  // namespace sim
