// The random person of the stress user: what it looks at on the screen, its
// table of actions and weights, and the numbers it draws.
#include "people/stress_user.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <windows.h>

#include "base/output_file.h"
#include "gdi/framebuffer.h"
#include "gdi/screen.h"
#include "people/expectations.h"
#include "people/screen_reading.h"
#include "people/script.h"
#include "platform/ce_api.h"
#include "shell/shell.h"
#include "user/window.h"

namespace sim {

namespace {

// ---------------------------------------------------------------- looking at the screen

void collect_controls(Window* w, std::vector<Window*>* out) {
    for (Window* c : w->children) {
        if (c->destroyed || !is_visible(c)) continue;
        Rect r = screen_rect(c).intersect(Framebuffer::bounds());
        if (r.width() > 0 && r.height() > 0 && is_enabled_tree(c)) out->push_back(c);
        collect_controls(c, out);
    }
}

// Controls a tap can reach: visible, enabled, on the screen, in any window
// shown (the one in front first).
std::vector<Window*> tappable_controls() {
    std::vector<Window*> out;
    for (Window* t : top_level_windows())
        if (!t->destroyed && is_visible(t)) collect_controls(t, &out);
    return out;
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

std::string tap_line(int x, int y) {
    return "tap " + std::to_string(clamp(x, 0, kScreenWidth - 1)) + " " + std::to_string(clamp(y, 0, kScreenHeight - 1));
}

// The device's hardware buttons: the application buttons, the side
// buttons, the pad and its action button.
const int kButtons[] = {VK_APP1, VK_APP2,      VK_APP3,      VK_APP4, VK_DEVICE_C0, VK_APP6, VK_DEVICE_C7,
                        VK_DEVICE_C8, VK_DEVICE_C9, VK_LEFT, VK_UP,   VK_RIGHT,     VK_DOWN, VK_RETURN};

// ---------------------------------------------------------------- the rows

bool always() { return true; }
bool has_controls() { return !tappable_controls().empty(); }
bool has_target() {
    Point p;
    return find_stylus_target(&p);
}
bool has_message_box() { return front_message_box() != nullptr; }
// The top bar's OK shows and nothing covers its centre.
bool has_caption_ok() {
    if (!shell_caption_ok_visible()) return false;
    Rect r = shell_caption_ok_rect();
    Window* at = window_at(r.left + r.width() / 2, r.top + r.height() / 2);
    return at && top_level_of(at)->shell;
}
bool has_active_window() { return active_window() != nullptr; }

std::string tap_control(StressChooser& r) {
    std::vector<Window*> controls = tappable_controls();
    Window* c = controls[size_t(r.below(controls.size()))];
    Rect b = screen_rect(c).intersect(Framebuffer::bounds());
    return tap_line(r.between(b.left, b.right - 1), r.between(b.top, b.bottom - 1));
}

std::string tap_target(StressChooser& r) {
    Point p{0, 0};
    find_stylus_target(&p);
    // Mostly on the centre, sometimes beside it.
    int spread = r.below(4) == 0 ? 12 : 2;
    return tap_line(p.x + r.between(-spread, spread), p.y + r.between(-spread, spread));
}

std::string tap_anywhere(StressChooser& r) { return tap_line(r.between(0, kScreenWidth - 1), r.between(0, kScreenHeight - 1)); }

std::string press_button(StressChooser& r) {
    return "press " + std::to_string(kButtons[r.below(sizeof kButtons / sizeof kButtons[0])]);
}

// A box another window covers cannot be answered by a tap; the person
// presses the action button instead, as they would on the device.
std::string answer_box(StressChooser& r) {
    Window* box = front_message_box();
    std::vector<const char*> words;
    for (Window* button : box->children) {
        const char* word = answer_word(button->control_id);
        if (button->destroyed || !word || !is_visible(button)) continue;
        Rect b = screen_rect(button);
        bool nothing = false;
        if (tap_lands_elsewhere(button, {b.left + b.width() / 2, b.top + b.height() / 2}, &nothing) || nothing)
            continue;
        words.push_back(word);
    }
    if (words.empty()) return "press 13";
    return std::string("answer ") + words[size_t(r.below(words.size()))];
}

std::string caption_ok(StressChooser&) { return "caption-ok"; }
std::string help(StressChooser&) { return "help"; }
std::string launch(StressChooser&) { return "launch"; }

std::string wait(StressChooser& r) {
    uint64_t kind = r.below(10);
    int ms = kind < 6 ? r.between(0, 200) : kind < 9 ? r.between(200, 3000) : r.between(3000, 30000);
    return "wait " + std::to_string(ms);
}

std::string power_cycle(StressChooser&) { return "power-cycle"; }

// One name, written again and again over the last picture.
std::string keep_picture(StressChooser&) { return "screenshot stress-screen.png"; }

}  // namespace

// What the person does, and how often.  A row counts only while it can be
// done at all (an answer needs a message box); the weights of the rows
// that can be done are shares of the whole.  Change, add or drop rows here.
const std::vector<StressChooser::Row>& StressChooser::table() {
    static const std::vector<Row> rows = {
        // weight  what                                        can it be done    the action
        {30, "tap a control of a window on the screen",       has_controls,      tap_control},
        {10, "tap at or near a Screen Calibration target",   has_target,        tap_target},
        {8, "tap anywhere on the screen",                    always,            tap_anywhere},
        {15, "press a hardware button",                      always,            press_button},
        {20, "answer the message box with one of its buttons", has_message_box, answer_box},
        {3, "tap the OK button in the caption",              has_caption_ok,    caption_ok},
        {2, "choose Help",                                   has_active_window, help},
        {2, "start Dravik from the shell",                   always,            launch},
        {12, "wait: mostly a moment, sometimes seconds",     always,            wait},
        {1, "pull the battery and switch the device on again", always,          power_cycle},
        {1, "keep a picture of the screen",                  always,            keep_picture},
    };
    return rows;
}

StressChooser::StressChooser(uint64_t seed, uint64_t actions, OutputStream* record)
    : state_(seed), left_(actions), record_(record) {}

// splitmix64: small, and the same numbers everywhere.
uint64_t StressChooser::below(uint64_t n) {
    state_ += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return n ? z % n : 0;
}

bool StressChooser::next(ScriptAction* action) {
    if (left_ == 0) return false;
    --left_;
    const auto& rows = table();
    std::vector<const Row*> can;
    uint64_t total = 0;
    for (const Row& row : rows)
        if (row.weight > 0 && row.possible()) {
            can.push_back(&row);
            total += uint64_t(row.weight);
        }
    uint64_t pick = below(total);
    const Row* chosen = can.back();
    for (const Row* row : can) {
        if (pick < uint64_t(row->weight)) {
            chosen = row;
            break;
        }
        pick -= uint64_t(row->weight);
    }
    std::string line = chosen->make(*this);
    ++done_;
    std::string error;
    // A line the record cannot take (a full disk) ends the run as the
    // host's failure, not the program's.
    if (record_ && !record_->write(line + "\n", &error)) output_failed(error);
    Script parsed;
    if (!parse_script_text(line + "\n", "stress", &parsed, &error) || parsed.size() != 1) {
        std::cerr << "dravik-sim: the stress user made a line its scripts cannot hold: " << error << "\n";
        std::abort();
    }
    *action = parsed.action(0);
    action->line = int(done_);
    return true;
}

}  // namespace sim
