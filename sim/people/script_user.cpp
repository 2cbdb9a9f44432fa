#include "people/script_user.h"

#include "base/journal.h"
#include "device/png.h"
#include "drivers/gapi.h"
#include "base/device_paths.h"
#include "base/host_file.h"
#include "gdi/screen.h"
#include "base/clock.h"
#include "kernel/process.h"
#include "base/text.h"
#include "people/demo_user.h"
#include "people/expectations.h"
#include "people/screen_reading.h"
#include "shell/shell.h"
#include "user/message_box.h"
#include "user/input.h"
#include "user/message_queue.h"
#include "user/window.h"

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

Window* find_descendant(Window* w, const std::function<bool(Window*)>& match) {
    for (Window* c : w->children) {
        if (c->destroyed) continue;
        if (match(c)) return c;
        if (Window* d = find_descendant(c, match)) return d;
    }
    return nullptr;
}

void collect_push_buttons(Window* w, std::vector<Window*>* out) {
    for (Window* c : w->children) {
        if (c->destroyed) continue;
        DWORD type = c->style & BS_TYPEMASK;
        if (c->cls && lower(c->cls->name) == u"button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
            out->push_back(c);
        collect_push_buttons(c, out);
    }
}

// The push buttons of the program's windows: the active one's first, then
// the others' front to back.
std::vector<Window*> program_push_buttons() {
    std::vector<Window*> buttons;
    if (Window* active = active_window()) collect_push_buttons(active, &buttons);
    for (Window* t : top_level_windows())
        if (t != active_window() && !t->shell && !t->destroyed) collect_push_buttons(t, &buttons);
    return buttons;
}

// The program's push button with the action's id or text.
Window* find_program_control(const ScriptAction& a) {
    std::u16string wanted = to_u16(a.text);
    for (Window* b : program_push_buttons()) {
        if (a.by_text ? b->text == wanted || without_prefix_marks(b->text) == wanted : b->control_id == a.control_id)
            return b;
    }
    return nullptr;
}

// The controls a person sees in `w`, in the order they were made.
void visible_controls(Window* w, std::vector<Window*>* out) {
    for (Window* c : w->children) {
        if (c->destroyed || !is_visible(c)) continue;
        out->push_back(c);
        visible_controls(c, out);
    }
}

// A control as a script names it: its text as shown, else its id.
std::string control_word(Window* c) {
    std::string text = collapse_blanks(shown_text(c->text));
    return text.empty() ? std::to_string(c->control_id) : "\"" + text + "\"";
}

// The texts of the controls, as `click "TEXT"` names them.
std::vector<std::string> control_texts(const std::vector<Window*>& controls) {
    std::vector<std::string> texts;
    for (Window* c : controls) {
        std::string text = collapse_blanks(shown_text(c->text));
        if (!text.empty()) texts.push_back(text);
    }
    return texts;
}

// What a person has in front when an action cannot be done there: the
// window by its title (a message box by its text) and what it offers.
std::string in_front(Window* top) {
    if (!top) return "no window is in front";
    std::vector<Window*> controls;
    visible_controls(top, &controls);
    std::string s = "in front is " + window_name_for_person(top);
    std::u16string box_text;
    if (message_box_text(top, &box_text)) {
        // A box is answered: its buttons by their answers.
        std::string answers, action;
        for (Window* b : controls) {
            const char* word = answer_word(b->control_id);
            if (!word) continue;
            answers += std::string(answers.empty() ? "" : ", ") + "answer " + word;
            if ((b->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) action = word;
        }
        if (!answers.empty()) s += ", answered with " + answers;
        if (!action.empty()) s += " (press action answers " + action + ")";
        return s;
    }
    const size_t kListed = 12;
    std::string listed;
    size_t shown = 0;
    for (Window* c : controls) {
        if (c->text.empty() && (c->control_id <= 0 || c->control_id > 0xFFFF)) continue;
        if (shown++ < kListed) listed += (listed.empty() ? "" : ", ") + control_word(c);
    }
    if (shown > kListed) listed += " and " + std::to_string(shown - kListed) + " more";
    return s + (listed.empty() ? ", with no controls" : ", whose controls are " + listed);
}

}  // namespace

Window* control_click_finds(const ScriptAction& a) {
    Window* top = active_window();
    if (!top) return nullptr;
    std::u16string wanted = to_u16(a.text);
    return find_descendant(top, [&](Window* w) {
        if (a.by_text) return w->text == wanted || without_prefix_marks(w->text) == wanted;
        return w->control_id == a.control_id;
    });
}

Window* push_button_click_through_finds(const ScriptAction& a) { return find_program_control(a); }

namespace {

class ScriptUser : public Person {
public:
    ScriptUser(const RunOptions& o, MoreActions more)
        : script_(o.script), dir_(o.screenshots_dir), more_(std::move(more)), before_action_(o.before_action) {
        journal().set_watcher([this](const json& line) { expectations_.watch(line); });
    }
    ~ScriptUser() override {
        set_frame_observer(nullptr);
        journal().set_watcher(nullptr);
    }

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
        // An expectation only looks: the next line follows at once, so
        // that looking takes no turn of its own (while a sound plays, say).
        // Once the script is used up the actions `more_` hands out are
        // performed as they come, and not kept.
        for (;;) {
            // The script's own lines, then what `more` hands out (kept no
            // longer than it takes to do it).
            ScriptAction a;
            if (next_ < script_.size()) a = script_.action(next_++);
            else if (!more_ || !more_(&a)) end_of_script();
            if (before_action_ && !a.is_expectation()) before_action_(&a);
            perform(a);
            if (!a.is_expectation()) return;
        }
    }

private:
    [[noreturn]] void fail(const ScriptAction& a, std::string what, int exit_code = 2) {
        for (char& c : what)
            if (c == '\n' || c == '\r') c = ' ';  // one line, whatever the device shows
        throw ScriptError(script_.path + ":" + std::to_string(a.line) + ": " + what, exit_code);
    }

    [[noreturn]] void output_failed_at(const ScriptAction& a, const std::string& error) {
        throw OutputFailed(one_line(script_.path + ":" + std::to_string(a.line), error));
    }

    // The script is done: the device loses power, unless a frame it was to
    // keep never came, which the run reports (exit code 1).
    [[noreturn]] void end_of_script() {
        if (before_action_) before_action_(nullptr);
        if (frame_shots_.empty()) throw PowerOff{};
        std::string lines;
        for (const ScriptAction& a : frame_shots_) {
            lines += (lines.empty() ? "" : "\n") + script_.path + ":" + std::to_string(a.line) +
                     ": screenshot-frame: frame " + std::to_string(a.draw_call) + " never came (" +
                     (frames_seen_ ? "the last frame shown was " + std::to_string(frames_seen_)
                                   : std::string("no frame was shown")) +
                     "), so " + a.file + " was not written";
        }
        throw ScriptError(lines, 1);
    }

    // A tap a person makes on `target`, at its centre: stops the run when
    // another window shows there, as the person's tap would reach that
    // one.  `hint` says what the person would do instead.
    void tap_as_person(const ScriptAction& a, Window* target, const std::string& what, const std::string& hint) {
        if (!is_visible(target)) fail(a, what + " is not shown");
        Rect r = screen_rect(target);
        Point p{r.left + r.width() / 2, r.top + r.height() / 2};
        bool nothing;
        if (Window* over = tap_lands_elsewhere(target, p, &nothing)) {
            fail(a, what + " is covered by " + window_name_for_person(top_level_of(over)) +
                        ": a person's tap would reach that window" + (hint.empty() ? "" : "; " + hint));
        }
        if (nothing) fail(a, what + " is not on the screen");
        tap_at(p.x, p.y);
    }

    // Why `click` found nothing in `top`: what is there instead, the
    // nearest text, and click-through when the program's push button is
    // there under another window.
    static std::string no_such_control(const ScriptAction& a, Window* top) {
        std::string s = a.by_text ? "no control \"" + a.text + "\"" : "no control " + std::to_string(a.control_id);
        s += ": " + in_front(top);
        std::vector<Window*> controls;
        visible_controls(top, &controls);
        if (find_program_control(a)) {
            return s + "; " + (a.by_text ? "click-through \"" + a.text + "\"" : "click-through " + std::to_string(a.control_id)) +
                   " clicks the program's push button under it";
        }
        if (!a.by_text) return s;
        std::string near = did_you_mean(a.text, control_texts(controls));
        if (!near.empty()) return s + near;
        // A near push button under the window in front.
        std::string under = nearest_word(a.text, control_texts(program_push_buttons()));
        if (!under.empty()) s += "; did you mean click-through \"" + under + "\"?";
        return s;
    }

    void check(const ScriptAction& a) {
        Expectations::Outcome o = expectations_.check(a);
        json ev = {{"action", script_action_name(a.kind)}, {"line", a.line}, {"ok", o.held}};
        if (!o.held) ev["seen"] = o.seen;
        log_event("expect", ev);
        if (o.held) return;
        const char* name = script_action_name(a.kind);
        if (o.output_failed) output_failed_at(a, std::string(name) + ": " + o.seen);
        if (o.script_fault) fail(a, std::string(name) + ": " + o.seen, 2);
        fail(a, std::string(name) + ": expected " + o.expected + ", seen " + o.seen, 1);
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
            case ScriptAction::Drag:
                in["x"] = a.x;
                in["y"] = a.y;
                in["x2"] = a.x2;
                in["y2"] = a.y2;
                log_event("input", in);
                queue_input({RawInput::StylusDown, a.x, a.y, 0});
                queue_input({RawInput::StylusMove, a.x2, a.y2, 0});
                queue_input({RawInput::StylusUp, a.x2, a.y2, 0});
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
                Window* box = front_message_box();
                if (!box) fail(a, "no message box is open: " + in_front(active_window()));
                int id = answer_id(a.word);
                Window* button = find_child_by_id(box, id);
                if (!button) fail(a, "the message box has no \"" + a.word + "\" button: " + in_front(box));
                // What the action button would answer: the box's default button.
                std::string hint;
                for (Window* b : box->children) {
                    if (b->destroyed || (b->style & BS_TYPEMASK) != BS_DEFPUSHBUTTON) continue;
                    const char* word = answer_word(b->control_id);
                    if (b == button)
                        hint = "a person would press the action button (press action), which answers it";
                    else if (word)
                        hint = std::string("the action button (press action) would answer ") + word + " instead";
                }
                tap_as_person(a, button, "the message box's \"" + to_utf8(button->text) + "\" button", hint);
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
                Window* c = control_click_finds(a);
                if (!c) fail(a, no_such_control(a, top));
                tap_as_person(a, c,
                              a.by_text ? "the control \"" + a.text + "\"" : "control " + std::to_string(a.control_id),
                              "");
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
                    std::string what = a.by_text ? "the program has no push button \"" + a.text + "\""
                                                 : "the program has no push button " + std::to_string(a.control_id);
                    what += ": " + in_front(active_window());
                    if (a.by_text) what += did_you_mean(a.text, control_texts(program_push_buttons()));
                    fail(a, what);
                }
                if (is_visible(c) && is_enabled_tree(c)) post(handle_of(c), BM_CLICK, 0, 0);
                break;
            }
            case ScriptAction::CaptionOk: {
                log_event("input", in);
                if (!shell_caption_ok_visible()) fail(a, "the top bar shows no OK button; " + in_front(active_window()));
                Rect r = shell_caption_ok_rect();
                Point p{r.left + r.width() / 2, r.top + r.height() / 2};
                Window* at = window_at(p.x, p.y);
                if (!at || !top_level_of(at)->shell)
                    fail(a, "the top bar's OK button is covered by " +
                                window_name_for_person(at ? top_level_of(at) : nullptr) +
                                ": a person's tap would reach that window");
                tap_at(p.x, p.y);
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
                run_program(kProgramPath, u"", nullptr);
                break;
            case ScriptAction::PowerCycle:
                log_event("input", in);
                throw PowerCycle{};
            case ScriptAction::SoftReset:
                log_event("input", in);
                throw DeviceReset{};
            case ScriptAction::Wait:
                in["ms"] = a.ms;
                log_event("input", in);
                wait_until_ = clock().now_ms() + uint64_t(a.ms);
                break;
            case ScriptAction::Screenshot: {
                std::string error;
                if (!take_screenshot(screenshot_path(dir_, a.file), &error)) output_failed_at(a, error);
                break;
            }
            case ScriptAction::ScreenshotFrame:
                // Taken later, while the program draws; nothing waits for it.
                frame_shots_.push_back(a);
                set_frame_observer([this](int call) { frame_shown(call); });
                break;
            case ScriptAction::ExpectMsgbox:
            case ScriptAction::ExpectText:
            case ScriptAction::ExpectStatus:
            case ScriptAction::ExpectLog:
            case ScriptAction::ExpectScreen:
                check(a);
                break;
        }
    }

    void frame_shown(int call) {
        frames_seen_ = call;
        for (size_t i = 0; i < frame_shots_.size();) {
            if (frame_shots_[i].draw_call != call) {
                ++i;
                continue;
            }
            ScriptAction a = frame_shots_[i];
            frame_shots_.erase(frame_shots_.begin() + long(i));
            std::string error;
            if (!take_screenshot(screenshot_path(dir_, a.file), &error)) output_failed_at(a, error);
        }
    }

    Script script_;
    std::string dir_;
    size_t next_ = 0;
    std::optional<uint64_t> wait_until_;
    std::vector<ScriptAction> frame_shots_;  // armed, waiting for their frame
    int frames_seen_ = 0;                    // the last frame shown, by its GXBeginDraw call
    Expectations expectations_;
    MoreActions more_;
    std::function<void(const ScriptAction*)> before_action_;
};

}  // namespace

std::unique_ptr<Person> make_script_user(const RunOptions& options, MoreActions more) {
    return std::make_unique<ScriptUser>(options, std::move(more));
}

std::unique_ptr<Person> make_user(const RunOptions& options) {
    if (options.user == UserKind::Script) return std::make_unique<ScriptUser>(options, nullptr);
    DemoSettings demo;
    demo.screenshots_dir = options.screenshots_dir.empty() ? "screenshots" : options.screenshots_dir;
    return std::make_unique<DemoUser>(demo);
}

}  // namespace sim
