#include "people/screen_reading.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>

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

std::string shown_text(const std::u16string& text) { return to_utf8(without_prefix_marks(text)); }

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

namespace {

// The stroke's run of black pixels is 39 to 43 long.  Such a run covers 4
// or 5 whole blocks of 8 pixels (counted from the row's start) and no
// more: so a row is looked at block by block, and only a run of 4 or 5
// black blocks is measured pixel by pixel.
constexpr int kBlocks = kScreenWidth / 8;

bool black_block(const uint16_t* row, int block) {
    const uint16_t* p = row + 8 * block;
#if defined(__SSE2__)
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(v, _mm_setzero_si128())) == 0xFFFF;
#else
    uint64_t a, b;
    std::memcpy(&a, p, sizeof a);
    std::memcpy(&b, p + 4, sizeof b);
    return (a | b) == 0;
#endif
}

// Whether the row may hold such a run, looked at cheaply first: the run
// covers 9 whole groups of 4 pixels too, so one of every ninth group is
// black.
bool may_hold_stroke(const uint16_t* row) {
    for (int group = 0; group < kScreenWidth / 4; group += 9) {
        uint64_t four;
        std::memcpy(&four, row + 4 * group, sizeof four);
        if (four == 0) return true;
    }
    return false;
}

}  // namespace

bool find_stylus_target(Point* centre) {
    const Framebuffer& fb = framebuffer();
    for (int y = kTaskBarHeight; y < kScreenHeight; ++y) {
        const uint16_t* row = fb.pixels[y];
        if (!may_hold_stroke(row)) continue;
        for (int block = 0; block < kBlocks;) {
            if (!black_block(row, block)) {
                ++block;
                continue;
            }
            int end = block + 1;
            while (end < kBlocks && black_block(row, end)) ++end;
            if (end - block == 4 || end - block == 5) {
                int left = 8 * block, right = 8 * end;
                while (left > 0 && row[left - 1] == 0) --left;
                while (right < kScreenWidth && row[right] == 0) ++right;
                int run = right - left;
                if (run >= 39 && run <= 43) {
                    int cx = left + run / 2;
                    if ((y + 6 < kScreenHeight && fb.pixels[y + 6][cx] == 0) ||
                        (y - 6 >= 0 && fb.pixels[y - 6][cx] == 0)) {
                        *centre = {cx, y};
                        return true;
                    }
                }
            }
            block = end;
        }
    }
    return false;
}

}  // namespace sim
