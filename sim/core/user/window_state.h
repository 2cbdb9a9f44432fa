// The window system's own state and the helpers its files share: the
// window list and z-order, classes and atoms, activation, focus and
// capture, and the owner map.  Private to the window system (user/window*.cpp).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "user/owner_map.h"
#include "user/window.h"

namespace sim {

struct WindowSystem {
    std::map<uint32_t, std::unique_ptr<Window>> windows;  // destroyed ones stay until freed
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::vector<std::u16string> atoms;  // lower-case names; atom 0xC000 + index
    std::vector<Window*> top_level;  // front first
    uint32_t next_handle = 0x10010;
    uint32_t next_number = 1;
    size_t destroyed = 0;      // destroyed windows not yet freed
    int procedure_calls = 0;   // window procedures running
    Window* active = nullptr;
    Window* focus = nullptr;
    // The windows losing the activation while it passes on, innermost last:
    // from the moment the next window is made active until its WM_ACTIVATE
    // has returned, the focus may still be in one of them.
    std::vector<Window*> leaving;
    Window* capture = nullptr;
    OwnerMap owner_map;
    std::vector<OwnerLayer> layers;  // scratch of map_owners
    std::vector<OwnerGain> gained;   // scratch of map_owners
};

WindowSystem& ws();

bool is_band_topmost(const Window* w);
// Puts a top-level window at the front of its band (topmost or not).
void insert_top_level(Window* w);
// The windows `owner` owns, directly or through others, added to `out`.
void owned_windows(Window* owner, std::vector<Window*>& out);
// `w` and every window inside it, parents first.
void collect_tree(Window* w, std::vector<Window*>& out);
// Takes `w` out of its parent's children or out of the top-level list.
void unlink_window(Window* w);
void journal_window(const char* op, const Window* w);
bool can_be_active(const Window* w);
// The window to activate when `gone` (the active one) goes or is hidden:
// its owner, else the frontmost window that can be active.
Window* next_active_after(Window* gone);
// Gives each screen pixel to the window that shows it; with Repaint::Yes
// each window is invalidated where it gained pixels.
void map_owners(Repaint repaint);

}  // namespace sim
