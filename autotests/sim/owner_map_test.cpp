// The owner map follows every change of the windows by repainting only
// what changed; after any sequence of shows, hides, moves, sizes, stacking
// changes and destructions it must be the map the windows give when worked
// out afresh, pixel by pixel, and every window must be invalid wherever it
// gained pixels.
#include "window_test_support.h"

#include <random>

#include "gdi/screen.h"
#include "user/window.h"

namespace {

class OwnerMap : public wintest::WindowTest {
protected:
    // The window that shows the screen point: the frontmost visible
    // top-level window there, then, inside its client area, the frontmost
    // visible child there, and so on down.
    static uint32_t owner_at(int x, int y) {
        const sim::Window* found = nullptr;
        for (const sim::Window* t : sim::top_level_windows())
            if ((t->style & WS_VISIBLE) && sim::screen_rect(t).contains(x, y)) {
                found = t;
                break;
            }
        for (bool deeper = found != nullptr; deeper;) {
            deeper = false;
            sim::Point o = sim::client_origin(found);
            if (!sim::client_rect(found).offset(o.x, o.y).contains(x, y)) break;
            for (const sim::Window* c : found->children)
                if ((c->style & WS_VISIBLE) && sim::screen_rect(c).contains(x, y)) {
                    found = c;
                    deeper = true;
                    break;
                }
        }
        return found ? found->handle : 0;
    }

    using Map = std::vector<uint32_t>;
    static Map expected_map() {
        Map m(size_t(sim::kScreenWidth * sim::kScreenHeight));
        for (int y = 0; y < sim::kScreenHeight; ++y)
            for (int x = 0; x < sim::kScreenWidth; ++x) m[size_t(y * sim::kScreenWidth + x)] = owner_at(x, y);
        return m;
    }

    // The map as it is, against the expected one; the first pixels that
    // differ are named.
    static ::testing::AssertionResult map_is(const Map& want) {
        const sim::Framebuffer& fb = sim::framebuffer();
        int wrong = 0;
        std::string first;
        for (int y = 0; y < sim::kScreenHeight; ++y)
            for (int x = 0; x < sim::kScreenWidth; ++x) {
                uint32_t w = want[size_t(y * sim::kScreenWidth + x)];
                if (fb.owner[y][x] == w) continue;
                if (++wrong <= 3)
                    first += " (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                             std::to_string(fb.owner[y][x]) + " for " + std::to_string(w) + ";";
            }
        if (!wrong) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << wrong << " pixels with the wrong owner:" << first;
    }

    // Every pixel a window gained between two maps lies in its update area.
    static ::testing::AssertionResult gains_are_invalid(const Map& before, const Map& after) {
        for (int y = 0; y < sim::kScreenHeight; ++y)
            for (int x = 0; x < sim::kScreenWidth; ++x) {
                size_t i = size_t(y * sim::kScreenWidth + x);
                if (after[i] == before[i] || after[i] == 0) continue;
                sim::Window* w = sim::window_from_handle(reinterpret_cast<HWND>(uintptr_t(after[i])));
                if (!w) continue;
                sim::Point o = sim::client_origin(w);
                if (!w->update.contains(x - o.x, y - o.y))
                    return ::testing::AssertionFailure()
                           << "window " << after[i] << " gained (" << x << ", " << y << ") but is not invalid there";
            }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(OwnerMap, AfterRandomShowsHidesMovesAndRestackingItIsTheMapWorkedOutAfresh) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        start_afresh();
        std::mt19937 random(seed);
        auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        std::vector<HWND> windows;
        auto make = [&](int n) {
            std::string name = "w" + std::to_string(n);
            // Top-level (some owned, some topmost), children and grandchildren,
            // some reaching past the screen's or their parent's edges.
            HWND parent = nullptr;
            DWORD style = WS_POPUP;
            DWORD ex = 0;
            int kind = windows.empty() ? 0 : between(0, 3);
            if (kind >= 2) {
                parent = windows[size_t(between(0, int(windows.size()) - 1))];
                style = WS_CHILD;
            } else if (kind == 1) {
                parent = windows[size_t(between(0, int(windows.size()) - 1))];
            }
            if (between(0, 5) == 0) ex |= WS_EX_TOPMOST;
            if (between(0, 2) > 0) style |= WS_VISIBLE;
            HWND h = create(name.c_str(), style, between(-40, 220), between(-40, 300), between(1, 200), between(1, 260),
                            parent, ex);
            if (h) windows.push_back(h);
        };
        for (int i = 0; i < 8; ++i) make(i);
        Map before = expected_map();
        ASSERT_TRUE(map_is(before));

        for (int step = 0; step < 40; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            windows.erase(std::remove_if(windows.begin(), windows.end(), [](HWND h) { return !IsWindow(h); }),
                          windows.end());
            if (windows.size() < 3) make(100 + step);
            HWND h = windows[size_t(between(0, int(windows.size()) - 1))];
            sim::Window* w = sim::window_from_handle(h);
            bool repaints = true;
            switch (between(0, 9)) {
                case 0: ShowWindow(h, SW_SHOW); break;
                case 1: ShowWindow(h, SW_SHOWNA); break;
                case 2: ShowWindow(h, SW_HIDE); break;
                case 3:
                case 4: {
                    repaints = between(0, 3) > 0;
                    MoveWindow(h, between(-40, 220), between(-40, 300), between(0, 200), between(0, 260),
                               repaints ? TRUE : FALSE);
                    break;
                }
                case 5: SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); break;
                case 6:
                    SetWindowPos(h, between(0, 1) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                                 SWP_NOMOVE | SWP_NOSIZE);
                    break;
                case 7: sim::bring_to_top(w); break;  // children too: their order among their siblings
                case 8: DestroyWindow(h); break;
                case 9: make(200 + step); break;
            }
            const Map after = expected_map();
            ASSERT_TRUE(map_is(after));
            if (repaints) {
                ASSERT_TRUE(gains_are_invalid(before, after));
            }
            before = after;
        }
    }
}

}  // namespace
