#include "script_user.h"

#include "clock.h"
#include "gapi.h"
#include "demo_user.h"
#include "input.h"
#include "journal.h"
#include "message_queue.h"
#include "process.h"
#include "screen.h"
#include "shell.h"
#include "text.h"
#include "window.h"

namespace sim {

std::string screenshot_path(const std::string& dir, const std::string& file) {
    if (file.empty() || file[0] == '/' || dir.empty()) return file;
    return dir + "/" + file;
}

bool take_screenshot(const std::string& path, std::string* error) {
    bool ok = write_png(framebuffer(), path, 1, error);
    log_event("screenshot", {{"file", path}, {"ok", ok}});
    return ok;
}

namespace {

void tap_at(int x, int y) {
    queue_input({RawInput::StylusDown, x, y, 0});
    queue_input({RawInput::StylusUp, x, y, 0});
}

void tap_centre(Window* w) {
    Rect r = screen_rect(w);
    tap_at(r.left + r.width() / 2, r.top + r.height() / 2);
}

Window* find_descendant(Window* w, const std::function<bool(Window*)>& match) {
    for (Window* c : w->children) {
        if (c->destroyed) continue;
        if (match(c)) return c;
        if (Window* d = find_descendant(c, match)) return d;
    }
    return nullptr;
}

std::u16string without_prefix_marks(const std::u16string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

// A push button of the program's windows (the active one first, then the
// others front to back) with the action's id or text.
Window* find_program_control(const ScriptAction& a) {
    std::u16string wanted = to_u16(a.text);
    auto match = [&](Window* w) {
        if (!w->cls || lower(w->cls->name) != u"button") return false;
        DWORD type = w->style & BS_TYPEMASK;
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return false;
        if (a.by_text) return w->text == wanted || without_prefix_marks(w->text) == wanted;
        return w->control_id == a.control_id;
    };
    std::vector<Window*> tops;
    if (Window* active = active_window()) tops.push_back(active);
    for (Window* t : top_level_windows())
        if (t != active_window() && !t->shell && !t->destroyed) tops.push_back(t);
    for (Window* t : tops)
        if (Window* c = find_descendant(t, match)) return c;
    return nullptr;
}

Window* open_message_box() {
    for (Window* w : top_level_windows())
        if (!w->destroyed && is_visible(w) && w->cls && w->cls->name == u"msgbox") return w;
    return nullptr;
}

class ScriptUser : public User {
public:
    ScriptUser(const RunOptions& o, MoreActions more)
        : script_(o.script), dir_(o.screenshots_dir), more_(std::move(more)) {}
    ~ScriptUser() override { set_frame_observer(nullptr); }

    void idle(std::optional<uint64_t> next_due) override {
        if (wait_until_) {
            if (next_due && *next_due <= *wait_until_) {
                clock().advance_to(*next_due);
                return;
            }
            clock().advance_to(*wait_until_);
            wait_until_.reset();
            return;
        }
        if (next_ >= script_.actions.size()) {
            ScriptAction a;
            if (!more_ || !more_(&a)) throw PowerOff{};
            script_.actions.push_back(std::move(a));
        }
        const ScriptAction a = script_.actions[next_++];
        perform(a);
    }

private:
    [[noreturn]] void fail(const ScriptAction& a, const std::string& what) {
        throw ScriptError(script_.path + ":" + std::to_string(a.line) + ": " + what);
    }

    void perform(const ScriptAction& a) {
        json in = {{"action", script_action_name(a.kind)}, {"line", a.line}};
        switch (a.kind) {
            case ScriptAction::Tap:
                in["x"] = a.x;
                in["y"] = a.y;
                log_event("input", in);
                tap_at(a.x, a.y);
                break;
            case ScriptAction::Press:
                in["key"] = a.key;
                log_event("input", in);
                queue_input({RawInput::KeyDown, 0, 0, a.key});
                queue_input({RawInput::KeyUp, 0, 0, a.key});
                break;
            case ScriptAction::Answer: {
                in["answer"] = a.word;
                log_event("input", in);
                Window* box = open_message_box();
                if (!box) fail(a, "no message box is open");
                int id = a.word == "ok" ? IDOK : a.word == "cancel" ? IDCANCEL : a.word == "yes" ? IDYES : IDNO;
                Window* button = find_child_by_id(box, id);
                if (!button) fail(a, "the message box has no \"" + a.word + "\" button");
                tap_centre(button);
                break;
            }
            case ScriptAction::Click: {
                if (a.by_text)
                    in["text"] = a.text;
                else
                    in["id"] = a.control_id;
                log_event("input", in);
                Window* top = active_window();
                if (!top) fail(a, "no window is active");
                std::u16string wanted = to_u16(a.text);
                Window* c = find_descendant(top, [&](Window* w) {
                    if (a.by_text) return w->text == wanted || without_prefix_marks(w->text) == wanted;
                    return w->control_id == a.control_id;
                });
                if (!c) {
                    fail(a, a.by_text ? "the active window has no control \"" + a.text + "\""
                                      : "the active window has no control " + std::to_string(a.control_id));
                }
                tap_centre(c);
                break;
            }
            case ScriptAction::ClickThrough: {
                if (a.by_text)
                    in["text"] = a.text;
                else
                    in["id"] = a.control_id;
                log_event("input", in);
                // The button clicks itself, as a tap on it would make it do,
                // when the program next fetches its messages; a disabled one
                // ignores it as it ignores taps.
                Window* c = find_program_control(a);
                if (!c) {
                    fail(a, a.by_text ? "the program has no push button \"" + a.text + "\""
                                      : "the program has no push button " + std::to_string(a.control_id));
                }
                if (is_visible(c) && is_enabled_tree(c)) post(handle_of(c), BM_CLICK, 0, 0);
                break;
            }
            case ScriptAction::CaptionOk: {
                log_event("input", in);
                if (!shell_caption_ok_visible()) fail(a, "the top bar shows no OK button");
                Rect r = shell_caption_ok_rect();
                tap_at(r.left + r.width() / 2, r.top + r.height() / 2);
                break;
            }
            case ScriptAction::Help: {
                log_event("input", in);
                Window* top = active_window();
                if (!top) fail(a, "no window is active to ask for help");
                post(handle_of(top), WM_HELP, 0, 0);
                break;
            }
            case ScriptAction::Launch:
                log_event("input", in);
                run_program(u"\\Windows\\Dravik.exe", u"", nullptr);
                break;
            case ScriptAction::PowerCycle:
                log_event("input", in);
                throw PowerCycle{};
            case ScriptAction::Wait:
                in["ms"] = a.ms;
                log_event("input", in);
                wait_until_ = clock().now_ms() + uint64_t(a.ms);
                break;
            case ScriptAction::Screenshot: {
                std::string error;
                if (!take_screenshot(screenshot_path(dir_, a.file), &error)) fail(a, error);
                break;
            }
            case ScriptAction::ScreenshotFrame:
                // Taken later, while the program draws; nothing waits for it.
                frame_shots_.push_back(a);
                set_frame_observer([this](int call) { frame_shown(call); });
                break;
        }
    }

    void frame_shown(int call) {
        for (size_t i = 0; i < frame_shots_.size();) {
            if (frame_shots_[i].draw_call != call) {
                ++i;
                continue;
            }
            ScriptAction a = frame_shots_[i];
            frame_shots_.erase(frame_shots_.begin() + long(i));
            std::string error;
            if (!take_screenshot(screenshot_path(dir_, a.file), &error)) fail(a, error);
        }
    }

    Script script_;
    std::string dir_;
    size_t next_ = 0;
    std::optional<uint64_t> wait_until_;
    std::vector<ScriptAction> frame_shots_;  // armed, waiting for their frame
    MoreActions more_;
};

}  // namespace

std::unique_ptr<User> make_script_user(const RunOptions& options, MoreActions more) {
    return std::make_unique<ScriptUser>(options, std::move(more));
}

std::unique_ptr<User> make_user(const RunOptions& options) {
    if (options.user == UserKind::Script) return std::make_unique<ScriptUser>(options, nullptr);
    DemoSettings demo;
    demo.screenshots_dir = options.screenshots_dir.empty() ? "screenshots" : options.screenshots_dir;
    return std::make_unique<DemoUser>(demo);
}

}  // namespace sim
