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
#include "base/host_file.h"
#include "files/state_folder.h"
#include "base/text.h"
#include "people/expectations.h"
#include "people/script.h"
#include "people/script_user.h"
#include "shell/shell.h"
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

bool is_push_button(const Window* w) {
    DWORD type = w->style & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// Whether a person's tap at the middle of `w` reaches it (as `click` taps).
bool middle_reaches(Window* w) {
    Rect r = screen_rect(w);
    bool nothing;
    return !tap_lands_elsewhere(w, {r.left + r.width() / 2, r.top + r.height() / 2}, &nothing) && !nothing;
}

// What is in front, for the comment before an action: one line a script
// can hold.
std::string front_now() {
    std::string s = window_name_for_person(active_window());
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return s;
}

// A folder that holds what a state folder holds, and nothing else.
bool looks_like_state_copy(const std::string& dir) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        std::string name = e.path().filename().string();
        if (name != "registry.reg" && name != "store") return false;
    }
    return !ec;
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

std::string Recorder::state_copy_path(const std::string& path) {
    std::filesystem::path p(path);
    return (p.parent_path() / (p.stem().string() + ".state")).string();
}

std::string Recorder::place_problem(const Settings& s, const OutputRules& rules) {
    std::string why = rules.problem(s.path);
    if (why.empty()) why = folder_problem(s.path);
    struct stat st;
    if (why.empty() && !s.force && lstat(s.path.c_str(), &st) == 0)
        why = "a file is there already (--force records over it)";
    if (!why.empty()) return why;
    // The state it begins from, kept beside it.
    std::string state = state_copy_path(s.path);
    if (rules.inside_state_folder(state)) return "its state copy " + state + " would lie inside the state folder";
    if (lstat(state.c_str(), &st) != 0) return "";
    if (!s.force) return state + " is there already (--force records over it)";
    if (!S_ISDIR(st.st_mode) || !looks_like_state_copy(state))
        return state + " is there already and holds more than a state folder does";
    return "";
}

std::string Recorder::header(const Settings& s) {
    namespace fs = std::filesystem;
    fs::path script(s.path);
    std::string state = script.stem().string() + ".state";
    std::string out = "# Recorded in the device window (dravik-sim --record).  It begins on the device\n"
                      "# state kept beside it in " + state + "; replay it as a check on a fresh copy of\n"
                      "# that state (" + state + " itself stays as it is), from the folder it was\n"
                      "# recorded in:\n"
                      "#   " + replay_command(state_copy_path(s.path), s.profile_path, s.path) + "\n"
                      "# state: " + state + "\n";
    if (!s.profile_path.empty()) {
        // Beside the script wherever it is run from.
        std::error_code ec;
        fs::path profile = fs::absolute(s.profile_path, ec);
        fs::path folder = fs::absolute(script, ec).parent_path();
        fs::path relative = profile.lexically_proximate(folder);
        out += "# profile: " + (relative.empty() ? profile : relative).string() + "\n";
    }
    return out;
}

bool Recorder::open(const Settings& s, std::string* error) {
    // The state as it is now, before the device has done anything.
    std::string state = state_copy_path(s.path);
    std::error_code ec;
    if (s.force && std::filesystem::is_directory(state, ec) && looks_like_state_copy(state))
        std::filesystem::remove_all(state, ec);
    if (!copy_state_to_new_folder(s.state_dir, state, error)) return false;
    state_copy_ = state;
    if (!file_.open(s.path, OutputStream::Shown::WhenClosed, error)) return false;
    path_ = s.path;
    force_ = s.force;
    return file_.write(header(s), error);
}

bool Recorder::commit(std::string* error) {
    if (!file_.is_open()) return true;
    if (file_.close(error)) return true;
    // Nothing was recorded: the state it would have begun from goes too.
    std::error_code ec;
    if (!state_copy_.empty()) std::filesystem::remove_all(state_copy_, ec);
    return false;
}

// A line the file cannot take ends the recording: the run stops, and what
// was at the script's place stays as it was.
void Recorder::put(const std::string& text) {
    std::string error;
    if (!file_.write(text, &error)) {
        throw OutputFailed("dravik-sim: " + error + "; the recording stops and " + path_ + " is left as it was");
    }
}

void Recorder::line(uint64_t at, const std::string& text, const std::string& front) {
    if (!file_.is_open()) return;
    wait_until(at);
    if (!front.empty()) put("# in front: " + front + "\n");
    put(text + "\n");
}

void Recorder::wait_until(uint64_t at) {
    while (at > last_) {
        uint64_t ms = std::min(at - last_, kLongestWait);
        put("wait " + std::to_string(ms) + "\n");
        last_ += ms;
    }
}

// A tap is written as what it meant when the script's own word, replayed,
// acts on what was tapped: a message box's button is an answer to the box
// that is open, wherever its button is; the caption's OK is caption-ok; a
// button of the active window is clicked by its text (by its id where the
// text is empty or another control comes first with it), and a push button
// of another window clicked through.  A tap anywhere else (a stylus
// target, a list, the shell) is its place.
std::string Recorder::tap_meaning(int x, int y) const {
    Window* w = window_at(x, y);
    if (!w) return "";
    Window* top = top_level_of(w);
    if (top->shell) {
        bool ok = shell_caption_ok_visible() && shell_caption_ok_rect().contains(x, y);
        return ok ? "caption-ok" : "";
    }
    if (Window* b = message_box_button_at(x, y)) {
        const char* word = answer_word(b->control_id);
        return word ? std::string("answer ") + word : "";
    }
    if (w == top || !w->cls || lower(w->cls->name) != u"button") return "";
    std::vector<ScriptAction> names;
    ScriptAction by_text;
    by_text.by_text = true;
    by_text.text = to_utf8(without_prefix_marks(w->text));
    if (!by_text.text.empty() && !has_control_character(by_text.text)) names.push_back(by_text);
    ScriptAction by_id;
    by_id.control_id = w->control_id;
    if (w->control_id >= 0 && w->control_id <= 0xFFFF) names.push_back(by_id);
    auto word = [](const ScriptAction& a) {
        return a.by_text ? script_quoted(a.text) : std::to_string(a.control_id);
    };
    if (top == active_window() && middle_reaches(w))
        for (const ScriptAction& a : names)
            if (control_click_finds(a) == w) return "click " + word(a);
    if (is_push_button(w))
        for (const ScriptAction& a : names)
            if (push_button_click_through_finds(a) == w) return "click-through " + word(a);
    return "";
}

void Recorder::stylus_down(int x, int y) {
    down_ = true;
    down_x_ = x;
    down_y_ = y;
    down_at_ = clock().now_ms();
    down_meaning_ = tap_meaning(x, y);
    down_front_ = front_now();
}

void Recorder::stylus_up(int x, int y) {
    if (!down_) return;
    down_ = false;
    // Let go where it means the same: the tap it meant.
    if (!down_meaning_.empty() && tap_meaning(x, y) == down_meaning_) {
        action(down_at_, down_meaning_, down_front_);
    } else if (x == down_x_ && y == down_y_) {
        action(down_at_, "tap " + std::to_string(x) + " " + std::to_string(y), down_front_);
    } else {
        action(down_at_, "drag " + std::to_string(down_x_) + " " + std::to_string(down_y_) + " " + std::to_string(x) +
                           " " + std::to_string(y), down_front_);
    }
}

void Recorder::press(int vk) { action(clock().now_ms(), "press " + key_word(vk), front_now()); }

void Recorder::device_action(const std::string& word) {
    write_held();
    line(clock().now_ms(), word);
}

void Recorder::action(uint64_t at, const std::string& text, const std::string& front) {
    held_.push_back({at, text, front});
    poll();
}

void Recorder::poll() {
    if (!held_.empty() && !input_pending()) write_held();
}

void Recorder::write_held() {
    for (const Held& h : held_) line(h.at, h.text, h.front);
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
    // Before the actions the program has not taken yet: the screen does not
    // show them.
    line(held_.empty() ? clock().now_ms() : held_.front().at, "expect-screen " + script_word(name));
    return picture;
}

void Recorder::finish() {
    if (!file_.is_open()) return;
    write_held();
    wait_until(clock().now_ms());
}

}  // namespace sim
