#include "people/script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include <windows.h>

#include "base/host_file.h"

#include "gdi/framebuffer.h"
#include "device/png.h"
#include "base/text.h"

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
    size_t optional = 0;  // how many of the last args may be left out
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
    std::vector<std::string> names;
    for (auto& k : kKeyNames) names.push_back(k.name);
    *why += did_you_mean(args[0].text, names);
    return false;
}

bool parse_answer(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    const std::string& w = args[0].text;
    if (!args[0].quoted && answer_id(w) != 0) {
        a->word = w;
        return true;
    }
    *why = "the answer must be ok, cancel, yes or no, not \"" + w + "\"";
    *why += did_you_mean(w, {"ok", "cancel", "yes", "no"});
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

bool parse_drag(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    return number_arg(args[0], "X", 0, 239, &a->x, why) && number_arg(args[1], "Y", 0, 319, &a->y, why) &&
           number_arg(args[2], "X2", 0, 239, &a->x2, why) && number_arg(args[3], "Y2", 0, 319, &a->y2, why);
}

// A text in double quotes; `what` names it in the message.
bool quoted_text(const Word& w, const char* what, bool may_be_empty, std::string* out, std::string* why) {
    if (!w.quoted) {
        *why = std::string(what) + " goes in double quotes: \"" + w.text + "\"";
        return false;
    }
    if (!may_be_empty && w.text.empty()) {
        *why = std::string(what) + " must not be empty";
        return false;
    }
    *out = w.text;
    return true;
}

bool parse_expect_msgbox(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    if (!quoted_text(args[0], "the text", true, &a->text, why)) return false;
    if (args.size() < 2) return true;
    a->has_caption = true;
    return quoted_text(args[1], "the caption", true, &a->caption, why);
}

bool parse_expect_text(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    return quoted_text(args[0], "the text", false, &a->text, why);
}

// TEST WORD: a test's name as the panel shows it, and PASS, FAIL or ?.
bool parse_test_result(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    if (args[0].text.empty()) {
        *why = "TEST must not be empty";
        return false;
    }
    a->test = args[0].text;
    const std::string& w = args[1].text;
    if (!args[1].quoted && (w == "PASS" || w == "FAIL" || w == "?")) {
        a->word = w;
        return true;
    }
    *why = "WORD must be PASS, FAIL or ?, not \"" + w + "\"";
    return false;
}

// TOLERANCE: a count of pixels, or a percentage of the screen's pixels.
bool parse_tolerance(const Word& w, int* out, std::string* why) {
    const long long kPixels = kScreenWidth * kScreenHeight;
    std::string t = w.text;
    bool percent = !t.empty() && t.back() == '%';
    if (percent) t.pop_back();
    // Whole and fraction digits, at most three of the latter.
    size_t dot = t.find('.');
    std::string whole = t.substr(0, dot), fraction = dot == std::string::npos ? "" : t.substr(dot + 1);
    bool digits = !w.quoted && !whole.empty() && whole.size() <= 6 && fraction.size() <= 3 &&
                  (dot == std::string::npos || (!fraction.empty() && percent));
    for (char c : whole + fraction) digits = digits && c >= '0' && c <= '9';
    if (digits) {
        long long thousandths = std::stoll(whole) * 1000;
        for (size_t i = 0; i < 3; ++i) thousandths += (i < fraction.size() ? fraction[i] - '0' : 0) * (i == 0 ? 100 : i == 1 ? 10 : 1);
        if (!percent && thousandths <= kPixels * 1000) {
            *out = int(thousandths / 1000);
            return true;
        }
        if (percent && thousandths <= 100000) {
            *out = int(thousandths * kPixels / 100000);
            return true;
        }
    }
    *why = "TOLERANCE must be a number of pixels from 0 to " + std::to_string(kPixels) +
           " or a percentage from 0% to 100% (such as 0.5%), not \"" + w.text + "\"";
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
    if (has_control_character(args[0].text)) {
        *why = "the screenshot file's name holds a control character";
        return false;
    }
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

bool parse_expect_screen(const std::vector<Word>& args, ScriptAction* a, std::string* why) {
    if (!ends_with_png(args[0].text)) {
        *why = "the picture must be a name ending in .png, not \"" + args[0].text + "\"";
        return false;
    }
    a->file = args[0].text;
    a->tolerance_text = "0";
    if (args.size() < 2) return true;
    a->tolerance_text = args[1].text;
    return parse_tolerance(args[1], &a->tolerance, why);
}

const ActionRule kActions[] = {
    {"tap", ScriptAction::Tap, {"X", "Y"}, "tap the screen at pixel X (0..239), Y (0..319)", parse_tap},
    {"drag", ScriptAction::Drag, {"X", "Y", "X2", "Y2"},
     "put the stylus down at X Y, move it to X2 Y2 and lift it there", parse_drag},
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
    {"soft-reset", ScriptAction::SoftReset, {},
     "press the reset button: the device restarts and runs its Startup folder", parse_nothing},
    {"wait", ScriptAction::Wait, {"MS"}, "let MS ms of device time pass (0..86400000)", parse_wait},
    {"screenshot", ScriptAction::Screenshot, {"FILE.png"},
     "save the screen; a relative name goes to --screenshots", parse_screenshot},
    {"screenshot-frame", ScriptAction::ScreenshotFrame, {"CALL", "FILE.png"},
     "save the screen once the frame begun by GXBeginDraw call CALL is shown", parse_screenshot_frame},
    {"expect-msgbox", ScriptAction::ExpectMsgbox, {"\"TEXT\"", "\"CAPTION\""},
     "the open message box says TEXT (under CAPTION)", parse_expect_msgbox, 1},
    {"expect-text", ScriptAction::ExpectText, {"\"TEXT\""},
     "the active window's title or one of its controls shows TEXT", parse_expect_text},
    {"expect-status", ScriptAction::ExpectStatus, {"TEST", "WORD"},
     "the panel's Status cell of TEST (\"Screen Calibration\") reads WORD: PASS, FAIL or ?",
     parse_test_result},
    {"expect-log", ScriptAction::ExpectLog, {"TEST", "WORD"},
     "the result log \\My Documents\\Dravik.txt gives WORD for TEST", parse_test_result},
    {"expect-screen", ScriptAction::ExpectScreen, {"FILE.png", "TOLERANCE"},
     "the screen is the picture FILE.png (beside the script); at most TOLERANCE pixels (N or N%) differ",
     parse_expect_screen, 1},
};

std::string usage_of(const ActionRule& r) {
    std::string u = r.name;
    for (size_t i = 0; i < r.args.size(); ++i) {
        bool optional = i + r.optional >= r.args.size();
        u += std::string(optional ? " [" : " ") + r.args[i] + (optional ? "]" : "");
    }
    return u;
}

std::string known_actions() {
    std::string s;
    for (auto& r : kActions) s += std::string(s.empty() ? "" : ", ") + r.name;
    return s;
}

// "; did you mean "tap"?" for a word near an action's, else "".
std::string nearest_action(const std::string& word) {
    std::vector<std::string> names;
    for (auto& r : kActions) names.push_back(r.name);
    return did_you_mean(word, names);
}

// Parses one line; false with *why when it is wrong.  *has_action is false
// for blank and comment lines.
bool parse_line(const std::string& line, ScriptAction* a, bool* has_action, std::string* why) {
    std::vector<Word> words;
    *has_action = false;
    if (!split_words(line, &words, &a->source, why)) return false;
    if (words.empty()) return true;
    const ActionRule* rule = nullptr;
    for (auto& r : kActions)
        if (words[0].text == r.name) rule = &r;
    if (words[0].quoted) {
        *why = rule ? std::string("actions are not quoted: write ") + rule->name + ", not \"" + rule->name + "\""
                    : "actions are not quoted, and \"" + words[0].text + "\" is none" + nearest_action(words[0].text) +
                          " (known: " + known_actions() + ")";
        return false;
    }
    if (!rule) {
        *why = "unknown action \"" + words[0].text + "\"" + nearest_action(words[0].text) + " (known: " +
               known_actions() + ")";
        return false;
    }
    std::vector<Word> args(words.begin() + 1, words.end());
    if (args.size() + rule->optional < rule->args.size()) {
        *why = std::string(rule->name) + ": missing " + rule->args[args.size()] + " (" + usage_of(*rule) + ")";
        return false;
    }
    if (args.size() > rule->args.size()) {
        *why = std::string(rule->name) + ": unexpected \"" + args[rule->args.size()].text + "\" (" +
               usage_of(*rule) + ")";
        bool names_a_test = std::find(rule->args.begin(), rule->args.end(), std::string("TEST")) != rule->args.end();
        if (names_a_test && !args[0].quoted) *why += "; a TEST name with blanks goes in double quotes";
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

// The text of the line that starts at `offset`, without its end.
std::string line_at(const std::string& text, size_t offset) {
    size_t at = text.find('\n', offset);
    std::string line = text.substr(offset, at == std::string::npos ? std::string::npos : at - offset);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

// What reads a script into its compact form.
struct ScriptReader {
    static bool parse(std::shared_ptr<const std::string> text, const std::string& path, Script* out,
                      std::string* error);
    static bool load_pictures(Script* script, std::string* error);
};

bool ScriptReader::parse(std::shared_ptr<const std::string> text_held, const std::string& path, Script* out,
                         std::string* error) {
    const std::string& text = *text_held;
    if (text.size() > UINT32_MAX) {
        *error = path + ":1: larger than a script can be";
        return false;
    }
    auto lines = std::make_shared<std::vector<Script::Line>>();
    lines->reserve(size_t(std::count(text.begin(), text.end(), '\n')) + 1);  // no room made twice
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    uint32_t line_no = 0;
    while (start < text.size()) {
        size_t at = text.find('\n', start);
        size_t line_start = start;
        std::string line = line_at(text, start);
        start = at == std::string::npos ? text.size() : at + 1;
        ++line_no;
        // A NUL or another control character (a tab is a blank) would cut a
        // file name short or hide what the line says.
        for (char c : line) {
            unsigned char u = static_cast<unsigned char>(c);
            if ((u < 0x20 && c != '\t') || u == 0x7F) {
                char code[8];
                std::snprintf(code, sizeof code, "0x%02X", unsigned(u));
                *error = path + ":" + std::to_string(line_no) + ": a control character (" + code +
                         ") in the line";
                return false;
            }
        }
        ScriptAction action;
        bool has_action;
        std::string why;
        if (!parse_line(line, &action, &has_action, &why)) {
            *error = one_line(path + ":" + std::to_string(line_no), why);
            return false;
        }
        if (has_action) lines->push_back({uint32_t(line_start), line_no});
    }
    Script script;
    script.path = path;
    script.text_ = std::move(text_held);
    script.lines_ = std::move(lines);
    *out = std::move(script);
    return true;
}

bool parse_script_text(const std::string& text, const std::string& path, Script* out, std::string* error) {
    return ScriptReader::parse(std::make_shared<const std::string>(text), path, out, error);
}

ScriptAction Script::action(size_t index) const {
    const Line& l = (*lines_)[index];
    ScriptAction a;
    bool has_action = false;
    std::string why;
    parse_line(line_at(*text_, l.offset), &a, &has_action, &why);  // it was read once already
    a.line = int(l.number);
    if (a.kind == ScriptAction::ExpectScreen && pictures_) {
        auto found = pictures_->find(a.file);
        if (found != pictures_->end()) {
            a.picture_path = found->second.path;
            a.picture = found->second.pixels;
        }
    }
    return a;
}

bool parse_script(const std::string& path, Script* out, std::string* error) {
    auto text = std::make_shared<std::string>();
    std::string why;
    if (!read_host_file(path, kMaxScriptBytes, Links::Follow, text.get(), &why)) {
        *error = path + ":1: cannot read the script: " + why;
        return false;
    }
    return ScriptReader::parse(std::move(text), path, out, error);
}

std::string check_script_text(const std::string& bytes) {
    Script s;
    std::string error;
    return parse_script_text(bytes, "script", &s, &error) ? std::string() : error;
}

std::string expected_picture_path(const std::string& script_path, const std::string& file) {
    std::filesystem::path f(file);
    if (f.is_absolute()) return file;
    std::filesystem::path dir = std::filesystem::path(script_path).parent_path();
    return dir.empty() ? file : (dir / f).string();
}

bool load_expected_pictures(Script* script, std::string* error) { return ScriptReader::load_pictures(script, error); }

bool ScriptReader::load_pictures(Script* script, std::string* error) {
    auto pictures = std::make_shared<std::map<std::string, Script::Picture>>();
    // The same file under another name (a link, "./p.png") is read once too.
    std::map<std::pair<dev_t, ino_t>, std::shared_ptr<const std::vector<uint8_t>>> by_file;
    for (size_t i = 0; i < script->size(); ++i) {
        ScriptAction a = script->action(i);
        if (a.kind != ScriptAction::ExpectScreen || pictures->count(a.file)) continue;
        auto fail = [&](const std::string& why) {
            *error = one_line(script->path + ":" + std::to_string(a.line), "expect-screen: " + why);
            return false;
        };
        std::string path = expected_picture_path(script->path, a.file);
        struct stat st;
        if (stat(path.c_str(), &st) != 0) return fail("there is no picture " + path);
        auto known = by_file.find({st.st_dev, st.st_ino});
        if (known != by_file.end()) {
            (*pictures)[a.file] = {path, known->second};
            continue;
        }
        std::string bytes, why;
        if (!read_host_file(path, kMaxPictureBytes, Links::Follow, &bytes, &why))
            return fail("cannot read the picture " + path + ": " + why);
        auto pixels = std::make_shared<std::vector<uint8_t>>();
        if (!read_screen_picture(bytes, path, pixels.get(), &why)) return fail(why);
        by_file[{st.st_dev, st.st_ino}] = pixels;
        (*pictures)[a.file] = {path, std::move(pixels)};
    }
    script->pictures_ = std::move(pictures);
    return true;
}

namespace {

struct AnswerButton {
    int id;
    const char* word;
};
const AnswerButton kAnswerButtons[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};

}  // namespace

const char* answer_word(int id) {
    for (const AnswerButton& b : kAnswerButtons)
        if (b.id == id) return b.word;
    return nullptr;
}

int answer_id(const std::string& word) {
    for (const AnswerButton& b : kAnswerButtons)
        if (word == b.word) return b.id;
    return 0;
}

std::string script_quoted(const std::string& text) {
    std::string word = "\"";
    for (char c : text) word += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return word + "\"";
}

namespace {

std::string shell_quote(const std::string& s) {
    if (!s.empty() &&
        s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=,:") == std::string::npos)
        return s;
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

std::string replay_command(const std::string& state_copy, const std::string& profile, const std::string& script) {
    std::string command = "repro=$(mktemp -d) && cp -a " + shell_quote(state_copy + "/.") +
                          " \"$repro\" && dravik-sim --state \"$repro\"";
    if (!profile.empty()) command += " --profile " + shell_quote(profile);
    return command + " --script " + shell_quote(script);
}

std::string script_word(const std::string& text) {
    bool plain = !text.empty() && text.find_first_of(" \t#\"\\") == std::string::npos;
    return plain ? text : script_quoted(text);
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
        if (u.size() > 19) {
            out += "  " + u + "\n" + std::string(23, ' ') + r.help + "\n";
            continue;
        }
        u.resize(19, ' ');
        out += "  " + u + "  " + r.help + "\n";
    }
    return out;
}

}  // namespace sim
