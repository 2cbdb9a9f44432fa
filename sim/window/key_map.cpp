#include "key_map.h"

#include <SDL.h>
#include <windows.h>

#include "platform/ce_api.h"

namespace sim {

namespace {

struct KeyBinding {
    SDL_Keycode key;
    int vk;
    const char* key_name;  // as --help shows it; null: not listed (a second key for the same button)
    const char* button;
};

const KeyBinding kKeyMap[] = {
    {SDLK_LEFT, VK_LEFT, "Left", "pad left"},
    {SDLK_UP, VK_UP, "Up", "pad up"},
    {SDLK_RIGHT, VK_RIGHT, "Right", "pad right"},
    {SDLK_DOWN, VK_DOWN, "Down", "pad down"},
    {SDLK_RETURN, VK_RETURN, "Enter", "the pad's action button (13)"},
    {SDLK_KP_ENTER, VK_RETURN, nullptr, nullptr},
    {SDLK_F1, VK_APP1, "F1", "application button 1 (193)"},
    {SDLK_F2, VK_APP2, "F2", "application button 2 (194)"},
    {SDLK_F3, VK_APP3, "F3", "application button 3 (195)"},
    {SDLK_F4, VK_APP4, "F4", "application button 4 (196)"},
    {SDLK_F5, VK_DEVICE_C0, "F5", "side button 192"},
    {SDLK_F6, VK_APP6, "F6", "side button 198"},
    {SDLK_F7, VK_DEVICE_C7, "F7", "side button 199"},
    {SDLK_F8, VK_DEVICE_C8, "F8", "side button 200"},
    {SDLK_F9, VK_DEVICE_C9, "F9", "side button 201"},
};

}  // namespace

int device_key_for(int sdl_key) {
    for (const KeyBinding& b : kKeyMap)
        if (b.key == sdl_key) return b.vk;
    return 0;
}

std::string window_key_help() {
    std::string text;
    for (const KeyBinding& b : kKeyMap) {
        if (!b.key_name) continue;
        std::string name = b.key_name;
        name.resize(8, ' ');
        text += "  " + name + "  " + b.button + "\n";
    }
    text += "  F11       with --record: add an expect-screen line, the screen's picture\n"
            "            saved beside the script (NAME-N.png)\n"
            "  F12       save a picture of the window (device-window-N.png in the\n"
            "            screenshots folder)\n";
    return text;
}

}  // namespace sim
