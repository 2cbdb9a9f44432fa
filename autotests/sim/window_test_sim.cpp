// The window tests' backend on the simulated device: each test boots a
// fresh device on a virtual clock, and the queued steps are the person who
// acts whenever the program waits and nothing is due.
#include "window_test_support.h"

#include "base/clock.h"
#include "device/power.h"
#include "gdi/framebuffer.h"
#include "user/input.h"
#include "gdi/screen.h"
#include "shell/shell.h"
#include "base/text.h"
#include "base/person.h"
#include "user/window.h"

namespace wintest {

const bool kOnDevice = true;

bool device_only(const char*) { return true; }
bool documented_only(const char*) { return true; }

namespace {

sim::VirtualClock g_clock{0};

// Runs the test's steps when the program waits; switches the device off
// when there are none left.
class TestPerson : public sim::Person {
public:
    void idle(std::optional<uint64_t> next_due) override {
        next_due_ = next_due;
        if (!steps_ || !steps_->run_next()) throw sim::PowerOff{};
    }
    StepUser* steps_ = nullptr;
    std::optional<uint64_t> next_due_;
};

TestPerson g_person;

}  // namespace

void WindowTest::start_backend() {
    g_clock = sim::VirtualClock{0};
    g_person.steps_ = &user_;
    g_person.next_due_.reset();
    sim::set_clock(&g_clock);
    sim::set_person(&g_person);
    sim::tear_down_device();
    sim::boot_device();
}

void WindowTest::stop_backend() {
    sim::tear_down_device();
    sim::set_person(nullptr);
    sim::set_clock(nullptr);
    g_person.steps_ = nullptr;
}

std::string WindowTest::default_name(HWND h, bool* titled) {
    sim::Window* w = sim::window_from_handle(h);
    std::string name = w ? sim::to_utf8(w->text) : "?";
    if (titled) *titled = !name.empty();
    if (name.empty() && w && w->cls) name = sim::to_utf8(w->cls->name);
    return name;
}

bool WindowTest::virtual_clock() { return true; }
uint64_t WindowTest::now_ms() { return g_clock.now_ms(); }

void WindowTest::pump() {
    MSG m;
    try {
        for (int i = 0; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(int(m.wParam));  // left for the test's own loop
                return;
            }
            if (i > 10000) {
                ADD_FAILURE() << "the queue never empties (last: " << message_name(m.message) << ")";
                return;
            }
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    } catch (const sim::PowerOff&) {
        ADD_FAILURE() << "a modal loop was still running when the user had nothing more to do";
    }
}

bool WindowTest::run_loop(int* quit_code) {
    MSG m;
    try {
        while (GetMessageW(&m, nullptr, 0, 0)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    } catch (const sim::PowerOff&) {
        return false;
    }
    if (quit_code) *quit_code = int(m.wParam);
    return true;
}

int WindowTest::ask(HWND owner, const WCHAR* text, const WCHAR* caption, UINT style) {
    try {
        return MessageBoxW(owner, text, caption, style);
    } catch (const sim::PowerOff&) {
        ADD_FAILURE() << "the message box was still open when the user had nothing more to do";
        return -2;
    }
}

INT_PTR WindowTest::run_dialog(DialogTemplateBuilder& t, HWND owner, LPARAM init) {
    try {
        return DialogBoxIndirectParamW(nullptr, t.get(), owner, dialog_proc, init);
    } catch (const sim::PowerOff&) {
        ADD_FAILURE() << "the dialog was still open when the user had nothing more to do";
        return -2;
    }
}

void WindowTest::then_advance_to_next_timer() {
    then([] {
        ASSERT_TRUE(g_person.next_due_.has_value()) << "no timer is set";
        g_clock.advance_to(*g_person.next_due_);
    });
}

void WindowTest::queue_tap(int x, int y) {
    sim::queue_input({sim::RawInput::StylusDown, x, y, 0});
    sim::queue_input({sim::RawInput::StylusUp, x, y, 0});
}

void WindowTest::queue_stroke(int down_x, int down_y, int up_x, int up_y) {
    sim::queue_input({sim::RawInput::StylusDown, down_x, down_y, 0});
    sim::queue_input({sim::RawInput::StylusUp, up_x, up_y, 0});
}

void WindowTest::queue_press(int vk) {
    sim::queue_input({sim::RawInput::KeyDown, 0, 0, vk});
    sim::queue_input({sim::RawInput::KeyUp, 0, 0, vk});
}

void WindowTest::queue_key(int vk, bool down) {
    sim::queue_input({down ? sim::RawInput::KeyDown : sim::RawInput::KeyUp, 0, 0, vk});
}

HWND WindowTest::message_box() {
    for (sim::Window* w : sim::top_level_windows())
        if (!w->destroyed && sim::is_visible(w) && w->cls && w->cls->name == u"msgbox") return sim::handle_of(w);
    return nullptr;
}

uint16_t WindowTest::pixel(int x, int y) { return sim::framebuffer().pixels[y][x]; }

uint16_t WindowTest::colour(COLORREF c) { return sim::colorref_to_565(c); }

std::vector<uint16_t> WindowTest::screen_pixels() {
    const auto& fb = sim::framebuffer();
    return std::vector<uint16_t>(&fb.pixels[0][0], &fb.pixels[0][0] + sizeof fb.pixels / sizeof fb.pixels[0][0]);
}

RECT WindowTest::work_area() {
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (sim::shell_task_bar_visible()) {
        RECT bar;
        GetWindowRect(sim::handle_of(sim::shell_task_bar()), &bar);
        r.top = bar.bottom;
    }
    return r;
}

std::vector<std::string> WindowTest::z_order(bool system) const {
    std::vector<std::string> out;
    for (sim::Window* w : sim::top_level_windows()) {
        if (w->destroyed || !sim::is_visible(w)) continue;
        std::string name = name_of(sim::handle_of(w));
        if (name.empty() && w->cls) {
            name = sim::to_utf8(w->cls->name);
            if (name != "msgbox" && !system) continue;
        }
        out.push_back(name);
    }
    return out;
}

HWND WindowTest::window_at(int x, int y) { return sim::handle_of(sim::window_at(x, y)); }

std::vector<HWND> WindowTest::visible_windows() {
    std::vector<HWND> out;
    for (sim::Window* w : sim::all_windows())
        if (!w->destroyed && sim::is_visible(w)) out.push_back(sim::handle_of(w));
    return out;
}

}  // namespace wintest
