// The order in which the dialog manager walks a window's controls: the
// tab order (Tab, GetNextDlgTabItem), which passes through the controls of
// nested control parents (WS_EX_CONTROLPARENT, the style a DS_CONTROL
// dialog gets) as if they were the outer dialog's own, and the groups
// that WS_GROUP marks among siblings (the direction keys,
// GetNextDlgGroupItem, automatic radio buttons).
#pragma once

#include <vector>

#include "user/window.h"

namespace sim {

// A control the focus can go to: itself visible and enabled.
bool can_take_focus(const Window* c);

// The children of `parent` in the order they were made, without those
// already gone.
std::vector<Window*> live_children(const Window* parent);

// The controls of `dlg` in tab order: its children in the order they were
// made, a visible and enabled control parent replaced by its own controls.
std::vector<Window*> tab_order(const Window* dlg);

// The control of `dlg`'s tab order that `w` is or sits in.
Window* tab_item_holding(const Window* dlg, Window* w);

// The next (or previous) WS_TABSTOP control that can take the focus after
// `from`, wrapping round; from the end (start) when `from` is null.
Window* next_tab_stop(const Window* dlg, Window* from, bool previous);

// The siblings in `control`'s group: from the sibling with WS_GROUP at or
// before it up to the next one with WS_GROUP.
std::vector<Window*> group_of(Window* control);

// The next (or previous) control of `control`'s group that can take the
// focus, wrapping inside the group; `control` itself when there is none.
Window* next_in_group(Window* control, bool previous);

}  // namespace sim
