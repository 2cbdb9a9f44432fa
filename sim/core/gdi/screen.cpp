#include "gdi/screen.h"

namespace sim {

Framebuffer& framebuffer() {
    static Framebuffer fb;
    return fb;
}

Rect default_window_area() { return {0, kTaskBarHeight, kScreenWidth, kScreenHeight}; }

}  // namespace sim
