#include "script.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

// One word of a script line; a quoted word keeps its blanks.
struct Word {
    std::string text;
    bool quoted = false;
};

bool blank(char c) { return c == ' ' || c == '\t'; }

// Splits a line into words, dropping the comment.  *source receives the
// line without its comment and outer blanks.
bool split_words(const std::string& line, std::vector<Word>* words, std::string* source, std::string* why) {
    words->clear();
    size_t i = 0, end_of_text = 0;
    while (i < line.size()) {
        if (blank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        Word w;
        if (line[i] == '"') {
            w.quoted = true;
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    *why = "missing closing quote";
                    return false;
                }
                char c = line[i++];
                if (c == '"') break;
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) c = line[i++];
                w.text += c;
            }
            if (i < line.size() && !blank(line[i]) && line[i] != '#') {
                *why = "expected a blank after the closing quote";
                return false;
            }
        } else {
            while (i < line.size() && !blank(line[i]) && line[i] != '#') w.text += line[i++];
        }
        end_of_text = i;
        words->push_back(std::move(w));
    }
    size_t start = 0;
    while (start < end_of_text && blank(line[start])) ++start;
    *source = line.substr(start, end_of_text - start);
    return true;
}

// A decimal whole number within [lo, hi].
bool parse_number(const Word& w, long long lo, long long hi, long long* out) {
    if (w.quoted || w.text.empty()) return false;
    size_t i = 0;
    bool negative = false;
    if (w.text[0] == '-' || w.text[0] == '+') {
        negative = w.text[0] == '-';
        i = 1;
    }
    if (i == w.text.size()) return false;
    long long v = 0;
    for (; i < w.text.size(); ++i) {
        char c = w.text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 1000000000000LL) return false;  // far outside every range
    }
    if (negative) v = -v;
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

std::string range_message(const char* what, long long lo, long long hi, const Word& w) {
    return std::string(what) + " must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
           ", not \"" + w.text + "\"";
}

bool number_arg(const Word& w, const char* what, long long lo, long long hi, int* out, std::string* why) {
    long long v;
    if (!parse_number(w, lo, hi, &v)) {
        *why = range_message(what, lo, hi, w);
        return false;
    }
    *out = int(v);
    return true;
}

// Each action: its word, its arguments as shown in messages and help, and
// how its arguments are read.  New actions are one more row.
struct ActionRule {
    const char* name;
    ScriptAction::Kind kind;
    std::vector<const char*> args;
    const char* help;
    bool (*parse)(const std::vector<Word>& args, ScriptAction* a, std::string* why);
};

bool parse_tap(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    return number_arg(args[0], "X", 0, 239, &a->x, why) && number_arg(args[1], "Y", 0, 319, &a->y, why);
}

struct KeyName {
    const char* name;
    int code;
};

const KeyName kKeyNames[] = {
    {"action", 0x0D},  // VK_RETURN
    {"left", 0x25},    // VK_LEFT
    {"up", 0x26},      // VK_UP
    {"right", 0x27},   // VK_RIGHT
    {"down", 0x28},    // VK_DOWN
};

bool parse_press(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    if (!args[0].quoted)
        for (auto& k : kKeyNames)
            if (args[0].text == k.name) {
                a->key = k.code;
                return true;
            }
    long long v;
    if (parse_number(args[0], 1, 254, &v)) {
        a->key = int(v);
        return true;
    }
    *why = "KEY must be action, left, up, right, down or a key code from 1 to 254, not \"" + args[0].text + "\"";
    return false;
}

bool parse_answer(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    const std::string& w = args[0].text;
    if (!args[0].quoted && (w == "ok" || w == "cancel" || w == "yes" || w == "no")) {
        a->word = w;
        return true;
    }
    *why = "the answer must be ok, cancel, yes or no, not \"" + w + "\"";
    return false;
}

bool parse_click(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    if (args[0].quoted) {
        if (args[0].text.empty()) {
            *why = "the control's text must not be empty";
            return false;
        }
        a->by_text = true;
        a->text = args[0].text;
        return true;
    }
    long long v;
    if (parse_number(args[0], 0, 65535, &v)) {
        a->control_id = int(v);
        return true;
    }
    *why = "ID must be a control id from 0 to 65535 or a text in double quotes, not \"" + args[0].text + "\"";
    return false;
}

bool parse_nothing(const std::vector<Word>&, ScriptAction*, std::string*) { return true; }

bool parse_wait(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    return number_arg(args[0], "MS", 0, 86400000, &a->ms, why);
}

bool ends_with_png(const std::string& s) {
    if (s.size() < 5) return false;  // a name before ".png"
    std::string tail = s.substr(s.size() - 4);
    for (auto& c : tail) c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png" && s[s.size() - 5] != '/';
}

bool parse_screenshot(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    if (!ends_with_png(args[0].text)) {
        *why = "the screenshot file must be a name ending in .png, not \"" + args[0].text + "\"";
        return false;
    }
    a->file = args[0].text;
    return true;
}

bool parse_screenshot_frame(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    return number_arg(args[0], "CALL", 1, 1000000, &a->draw_call, why) && parse_screenshot({args[1]}, a, why);
}

const ActionRule kActions[] = {
    {"tap", ScriptAction::Tap, {"X", "Y"}, "tap the screen at pixel X (0..239), Y (0..319)", parse_tap},
    {"press", ScriptAction::Press, {"KEY"},
     "press a key: action, left, up, right, down, or 1..254", parse_press},
    {"answer", ScriptAction::Answer, {"WORD"}, "answer the message box: ok, cancel, yes or no", parse_answer},
    {"click", ScriptAction::Click, {"ID"}, "click a control by id (0..65535) or by text: \"Start\"",
     parse_click},
    {"click-through", ScriptAction::ClickThrough, {"ID"},
     "click a push button of the program by id or text even where another window covers it", parse_click},
    {"caption-ok", ScriptAction::CaptionOk, {}, "tap the OK button in the caption", parse_nothing},
    {"help", ScriptAction::Help, {}, "choose Help from the menu", parse_nothing},
    {"launch", ScriptAction::Launch, {}, "start the program from the shell", parse_nothing},
    {"power-cycle", ScriptAction::PowerCycle, {},
     "pull the battery and switch the device on again", parse_nothing},
    {"wait", ScriptAction::Wait, {"MS"}, "let MS ms of device time pass (0..86400000)", parse_wait},
    {"screenshot", ScriptAction::Screenshot, {"FILE.png"},
     "save the screen; a relative name goes to --screenshots", parse_screenshot},
    {"screenshot-frame", ScriptAction::ScreenshotFrame, {"CALL", "FILE.png"},
     "save the screen once the frame begun by GXBeginDraw call CALL is shown", parse_screenshot_frame},
};

std::string usage_of(const ActionRule& r) {
    std::string u = r.name;
    for (auto a : r.args) u += std::string(" ") + a;
    return u;
}

std::string known_actions() {
    std::string s;
    for (auto& r : kActions) s += std::string(s.empty() ? "" : ", ") + r.name;
    return s;
}

// Parses one line; false with *why when it is wrong.  *has_action is false
// for blank and comment lines.
bool parse_line(const std::string& line, ScriptAction* a, bool* has_action, std::string* why) {
    std::vector<Word> words;
    *has_action = false;
    if (!split_words(line, &words, &a->source, why)) return false;
    if (words.empty()) return true;
    const ActionRule* rule = nullptr;
    if (!words[0].quoted)
        for (auto& r : kActions)
            if (words[0].text == r.name) rule = &r;
    if (!rule) {
        *why = "unknown action \"" + words[0].text + "\" (known: " + known_actions() + ")";
        return false;
    }
    std::vector<Word> args(words.begin() + 1, words.end());
    if (args.size() < rule->args.size()) {
        *why = std::string(rule->name) + ": missing " + rule->args[args.size()] + " (" + usage_of(*rule) + ")";
        return false;
    }
    if (args.size() > rule->args.size()) {
        *why = std::string(rule->name) + ": unexpected \"" + args[rule->args.size()].text + "\" (" +
               usage_of(*rule) + ")";
        return false;
    }
    a->kind = rule->kind;
    if (!rule->parse(args, a, why)) {
        *why = std::string(rule->name) + ": " + *why;
        return false;
    }
    *has_action = true;
    return true;
}

}  // namespace

bool parse_script_text(const std::string& text, const std::string& path, Script* out, std::string* error) {
    Script script;
    script.path = path;
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int line_no = 0;
    while (start < text.size()) {
        size_t at = text.find('\n', start);
        std::string line = text.substr(start, at == std::string::npos ? std::string::npos : at - start);
        start = at == std::string::npos ? text.size() : at + 1;
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ScriptAction action;
        action.line = line_no;
        bool has_action;
        std::string why;
        if (!parse_line(line, &action, &has_action, &why)) {
            *error = path + ":" + std::to_string(line_no) + ": " + why;
            return false;
        }
        if (has_action) script.actions.push_back(std::move(action));
    }
    *out = std::move(script);
    return true;
}

bool parse_script(const std::string& path, Script* out, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        *error = path + ":1: cannot read the script: it is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ":1: cannot read the script: " + std::strerror(errno);
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        *error = path + ":1: cannot read the script";
        return false;
    }
    return parse_script_text(ss.str(), path, out, error);
}

const char* script_action_name(ScriptAction::Kind kind) {
    for (auto& r : kActions)
        if (r.kind == kind) return r.name;
    return "?";
}

std::string script_syntax_help() {
    std::string out;
    for (auto& r : kActions) {
        std::string u = usage_of(r);
        if (u.size() < 19) u.resize(19, ' ');
        out += "  " + u + "  " + r.help + "\n";
    }
    return out;
}

}  // namespace sim
