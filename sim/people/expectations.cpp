#include "people/expectations.h"
#include "people/panel.h"

#include <vector>

#include "files/filestore.h"
#include "user/message_box.h"
#include "gdi/screen.h"
#include "people/screen_compare.h"
#include "people/screen_reading.h"
#include "people/script_user.h"
#include "base/text.h"
#include "user/window.h"

namespace sim {

namespace {

// The result log, where the program writes it.


std::string in_quotes(const std::string& s) { return "\"" + s + "\""; }

std::string list_of(const std::vector<std::string>& items) {
    std::string s;
    for (auto& i : items) s += (s.empty() ? "" : ", ") + in_quotes(collapse_blanks(i));
    return s.empty() ? "nothing" : s;
}

// The panel's check boxes, one per test, top to bottom.
std::vector<Window*> test_boxes(Window* panel) {
    std::vector<Window*> boxes;
    for (Window* c : panel->children) {
        if (c->destroyed || !c->cls || lower(c->cls->name) != u"button") continue;
        DWORD type = c->style & BS_TYPEMASK;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) boxes.push_back(c);
    }
    return boxes;
}

bool same_text(const std::string& shown, const std::string& wanted) {
    return collapse_blanks(shown) == collapse_blanks(wanted);
}

// Whether a person sees any of the window: some pixel of the screen is its
// own or one of its children's.
bool shows_any_pixel(Window* w) {
    Rect r = screen_rect(w).intersect(Framebuffer::bounds());
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (is_inside(window_at(x, y), w)) return true;
    return false;
}

void collect_texts(Window* w, std::vector<std::string>* out) {
    for (Window* c : w->children) {
        if (c->destroyed || !is_visible(c)) continue;
        std::string t = to_utf8(without_prefix_marks(c->text));
        if (!collapse_blanks(t).empty()) out->push_back(t);
        collect_texts(c, out);
    }
}

}  // namespace


std::string window_name_for_person(const Window* w) {
    if (!w) return "no window";
    // A message box is known by what it says.
    std::u16string box_text;
    if (message_box_text(w, &box_text)) return "the message box " + in_quotes(collapse_blanks(to_utf8(box_text)));
    if (!w->text.empty()) return "the window " + in_quotes(to_utf8(w->text));
    return "an untitled window of class " + in_quotes(w->cls ? to_utf8(w->cls->name) : std::string("?"));
}

Window* tap_lands_elsewhere(Window* target, Point p, bool* nothing) {
    *nothing = false;
    Window* at = window_at(p.x, p.y);
    if (!at) {
        *nothing = true;
        return nullptr;
    }
    return is_inside(at, target) ? nullptr : at;
}

std::string collapse_blanks(const std::string& s) {
    std::string out;
    bool blank = false;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

void Expectations::watch(const json& line) {
    const std::string& ev = journal_text(line, "ev");
    if (ev == "boot") {
        cells_.clear();
        return;
    }
    if (ev != "text") return;
    // A text the program paints on the panel level with a check box and
    // right of it is that test's Status cell.
    Window* panel = program_main_window();
    if (!panel || journal_text(line, "window") != describe(panel)) return;
    const json& r = line["rect"];
    if (!r.is_array() || r.size() != 4) return;
    Rect rect{r[0].get<int>(), r[1].get<int>(), r[2].get<int>(), r[3].get<int>()};
    int middle = (rect.top + rect.bottom) / 2;
    for (Window* box : test_boxes(panel)) {
        if (rect.left < box->rect.left + box->rect.width() / 2) continue;
        if (middle < box->rect.top || middle >= box->rect.bottom) continue;
        cells_[panel->handle][box->control_id] = {line.value("text", std::string()), rect};
    }
}

Expectations::Outcome Expectations::check(const ScriptAction& a) {
    switch (a.kind) {
        case ScriptAction::ExpectMsgbox: return check_msgbox(a);
        case ScriptAction::ExpectText: return check_text(a);
        case ScriptAction::ExpectStatus: return check_status(a);
        case ScriptAction::ExpectLog: return check_log(a);
        case ScriptAction::ExpectScreen: return check_screen(a);
        default: return {};
    }
}

Expectations::Outcome Expectations::check_msgbox(const ScriptAction& a) {
    Outcome o;
    o.expected = "a message box saying " + in_quotes(a.text);
    if (a.has_caption) o.expected += " under the caption " + in_quotes(a.caption);
    Window* box = front_message_box();
    if (!box) {
        o.held = false;
        o.seen = "no message box";
        if (Window* active = active_window()) o.seen += " (the active window is " + window_name_for_person(active) + ")";
        return o;
    }
    std::u16string text;
    message_box_text(box, &text);
    std::string caption = to_utf8(box->text);
    o.seen = in_quotes(collapse_blanks(to_utf8(text))) + " under the caption " + in_quotes(collapse_blanks(caption));
    o.held = same_text(to_utf8(text), a.text) && (!a.has_caption || same_text(caption, a.caption));
    if (!shows_any_pixel(box)) {
        o.held = false;
        o.seen = "a message box hidden behind other windows, saying " + o.seen;
    }
    return o;
}

Expectations::Outcome Expectations::check_text(const ScriptAction& a) {
    Outcome o;
    o.expected = in_quotes(a.text) + " in the active window";
    Window* active = active_window();
    if (!active) {
        o.held = false;
        o.seen = "no active window";
        return o;
    }
    std::vector<std::string> texts;
    if (!collapse_blanks(to_utf8(active->text)).empty()) texts.push_back(to_utf8(active->text));
    std::u16string box_text;
    if (message_box_text(active, &box_text)) texts.push_back(to_utf8(box_text));
    collect_texts(active, &texts);
    for (auto& t : texts)
        if (same_text(t, a.text)) return o;
    o.held = false;
    o.seen = list_of(texts) + " in " + window_name_for_person(active);
    return o;
}

Expectations::Outcome Expectations::check_status(const ScriptAction& a) {
    Outcome o;
    o.expected = a.word + " beside " + in_quotes(a.test) + " in the Status column";
    Window* panel = program_main_window();
    if (!panel) {
        o.held = false;
        o.seen = "no panel (Dravik's window is not on the screen)";
        return o;
    }
    Window* box = nullptr;
    std::vector<std::string> names;
    for (Window* b : test_boxes(panel)) {
        names.push_back(to_utf8(without_prefix_marks(b->text)));
        if (same_text(names.back(), a.test)) box = b;
    }
    if (!box) {
        o.held = false;
        o.script_fault = true;
        o.seen = "the panel has no test " + in_quotes(a.test) + " (its tests: " + list_of(names) + ")";
        return o;
    }
    auto panel_cells = cells_.find(panel->handle);
    if (panel_cells == cells_.end() || !panel_cells->second.count(box->control_id)) {
        o.held = false;
        o.seen = "nothing in its cell";
        return o;
    }
    const Cell& cell = panel_cells->second[box->control_id];
    std::string word = collapse_blanks(cell.text);
    o.seen = word.empty() ? "an empty cell" : word;
    o.held = word == a.word;
    // A person reads the cell where it is on the screen.
    Point origin = client_origin(panel);
    Rect on_screen = cell.rect.offset(origin.x, origin.y);
    int middle = (on_screen.top + on_screen.bottom) / 2;
    for (Point p : {Point{on_screen.left + 1, middle}, Point{(on_screen.left + on_screen.right) / 2, middle}}) {
        bool nothing;
        Window* over = tap_lands_elsewhere(panel, p, &nothing);
        if (over || nothing) {
            o.held = false;
            o.seen = "the cell hidden behind " + window_name_for_person(over ? top_level_of(over) : nullptr);
            break;
        }
    }
    return o;
}

Expectations::Outcome Expectations::check_log(const ScriptAction& a) {
    Outcome o;
    std::string log_name = to_utf8(kResultLog);
    o.expected = a.word + " for " + in_quotes(a.test) + " in the result log";
    std::string bytes;
    if (!file_store().read_file(kResultLog, &bytes)) {
        o.held = false;
        o.seen = "no result log " + log_name;
        return o;
    }
    // Each test's line: its name, tabs, its word.
    std::vector<std::string> names;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        std::string line = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? bytes.size() : end + 1;
        size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::string name = line.substr(0, tab);
        names.push_back(name);
        if (!same_text(name, a.test)) continue;
        std::string word = collapse_blanks(line.substr(tab));
        o.seen = word.empty() ? "nothing after the name" : word;
        o.held = word == a.word;
        return o;
    }
    o.held = false;
    o.seen = "no line for " + in_quotes(a.test) + " (the log's lines name " + list_of(names) + ")";
    return o;
}

Expectations::Outcome Expectations::check_screen(const ScriptAction& a) {
    Outcome o;
    o.expected = "the screen of " + a.picture_path;
    if (a.tolerance) o.expected += " with at most " + std::to_string(a.tolerance) + " pixels differing";
    if (!a.picture) {
        o.held = false;
        o.seen = "no picture read";
        return o;
    }
    ScreenDifference d = compare_screen(framebuffer(), *a.picture);
    if (d.pixels <= a.tolerance) return o;
    o.held = false;
    o.seen = std::to_string(d.pixels) + (d.pixels == 1 ? " pixel differs" : " pixels differ") + ", the first at (" +
             std::to_string(d.first.x) + ", " + std::to_string(d.first.y) + "): " + colour_name(d.seen) +
             " instead of " + colour_name(d.expected);
    std::string seen_path = picture_beside(a.picture_path, "seen"), diff_path = picture_beside(a.picture_path, "diff");
    std::string error;
    if (take_screenshot(seen_path, &error) && write_difference_png(framebuffer(), *a.picture, diff_path, &error)) {
        o.seen += "; the screen is in " + seen_path + ", the differences in red in " + diff_path;
    } else {
        o.output_failed = true;
        o.seen = "the screen is not " + a.picture_path + " (" + o.seen + "), and " + error;
    }
    return o;
}

}  // namespace sim
