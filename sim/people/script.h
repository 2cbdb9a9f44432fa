// The scripted user: a text file of actions, one a line, that the simulator
// performs on the device in order (taps, key presses, answers to message
// boxes, screenshots).
//
//   # a comment; blank lines are ignored
//   tap 120 200           screen pixel, x 0..239, y 0..319
//   drag 10 20 200 20     stylus down at the first pixel, up at the second
//   press action          action | left | up | right | down | key code 1..254
//   answer yes            ok | cancel | yes | no
//   click 1001            a control id 0..65535 ...
//   click "Start"         ... or a control's text, in double quotes
//   click-through 1008    a push button of the program by id or text, where
//                         another window covers it (a test's way in)
//   caption-ok            the OK button in the caption
//   help                  the Help menu entry
//   launch                start the program again from the shell
//   power-cycle           pull the battery and switch the device on again
//   soft-reset            press the reset button: the device restarts
//   wait 700              milliseconds of device time, 0..86400000
//   screenshot a.png      where screenshots go, unless absolute
//   screenshot-frame 62 bars.png
//                         the screen as it is once the frame begun by
//                         GXBeginDraw call 62 (since power-on) is shown
//
// Expectations state what the device shows at that point; the first that
// does not hold stops the run (exit 1):
//
//   expect-msgbox "TEXT"             the open message box says TEXT ...
//   expect-msgbox "TEXT" "CAPTION"   ... under this caption
//   expect-text "TEXT"               the active window's title, or the text
//                                    of one of its controls, is TEXT
//   expect-status "Screen Calibration" PASS
//                                    a Status cell on the panel: PASS, FAIL, ?
//   expect-log Sound PASS            the result log's line for that test
//   expect-screen panel.png [TOLERANCE]
//                                    the screen is the picture (beside the
//                                    script unless absolute); TOLERANCE: how
//                                    many pixels may differ, N or N%
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct ScriptAction {
    enum Kind {
        Tap, Press, Answer, Click, ClickThrough, CaptionOk, Help, Launch, Wait, Screenshot, ScreenshotFrame,
        Drag, ExpectMsgbox, ExpectText, ExpectStatus, ExpectLog, ExpectScreen, PowerCycle,
        SoftReset,
    };

    Kind kind = Wait;
    int x = 0, y = 0;        // Tap; Drag: where the stylus goes down
    int x2 = 0, y2 = 0;      // Drag: where it comes up
    int key = 0;             // Press: virtual key or key code
    std::string word;        // Answer: "ok", "cancel", "yes" or "no"; ExpectStatus, ExpectLog: "PASS", "FAIL" or "?"
    int control_id = 0;      // Click by id
    bool by_text = false;    // Click by the control's text
    std::string text;        // Click by text, ExpectMsgbox, ExpectText (UTF-8)
    bool has_caption = false;  // ExpectMsgbox: a caption is expected too
    std::string caption;       // ... this one
    std::string test;        // ExpectStatus, ExpectLog: the test's name as the panel shows it
    int ms = 0;              // Wait
    std::string file;        // Screenshot, ScreenshotFrame, ExpectScreen, as written in the script
    int draw_call = 0;       // ScreenshotFrame: the GXBeginDraw call, from 1
    int tolerance = 0;       // ExpectScreen: how many pixels may differ
    std::string tolerance_text;  // ... as written ("0" when not given)
    int line = 0;            // where the action stands in the script
    std::string source;      // the line's text, without the comment

    // ExpectScreen, once load_expected_pictures has read the pictures: the
    // picture's path and its pixels, 8-bit RGB, 240 x 320 (one copy for
    // every line that names the same file).
    std::string picture_path;
    std::shared_ptr<const std::vector<uint8_t>> picture;

    bool is_expectation() const { return kind >= ExpectMsgbox; }
};

// A script as it is held: its text and where each action's line starts, a
// few bytes an action however long the script; an action is read again
// from its line when it is asked for.  Copies share what they hold.
struct Script {
    std::string path;

    size_t size() const { return lines_ ? lines_->size() : 0; }
    bool empty() const { return size() == 0; }
    // The action at `index` (0 is the first), with its expect-screen
    // picture when one was read.
    ScriptAction action(size_t index) const;

    // A picture that expect-screen lines name, read once for all of them.
    struct Picture {
        std::string path;
        std::shared_ptr<const std::vector<uint8_t>> pixels;
    };

private:
    friend struct ScriptReader;  // script.cpp
    struct Line {
        uint32_t offset;  // where its text starts
        uint32_t number;  // its line number, from 1
    };
    std::shared_ptr<const std::string> text_;
    std::shared_ptr<const std::vector<Line>> lines_;
    // By the FILE its expect-screen lines name.
    std::shared_ptr<const std::map<std::string, Picture>> pictures_;
};

// Where expect-screen looks for FILE: beside the script, or FILE itself
// when it is absolute.
std::string expected_picture_path(const std::string& script_path, const std::string& file);

// Reads the pictures of the script's expect-screen lines, so that a missing
// or unreadable one is found before the device powers on: each a regular
// file of at most 8 MiB whose header says 240 x 320 (checked before it is
// decoded), each file read once however many lines name it.  On failure
// *error is one line "<path>:<line>: ..." naming the first bad picture.
bool load_expected_pictures(Script* script, std::string* error);

// Reads and parses a script file (a regular file of at most 16 MiB).  A
// line may not hold a NUL or another control character.  On failure *error
// is one line "<path>:<line>: <what is wrong>" and *out is left unchanged.
bool parse_script(const std::string& path, Script* out, std::string* error);
// The same for script text already read; `path` names it in messages.
bool parse_script_text(const std::string& text, const std::string& path, Script* out, std::string* error);

// For fuzzing: parses script bytes; "" when they are accepted, else the
// one-line error (naming "script" and the line).
std::string check_script_text(const std::string& bytes);

// A message box's button as `answer` names it: IDOK "ok", IDCANCEL
// "cancel", IDYES "yes", IDNO "no"; null for any other id.
const char* answer_word(int id);

// The button id an `answer` word names; 0 for a word that names none.
int answer_id(const std::string& word);

// A text in double quotes as a script line holds it (\" and \\ for those
// two); and a word, as it is when it has no blank, quote, "#" or
// backslash, else quoted so.
std::string script_quoted(const std::string& text);
std::string script_word(const std::string& text);

// The shell command that runs `script` as a check on a fresh copy of the
// state folder `state_copy` (which it leaves as it was), with `profile`
// unless it is "": repro=$(mktemp -d) && cp -a STATE/. "$repro" && ...
std::string replay_command(const std::string& state_copy, const std::string& profile, const std::string& script);

// The action's word as written in scripts ("tap", "caption-ok", ...).
const char* script_action_name(ScriptAction::Kind kind);

// One line per action form, for the simulator's usage text.
std::string script_syntax_help();

}  // namespace sim
