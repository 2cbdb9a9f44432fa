// Hardware input: the stylus and the buttons, queued as they happen and
// turned into window messages when the program fetches them.
#pragma once

#include <functional>

#include <windows.h>

namespace sim {

struct RawInput {
    enum Kind { StylusDown, StylusMove, StylusUp, KeyDown, KeyUp } kind;
    int x = 0, y = 0;  // screen pixels (stylus)
    int vk = 0;        // key code (buttons)
};

void queue_input(const RawInput& in);
// Told of each input as it is queued (one watcher; an empty function
// removes it): the device window marks where a script's taps land.
void set_input_watcher(std::function<void(const RawInput&)> watcher);
bool input_pending();
// Turns the oldest input into a message; false when it produced none (a
// tap on a disabled window, a button the shell keeps).
bool take_input(MSG* out);
void clear_input();
// Whether the button was down when the last key message was made from
// input (GetKeyState: the state that goes with the message being handled).
bool key_is_down(int vk);

}  // namespace sim
