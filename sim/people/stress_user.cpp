#include "people/stress_user.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "device/power.h"
#include "kernel/local_time.h"
#include "gdi/framebuffer.h"
#include "people/expectations.h"
#include "people/invariants.h"
#include "platform/ce_api.h"
#include "people/screen_reading.h"
#include "base/journal.h"
#include "gdi/screen.h"
#include "people/script_user.h"
#include "shell/shell.h"
#include "base/host_file.h"
#include "base/output_file.h"
#include "files/state_folder.h"
#include "kernel/out_of_memory.h"
#include "user/window.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- looking at the screen

void collect_controls(Window* w, std::vector<Window*>* out) {
    for (Window* c : w->children) {
        if (c->destroyed || !is_visible(c)) continue;
        Rect r = screen_rect(c).intersect(Framebuffer::bounds());
        if (r.width() > 0 && r.height() > 0 && is_enabled_tree(c)) out->push_back(c);
        collect_controls(c, out);
    }
}

// Controls a tap can reach: visible, enabled, on the screen, in any window
// shown (the one in front first).
std::vector<Window*> tappable_controls() {
    std::vector<Window*> out;
    for (Window* t : top_level_windows())
        if (!t->destroyed && is_visible(t)) collect_controls(t, &out);
    return out;
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

std::string tap_line(int x, int y) {
    return "tap " + std::to_string(clamp(x, 0, kScreenWidth - 1)) + " " + std::to_string(clamp(y, 0, kScreenHeight - 1));
}

// The device's hardware buttons: the application buttons, the side
// buttons, the pad and its action button.
const int kButtons[] = {VK_APP1, VK_APP2,      VK_APP3,      VK_APP4, VK_DEVICE_C0, VK_APP6, VK_DEVICE_C7,
                        VK_DEVICE_C8, VK_DEVICE_C9, VK_LEFT, VK_UP,   VK_RIGHT,     VK_DOWN, VK_RETURN};

// ---------------------------------------------------------------- the rows

bool always() { return true; }
bool has_controls() { return !tappable_controls().empty(); }
bool has_target() {
    Point p;
    return find_stylus_target(&p);
}
bool has_message_box() { return front_message_box() != nullptr; }
// The top bar's OK shows and nothing covers its centre.
bool has_caption_ok() {
    if (!shell_caption_ok_visible()) return false;
    Rect r = shell_caption_ok_rect();
    Window* at = window_at(r.left + r.width() / 2, r.top + r.height() / 2);
    return at && top_level_of(at)->shell;
}
bool has_active_window() { return active_window() != nullptr; }

std::string tap_control(StressChooser& r) {
    std::vector<Window*> controls = tappable_controls();
    Window* c = controls[size_t(r.below(controls.size()))];
    Rect b = screen_rect(c).intersect(Framebuffer::bounds());
    return tap_line(r.between(b.left, b.right - 1), r.between(b.top, b.bottom - 1));
}

std::string tap_target(StressChooser& r) {
    Point p{0, 0};
    find_stylus_target(&p);
    // Mostly on the centre, sometimes beside it.
    int spread = r.below(4) == 0 ? 12 : 2;
    return tap_line(p.x + r.between(-spread, spread), p.y + r.between(-spread, spread));
}

std::string tap_anywhere(StressChooser& r) { return tap_line(r.between(0, kScreenWidth - 1), r.between(0, kScreenHeight - 1)); }

std::string press_button(StressChooser& r) {
    return "press " + std::to_string(kButtons[r.below(sizeof kButtons / sizeof kButtons[0])]);
}

// A box another window covers cannot be answered by a tap; the person
// presses the action button instead, as they would on the device.
std::string answer_box(StressChooser& r) {
    Window* box = front_message_box();
    std::vector<const char*> words;
    for (Window* button : box->children) {
        const char* word = answer_word(button->control_id);
        if (button->destroyed || !word || !is_visible(button)) continue;
        Rect b = screen_rect(button);
        bool nothing = false;
        if (tap_lands_elsewhere(button, {b.left + b.width() / 2, b.top + b.height() / 2}, &nothing) || nothing)
            continue;
        words.push_back(word);
    }
    if (words.empty()) return "press 13";
    return std::string("answer ") + words[size_t(r.below(words.size()))];
}

std::string caption_ok(StressChooser&) { return "caption-ok"; }
std::string help(StressChooser&) { return "help"; }
std::string launch(StressChooser&) { return "launch"; }

std::string wait(StressChooser& r) {
    uint64_t kind = r.below(10);
    int ms = kind < 6 ? r.between(0, 200) : kind < 9 ? r.between(200, 3000) : r.between(3000, 30000);
    return "wait " + std::to_string(ms);
}

std::string power_cycle(StressChooser&) { return "power-cycle"; }

// One name, written again and again over the last picture.
std::string keep_picture(StressChooser&) { return "screenshot stress-screen.png"; }

}  // namespace

// What the person does, and how often.  A row counts only while it can be
// done at all (an answer needs a message box); the weights of the rows
// that can be done are shares of the whole.  Change, add or drop rows here.
const std::vector<StressChooser::Row>& StressChooser::table() {
    static const std::vector<Row> rows = {
        // weight  what                                        can it be done    the action
        {30, "tap a control of a window on the screen",       has_controls,      tap_control},
        {10, "tap at or near a Screen Calibration target",   has_target,        tap_target},
        {8, "tap anywhere on the screen",                    always,            tap_anywhere},
        {15, "press a hardware button",                      always,            press_button},
        {20, "answer the message box with one of its buttons", has_message_box, answer_box},
        {3, "tap the OK button in the caption",              has_caption_ok,    caption_ok},
        {2, "choose Help",                                   has_active_window, help},
        {2, "start Dravik from the shell",                   always,            launch},
        {12, "wait: mostly a moment, sometimes seconds",     always,            wait},
        {1, "pull the battery and switch the device on again", always,          power_cycle},
        {1, "keep a picture of the screen",                  always,            keep_picture},
    };
    return rows;
}

StressChooser::StressChooser(uint64_t seed, uint64_t actions, OutputStream* record)
    : state_(seed), left_(actions), record_(record) {}

// splitmix64: small, and the same numbers everywhere.
uint64_t StressChooser::below(uint64_t n) {
    state_ += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return n ? z % n : 0;
}

bool StressChooser::next(ScriptAction* action) {
    if (left_ == 0) return false;
    --left_;
    const auto& rows = table();
    std::vector<const Row*> can;
    uint64_t total = 0;
    for (const Row& row : rows)
        if (row.weight > 0 && row.possible()) {
            can.push_back(&row);
            total += uint64_t(row.weight);
        }
    uint64_t pick = below(total);
    const Row* chosen = can.back();
    for (const Row* row : can) {
        if (pick < uint64_t(row->weight)) {
            chosen = row;
            break;
        }
        pick -= uint64_t(row->weight);
    }
    std::string line = chosen->make(*this);
    ++done_;
    std::string error;
    // A line the record cannot take (a full disk) ends the run as the
    // host's failure, not the program's.
    if (record_ && !record_->write(line + "\n", &error)) output_failed(error);
    Script parsed;
    if (!parse_script_text(line + "\n", "stress", &parsed, &error) || parsed.size() != 1) {
        std::cerr << "dravik-sim: the stress user made a line its scripts cannot hold: " << error << "\n";
        std::abort();
    }
    *action = parsed.action(0);
    action->line = int(done_);
    return true;
}

std::vector<std::string> shrink_actions(std::vector<std::string> actions,
                                        const std::function<bool(const std::vector<std::string>&)>& shows,
                                        int most_tries) {
    int tries = 0;
    size_t chunk = actions.size() / 2;
    if (chunk == 0) chunk = 1;
    for (;;) {
        bool dropped = false;
        for (size_t start = 0; start < actions.size() && !actions.empty();) {
            if (tries >= most_tries) return actions;
            size_t end = std::min(actions.size(), start + chunk);
            std::vector<std::string> candidate(actions.begin(), actions.begin() + long(start));
            candidate.insert(candidate.end(), actions.begin() + long(end), actions.end());
            ++tries;
            if (shows(candidate)) {
                actions = std::move(candidate);
                dropped = true;
            } else {
                start = end;
            }
        }
        if (chunk == 1 && !dropped) return actions;
        if (!dropped) chunk = std::max<size_t>(1, chunk / 2);
        chunk = std::min(chunk, std::max<size_t>(1, actions.size() / 2));
    }
}

// ---------------------------------------------------------------- runs in child processes

namespace {

struct Outcome {
    bool clean = false;     // ran to its end, nothing violated
    bool refused = false;   // exit 2: an action could not be done, or bad input
    std::string host;       // the host failed (a full disk, no memory): what it said
    Violation violation;    // otherwise
    std::string detail;     // crashes: the signal or the sanitizer's report line
    std::string stderr_text;
};

// The run's own record of its actions, read back whole (`most` bytes at
// most).
std::string read_text(const std::string& path, size_t most) {
    std::string text, why;
    read_host_file(path, most, Links::Refuse, &text, &why);
    return text;
}

std::string one_line_of(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// What the child tells its parent goes through a pipe, which a full disk
// cannot stop: "violation", its kind, line and what; or "host" and the
// message of an output that could not be written.
int g_report_fd = -1;

void send_report(const std::string& text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(g_report_fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data += n;
        left -= size_t(n);
    }
}

[[noreturn]] void host_failed_in_child(const std::string& message) {
    send_report("host\n" + one_line_of(message) + "\n");
    std::_Exit(2);
}

}  // namespace

// The first line a sanitizer wrote, without addresses: what kind of fault.
std::string sanitizer_report(const std::string& err) {
    static const char* const kMarks[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                                         "ERROR: UndefinedBehaviorSanitizer"};
    for (const char* mark : kMarks) {
        size_t at = err.find(mark);
        if (at == std::string::npos) continue;
        size_t begin = err.rfind('\n', at);
        begin = begin == std::string::npos ? 0 : begin + 1;
        size_t end = err.find('\n', at);
        std::string line = err.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        return line;
    }
    return "";
}

namespace {

// The part of a sanitizer line that names the fault ("heap-buffer-overflow",
// "signed integer overflow"), so that a shorter run can be matched to it.
std::string fault_class(const std::string& report) {
    size_t at = report.find("Sanitizer: ");
    if (at != std::string::npos) {
        std::string rest = report.substr(at + 11);
        return rest.substr(0, rest.find(' '));
    }
    at = report.find("runtime error: ");
    if (at != std::string::npos) {
        std::string rest = report.substr(at + 15);
        size_t cut = rest.find_first_of("0123456789'");
        return rest.substr(0, cut);
    }
    return report;
}

}  // namespace

std::string signal_name(int sig) {
    const char* name = strsignal(sig);
    return "signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : std::string());
}

namespace {

// Reads the child's standard error and report to their ends; at most 1 MiB
// of each is kept.
void drain(int err_fd, int report_fd, std::string* err, std::string* report) {
    const size_t most = size_t(1) << 20;
    pollfd fds[2] = {{err_fd, POLLIN, 0}, {report_fd, POLLIN, 0}};
    std::string* sinks[2] = {err, report};
    int open_fds = 2;
    while (open_fds > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[8192];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open_fds;
                continue;
            }
            if (sinks[i]->size() < most) sinks[i]->append(buf, std::min(size_t(n), most - sinks[i]->size()));
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) ::close(f.fd);
}

Outcome run_child(const std::function<int()>& body) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    journal().flush();  // lines waiting now are written once, not again by the child
    Outcome o;
    int err_pipe[2] = {-1, -1}, report_pipe[2] = {-1, -1};
    if (pipe2(err_pipe, O_CLOEXEC) != 0 || pipe2(report_pipe, O_CLOEXEC) != 0) {
        o.host = std::string("cannot start a child process: ") + std::strerror(errno);
        for (int fd : {err_pipe[0], err_pipe[1]})
            if (fd >= 0) ::close(fd);
        return o;
    }
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        o.host = std::string("cannot start a child process: ") + std::strerror(errno);
        for (int fd : {err_pipe[0], err_pipe[1], report_pipe[0], report_pipe[1]}) ::close(fd);
        return o;
    }
    if (pid == 0) {
        // The run ends with the stress user, however that ends: it holds
        // the state folder only as long as its parent does.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) std::_Exit(2);
        ::close(err_pipe[0]);
        ::close(report_pipe[0]);
        dup2(err_pipe[1], 2);
        ::close(err_pipe[1]);
        g_report_fd = report_pipe[1];
        set_output_failure_handler(host_failed_in_child);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            dup2(null, 1);
            ::close(null);
        }
        std::exit(body());
    }
    ::close(err_pipe[1]);
    ::close(report_pipe[1]);
    std::string report;
    drain(err_pipe[0], report_pipe[0], &o.stderr_text, &report);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::istringstream in(report);
    std::string kind;
    std::getline(in, kind);
    if (kind == "host") {
        std::getline(in, o.host);
        return o;
    }
    if (kind == "violation") {
        std::string line_text;
        std::getline(in, o.violation.kind);
        std::getline(in, line_text);
        std::getline(in, o.violation.what);
        o.violation.line = std::atoi(line_text.c_str());
        return o;
    }
    std::string sanitizer = sanitizer_report(o.stderr_text);
    if (!sanitizer.empty()) {
        o.violation = {"crash", "a sanitizer report: " + sanitizer, 0};
        o.detail = fault_class(sanitizer);
        return o;
    }
    if (WIFSIGNALED(status)) {
        o.violation = {"crash", "the simulator died of " + signal_name(WTERMSIG(status)), 0};
        o.detail = std::to_string(WTERMSIG(status));
        return o;
    }
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0) {
        o.clean = true;
    } else if (code == 2) {
        o.refused = true;
    } else if (code == kOutOfMemoryExitCode) {
        o.host = "out of memory: the host has no more memory to give the simulator";
    } else {
        o.violation = {"crash", "the simulator ended with exit code " + std::to_string(code), 0};
        o.detail = std::to_string(code);
    }
    return o;
}

// In the child: the run, whose end for want of an output is the host's.
int run_as_child(Person& user, const std::string& state_dir) {
    int code = run_device(user, state_dir, kScriptLocalTime);
    if (!output_failure().empty()) host_failed_in_child(output_failure());
    return code;
}

// In the child: a violation goes to the parent, and the run ends.
void report_violation(const Violation& v) {
    send_report("violation\n" + v.kind + "\n" + std::to_string(v.line) + "\n" + one_line_of(v.what) + "\n");
    std::_Exit(1);
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

bool same_violation(const Outcome& a, const Outcome& b) {
    return !a.clean && !a.refused && !b.clean && !b.refused && a.violation.kind == b.violation.kind &&
           a.detail == b.detail;
}

}  // namespace

namespace {

// The host failed (a full disk, no memory): said as such, and nothing of
// the finding is written.
int host_failure(uint64_t seed, const std::string& what) {
    std::cerr << one_line("dravik-sim: stress seed " + std::to_string(seed), "the host failed, not the program: " + what)
              << "\n";
    return what.rfind("out of memory", 0) == 0 ? kOutOfMemoryExitCode : 2;
}

}  // namespace

int run_stress(const StressSettings& s) {
    std::string tmp_root = std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string work_template = tmp_root + "/dravik-stress-XXXXXX";
    if (!mkdtemp(&work_template[0]))
        return host_failure(s.seed, "cannot make a work folder in " + tmp_root + ": " + std::strerror(errno));
    const std::string work = work_template;
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } cleanup{work};

    std::string error;
    const std::string start_state = work + "/start-state";
    if (!copy_state_to_new_folder(s.state_dir, start_state, &error)) return host_failure(s.seed, error);
    const std::string actions_path = work + "/actions.txt";
    // The caller's journal is open already; without one, a private one.
    if (!journal().is_open() && !journal().open(work + "/journal.jsonl", &error)) return host_failure(s.seed, error);

    CheckSettings check;
    check.journal_path = journal().path();
    check.busy_limit_ms = s.busy_limit_ms;
    check.report = report_violation;

    // The random run itself, on the caller's state folder (held by this
    // process, and so by the child it forks).
    Outcome found = run_child([&]() -> int {
        OutputStream record;
        std::string e;
        if (!record.open(actions_path, OutputStream::Shown::AtOnce, &e)) output_failed(e);
        journal().set_batched(true);
        RunOptions run;
        run.state_dir = s.state_dir;
        run.journal_path = check.journal_path;
        run.screenshots_dir = s.screenshots_dir;
        run.user = UserKind::Script;
        run.script.path = "stress";
        StressChooser chooser(s.seed, s.actions, &record);
        CheckingUser user(make_script_user(run, [&](ScriptAction* a) { return chooser.next(a); }), check);
        return run_as_child(user, run.state_dir);
    });
    if (!found.host.empty()) return host_failure(s.seed, found.host);

    if (found.clean || found.refused) {
        // Only the number of actions is wanted: the record is counted, not kept.
        uint64_t done = 0;
        std::ifstream in(actions_path, std::ios::binary);
        char buf[65536];
        while (in.read(buf, sizeof buf) || in.gcount() > 0) done += uint64_t(std::count(buf, buf + in.gcount(), '\n'));
        if (found.clean) {
            std::cout << "dravik-sim: stress seed " << s.seed << ": " << done << " actions, nothing violated\n";
            return 0;
        }
        std::cerr << found.stderr_text;
        std::cerr << "dravik-sim: stress seed " << s.seed << ": the run stopped after " << done
                  << " actions with exit code 2\n";
        return 2;
    }
    std::vector<std::string> actions;
    {
        // A line of the record is far shorter than 64 bytes.
        std::istringstream in(read_text(actions_path, size_t(s.actions) * 64 + 4096));
        for (std::string l; std::getline(in, l);) actions.push_back(l);
    }

    // The actions up to the one after which the violation showed.
    size_t upto = found.violation.line > 0 ? size_t(found.violation.line) : actions.size();
    if (upto < actions.size()) actions.resize(upto);
    const Violation first = found.violation;
    std::cerr << "dravik-sim: stress seed " << s.seed << ", after action " << upto << " of " << s.actions << " ("
              << (upto ? actions[upto - 1] : std::string("before the first")) << "): " << first.what << " ["
              << first.kind << "]\n";
    if (found.violation.kind == "crash") std::cerr << found.stderr_text;

    // Replays on fresh copies of the starting state, with the script user;
    // each replay holds its own copy.  A failure of the host stops them.
    int replays = 0;
    std::string host;
    auto replay = [&](const std::vector<std::string>& candidate) {
        Outcome o;
        if (!host.empty()) {
            o.host = host;
            return o;
        }
        ++replays;
        const std::string script_path = work + "/candidate.txt";
        const std::string state = work + "/replay-" + std::to_string(replays);
        std::string e;
        if (!write_output_file(script_path, join_lines(candidate), &e) || !copy_state_to_new_folder(start_state, state, &e)) {
            o.host = host = e;
            return o;
        }
        CheckSettings replay_check = check;
        replay_check.journal_path = work + "/replay-journal.jsonl";
        o = run_child([&]() -> int {
            RunOptions run;
            std::string err;
            StateFolder folder;
            if (!parse_script(script_path, &run.script, &err) || !folder.open(state, false, &err)) {
                std::cerr << err << "\n";
                return 2;
            }
            if (!journal().open(replay_check.journal_path, &err)) output_failed(err);
            journal().set_batched(true);
            run.state_dir = state;
            run.journal_path = replay_check.journal_path;
            run.screenshots_dir = work;
            run.user = UserKind::Script;
            CheckingUser user(make_script_user(run, nullptr), replay_check);
            return run_as_child(user, run.state_dir);
        });
        std::error_code ec;
        fs::remove_all(state, ec);
        if (!o.host.empty()) host = o.host;
        return o;
    };

    auto started = std::chrono::steady_clock::now();
    const auto budget = std::chrono::minutes(15);
    Outcome again = replay(actions);
    bool repeats = same_violation(again, found);
    std::vector<std::string> shortest = actions;
    if (repeats) {
        shortest = shrink_actions(
            actions,
            [&](const std::vector<std::string>& candidate) {
                if (!host.empty() || std::chrono::steady_clock::now() - started > budget) return false;
                return same_violation(replay(candidate), found);
            },
            2000);
    }
    if (!host.empty()) return host_failure(s.seed, host);

    // The finding: its state folder and its script, under names no earlier
    // finding has (stress-seed-7.txt, else stress-seed-7-2.txt, ...), each
    // written whole or not at all.
    const std::string base = s.out_dir + "/stress-seed-" + std::to_string(s.seed);
    std::string stem = base;
    for (int n = 2; free_output_name(stem, ".txt") != stem + ".txt" || free_output_name(stem, ".state") != stem + ".state";
         ++n)
        stem = base + "-" + std::to_string(n);
    const std::string script_out = stem + ".txt", state_out = stem + ".state";
    std::string command = replay_command(state_out, s.profile_path, script_out) + " --check";
    if (s.busy_limit_ms != 60000) command += " --busy-limit " + std::to_string(s.busy_limit_ms);
    std::string header = "# Found by dravik-sim --stress " + std::to_string(s.actions) + " --seed " +
                         std::to_string(s.seed) + ": " + first.what + " [" + first.kind + "]\n" +
                         "# The shortest script found that still shows it: " + std::to_string(shortest.size()) +
                         " of the " + std::to_string(actions.size()) + " actions" +
                         (repeats ? "" : " (the violation did not show again when replayed)") + ".\n" +
                         "# Run it on a fresh copy of the state folder the stress run started from:\n#   " +
                         command + "\n";
    if (!copy_state_to_new_folder(start_state, state_out, &error)) return host_failure(s.seed, error);
    if (!write_output_file(script_out, header + join_lines(shortest), &error)) {
        std::error_code ec;
        fs::remove_all(state_out, ec);  // made just now, and of no use alone
        return host_failure(s.seed, error);
    }
    std::cerr << "dravik-sim: the shortest script that shows it (" << shortest.size() << " actions, " << replays
              << " replays): " << script_out << "\n";
    if (!repeats) std::cerr << "dravik-sim: replayed as a script, the run did not show it again\n";
    std::cerr << "dravik-sim: reproduce with: " << command << "\n";
    return 1;
}

}  // namespace sim
