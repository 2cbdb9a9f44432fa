#include "user/modal_loop.h"

#include "user/message_queue.h"
#include "user/window.h"

namespace sim {

HWND disable_owner(Window* owner) {
    if (!owner || (owner->style & WS_DISABLED)) return nullptr;
    enable_window(owner, false);
    return handle_of(owner);
}

ModalExit run_modal_loop(HWND window, const std::function<bool()>& ended,
                         const std::function<bool(MSG&)>& keyboard) {
    ModalExit exit;
    MSG msg;
    while (window_from_handle(window) && !ended()) {
        next_message(&msg, MessageFilter{}, WhenIdle::Wait, Removal::Remove);
        if (msg.message == WM_QUIT) {
            exit.quit = true;
            exit.quit_code = int(msg.wParam);
            break;
        }
        if (keyboard(msg)) continue;
        TranslateMessage(&msg);
        dispatch(msg);
    }
    return exit;
}

void close_modal_window(HWND window, HWND disabled_owner, const ModalExit& exit) {
    if (Window* owner = window_from_handle(disabled_owner)) enable_window(owner, true);
    if (Window* w = window_from_handle(window)) destroy_window(w);
    if (exit.quit) post_quit(exit.quit_code);
}

}  // namespace sim
