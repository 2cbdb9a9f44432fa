// The scripted user: a text file of actions, one a line, that the simulator
// performs on the device in order (taps, key presses, answers to message
// boxes, screenshots).
//
//   # a comment; blank lines are ignored
//   tap 120 200           screen pixel, x 0..239, y 0..319
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
//   wait 700              milliseconds of device time, 0..86400000
//   screenshot a.png      where screenshots go, unless absolute
//   screenshot-frame 62 bars.png
//                         the screen as it is once the frame begun by
//                         GXBeginDraw call 62 (since power-on) is shown
#pragma once

#include <string>
#include <vector>

namespace sim {

struct ScriptAction {
    enum Kind {
        Tap, Press, Answer, Click, ClickThrough, CaptionOk, Help, Launch, Wait, Screenshot, ScreenshotFrame,
        PowerCycle
    };

    Kind kind = Wait;
    int x = 0, y = 0;        // Tap
    int key = 0;             // Press: virtual key or key code
    std::string word;        // Answer: "ok", "cancel", "yes" or "no"
    int control_id = 0;      // Click by id
    bool by_text = false;    // Click by the control's text
    std::string text;        // Click by text (UTF-8)
    int ms = 0;              // Wait
    std::string file;        // Screenshot, ScreenshotFrame, as written in the script
    int draw_call = 0;       // ScreenshotFrame: the GXBeginDraw call, from 1
    int line = 0;            // where the action stands in the script
    std::string source;      // the line's text, without the comment
};

struct Script {
    std::string path;
    std::vector<ScriptAction> actions;
};

// Reads and parses a script file.  On failure *error is one line
// "<path>:<line>: <what is wrong>" and *out is left unchanged.
bool parse_script(const std::string& path, Script* out, std::string* error);
// The same for script text already read; `path` names it in messages.
bool parse_script_text(const std::string& text, const std::string& path, Script* out, std::string* error);

// The action's word as written in scripts ("tap", "caption-ok", ...).
const char* script_action_name(ScriptAction::Kind kind);

// One line per action form, for the simulator's usage text.
std::string script_syntax_help();

}  // namespace sim
