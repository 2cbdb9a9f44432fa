#include "people/demo_user.h"
#include "people/expectations.h"
#include "people/panel.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "drivers/drivers.h"
#include "base/device_paths.h"
#include "files/filestore.h"
#include "gdi/screen.h"
#include "base/clock.h"
#include "kernel/process.h"
#include "base/text.h"
#include "people/screen_reading.h"
#include "platform/ce_api.h"
#include "people/script_user.h"
#include "resource.h"
#include "shell/shell.h"
#include "user/input.h"
#include "user/message_queue.h"
#include "user/window.h"

namespace sim {

namespace {


// The buttons in the order the Key test's arrow walks them.
struct KeyStep {
    int vk;
    const char* name;
};
const KeyStep kKeyWalk[] = {
    {VK_APP1, "application button 1"}, {VK_APP2, "application button 2"}, {VK_APP3, "application button 3"},
    {VK_APP4, "application button 4"}, {VK_LEFT, "pad left"},             {VK_UP, "pad up"},
    {VK_RIGHT, "pad right"},       {VK_RETURN, "action button"},   {VK_DOWN, "pad down"},
};

// The pattern test's passes: a white frame, 30 blue, 30 white, then 30 of
// vertical colour bars; the first of those is the picture kept.
const int kColourBarsFrame = 62;
// Ticks of the Sound question with nothing to hear before the demo says so.
const int kSilentTicksBeforeCancel = 3;
// A bound on the demo's actions, against a program that never lets it end.
const int kMostActions = 400;

std::string absolute_path(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

}  // namespace

DemoUser::DemoUser(DemoSettings settings) : settings_(std::move(settings)) {
    if (!settings_.out) settings_.out = &std::cout;
    if (settings_.screenshots_dir.empty()) settings_.screenshots_dir = "screenshots";
    if (!settings_.let_time_pass)
        settings_.let_time_pass = [](std::optional<uint64_t> until) {
            if (until) clock().advance_to(*until);
        };
    journal().set_watcher([this](const json& line) { watch(line); });
}

DemoUser::~DemoUser() { journal().set_watcher(nullptr); }

void DemoUser::say(const std::string& text) { *settings_.out << text << std::endl; }

void DemoUser::screenshot(const std::string& name) {
    if (!failure_.empty() || std::find(shots_.begin(), shots_.end(), name) != shots_.end()) return;
    mkdir(settings_.screenshots_dir.c_str(), 0755);
    std::string error;
    // Taken while the demo watches the journal: a failure stops the run
    // when the demo next acts.
    if (take_screenshot(screenshot_path(settings_.screenshots_dir, name), &error))
        shots_.push_back(name);
    else
        failure_ = "dravik-sim: " + error;
}

void DemoUser::tap(int x, int y) {
    log_event("input", {{"action", "tap"}, {"x", x}, {"y", y}, {"from", "demo"}});
    queue_input({RawInput::StylusDown, x, y, 0});
    queue_input({RawInput::StylusUp, x, y, 0});
}

void DemoUser::tap_control(Window* control) {
    Rect r = screen_rect(control);
    tap(r.left + r.width() / 2, r.top + r.height() / 2);
}

void DemoUser::press(int vk) {
    log_event("input", {{"action", "press"}, {"key", vk}, {"from", "demo"}});
    queue_input({RawInput::KeyDown, 0, 0, vk});
    queue_input({RawInput::KeyUp, 0, 0, vk});
}

int DemoUser::template_of(Window* dialog) const {
    auto it = dialogs_.find(dialog->handle);
    return it == dialogs_.end() ? 0 : it->second;
}

void DemoUser::watch(const json& line) {
    const std::string ev = line.value("ev", "");
    auto op = [&] { return line.value("op", std::string()); };
    if (ev == "boot") {
        dialogs_.clear();
        boxes_.clear();
        frames_ = -1;
    } else if (ev == "reset") {
        say("The device resets; the shell starts Dravik from the Startup folder and Dravik resumes the run.");
    } else if (ev == "msgbox") {
        boxes_.push_back({line.value("text", std::string()),
                          line["caption"].is_string() ? line["caption"].get<std::string>() : std::string()});
    } else if (ev == "msgbox_result") {
        if (!boxes_.empty()) boxes_.pop_back();
    } else if (ev == "dialog" && op() == "open") {
        int id = line["template"].is_number_integer() ? line["template"].get<int>() : -1;
        // The dialog just made is the newest dialog window not known yet.
        Window* newest = nullptr;
        for (Window* w : all_windows())
            if (w->is_dialog && !w->destroyed && !dialogs_.count(w->handle) && (!newest || w->handle > newest->handle))
                newest = w;
        if (newest) dialogs_[newest->handle] = id;
        if (id == IDD_TOUCH_TARGET) say("Screen Calibration: four targets, one at a time near the corners.");
        if (id == IDD_SCREEN_RESTORE && frames_ > 0) {
            say("Screen Patterns: " + std::to_string(frames_) + " frames drawn straight into the framebuffer.");
            frames_ = -1;
        }
    } else if (ev == "sound") {
        if (line.value("played", false))
            ++sounds_heard_;
        else
            ++sounds_silent_;
    } else if (ev == "gx") {
        if (op() == "open") {
            frames_ = 0;
            say("Screen Patterns: white, blue, white, colour bars and random columns, 30 frames each.");
        } else if (op() == "end" && frames_ >= 0 && ++frames_ == kColourBarsFrame) {
            screenshot("patterns.png");
        }
    } else if (ev == "file") {
        std::string path = line.value("path", std::string());
        if (path.size() >= 14 && path.compare(path.size() - 14, 14, "DravikFile.txt") == 0) {
            if (op() == "create") screenshot("file.png");
            if (op() == "delete" && line.value("ok", false))
                say("Read/Write files: " + path + " written, read back, compared and deleted.");
        }
    } else if (ev == "com") {
        if (op() == "open") screenshot("ir.png");
        if (op() == "write")
            say("IR Transfer: " + std::to_string(line.value("bytes", 0)) + " bytes sent through COM2:.");
    } else if (ev == "led_info") {
        led_count_ = line.value("ok", false) ? line.value("count", 0) : -1;
        if (led_count_ >= 0) say("LED Notification: " + std::to_string(led_count_) + " LEDs.");
    } else if (ev == "led") {
        if (line.value("mode", 0) == 1 && line.value("ok", false))
            say("LED Notification: LED " + std::to_string(line.value("led", 0)) + " lights for a second.");
    } else if (ev == "text") {
        // The Status column: a text drawn on the panel level with a test's
        // check box, right of it.
        Window* main = program_main_window();
        if (!main || line.value("window", std::string()) != describe(main) || !line["rect"].is_array()) return;
        const json& r = line["rect"];
        int left = r[0].get<int>(), middle = (r[1].get<int>() + r[3].get<int>()) / 2;
        for (int id : kTestBoxes) {
            Window* box = find_child_by_id(main, id);
            if (!box || left < box->rect.left + box->rect.width() / 2) continue;
            if (middle < box->rect.top || middle >= box->rect.bottom) continue;
            std::string cell = trimmed(line.value("text", std::string()));
            std::string& known = status_[id];
            if (cell != known && (cell == "PASS" || cell == "FAIL"))
                say("  " + shown_text(box->text) + ": " + cell);
            known = cell;
        }
    }
}

void DemoUser::idle(std::optional<uint64_t> next_due) {
    if (!failure_.empty()) throw OutputFailed(failure_);
    if (finished_) {
        if (settings_.power_off_at_end) throw PowerOff{};
        settings_.let_time_pass(next_due);
        return;
    }
    uint64_t now = clock().now_ms();
    if (settings_.pause_ms && actions_ > 0 && now < last_action_ms_ + settings_.pause_ms) {
        uint64_t until = last_action_ms_ + settings_.pause_ms;
        if (next_due && *next_due < until) until = *next_due;
        settings_.let_time_pass(until);
        return;
    }
    if (act()) {
        last_action_ms_ = clock().now_ms();
        if (++actions_ > kMostActions) throw DemoFailed("the demo made " + std::to_string(kMostActions) +
                                                        " moves without reaching the end of the run");
        return;
    }
    if (finished_) return;
    if (next_due) {
        settings_.let_time_pass(*next_due);
        return;
    }
    if (settings_.power_off_at_end) throw DemoFailed("nothing happens on the device and nothing is left to do");
    say("The demo cannot go on; the device is yours.");
    finished_ = true;
}

bool DemoUser::act() {
    if (Window* box = front_message_box()) return answer_box(box);
    Window* main = program_main_window();
    if (!main) {
        if (leaving_) {
            finish("Dravik has closed.");
            return false;
        }
        throw DemoFailed("Dravik is not running");
    }
    for (Window* w : top_level_windows()) {
        if (w->destroyed || !w->is_dialog || !is_visible(w)) continue;
        switch (template_of(w)) {
            case IDD_RUN: return in_run_dialog(w);
            case IDD_TOUCH_TARGET: return in_target_dialog(w);
            case IDD_KEY_TEST: return in_key_dialog(w);
            default: break;  // the screen-restore dialog goes by itself
        }
    }
    return on_panel(main);
}

bool DemoUser::answer_box(Window* box) {
    std::string caption = to_utf8(box->text);
    std::string text = boxes_.empty() ? std::string() : boxes_.back().text;
    auto button = [&](int id) {
        Window* b = find_child_by_id(box, id);
        if (!b) throw DemoFailed("the message box \"" + caption + "\" has no button " + std::to_string(id));
        tap_control(b);
        return true;
    };
    if (caption == "Sound") {
        if (!sound_asked_) {
            sound_asked_ = true;
            sound_heard_before_ = sounds_heard_;
            sound_silent_before_ = sounds_silent_;
            say("Sound: the question is open and the alarm sounds every 700 ms.");
        }
        if (sounds_heard_ > sound_heard_before_) {
            screenshot("sound.png");
            say("Sound: the alarm is heard; OK.");
            sound_asked_ = false;
            return button(IDOK);
        }
        if (sounds_silent_ - sound_silent_before_ >= kSilentTicksBeforeCancel) {
            screenshot("sound.png");
            say("Sound: nothing is heard; Cancel.");
            sound_asked_ = false;
            return button(IDCANCEL);
        }
        return false;  // the next tick plays the sound
    }
    if (caption == "LED Notification") {
        bool blinking = false;
        for (const LedState& led : led_states()) blinking = blinking || led.mode == 2;
        bool flashing = led_controller_flashing();
        screenshot("led.png");
        if (blinking || flashing) {
            say(std::string("LED Notification: ") + (blinking ? "the LEDs blink" : "") +
                (blinking && flashing ? " and " : "") + (flashing ? "the LED controller flashes" : "") + "; OK.");
            return button(IDOK);
        }
        say("LED Notification: no LED flashes; Cancel.");
        return button(IDCANCEL);
    }
    if (caption == "Key Test") {
        say("Key Test: \"" + text + "\" OK.");
        key_armed_ = true;
        return button(IDOK);
    }
    if (caption == "Make Log File") {
        say("Finish: \"" + text + "\" Yes.");
        log_answered_ = true;
        return button(IDYES);
    }
    // Anything else is news from a device that is not well: say it, go on.
    say("Message \"" + caption + "\": \"" + text + "\"; OK.");
    for (int id : {IDOK, IDYES, IDRETRY, IDCANCEL, IDNO})
        if (find_child_by_id(box, id)) return button(id);
    throw DemoFailed("the message box \"" + caption + "\" has no button to answer with");
}

bool DemoUser::on_panel(Window* main) {
    Window* next = find_child_by_id(main, IDC_NEXT_FINISH);
    if (!next) throw DemoFailed("the panel has no Next button");
    if (!panel_seen_) {
        panel_seen_ = true;
        say("Dravik is up: the panel lists seven tests with a Status column.");
        screenshot("panel.png");
    }
    std::string label = shown_text(next->text);
    if (label == "Finish") {
        if (!results_printed_) {
            results_printed_ = true;
            screenshot("results.png");
            print_status_column(main);
        }
        if (finish_tapped_ || !is_enabled_tree(next)) return false;
        finish_tapped_ = true;
        say("Finish.");
        tap_control(next);
        return true;
    }
    if (finish_tapped_) {
        if (leaving_) return false;
        if (log_answered_) {
            std::string host = absolute_path(file_store().host_path(kResultLog));
            std::string bytes;
            if (file_store().read_file(kResultLog, &bytes)) {
                say("The result log, \\My Documents\\Dravik.txt on the device, is " + host + ":");
                std::istringstream lines(bytes);
                for (std::string l; std::getline(lines, l);) {
                    if (!l.empty() && l.back() == '\r') l.pop_back();
                    say("  | " + l);
                }
            } else {
                say("No result log was written.");
            }
        }
        std::string dir = absolute_path(settings_.screenshots_dir);
        std::string names;
        for (const std::string& s : shots_) names += " " + s;
        say("Screenshots in " + dir + ":" + names);
        if (!shell_caption_ok_visible()) throw DemoFailed("the panel shows no OK button to leave Dravik with");
        say("Leaving Dravik with the OK button in the caption.");
        Rect r = shell_caption_ok_rect();
        tap(r.left + r.width() / 2, r.top + r.height() / 2);
        leaving_ = true;
        return true;
    }
    if (run_started_ || !is_enabled_tree(next)) return false;
    for (int id : kTestBoxes) {
        Window* box = find_child_by_id(main, id);
        if (!box) throw DemoFailed("the panel has no check box " + std::to_string(id));
        if (send(box, BM_GETCHECK, 0, 0) != BST_CHECKED) {
            say("Panel: ticking " + shown_text(box->text) + ".");
            tap_control(box);
            return true;
        }
    }
    say("Panel: all seven tests are ticked; Next.");
    tap_control(next);
    return true;
}

bool DemoUser::in_run_dialog(Window* dialog) {
    if (run_started_) return false;
    Window* start = find_child_by_id(dialog, IDC_START);
    if (!start) throw DemoFailed("the run dialog has no Start button");
    Window* reset = find_child_by_id(dialog, IDC_RESET_BOX);
    bool resets = reset && send(reset, BM_GETCHECK, 0, 0) == BST_CHECKED;
    say(resets ? "Run dialog: Start, with the automatic reset before the run."
               : "Run dialog: Start (the automatic reset is off).");
    run_started_ = true;
    tap_control(start);
    return true;
}

bool DemoUser::in_target_dialog(Window* dialog) {
    Point c;
    Point origin = client_origin(dialog);
    Rect client = client_rect(dialog).offset(origin.x, origin.y);
    if (targets_tapped_ % 4 == 0) screenshot("calibration.png");
    if (!find_stylus_target(&c) || !client.contains(c.x, c.y))
        throw DemoFailed("the Screen Calibration dialog shows no target");
    ++targets_tapped_;
    say("Screen Calibration: target " + std::to_string((targets_tapped_ - 1) % 4 + 1) + " at (" +
        std::to_string(c.x - origin.x) + ", " + std::to_string(c.y - origin.y) + "); tapping its centre.");
    tap(c.x, c.y);
    return true;
}

bool DemoUser::in_key_dialog(Window* dialog) {
    if (!key_armed_) return false;
    screenshot("key.png");
    if (keys_pressed_ < sizeof kKeyWalk / sizeof kKeyWalk[0]) {
        const KeyStep& k = kKeyWalk[keys_pressed_++];
        say("Key Test: the arrow shows the " + std::string(k.name) + "; pressing it (" + std::to_string(k.vk) + ").");
        press(k.vk);
        return true;
    }
    if (key_cancelled_) return false;
    key_cancelled_ = true;
    say("Key Test: the dialog stays open after the last button; Cancel.");
    Window* cancel = find_child_by_id(dialog, IDCANCEL);
    if (!cancel) throw DemoFailed("the Key Test dialog has no Cancel button");
    tap_control(cancel);
    return true;
}

void DemoUser::print_status_column(Window* main) {
    say("The run is over.  Status column:");
    for (int id : kTestBoxes) {
        Window* box = find_child_by_id(main, id);
        std::string name = box ? shown_text(box->text) : std::to_string(id);
        auto it = status_.find(id);
        std::string cell = it == status_.end() || it->second.empty() ? "?" : it->second;
        name.resize(std::max<size_t>(name.size(), 20), ' ');
        say("  " + name + " " + cell);
    }
}

void DemoUser::finish(const std::string& why) {
    say(why + (settings_.power_off_at_end ? "  The demo is over; the device powers off."
                                          : "  The demo is over; the device is yours."));
    finished_ = true;
    if (!settings_.power_off_at_end) {
        // Dravik again, as the person at the window would start it.
        run_program(kProgramPath, u"", nullptr);
    }
}

}  // namespace sim
