// The dialog manager's order of controls.  "Dialog Box Keyboard Interface"
// and the direction keys: https://techshelps.github.io/Win32/html/fguhcd.htm;
// GetNextDlgTabItem, GetNextDlgGroupItem:
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getnextdlggroupitem;
// DS_CONTROL and WS_EX_CONTROLPARENT:
// https://learn.microsoft.com/en-us/windows/win32/dlgbox/dialog-box-styles
#include "user/control_order.h"

#include <algorithm>

namespace sim {

namespace {

bool is_control_parent(const Window* c) { return (c->ex_style & WS_EX_CONTROLPARENT) != 0; }

void add_tab_items(const Window* parent, std::vector<Window*>& out) {
    for (Window* c : live_children(parent)) {
        if (is_control_parent(c)) {
            if (can_take_focus(c)) add_tab_items(c, out);
            continue;
        }
        out.push_back(c);
    }
}

}  // namespace

bool can_take_focus(const Window* c) {
    return c && !c->destroyed && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED);
}

std::vector<Window*> live_children(const Window* parent) {
    std::vector<Window*> out;
    if (parent)
        for (Window* c : parent->children)
            if (!c->destroyed) out.push_back(c);
    return out;
}

std::vector<Window*> tab_order(const Window* dlg) {
    std::vector<Window*> out;
    add_tab_items(dlg, out);
    return out;
}

Window* tab_item_holding(const Window* dlg, Window* w) {
    std::vector<Window*> all = tab_order(dlg);
    for (; w && w != dlg; w = w->parent)
        if (std::find(all.begin(), all.end(), w) != all.end()) return w;
    return nullptr;
}

Window* next_tab_stop(const Window* dlg, Window* from, bool previous) {
    std::vector<Window*> all = tab_order(dlg);
    if (all.empty()) return nullptr;
    int n = int(all.size());
    int at = int(std::find(all.begin(), all.end(), from) - all.begin());
    if (at == n) at = previous ? 0 : n - 1;
    for (int step = 1; step <= n; ++step) {
        Window* c = all[size_t(((at + (previous ? -step : step)) % n + n) % n)];
        if ((c->style & WS_TABSTOP) && can_take_focus(c)) return c;
    }
    return nullptr;
}

std::vector<Window*> group_of(Window* control) {
    if (!control || !control->parent) return {control};
    std::vector<Window*> all = live_children(control->parent);
    auto it = std::find(all.begin(), all.end(), control);
    if (it == all.end()) return {control};
    auto first = it;
    while (first != all.begin() && !((*first)->style & WS_GROUP)) --first;
    auto end = it + 1;
    while (end != all.end() && !((*end)->style & WS_GROUP)) ++end;
    return std::vector<Window*>(first, end);
}

Window* next_in_group(Window* control, bool previous) {
    std::vector<Window*> group = group_of(control);
    int n = int(group.size());
    int at = int(std::find(group.begin(), group.end(), control) - group.begin());
    for (int step = 1; step < n; ++step) {
        Window* c = group[size_t(((at + (previous ? -step : step)) % n + n) % n)];
        if (can_take_focus(c)) return c;
    }
    return control;
}

}  // namespace sim
