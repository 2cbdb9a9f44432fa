#include "options.h"

#include "key_map.h"
#include "base/text.h"
#include "people/script.h"

namespace sim {

const char* const kSimulatorVersion = "0.1.0";

namespace {

enum class Value { None, Folder, File, Number, Share, Range };

struct OptionRule {
    const char* name;
    Value value;
};

const OptionRule kOptions[] = {
    {"--state", Value::Folder},       {"--profile", Value::File},  {"--script", Value::File},
    {"--journal", Value::File},       {"--screenshots", Value::Folder}, {"--factory-reset", Value::None},
    {"--demo", Value::None},          {"--scale", Value::Number},  {"--help", Value::None},
    {"--version", Value::None},       {"--record", Value::File},
    {"--stress", Value::Number},      {"--seed", Value::Number},
    {"--check", Value::None},         {"--busy-limit", Value::Number},
    {"--force", Value::None},         {"--watch", Value::None},    {"--watch-pace", Value::Number},
    {"--jobs", Value::Number},        {"--junit", Value::File},    {"--report", Value::Folder},
    {"--accept", Value::None},        {"--shard", Value::Share},   {"--seeds", Value::Range},
};

const char* value_word(Value v) {
    switch (v) {
        case Value::Folder: return "a folder";
        case Value::File: return "a file";
        case Value::Number: return "a number";
        case Value::Share: return "a share K/N";
        case Value::Range: return "a range of seeds A-B";
        case Value::None: break;
    }
    return "nothing";
}

bool parse_scale(const std::string& s, int* out) {
    if (s.size() != 1 || s[0] < '1' || s[0] > '8') return false;
    *out = s[0] - '0';
    return true;
}

// A decimal whole number within [lo, hi].
bool parse_count(const std::string& s, uint64_t lo, uint64_t hi, uint64_t* out) {
    if (s.empty() || s.size() > 20) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        uint64_t digit = uint64_t(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

// "A<sep>B", each a whole number within [lo, hi].
bool parse_pair(const std::string& s, char sep, uint64_t lo, uint64_t hi, uint64_t* a, uint64_t* b) {
    size_t at = s.find(sep);
    return at != std::string::npos && parse_count(s.substr(0, at), lo, hi, a) &&
           parse_count(s.substr(at + 1), lo, hi, b);
}

}  // namespace

const char* default_screenshots_dir(bool scripted) { return scripted ? "." : "screenshots"; }

bool parse_options(const std::vector<std::string>& args, Options* out, std::string* error) {
    Options o;
    std::vector<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg, value;
        bool inline_value = false;
        size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inline_value = true;
        } else if (arg == "-j") {
            name = "--jobs";
        } else if (arg.compare(0, 2, "-j") == 0) {
            name = "--jobs";
            value = arg.substr(2);
            inline_value = true;
        } else if (arg.compare(0, 1, "-") != 0 || arg.size() == 1) {
            // The scripts of --check; said to be unexpected below when
            // there is no --check to take them.
            o.check_paths.push_back(arg);
            continue;
        }
        const OptionRule* rule = nullptr;
        for (auto& r : kOptions)
            if (name == r.name) rule = &r;
        if (!rule) {
            std::vector<std::string> names;
            for (auto& r : kOptions) names.push_back(r.name);
            if (arg.compare(0, 1, "-") == 0 && arg.size() > 1)
                *error = "unknown option " + name + did_you_mean(name, names) + " (see --help)";
            else
                *error = "unexpected argument \"" + arg + "\" (options start with --; see --help)";
            return false;
        }
        if (rule->value == Value::None) {
            if (inline_value) {
                *error = name + " takes no value";
                return false;
            }
        } else if (!inline_value) {
            if (i + 1 >= args.size() || args[i + 1].compare(0, 2, "--") == 0) {
                *error = name + " needs " + value_word(rule->value);
                return false;
            }
            value = args[++i];
        }
        if (rule->value != Value::None && value.empty()) {
            *error = name + " needs " + value_word(rule->value) + ", not an empty text";
            return false;
        }
        for (auto& s : seen)
            if (s == name) {
                *error = name + " is given twice";
                return false;
            }
        seen.push_back(name);

        // --help and --version stand alone: anything with them is a misuse.
        if (name == "--help" || name == "--version") {
            if (args.size() > 1) {
                size_t other = i == 0 ? 1 : 0;
                *error = name + " takes no other arguments, not \"" + args[other] + "\"";
                return false;
            }
            out->action = name == "--help" ? Options::Action::Help : Options::Action::Version;
            return true;
        }
        if (name == "--state") o.state_dir = value;
        else if (name == "--profile") o.profile_path = value;
        else if (name == "--script") o.script_path = value;
        else if (name == "--journal") o.journal_path = value;
        else if (name == "--screenshots") o.screenshots_dir = value;
        else if (name == "--factory-reset") o.factory_reset = true;
        else if (name == "--demo") o.demo = true;
        else if (name == "--record") o.record_path = value;
        else if (name == "--check") o.check = true;
        else if (name == "--force") o.force = true;
        else if (name == "--watch") o.watch = true;
        else if (name == "--junit") o.junit_path = value;
        else if (name == "--report") o.report_dir = value;
        else if (name == "--accept") o.accept = true;
        else if (name == "--jobs") {
            uint64_t jobs = 0;
            if (!parse_count(value, 1, 1024, &jobs)) {
                *error = "-j must be a whole number of processes from 1 to 1024, not \"" + value + "\"";
                return false;
            }
            o.jobs = unsigned(jobs);
        } else if (name == "--shard") {
            uint64_t k = 0, n = 0;
            if (!parse_pair(value, '/', 1, 100000, &k, &n) || k > n) {
                *error = "--shard must be K/N, the K-th of N shares (1 <= K <= N <= 100000), not \"" + value + "\"";
                return false;
            }
            o.shard = unsigned(k), o.shards = unsigned(n), o.shard_given = true;
        } else if (name == "--seeds") {
            if (!parse_pair(value, '-', 0, UINT64_MAX, &o.seed_first, &o.seed_last) || o.seed_first > o.seed_last ||
                o.seed_last - o.seed_first >= 1000000) {
                *error = "--seeds must be a range A-B of at most 1000000 seeds, A <= B, not \"" + value + "\"";
                return false;
            }
            o.seeds_given = true;
        }
        else if (name == "--scale" && !parse_scale(value, &o.scale)) {
            *error = "--scale must be a whole number from 1 to 8, not \"" + value + "\"";
            return false;
        } else if (name == "--stress" && !parse_count(value, 1, 100000000, &o.stress_actions)) {
            *error = "--stress must be a whole number of actions from 1 to 100000000, not \"" + value + "\"";
            return false;
        } else if (name == "--seed") {
            if (!parse_count(value, 0, UINT64_MAX, &o.seed)) {
                *error = "--seed must be a whole number from 0 to 18446744073709551615, not \"" + value + "\"";
                return false;
            }
            o.seed_given = true;
        } else if (name == "--watch-pace") {
            if (!parse_count(value, 25, 10000, &o.watch_pace_ms)) {
                *error = "--watch-pace must be a whole number of milliseconds from 25 to 10000, not \"" + value + "\"";
                return false;
            }
            o.watch_pace_given = true;
        } else if (name == "--busy-limit") {
            if (!parse_count(value, 1, 86400000, &o.busy_limit_ms)) {
                *error = "--busy-limit must be a whole number of milliseconds from 1 to 86400000, not \"" + value +
                         "\"";
                return false;
            }
            o.busy_limit_given = true;
        }
    }
    if (!o.check_paths.empty() && !(o.check && o.script_path.empty())) {
        const std::string& arg = o.check_paths.front();
        *error = o.check ? "--check takes scripts to run (files or folders) only without --script, not \"" + arg + "\""
                         : "unexpected argument \"" + arg + "\" (options start with --; see --help)";
        return false;
    }
    if (o.seeds_given && (!o.stress_actions || o.seed_given || o.check)) {
        *error = o.stress_actions ? "--seeds cannot be used with --seed or --check" : "--seeds goes with --stress";
        return false;
    }
    if (o.suite()) {
        if (o.check && o.check_paths.empty()) {
            *error = "--check needs --script FILE, or the scripts to run (files or folders of them)";
            return false;
        }
        // Each script or seed keeps its own of these.
        for (const char* own : {"--journal", "--screenshots", "--factory-reset", "--demo", "--record", "--scale"})
            for (auto& s : seen)
                if (s == own) {
                    *error = std::string(own) + " cannot be used with " +
                             (o.seeds_given ? "--seeds" : "--check and scripts to run") +
                             ": each run has its own (see --report)";
                    return false;
                }
        if (o.busy_limit_given && !o.seeds_given) {
            *error = "--busy-limit goes with --stress or --check --script";
            return false;
        }
        if (o.seeds_given && (o.accept || !o.report_dir.empty())) {
            *error = std::string(o.accept ? "--accept" : "--report") + " goes with --check and scripts to run";
            return false;
        }
    } else {
        for (const char* suite_only : {"--jobs", "--junit", "--report", "--accept", "--shard"})
            for (auto& s : seen)
                if (s == suite_only) {
                    *error = std::string(suite_only == std::string("--jobs") ? "-j" : suite_only) +
                             " goes with --check and scripts to run (files or folders), or --stress with --seeds";
                    return false;
                }
    }
    if (o.stress_actions && (!o.script_path.empty() || o.demo)) {
        *error = "--stress cannot be used with --script or --demo";
        return false;
    }
    if (o.seed_given && !o.stress_actions) {
        *error = "--seed goes with --stress";
        return false;
    }
    if (o.busy_limit_given && !o.check && !o.stress_actions) {
        *error = "--busy-limit goes with --stress or --check";
        return false;
    }
    if (o.demo && !o.script_path.empty()) {
        *error = "--demo and --script cannot be used together";
        return false;
    }
    if (o.watch && o.script_path.empty()) {
        *error = "--watch goes with --script";
        return false;
    }
    if (o.watch && o.check) {
        *error = "--watch and --check cannot be used together";
        return false;
    }
    if (o.watch_pace_given && !o.watch) {
        *error = "--watch-pace goes with --watch";
        return false;
    }
    if (o.force && o.record_path.empty()) {
        *error = "--force goes with --record";
        return false;
    }
    if (!o.record_path.empty() && (o.demo || !o.script_path.empty())) {
        *error = std::string("--record and ") + (o.demo ? "--demo" : "--script") + " cannot be used together";
        return false;
    }
    *out = o;
    return true;
}

std::string version_text() { return std::string("dravik-sim ") + kSimulatorVersion + "\n"; }

std::string usage_text() {
    std::string u;
    u += "Usage: dravik-sim [OPTIONS]\n"
         "\n"
         "Simulates the handheld that Dravik runs on: powers it on, lets the shell start\n"
         "the program and drives it as a scripted user, as the demo, or from a window.\n"
         "\n"
         "Options:\n"
         "  --state DIR        the device's storage (registry.reg and the file store);\n"
         "                     made from the factory image when absent.  Default:\n"
         "                     $XDG_DATA_HOME/dravik-sim, or ~/.local/share/dravik-sim\n"
         "  --factory-reset    wipe the state folder back to the factory image first\n"
         "  --profile FILE     JSON device profile: the model and its faults (see below)\n"
         "  --script FILE      run without a window as a scripted user (see below)\n"
         "  --journal FILE     write the device journal (JSON Lines) to FILE\n"
         "  --screenshots DIR  where screenshots go (made when absent).  Default: the\n"
         "                     current folder for scripts, ./screenshots for the demo\n"
         "  --demo             the built-in user runs every test as on a healthy device,\n"
         "                     prints each step and the Status column, writes the log\n"
         "                     and a screenshot of each test and says where they are\n"
         "                     (in the device window when a display is there)\n"
         "  --scale N          device window scale, 1 to 8.  Default: the largest whose\n"
         "                     window fits the display's usable area (at least 1)\n"
         "  --record FILE      in the device window: write what you do to FILE as a\n"
         "                     script, a line as you do it, by what you meant: click\n"
         "                     \"TEXT\", answer ok, caption-ok, click-through, press;\n"
         "                     tap and drag in device pixels where nothing else fits;\n"
         "                     the device time between them as waits); F11 adds an\n"
         "                     expect-screen line with the screen's picture saved\n"
         "                     beside FILE.  The state folder as it was at the start\n"
         "                     is kept as NAME.state beside FILE, and FILE's header\n"
         "                     says how to replay it on a copy.  FILE is written when\n"
         "                     the window closes; an existing FILE or NAME.state is\n"
         "                     refused\n"
         "  --force            with --record: record over an existing FILE (and its\n"
         "                     pictures)\n"
         "  --watch            with --script and a display: play the script in the device\n"
         "                     window at a pace a person can follow, a red ring where\n"
         "                     each tap lands; the run, its journal (but the window's\n"
         "                     own lines) and its exit status are the headless run's.\n"
         "                     Space pauses and goes on, N or Right does one step while\n"
         "                     paused, + and - make the pace faster and slower\n"
         "  --watch-pace MS    with --watch: real time each action is shown before it\n"
         "                     is done, 25 to 10000 (default 600); a frame of the\n"
         "                     screen drawn without waiting is shown a sixth of it\n"
         "  --stress N         headless: a built-in user does N random things (taps,\n"
         "                     buttons, answers, waits, now and then a pulled battery)\n"
         "                     and checks after each what must always hold; on a\n"
         "                     violation writes the shortest script that shows it,\n"
         "                     stress-seed-S.txt, with the starting state folder,\n"
         "                     stress-seed-S.state, in the current folder (exit 1;\n"
         "                     names taken already become stress-seed-S-2.txt, ...)\n"
         "  --seed S           where the stress user's choices start (default 1); the\n"
         "                     same seed, state folder and profile give the same run\n"
         "  --check            with --script: check after every action what the stress\n"
         "                     user checks; on a violation name it and exit 1\n"
         "  --busy-limit MS    device time the program may take before it waits for\n"
         "                     input again, for --stress and --check (default 60000)\n"
         "  --check PATH...    without --script: a suite.  Runs every script given, and\n"
         "                     every *.txt below each folder given (sorted; not inside\n"
         "                     state folders), each in a child process on a fresh copy\n"
         "                     of its starting state: the folder its leading comment\n"
         "                     line \"# state: DIR\" names, else NAME.state beside\n"
         "                     NAME.txt, else --state DIR, else the factory's (never\n"
         "                     changed); its profile is \"# profile: FILE\", else\n"
         "                     --profile.  One line a script (held, did not hold,\n"
         "                     refused, crashed), then \"N passed, M failed\"; exit 0\n"
         "                     only when every script held.  A failure leaves the\n"
         "                     screen before its line, the journal's last lines and\n"
         "                     the expect-screen pictures in check-evidence/ (or the\n"
         "                     --report folder), replaced by the next run\n"
         "  -j N               with --check or --seeds: N children at once (default:\n"
         "                     the processors)\n"
         "  --junit FILE       with --check or --seeds: the results as JUnit XML\n"
         "  --report DIR       with --check: a static HTML report in DIR/index.html\n"
         "  --shard K/N        with --check or --seeds: only the K-th of N shares (the\n"
         "                     scripts in order, every N-th from the K-th)\n"
         "  --accept           with --check: the seen screen of each expect-screen that\n"
         "                     did not hold becomes its picture (each is listed)\n"
         "  --seeds A-B        with --stress: one stress run per seed from A to B, each\n"
         "                     on a fresh copy of --state, as --check runs scripts\n"
         "  --help             print this text\n"
         "  --version          print the simulator's version\n"
         "\n"
         "Without --script, dravik-sim opens the device window when a display is there\n"
         "(DISPLAY or WAYLAND_DISPLAY), else it runs --demo.  In the window the mouse is\n"
         "the stylus, the drawn buttons can be clicked, the clock is real, sounds play\n"
         "through the sound card (without one: a single line says so, and sounds take\n"
         "their time in silence) and closing the window powers the device off.  Keys:\n";
    u += window_key_help();
    u += "\n"
         "Script: one action a line; # starts a comment; blank lines are ignored.\n";
    u += script_syntax_help();
    u += "\n"
         "The expect- lines are checks: the first that does not hold stops the run with\n"
         "exit status 1 and one line naming the script line, what was expected and what\n"
         "was seen.  Texts are compared whole, blanks and line breaks counting as one\n"
         "blank (a control's & marks are not shown).  expect-status reads the Status\n"
         "cell painted beside the test's name on the panel, which must be in view;\n"
         "expect-log reads the test's line in the result log.  expect-screen compares\n"
         "the 240 x 320 screen with the picture at the screen's colour depth (5-6-5);\n"
         "TOLERANCE counts the pixels that may differ (N, or N% of the screen's 76800,\n"
         "default 0).  When it fails, FILE.seen.png (the screen) and FILE.diff.png\n"
         "(the differences in red) are written beside the picture.  A screenshot-frame\n"
         "whose frame never came is reported when the script ends (exit status 1).\n"
         "Actions are as a person would do them: an answer or click whose button\n"
         "another window covers cannot be done (exit status 2).\n";
    u += "\n"
         "Profile keys (a JSON object; absent keys take the healthy device's values;\n"
         "an unknown key or field, a value of the wrong type, a number out of its\n"
         "range or an unknown word is refused, naming the line of the value):\n"
         "  model                 text the utility library reports as the model name\n"
         "  utility_library       \"present\" or \"missing\" (OrvexUtil.dll)\n"
         "  utility_library_loads how many loads of the utility library succeed (0 to\n"
         "                        2147483647); later ones fail as if the file had gone\n"
         "  missing_exports       list of the utility library's functions that are absent:\n"
         "                        \"OrvexGetModelID\", \"OrvexGetBlueToothRadioPresent\",\n"
         "                        \"OrvexGetBlueToothRadioStatus\"\n"
         "  os_version            [major, minor], each 0 to 255; default [4, 20]\n"
         "  platform_id           0 to 3 (3: Windows CE, the default)\n"
         "  registry_read_only    true: every registry write fails\n"
         "  registry_fail_writes  list of value paths whose writes fail, from the root:\n"
         "                        \"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\DRAVIK\\\\Reboot\"\n"
         "  registry_fail_keys    list of key paths that cannot be opened or created,\n"
         "                        nor anything under them (names up to 255 characters,\n"
         "                        at most 16 keys below the root)\n"
         "  local_time            \"YYYY-MM-DD HH:MM:SS\", the device clock at power-on\n"
         "                        (a real date, from 1601); without it a script starts\n"
         "                        at 2004-01-01 09:00:00 (so that runs repeat exactly),\n"
         "                        the demo and the window at the host's time\n"
         "  processes             list of program names running beside the shell\n"
         "                        (\"hopper.exe\": a file name, no folder)\n"
         "  reset                 \"works\" (the default) or \"fails\": the soft reset the\n"
         "                        program asks for is refused\n"
         "  file_faults           device path -> the file operation that fails there:\n"
         "                        \"create\", \"write\", \"close\", \"open\", \"read\",\n"
         "                        \"delete\", \"mismatch\" (a read returns other bytes),\n"
         "                        \"short_read\" (half of them), or a list of these;\n"
         "                        \"OP#N\" fails only the N-th such call on the file\n"
         "                        since power-on (\"close#2\"; mismatch and short_read\n"
         "                        count reads)\n"
         "  files_held_open       device paths another program holds open without sharing\n"
         "                        (device paths start at the root, one backslash between\n"
         "                        names: \"\\\\My Documents\\\\Dravik.txt\")\n"
         "  com2                  the serial port \"COM2:\": {\"open_error\": N} fails every\n"
         "                        open with last error N (1 to 65535); {\"write\": \"ok\" |\n"
         "                        \"fails\" | \"partial\"} (partial takes 20 bytes)\n"
         "  display               what GAPI reports: {\"width\", \"height\" (0..1024),\n"
         "                        \"xpitch\", \"ypitch\" (bytes, -8192..8192; negative for a\n"
         "                        rotated panel), \"bpp\" (1..32; 8: shown through a 3-3-2\n"
         "                        palette, 16), \"format\" (0x80 5-6-5, 0x40 5-5-5)};\n"
         "                        default 240, 320, 2, 480, 16, 0x80\n"
         "  begin_draw_fails      1-based numbers of the GXBeginDraw calls since power-on\n"
         "                        that return null (1 to 1000000)\n"
         "  seed                  where Random starts, so that runs repeat (0 to\n"
         "                        4294967295, default 1)\n"
         "  leds                  how many notification LEDs the driver reports (0 to 32,\n"
         "                        default 2)\n"
         "  led_query_fails       true: the LED driver cannot tell how many LEDs there are\n"
         "  led_set_fails         true: every LED setting fails\n"
         "  led_map_fails         true: the LED controller's pages cannot be mapped\n"
         "  led_registers         the LED controller's registers at power-on, by kernel\n"
         "                        address: {\"0xAFB07210\": 65535, ...} (even addresses in\n"
         "                        0xAFB04xxx or 0xAFB07xxx, values 0 to 65535); others 0\n"
         "  bluetooth             the utility library's radio: {\"present_call_ok\"\n"
         "                        (default true), \"radio\" (1: present, the default; 0),\n"
         "                        \"status_export\" (default true)}\n"
         "  hotkey_fail           key codes (1 to 254) another program holds: registering\n"
         "                        them as hot keys fails and their presses go to it\n"
         "  coredll_missing       true: coredll.dll cannot be loaded by name\n"
         "  unregisterfunc1_missing\n"
         "                        true: coredll.dll has no UnregisterFunc1\n"
         "\n"
         "What --stress and --check hold the device to, whenever the program waits for\n"
         "input: it got there within --busy-limit of device time, 200000 journal lines\n"
         "and 60 s of real time; every journal line is JSON with a \"t\" that never goes\n"
         "down; at most one Dravik main window; the state folder loads after a power\n"
         "cycle; a result log Dravik wrote has the log's layout; the Status column\n"
         "shows only PASS, FAIL or ?.  --stress also sees crashes and sanitizer reports.\n"
         "\n"
         "Files: a profile may hold 1 MiB, a script 16 MiB, registry.reg 16 MiB, an\n"
         "expect-screen picture 8 MiB; each must be a regular file.  The state\n"
         "folder's store holds only folders and regular files (no symbolic links,\n"
         "FIFOs or devices).  One state folder serves one simulator at a time: a\n"
         "folder another simulator uses is refused (exit status 2).\n"
         "\n"
         "Outputs (the journal, screenshots, pictures, a recording, the stress user's\n"
         "findings) are never written through a symbolic link, a FIFO, a device or a\n"
         "folder at their place, nor over an input file (script, profile, expected\n"
         "picture, the journal), nor inside the state folder: such a place is\n"
         "refused.  Each is written beside its place and renamed over it when whole;\n"
         "one that cannot be written (a full disk) stops the run, naming the file and\n"
         "the system's reason (exit status 2).\n"
         "\n"
         "Exit status: 0 when the run ends normally; 1 when a script's expectation does\n"
         "not hold, the demo cannot go on, or --stress or --check finds a violation; 2\n"
         "for a bad command line, profile, script or state folder, a state folder in\n"
         "use, a script action that cannot be done, or an output that cannot be\n"
         "written (one line on standard error names the file and line); 3 when the\n"
         "host has no more memory to give the simulator.\n";
    return u;
}

}  // namespace sim
