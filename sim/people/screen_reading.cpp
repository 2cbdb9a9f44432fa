#include "people/screen_reading.h"

#include "gdi/screen.h"
#include "user/window.h"

namespace sim {

std::u16string without_prefix_marks(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

Window* program_main_window(Showing showing) {
    for (Window* w : top_level_windows())
        if (!w->destroyed && w->cls && w->cls->name == u"Dravik" && (showing == Showing::ShownOrHidden || is_visible(w)))
            return w;
    return nullptr;
}

Window* front_message_box() {
    for (Window* w : top_level_windows())
        if (!w->destroyed && is_visible(w) && w->cls && w->cls->name == u"msgbox") return w;
    return nullptr;
}

bool find_stylus_target(const Rect& area, Point* centre) {
    const Framebuffer& fb = framebuffer();
    Rect a = area.intersect(Framebuffer::bounds());
    for (int y = a.top; y < a.bottom; ++y) {
        int run = 0;
        for (int x = a.left; x <= a.right; ++x) {
            if (x < a.right && fb.pixels[y][x] == 0) {
                ++run;
                continue;
            }
            if (run >= 39 && run <= 43) {
                int cx = x - run + run / 2;
                // The vertical stroke crosses here.
                if ((y + 6 < kScreenHeight && fb.pixels[y + 6][cx] == 0) || (y - 6 >= 0 && fb.pixels[y - 6][cx] == 0)) {
                    *centre = {cx, y};
                    return true;
                }
            }
            run = 0;
        }
    }
    return false;
}

}  // namespace sim
