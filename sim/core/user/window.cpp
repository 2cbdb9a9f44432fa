#include "user/window.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "base/journal.h"
#include "gdi/framebuffer.h"
#include "gdi/gdi_objects.h"
#include "gdi/screen.h"
#include "kernel/process.h"
#include "base/text.h"
#include "user/hotkeys.h"
#include "user/message_queue.h"
#include "user/owner_map.h"
#include "user/window_journal.h"

namespace sim {

namespace {

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
    Window* capture = nullptr;
    OwnerMap owner_map;
    std::vector<OwnerLayer> layers;  // scratch of map_owners
    std::vector<OwnerGain> gained;   // scratch of map_owners
};

WindowSystem& ws() {
    static WindowSystem s;
    return s;
}

bool is_band_topmost(const Window* w) { return w->topmost; }

void insert_top_level(Window* w) {
    auto& list = ws().top_level;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    size_t at = 0;
    if (!w->topmost)
        while (at < list.size() && is_band_topmost(list[at])) ++at;
    list.insert(list.begin() + at, w);
}

void owned_windows(Window* owner, std::vector<Window*>& out) {
    for (Window* t : ws().top_level)
        if (t->owner == owner && std::find(out.begin(), out.end(), t) == out.end()) {
            out.push_back(t);
            owned_windows(t, out);
        }
}

void collect(Window* w, std::vector<Window*>& out) {
    out.push_back(w);
    for (Window* c : w->children) collect(c, out);
}

void unlink(Window* w) {
    if (w->parent) {
        auto& s = w->parent->children;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
    } else {
        auto& s = ws().top_level;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
    }
}

Window* paint_search(Window* w) {
    if (!(w->style & WS_VISIBLE)) return nullptr;
    if (!w->update.empty()) return w;
    for (Window* c : w->children)
        if (Window* found = paint_search(c)) return found;
    return nullptr;
}

void journal_window(const char* op, const Window* w) {
    if (!w->journaled) return;
    const Window* above = w->parent ? w->parent : w->owner;
    log_event("window", {{"op", op},
                         {"class", to_utf8(w->cls ? w->cls->name : u"")},
                         {"title", to_utf8(w->text)},
                         {"number", window_number(w)},
                         {"parent", window_number(above)},
                         {"template", template_of(w)}});
}

bool can_be_active(const Window* w) {
    return w && !w->destroyed && !w->shell && !w->parent && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
}

// What activating `w` activates: w itself, or for a disabled w the window
// it owns that was active last or, failing that, the frontmost enabled one
// it owns; null when there is none.
Window* activation_target(Window* w) {
    if (!(w->style & WS_DISABLED)) return w;
    Window* last = last_active_popup(w);
    if (last != w) return last;
    for (Window* t : ws().top_level)
        if (is_in_group(t, w) && can_be_active(t)) return t;
    return nullptr;
}

// The window to activate when `gone` (the active one) goes or is hidden:
// its owner, else the frontmost window that can be active.
Window* next_active_after(Window* gone) {
    if (gone && gone->owner && !gone->owner->destroyed && (gone->owner->style & WS_VISIBLE) &&
        !(gone->owner->style & WS_DISABLED))
        return gone->owner;
    for (Window* t : ws().top_level)
        if (t != gone && !t->shell && !t->destroyed && (t->style & WS_VISIBLE) && !(t->style & WS_DISABLED)) return t;
    return nullptr;
}

// The deepest visible window under the screen point inside `w` (which
// contains it), leaving out those in `skip`.
Window* deepest_at(Window* w, int x, int y, const std::vector<Window*>& skip) {
    Point o = client_origin(w);
    if (client_rect(w).offset(o.x, o.y).contains(x, y))
        for (Window* c : w->children) {
            if (c->destroyed || !(c->style & WS_VISIBLE) || !screen_rect(c).contains(x, y)) continue;
            if (Window* d = deepest_at(c, x, y, skip)) return d;
        }
    return std::find(skip.begin(), skip.end(), w) == skip.end() ? w : nullptr;
}

// Gives each screen pixel to the window that shows it; with Repaint::Yes
// each window is invalidated where it gained pixels.
void map_owners(Repaint repaint) {
    auto& s = ws();
    list_owner_layers(s.top_level, &s.layers);
    s.owner_map.update(s.layers, framebuffer().owner, repaint == Repaint::Yes ? &s.gained : nullptr);
    if (repaint == Repaint::No) return;
    for (const OwnerGain& g : s.gained) {
        Window* w = window_from_handle(reinterpret_cast<HWND>(uintptr_t(g.handle)));
        if (!w) continue;
        Point o = client_origin(w);
        Rect local = g.area.offset(-o.x, -o.y);
        invalidate(w, &local, Erase::Yes);
    }
}

}  // namespace

Window* window_from_handle(HWND h) {
    auto it = ws().windows.find(uint32_t(reinterpret_cast<uintptr_t>(h)));
    if (it == ws().windows.end() || it->second->destroyed) return nullptr;
    return it->second.get();
}

HWND handle_of(const Window* w) { return w ? reinterpret_cast<HWND>(uintptr_t(w->handle)) : nullptr; }

WindowClass* find_class(const std::u16string& name, Process* process) {
    std::u16string key = lower(name);
    WindowClass* system = nullptr;
    for (auto& c : ws().classes) {
        if (c->name.empty() || lower(c->name) != key) continue;
        if (c->system)
            system = c.get();
        else if (c->process == process)
            return c.get();
    }
    return system;
}

namespace {

// Class atoms come from the range of string atoms, from 0xC000 on.
constexpr ATOM kFirstAtom = 0xC000;

ATOM atom_of(const std::u16string& name) {
    auto& atoms = ws().atoms;
    std::u16string key = lower(name);
    auto it = std::find(atoms.begin(), atoms.end(), key);
    if (it == atoms.end()) it = atoms.insert(atoms.end(), key);
    return ATOM(kFirstAtom + (it - atoms.begin()));
}

}  // namespace

std::u16string class_name_of_atom(ATOM atom) {
    const auto& atoms = ws().atoms;
    if (atom < kFirstAtom || size_t(atom - kFirstAtom) >= atoms.size()) return {};
    return atoms[atom - kFirstAtom];
}

WindowClass* register_system_class(const std::u16string& name, WNDPROC proc, HBRUSH background) {
    if (WindowClass* existing = find_class(name, nullptr)) {
        if (existing->system) return existing;
    }
    auto c = std::make_unique<WindowClass>();
    c->system = true;
    c->name = name;
    c->proc = proc;
    c->background = background;
    c->atom = atom_of(name);
    ws().classes.push_back(std::move(c));
    return ws().classes.back().get();
}

WindowClass* register_class(const WindowClass& wc) {
    auto c = std::make_unique<WindowClass>(wc);
    c->atom = atom_of(wc.name);
    ws().classes.push_back(std::move(c));
    return ws().classes.back().get();
}

Unregistered unregister_class(const std::u16string& name, Process* process) {
    for (auto& c : ws().classes) {
        if (c->system || c->process != process || c->name.empty() || lower(c->name) != lower(name)) continue;
        for (auto& [handle, w] : ws().windows)
            if (!w->destroyed && w->cls == c.get()) return Unregistered::HasWindows;
        // Destroyed windows of the class keep a pointer to it; keep the object alive.
        c->name.clear();
        return Unregistered::Done;
    }
    return Unregistered::NoSuchClass;
}

Window* create_window(const CreateParams& p) {
    WindowClass* cls = find_class(p.class_name, current_process());
    if (!cls || cls->name.empty()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    Window* parent_or_owner = window_from_handle(p.parent);
    bool child = (p.style & WS_CHILD) != 0;
    if (child && !parent_or_owner) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    auto owned = std::make_unique<Window>();
    Window* w = owned.get();
    w->handle = ws().next_handle;
    ws().next_handle += 0x10;
    w->number = ws().next_number++;
    w->dialog_template = p.dialog_template;
    w->cls = cls;
    w->proc = cls->proc;
    w->style = p.style & ~DWORD(WS_VISIBLE);
    w->ex_style = p.ex_style;
    w->text = p.title;
    w->instance = p.instance;
    w->process = current_process();
    w->shell = p.shell;
    w->journaled = p.journaled;
    w->topmost = (p.ex_style & WS_EX_TOPMOST) != 0;
    w->is_dialog = p.is_dialog;
    w->dialog_proc = p.dialog_proc;
    w->caption_ok = (p.ex_style & WS_EX_CAPTIONOKBTN) != 0;
    w->extra.assign(size_t(std::max(0, cls->window_extra) + 3) / 4, 0);

    int x = p.x, y = p.y, width = p.width, height = p.height;
    if (child) {
        w->parent = parent_or_owner;
        w->control_id = int(reinterpret_cast<intptr_t>(p.menu));
        if (x == CW_USEDEFAULT) x = y = 0;
        if (width == CW_USEDEFAULT) width = height = 0;
    } else {
        w->owner = parent_or_owner ? top_level_of(parent_or_owner) : nullptr;
        // An owned window stays above its owner: a topmost owner's windows are topmost too.
        if (w->owner && w->owner->topmost) {
            w->topmost = true;
            w->ex_style |= WS_EX_TOPMOST;
        }
        Rect area = default_window_area();
        if (x == CW_USEDEFAULT) {
            x = area.left;
            y = area.top;
        }
        if (width == CW_USEDEFAULT) {
            width = area.width();
            height = area.height();
        }
    }
    w->rect = {x, y, x + width, y + height};

    ws().windows[w->handle] = std::move(owned);
    if (child)
        w->parent->children.push_back(w);
    else
        insert_top_level(w);
    journal_window("create", w);

    CREATESTRUCTW cs{};
    cs.lpCreateParams = p.param;
    cs.hInstance = p.instance;
    cs.hMenu = p.menu;
    cs.hwndParent = p.parent;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = LONG(p.style);
    cs.lpszName = p.title.c_str();
    cs.lpszClass = p.class_name.c_str();
    cs.dwExStyle = p.ex_style;
    HWND h = handle_of(w);
    if (!p.is_dialog) {
        if (send(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
            destroy_window(w);
            return nullptr;
        }
        if (w->destroyed) return nullptr;
        send(w, WM_SIZE, 0, MAKELPARAM(width, height));
        send(w, WM_MOVE, 0, MAKELPARAM(x, y));
        if (!window_from_handle(h)) return nullptr;
        if (p.style & WS_VISIBLE) show_window(w, Activation::Activate);
    }
    return window_from_handle(h);
}

bool destroy_window(Window* w) {
    if (!w || w->destroyed) return false;
    HWND h = handle_of(w);
    journal_window("destroy", w);

    // The window is hidden first, so that the activation does not pass to
    // it while the windows it owns go; they go before it.
    bool was_visible = is_visible(w);
    w->style &= ~DWORD(WS_VISIBLE);
    if (was_visible) recompute_owner_map();
    std::vector<Window*> owned;
    for (Window* t : ws().top_level)
        if (t->owner == w) owned.push_back(t);
    for (Window* o : owned) destroy_window(o);
    if (!window_from_handle(h)) return true;
    if (is_inside(ws().capture, w)) ws().capture = nullptr;
    if (ws().active == w) activate_next_after(w);
    if (is_inside(ws().focus, w)) {
        Window* f = ws().focus;
        ws().focus = nullptr;
        if (!f->destroyed) send(f, WM_KILLFOCUS, 0, 0);
    }

    std::vector<Window*> tree;
    collect(w, tree);
    for (Window* t : tree)
        if (!t->destroyed && window_from_handle(handle_of(t))) send(t, WM_DESTROY, 0, 0);
    for (Window* t : tree) {
        forget_timers(t);
        forget_hotkeys(t);
        forget_posted_messages(t);
        t->destroyed = true;
        ++ws().destroyed;
    }
    for (Window* t : tree)
        if (t != w && t->journaled) journal_window("destroy", t);
    unlink(w);
    if (ws().active == w) ws().active = nullptr;
    recompute_owner_map();
    announce_window_change();
    return true;
}

void discard_process_windows(Process* process) {
    std::vector<Window*> victims;
    for (auto& [id, w] : ws().windows)
        if (!w->destroyed && w->process == process) victims.push_back(w.get());
    for (Window* w : victims) {
        forget_timers(w);
        forget_hotkeys(w);
        forget_posted_messages(w);
        w->destroyed = true;
        ++ws().destroyed;
    }
    for (Window* w : victims) {
        if (w->parent && !w->parent->destroyed) unlink(w);
        if (!w->parent) unlink(w);
    }
    if (ws().active && ws().active->destroyed) ws().active = nullptr;
    if (ws().focus && ws().focus->destroyed) ws().focus = nullptr;
    if (ws().capture && ws().capture->destroyed) ws().capture = nullptr;
    for (auto& c : ws().classes)
        if (!c->system && c->process == process) c->name.clear();
    recompute_owner_map();
    if (!ws().active) activate_next_after(nullptr);
    announce_window_change();
}

namespace {
void (*window_change_hook)() = nullptr;
// A program's windows go when it ends.
[[maybe_unused]] const bool windows_follow_programs =
    (subscribe_to_programs({nullptr, [](Process* process, HMODULE) { discard_process_windows(process); }}), true);
}  // namespace

void set_window_change_hook(void (*hook)()) { window_change_hook = hook; }

void announce_window_change() {
    if (window_change_hook) window_change_hook();
}

void discard_all_windows() {
    auto& s = ws();
    for (auto& [id, w] : s.windows) {
        forget_timers(w.get());
        forget_hotkeys(w.get());
        forget_posted_messages(w.get());
    }
    s.windows.clear();
    s.destroyed = 0;
    s.classes.clear();
    s.atoms.clear();
    s.top_level.clear();
    s.active = s.focus = s.capture = nullptr;
    s.next_number = 1;
    s.owner_map.clear(framebuffer().owner);
}

Rect screen_rect(const Window* w) {
    if (!w->parent) return w->rect;
    Point o = client_origin(w->parent);
    return w->rect.offset(o.x, o.y);
}

Rect client_rect(const Window* w) { return {0, 0, w->rect.width(), w->rect.height()}; }

Point client_origin(const Window* w) {
    Rect r = screen_rect(w);
    return {r.left, r.top};
}

Window* top_level_of(Window* w) {
    while (w && w->parent) w = w->parent;
    return w;
}

bool is_inside(const Window* w, const Window* outer) {
    if (!outer) return false;
    for (; w; w = w->parent)
        if (w == outer) return true;
    return false;
}

bool is_in_group(const Window* w, const Window* owner) {
    if (!owner) return false;
    for (; w; w = w->owner)
        if (w == owner) return true;
    return false;
}

bool is_visible(const Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE) || w->destroyed) return false;
    return true;
}

bool is_enabled_tree(const Window* w) {
    for (; w; w = w->parent)
        if (w->style & WS_DISABLED) return false;
    return true;
}

// Without repainting, the owner map still follows the move (taps and
// drawing go to the window where it is now) but nothing is invalidated:
// "If bRepaint is FALSE, no repainting of any kind occurs", not of the
// window and not of what it uncovers.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-movewindow
void set_window_rect(Window* w, const Rect& r, Repaint repaint) {
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    bool sized = r.width() != w->rect.width() || r.height() != w->rect.height();
    w->rect = r;
    if (is_visible(w)) {
        map_owners(repaint);
        if (repaint == Repaint::Yes) {
            if (moved || sized) invalidate(w, nullptr, Erase::Yes);
            for (Window* c : w->children) invalidate(c, nullptr, Erase::Yes);
        }
    }
    HWND h = handle_of(w);
    if (moved) send(w, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (sized && window_from_handle(h)) send(w, WM_SIZE, 0, MAKELPARAM(r.width(), r.height()));
}

void show_window(Window* w, Activation activation) {
    bool activates = activation == Activation::Activate && !w->parent && !w->shell;
    if (w->style & WS_VISIBLE) {
        if (activates) activate(w, WA_ACTIVE);
        return;
    }
    HWND h = handle_of(w);
    send(w, WM_SHOWWINDOW, TRUE, 0);
    if (!window_from_handle(h)) return;
    w->style |= WS_VISIBLE;
    recompute_owner_map();
    invalidate(w, nullptr, Erase::Yes);
    if (activates) activate(w, WA_ACTIVE);
    announce_window_change();
}

void hide_window(Window* w) {
    if (!(w->style & WS_VISIBLE)) return;
    HWND h = handle_of(w);
    send(w, WM_SHOWWINDOW, FALSE, 0);
    if (!window_from_handle(h)) return;
    w->style &= ~DWORD(WS_VISIBLE);
    recompute_owner_map();
    // The hidden window hears that it is no longer active, then the next
    // one that it is (with none, the activation just ends).
    if (ws().active == w) activate(next_active_after(w), WA_ACTIVE);
    if (is_inside(ws().focus, w)) ws().focus = nullptr;
    announce_window_change();
}

bool enable_window(Window* w, bool enable) {
    HWND h = handle_of(w);
    bool was_disabled = (w->style & WS_DISABLED) != 0;
    if (enable == !was_disabled) return was_disabled;
    if (enable)
        w->style &= ~DWORD(WS_DISABLED);
    else
        w->style |= WS_DISABLED;
    // Controls repaint themselves on WM_ENABLE; other windows are not
    // repainted (a dialog's owner does not flash when the dialog opens).
    send(w, WM_ENABLE, enable, 0);
    if (!(w = window_from_handle(h))) return was_disabled;
    if (!enable && is_inside(ws().focus, w)) set_focus(nullptr);
    return was_disabled;
}

void bring_to_top(Window* w) {
    if (w->parent) {
        auto& s = w->parent->children;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
        s.insert(s.begin(), w);
    } else {
        std::vector<Window*> owned;
        owned_windows(w, owned);
        // Owned windows stay above their owner, in their present order.
        std::vector<Window*> ordered;
        for (Window* t : ws().top_level)
            if (std::find(owned.begin(), owned.end(), t) != owned.end()) ordered.push_back(t);
        insert_top_level(w);
        for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
            if ((*it)->topmost == w->topmost || (*it)->topmost) insert_top_level(*it);
    }
    recompute_owner_map();
}

void set_topmost(Window* w, bool topmost) {
    std::vector<Window*> group{w};
    owned_windows(w, group);
    std::vector<Window*> ordered;
    for (Window* t : ws().top_level)
        if (std::find(group.begin(), group.end(), t) != group.end()) ordered.push_back(t);
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
        (*it)->topmost = topmost;
        if (topmost)
            (*it)->ex_style |= WS_EX_TOPMOST;
        else
            (*it)->ex_style &= ~DWORD(WS_EX_TOPMOST);
        insert_top_level(*it);
    }
    recompute_owner_map();
}

void place_behind(Window* w, Window* behind) {
    if (behind == w) return;
    if (w->parent) {
        auto& s = w->parent->children;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
        auto at = behind ? std::find(s.begin(), s.end(), behind) : s.end();
        s.insert(at == s.end() ? s.end() : at + 1, w);
        recompute_owner_map();
        return;
    }
    if (w->topmost && (!behind || !behind->topmost)) set_topmost(w, false);
    auto& list = ws().top_level;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    auto at = behind ? std::find(list.begin(), list.end(), behind) : list.end();
    if (at != list.end()) ++at;
    // Not into the topmost band from outside it.
    auto band_end = std::find_if(list.begin(), list.end(), [](Window* t) { return !is_band_topmost(t); });
    if (!w->topmost && at < band_end) at = band_end;
    at = list.insert(at, w);
    // An owned window stands in front of its owner; the windows w owns
    // stay in front of it.
    for (Window* o = w->owner; o; o = o->owner) {
        auto owner_at = std::find(list.begin(), list.end(), o);
        if (owner_at != list.end() && owner_at < std::find(list.begin(), list.end(), w)) {
            list.erase(std::find(list.begin(), list.end(), w));
            list.insert(std::find(list.begin(), list.end(), o), w);
        }
    }
    std::vector<Window*> owned;
    owned_windows(w, owned);
    std::vector<Window*> behind_it;
    for (auto it = std::find(list.begin(), list.end(), w); it != list.end(); ++it)
        if (std::find(owned.begin(), owned.end(), *it) != owned.end()) behind_it.push_back(*it);
    for (Window* t : behind_it) {
        list.erase(std::find(list.begin(), list.end(), t));
        list.insert(std::find(list.begin(), list.end(), w), t);
    }
    recompute_owner_map();
}

const std::vector<Window*>& top_level_windows() { return ws().top_level; }

std::vector<Window*> all_windows() {
    std::vector<Window*> out;
    for (Window* t : ws().top_level) collect(t, out);
    return out;
}

void recompute_owner_map() { map_owners(Repaint::Yes); }

void invalidate(Window* w, const Rect* area, Erase erase) {
    Rect whole = client_rect(w);
    Rect r = area ? area->intersect(whole) : whole;
    if (r.empty()) return;
    w->update = w->update.unite(r);
    if (erase == Erase::Yes) w->erase_pending = true;
}

void invalidate_all(Erase erase) {
    for (Window* w : all_windows())
        if (is_visible(w)) invalidate(w, nullptr, erase);
}

void validate(Window* w, const Rect* area) {
    if (!area) {
        w->update = {};
        w->erase_pending = false;
        ++w->validations;
        return;
    }
    // A rectangle that covers the update bounds empties them; a partial one
    // leaves them (the bounds cannot express a hole).
    Rect r = *area;
    if (r.left <= w->update.left && r.top <= w->update.top && r.right >= w->update.right &&
        r.bottom >= w->update.bottom) {
        w->update = {};
        w->erase_pending = false;
        ++w->validations;
    }
}

Window* window_at(int x, int y) {
    if (!Framebuffer::bounds().contains(x, y)) return nullptr;
    return window_from_handle(reinterpret_cast<HWND>(uintptr_t(framebuffer().owner[y][x])));
}

// As WindowFromPoint: the deepest window there is asked with WM_NCHITTEST;
// one that answers HTTRANSPARENT lets the point through to the window
// beneath it (a sibling further back, else its parent, else the next
// top-level window).  All windows share the device's one thread, so every
// window's answer counts.
// https://learn.microsoft.com/en-us/windows/win32/inputdev/wm-nchittest
Window* window_from_point(int x, int y) {
    if (!Framebuffer::bounds().contains(x, y)) return nullptr;
    std::vector<Window*> transparent;
    for (;;) {
        Window* found = nullptr;
        for (Window* t : ws().top_level) {
            if (t->destroyed || !(t->style & WS_VISIBLE) || !t->rect.contains(x, y)) continue;
            if ((found = deepest_at(t, x, y, transparent))) break;
        }
        if (!found) return nullptr;
        HWND h = handle_of(found);
        LRESULT hit = send(found, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (!window_from_handle(h)) return nullptr;
        if (hit != LRESULT(HTTRANSPARENT)) return found;
        transparent.push_back(found);
    }
}

Window* find_window_needing_paint(Window* within) {
    if (within) return is_visible(within) ? paint_search(within) : nullptr;
    for (Window* t : ws().top_level)
        if (Window* w = paint_search(t)) return w;
    return nullptr;
}

void update_window(Window* w) {
    if (!w || !is_visible(w)) return;
    HWND h = handle_of(w);
    if (!w->update.empty()) {
        unsigned validations = w->validations;
        send(w, WM_PAINT, 0, 0);
        w = window_from_handle(h);
        if (!w) return;
        // A procedure that does not validate would be asked forever; the
        // system validates for it once it has been asked.  What became
        // invalid after the procedure validated stays to be painted.
        if (w->validations == validations) validate(w, nullptr);
    }
    std::vector<Window*> kids = w->children;
    for (Window* c : kids)
        if (!c->destroyed) update_window(c);
}

Window* active_window() { return ws().active; }
Window* focus_window() { return ws().focus; }

void activate(Window* w, int how) {
    auto& s = ws();
    if (w && (w->destroyed || w->shell)) return;
    if (w && !(w = activation_target(w))) return;
    if (w == s.active) {
        if (w) bring_to_top(w);
        return;
    }
    Window* old = s.active;
    // The window losing the activation hears of it while it is still the
    // active one (what it does with the focus then stays inside it).
    if (old && !old->destroyed) send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), LPARAM(handle_of(w)));
    if (w && w->destroyed) return;
    s.active = w;
    for (Window* o = w; o; o = o->owner) o->last_active = w;
    if (w) bring_to_top(w);
    if (w && !w->destroyed && s.active == w)
        send(w, WM_ACTIVATE, MAKEWPARAM(how, 0), LPARAM(old && !old->destroyed ? handle_of(old) : nullptr));
    announce_window_change();
}

Window* last_active_popup(Window* w) {
    Window* last = w ? w->last_active : nullptr;
    if (last && is_in_group(last, w) && can_be_active(last)) return last;
    return w;
}

void activate_next_after(Window* gone) {
    Window* next = next_active_after(gone);
    if (ws().active == gone) ws().active = nullptr;
    if (next)
        activate(next, WA_ACTIVE);
    else
        announce_window_change();
}

HWND set_focus(Window* w) {
    auto& s = ws();
    Window* old = s.focus;
    if (w) {
        Window* top = top_level_of(w);
        if (top != s.active) {
            activate(top, WA_ACTIVE);
            if (w->destroyed) return handle_of(old);
            // A disabled window's tree cannot be activated, so it takes no focus.
            if (s.active != top) return nullptr;
        }
        old = s.focus;
    }
    if (old == w) return handle_of(old);
    s.focus = w;
    if (old && !old->destroyed) send(old, WM_KILLFOCUS, WPARAM(handle_of(w)), 0);
    if (w && !w->destroyed && s.focus == w) send(w, WM_SETFOCUS, WPARAM(old && !old->destroyed ? handle_of(old) : nullptr), 0);
    return old && !old->destroyed ? handle_of(old) : nullptr;
}

Window* capture_window() { return ws().capture; }
void set_capture(Window* w) { ws().capture = w; }

LRESULT send(Window* w, UINT msg, WPARAM wp, LPARAM lp) {
    if (!w || w->destroyed || !w->proc) return 0;
    struct Running {
        int& calls;
        explicit Running(int& c) : calls(c) { ++calls; }
        ~Running() { --calls; }
    } running(ws().procedure_calls);
    return w->proc(handle_of(w), msg, wp, lp);
}

size_t windows_held() { return ws().windows.size(); }

void free_destroyed_windows() {
    auto& s = ws();
    if (s.destroyed == 0 || s.procedure_calls > 0) return;
    // What must stay: the destroyed windows that live ones (or the system's
    // pointers, or device contexts) lead to through parents and owners.
    std::unordered_set<const Window*> keep;
    auto hold = [&](const Window* w) {
        for (; w && w->destroyed && keep.insert(w).second; w = w->owner ? w->owner : w->parent) {
        }
    };
    for (auto& [handle, w] : s.windows) {
        if (w->destroyed) {
            if (window_has_dc(handle_of(w.get()))) hold(w.get());
            continue;
        }
        hold(w->owner);
        hold(w->parent);
    }
    for (const Window* w : {s.active, s.focus, s.capture}) hold(w);
    std::unordered_set<const Window*> gone;
    for (auto& [handle, w] : s.windows)
        if (w->destroyed && !keep.count(w.get())) gone.insert(w.get());
    if (gone.empty()) return;
    for (auto& [handle, w] : s.windows) {
        if (gone.count(w.get())) continue;
        if (gone.count(w->last_active)) w->last_active = nullptr;  // it was not active-able any more
        auto& kids = w->children;
        kids.erase(std::remove_if(kids.begin(), kids.end(), [&](Window* c) { return gone.count(c) > 0; }), kids.end());
    }
    for (auto it = s.windows.begin(); it != s.windows.end();)
        it = gone.count(it->second.get()) ? s.windows.erase(it) : std::next(it);
    s.destroyed -= gone.size();
}

std::string describe(const Window* w) { return w ? to_utf8(w->text) : std::string(); }

Window* find_child_by_id(Window* parent, int id) {
    if (!parent) return nullptr;
    for (Window* c : parent->children)
        if (!c->destroyed && c->control_id == id) return c;
    return nullptr;
}

}  // namespace sim

namespace sim {

json window_number(const Window* w) { return w ? json(w->number) : json(nullptr); }

json template_of(const Window* w) {
    if (!w || !w->is_dialog || !w->dialog_template.present) return nullptr;
    if (w->dialog_template.is_ordinal) return w->dialog_template.ordinal;
    return w->dialog_template.name;
}

json enclosing_template(const Window* w) {
    for (; w; w = w->parent)
        if (w->is_dialog) return template_of(w);
    return nullptr;
}

}  // namespace sim
