#include "recorder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <windows.h>

#include "kernel/clock.h"
#include "gdi/framebuffer.h"
#include "user/input.h"
#include "device/journal.h"
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

Recorder::~Recorder() {
    if (file_) std::fclose(file_);
}

bool Recorder::open(const std::string& path, const std::string& header, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        *error = path + ": cannot record into it: it is a folder";
        return false;
    }
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        *error = path + ": cannot record into it: " + std::strerror(errno);
        return false;
    }
    path_ = path;
    std::fputs(header.c_str(), file_);
    std::fflush(file_);
    return true;
}

void Recorder::line(uint64_t at, const std::string& text) {
    if (!file_) return;
    wait_until(at);
    std::fputs((text + "\n").c_str(), file_);
    if (std::fflush(file_) != 0 && !write_failed_) {
        write_failed_ = true;
        std::cerr << "dravik-sim: cannot write to " << path_ << ": " << std::strerror(errno) << "\n";
    }
}

void Recorder::wait_until(uint64_t at) {
    while (at > last_) {
        uint64_t ms = std::min(at - last_, kLongestWait);
        std::fputs(("wait " + std::to_string(ms) + "\n").c_str(), file_);
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
    if (!file_) return "";
    std::filesystem::path script(path_);
    std::string name = script.stem().string() + "-" + std::to_string(++pictures_) + ".png";
    std::string picture = (script.parent_path() / name).string();
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
    if (!file_) return;
    write_held();
    wait_until(clock().now_ms());
    std::fflush(file_);
}

}  // namespace sim
