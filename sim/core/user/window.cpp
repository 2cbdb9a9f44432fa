// Windows and their classes: handles, creation, destruction and freeing.
#include "user/window.h"

#include <algorithm>
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
#include "base/verify.h"
#include "user/window_state.h"


namespace sim {

WindowSystem& ws() {
    static WindowSystem s;
    return s;
}

void collect_tree(Window* w, std::vector<Window*>& out) {
    out.push_back(w);
    for (Window* c : w->children) collect_tree(c, out);
}

void unlink_window(Window* w) {
    if (w->parent) {
        auto& s = w->parent->children;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
    } else {
        auto& s = ws().top_level;
        s.erase(std::remove(s.begin(), s.end(), w), s.end());
    }
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
    focus_leaves(w);
    if (!window_from_handle(h)) return true;

    std::vector<Window*> tree;
    collect_tree(w, tree);
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
    unlink_window(w);
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
        if (w->parent && !w->parent->destroyed) unlink_window(w);
        if (!w->parent) unlink_window(w);
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
    VERIFY(activation_ok(ws().active, ws().focus, ws().leaving));
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
