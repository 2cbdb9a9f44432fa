#include "recorder.h"

#include <sys/stat.h>

#include <filesystem>

#include <windows.h>

#include "base/clock.h"
#include "gdi/framebuffer.h"
#include "user/input.h"
#include "base/journal.h"
#include "base/person.h"
#include "device/png.h"
#include "gdi/screen.h"
#include "people/script.h"
#include "user/window.h"

namespace sim {

namespace {

// The longest wait a script line holds.
const uint64_t kLongestWait = 86400000;

// The button of a message box under screen pixel (x, y), if any.
Window* message_box_button_at(int x, int y) {
    Window* w = window_at(x, y);
    if (!w || !w->parent || !w->parent->cls || w->parent->cls->name != u"msgbox") return nullptr;
    if (!w->cls || w->cls->name != u"button") return nullptr;
    return w;
}

std::string key_word(int vk) {
    switch (vk) {
        case VK_RETURN: return "action";
        case VK_LEFT: return "left";
        case VK_UP: return "up";
        case VK_RIGHT: return "right";
        case VK_DOWN: return "down";
        default: return std::to_string(vk);
    }
}

}  // namespace

std::string Recorder::place_problem(const std::string& path, bool force, const OutputRules& rules) {
    std::string why = rules.problem(path);
    if (why.empty()) why = folder_problem(path);
    struct stat st;
    if (why.empty() && !force && lstat(path.c_str(), &st) == 0)
        why = "a file is there already (--force records over it)";
    return why;
}

bool Recorder::open(const std::string& path, const std::string& header, bool force, std::string* error) {
    if (!file_.open(path, OutputStream::Shown::WhenClosed, error)) return false;
    path_ = path;
    force_ = force;
    return file_.write(header, error);
}

bool Recorder::commit(std::string* error) {
    if (!file_.is_open()) return true;
    return file_.close(error);
}

// A line the file cannot take ends the recording: the run stops, and what
// was at the script's place stays as it was.
void Recorder::put(const std::string& text) {
    std::string error;
    if (!file_.write(text, &error)) {
        throw OutputFailed("dravik-sim: " + error + "; the recording stops and " + path_ + " is left as it was");
    }
}

void Recorder::line(uint64_t at, const std::string& text) {
    if (!file_.is_open()) return;
    wait_until(at);
    put(text + "\n");
}

void Recorder::wait_until(uint64_t at) {
    while (at > last_) {
        uint64_t ms = std::min(at - last_, kLongestWait);
        put("wait " + std::to_string(ms) + "\n");
        last_ += ms;
    }
}

void Recorder::stylus_down(int x, int y) {
    down_ = true;
    down_x_ = x;
    down_y_ = y;
    down_at_ = clock().now_ms();
    // A tap on a message box's button is an answer to it; a replay then
    // answers the box that is open, wherever its button is.
    Window* b = message_box_button_at(x, y);
    answer_ = b ? answer_word(b->control_id) : nullptr;
    down_button_ = b && answer_ ? b->handle : 0;
}

void Recorder::stylus_up(int x, int y) {
    if (!down_) return;
    down_ = false;
    Window* b = message_box_button_at(x, y);
    if (answer_ && b && b->handle == down_button_) {
        action(down_at_, std::string("answer ") + answer_);
    } else if (x == down_x_ && y == down_y_) {
        action(down_at_, "tap " + std::to_string(x) + " " + std::to_string(y));
    } else {
        action(down_at_, "drag " + std::to_string(down_x_) + " " + std::to_string(down_y_) + " " + std::to_string(x) +
                           " " + std::to_string(y));
    }
}

void Recorder::press(int vk) { action(clock().now_ms(), "press " + key_word(vk)); }

void Recorder::action(uint64_t at, const std::string& text) {
    held_.push_back({at, text});
    poll();
}

void Recorder::poll() {
    if (!held_.empty() && !input_pending()) write_held();
}

void Recorder::write_held() {
    for (const Held& h : held_) line(h.at, h.text);
    held_.clear();
}

std::string Recorder::expect_screen(std::string* error) {
    if (!file_.is_open()) return "";
    std::filesystem::path script(path_);
    std::string name, picture;
    struct stat st;
    do {
        name = script.stem().string() + "-" + std::to_string(++pictures_) + ".png";
        picture = (script.parent_path() / name).string();
    } while (!force_ && lstat(picture.c_str(), &st) == 0);
    bool ok = write_png(framebuffer(), picture, 1, error);
    log_event("screenshot", {{"file", picture}, {"ok", ok}});
    if (!ok) return "";
    bool plain = name.find_first_of(" \t#\"\\") == std::string::npos;
    std::string word = name;
    if (!plain) {
        word = "\"";
        for (char c : name) word += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
        word += "\"";
    }
    // Before the actions the program has not taken yet: the screen does not
    // show them.
    line(held_.empty() ? clock().now_ms() : held_.front().at, "expect-screen " + word);
    return picture;
}

void Recorder::finish() {
    if (!file_.is_open()) return;
    write_held();
    wait_until(clock().now_ms());
}

}  // namespace sim
