// The message loop of a modal window, a dialog box or a message box: the
// owner is disabled while it runs, the messages go through the window's
// keyboard interface first, and a WM_QUIT ends it and is posted again for
// the loop outside.
#pragma once

#include <functional>

#include <windows.h>

namespace sim {

struct Window;

// Disables the owner of a modal window for as long as it runs.  Returns
// the owner to enable again at the end, or null when there is none or it
// was disabled already (it stays so).
HWND disable_owner(Window* owner);

// How a modal loop ended: the window ended it or went, or a WM_QUIT came.
struct ModalExit {
    bool quit = false;
    int quit_code = 0;
};

// Runs the modal loop of `window` until `ended` says so or the window is
// gone.  Each message goes to `keyboard` first, which returns true when it
// dealt with it (a key the window's keyboard interface takes); the others
// are translated and dispatched.
ModalExit run_modal_loop(HWND window, const std::function<bool()>& ended,
                         const std::function<bool(MSG&)>& keyboard);

// After the loop: the owner that disable_owner() disabled is enabled again
// (so that the activation can go back to it), the window is destroyed, and
// a WM_QUIT that ended the loop is posted again.
void close_modal_window(HWND window, HWND disabled_owner, const ModalExit& exit);

}  // namespace sim
