// The window system's objects: classes, windows, the window tree and the
// z-order of top-level windows, and the owner map that gives each screen
// pixel to the window that shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/ce_api.h"

#include "gdi/geometry.h"

namespace sim {

struct Process;

struct WindowClass {
    std::u16string name;
    WNDPROC proc = nullptr;
    UINT style = 0;
    HBRUSH background = nullptr;
    HINSTANCE instance = nullptr;
    int window_extra = 0;
    Process* process = nullptr;  // null for the shell's classes and the system's
    bool system = false;         // the system's own classes ("button", "static", ...)
    ATOM atom = 0;
};

// A dialog's template as its resource names it: a number or a name.
struct TemplateName {
    bool present = false;
    bool is_ordinal = false;
    int ordinal = 0;
    std::string name;
};

struct Window {
    uint32_t handle = 0;
    // Counts the windows made since power-on from 1 (the shell's and the
    // message boxes' included): the journal's way to tell windows apart.
    uint32_t number = 0;
    WindowClass* cls = nullptr;
    WNDPROC proc = nullptr;
    DLGPROC dialog_proc = nullptr;  // dialogs only
    DWORD style = 0;
    DWORD ex_style = 0;
    std::u16string text;
    Window* parent = nullptr;            // child windows
    Window* owner = nullptr;             // top-level windows
    std::vector<Window*> children;       // front to back
    int control_id = 0;
    HINSTANCE instance = nullptr;
    Process* process = nullptr;
    Rect rect;  // window rectangle: screen coordinates (top-level) or parent client coordinates (child)
    Rect update;  // update region's bounds, client coordinates
    bool erase_pending = false;
    unsigned validations = 0;  // how often BeginPaint or ValidateRect emptied the update region
    bool destroyed = false;
    bool topmost = false;
    bool shell = false;          // the shell's own windows: never activated
    bool journaled = true;       // create/destroy go into the journal
    LONG_PTR user_data = 0;
    std::vector<LONG_PTR> extra;
    // Dialogs.
    bool is_dialog = false;
    LONG_PTR dialog_result = 0;
    LONG_PTR dialog_user = 0;
    bool dialog_ended = false;
    INT_PTR end_code = 0;
    HWND dialog_focus = nullptr;  // control to give the focus back to on activation
    TemplateName dialog_template;  // the resource the dialog was made from
    // Top-level windows that own others: the one of their group that was
    // active last (GetLastActivePopup).
    Window* last_active = nullptr;
    // Shell attributes.
    bool caption_ok = false;      // an OK/Done button in the top bar while active
    bool has_nav_text = false;
    std::u16string nav_text;
    HFONT font = nullptr;         // WM_SETFONT for controls and dialogs
    std::shared_ptr<void> control;  // a control's own state
};

// Handle <-> window.
Window* window_from_handle(HWND h);  // null for an unknown or destroyed handle
HWND handle_of(const Window* w);

// Classes.
// The process's class of that name, else the system's.
WindowClass* find_class(const std::u16string& name, Process* process);
WindowClass* register_system_class(const std::u16string& name, WNDPROC proc, HBRUSH background);
// Gives the class the atom of its name (names that differ only in case
// share one) and keeps it.
WindowClass* register_class(const WindowClass& wc);
enum class Unregistered { Done, NoSuchClass, HasWindows };
// A class goes only when no window of it is left.
Unregistered unregister_class(const std::u16string& name, Process* process);
// The name an atom stands for: a class name registered under it, or "".
std::u16string class_name_of_atom(ATOM atom);

// Creation and destruction (messages as the Win32 documents them).
struct CreateParams {
    DWORD ex_style = 0;
    std::u16string class_name;
    std::u16string title;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
    bool shell = false;
    bool journaled = true;
    bool is_dialog = false;
    DLGPROC dialog_proc = nullptr;
    TemplateName dialog_template;
};
Window* create_window(const CreateParams& p);
bool destroy_window(Window* w);
// Removes a process's windows at its end without calling their procedures.
void discard_process_windows(Process* process);
void discard_all_windows();

// The shell above is told through this hook when the active window, a
// top-level window's title or its OK button changes (its task bar shows
// them); the window manager does not call the shell itself.
void set_window_change_hook(void (*hook)());
void announce_window_change();

// Whether an invalidated area's background is erased (WM_ERASEBKGND)
// before it is painted.
enum class Erase { No, Yes };
// Whether moving or sizing a window repaints anything.
enum class Repaint { No, Yes };
// Whether showing a top-level window makes it the active one, or leaves
// the active window as it is (SW_SHOWNA, SWP_NOACTIVATE).
enum class Activation { Activate, KeepActive };

// The window tree.
Window* top_level_of(Window* w);
// Whether `w` is `outer` or lies inside it (its child, a child's child...).
// False when either is null.
bool is_inside(const Window* w, const Window* outer);
// Whether `w` is `owner` or is owned by it, directly or through windows
// that it owns.  False when either is null.
bool is_in_group(const Window* w, const Window* owner);

// Geometry.
Rect screen_rect(const Window* w);         // the window's rectangle on the screen
Rect client_rect(const Window* w);         // (0, 0, width, height)
Point client_origin(const Window* w);      // screen position of client (0, 0)
bool is_visible(const Window* w);          // itself and every ancestor visible
bool is_enabled_tree(const Window* w);     // itself and every ancestor enabled
// Moves and sizes the window (WM_MOVE, WM_SIZE).  With Repaint::Yes the
// window, its children and whatever the move uncovers are invalidated;
// with Repaint::No nothing is, and the screen keeps what it showed until
// someone paints.
void set_window_rect(Window* w, const Rect& r, Repaint repaint);
// Shows the window (WM_SHOWWINDOW), invalidates it and, for a top-level
// window that is not the shell's, activates it when asked to.
void show_window(Window* w, Activation activation);
// Hides the window; the activation and the focus leave it.
void hide_window(Window* w);
// Returns whether the window was disabled before.
bool enable_window(Window* w, bool enable);
void bring_to_top(Window* w);
void set_topmost(Window* w, bool topmost);
// Puts the window just behind `behind`, one of its siblings, or with null
// at the bottom.  A top-level window keeps to the topmost band or out of
// it, unless it goes behind a window that is not topmost, or to the
// bottom: then it is topmost no more; windows stay in front of their owner.
void place_behind(Window* w, Window* behind);

// The z-ordered list of top-level windows, front first.
const std::vector<Window*>& top_level_windows();
std::vector<Window*> all_windows();

// Owner map and invalidation.
void recompute_owner_map();  // also invalidates what became visible
void invalidate(Window* w, const Rect* client_area, Erase erase);
void invalidate_all(Erase erase);
void validate(Window* w, const Rect* client_area);
Window* window_at(int x, int y);  // the deepest visible window owning the screen pixel
// Where a stylus at the screen point lands, honouring HTTRANSPARENT.
Window* window_from_point(int x, int y);
// The first window with something to paint: `within` (null: any window)
// or a window inside it.
Window* find_window_needing_paint(Window* within);
void update_window(Window* w);  // paints now what is invalid (and the children)

// Activation and focus.
Window* active_window();
Window* focus_window();
// WA_ACTIVE or WA_CLICKACTIVE; null deactivates.  A disabled window is never
// activated: its last active enabled owned window is instead, if it has one
// (the dialog or message box that disabled it), else nothing changes.
// The focus follows: once the new window's WM_ACTIVATE has returned, a
// focus that is not inside it moves to the window itself (the default
// procedure's answer to WM_ACTIVATE has usually moved it there already);
// with no window active there is no focus.
void activate(Window* w, int how);
// The window of w's group (w and the windows it owns) that was active last,
// when it is visible and enabled; else w.
Window* last_active_popup(Window* w);
void activate_next_after(Window* gone);
// `w` is hidden or going: the focus, when it is inside w, moves to w's
// parent (nowhere for a top-level window), which hears WM_SETFOCUS after
// the window that had it heard WM_KILLFOCUS.
void focus_leaves(Window* w);
HWND set_focus(Window* w);
Window* capture_window();
void set_capture(Window* w);

// Sends a message to a window procedure (dialogs through their dialog manager).
LRESULT send(Window* w, UINT msg, WPARAM wp, LPARAM lp);

// Frees the windows destroyed so far, when nothing can hold one any more:
// called whenever the device waits for its person, it does nothing while
// a window procedure runs (the calls below it may still hold a destroyed
// window).  A destroyed window that a live one names as its owner, or that
// a device context still draws for, stays until they are gone.  Handles
// and numbers are never given again, so a freed window's handle stays as
// unknown as a destroyed one's.
void free_destroyed_windows();
// How many windows the system holds, destroyed ones not yet freed included.
size_t windows_held();

// Journal helpers.
std::string describe(const Window* w);  // the window's title, for the journal
Window* find_child_by_id(Window* parent, int id);

// What the window system must hold, checked where it changes.  The
// top-level list: live top-level windows only, the topmost band in front of
// the rest, and within a band each owned window in front of its owner.
bool window_list_ok(const std::vector<Window*>& top_level);
// The active window is a live top-level window or none (a hidden one may be
// active: a dialog takes the focus before it shows); the focus is a live
// window inside the active one, or none (a window may be active without
// the focus).  Only while the activation passes on may the focus still be
// in a window that is losing it (`leaving`, see activate()).
bool activation_ok(const Window* active, const Window* focus, const std::vector<Window*>& leaving = {});

}  // namespace sim
