#include "suite_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "base/host_file.h"
#include "base/output_file.h"
#include "files/state_folder.h"
#include "options.h"
#include "people/screen_compare.h"
#include "people/script.h"
#include "people/stress_user.h"

namespace sim {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kReportMark = ".dravik-check";  // a folder this command made
const char* const kDefaultEvidence = "check-evidence";
const size_t kJournalTail = 40;  // journal lines kept as evidence
const size_t kMostOutput = size_t(1) << 20;

enum class Result { Held, DidNotHold, Refused, Crashed };

const char* result_word(Result r) {
    switch (r) {
        case Result::Held: return "held";
        case Result::DidNotHold: return "did not hold";
        case Result::Refused: return "refused";
        case Result::Crashed: return "crashed";
    }
    return "";
}

// A picture along a script's run, for the report.
struct Thumb {
    std::string file;     // where it is now
    std::string caption;  // "line 12: expect-screen panel.png"
    bool failed = false;
};

struct Case {
    std::string name;      // as printed: the script's path, or "stress seed S"
    std::string script;    // "" for a stress seed
    uint64_t seed = 0;
    std::string start_state;  // copied fresh for each run; "" : from the factory
    std::string profile;
    std::string id;        // its folder in the evidence and the report
    std::string work;      // its folder in the work folder

    Result result = Result::Held;
    std::string message;   // what was seen, the reason, or how it died
    int line = 0;          // the script line that failed (0: none)
    double seconds = 0;
    std::string output;    // the child's standard error and output
    bool started = false;  // its child ran
    bool ran = false;      // the device powered on
    std::string journal_tail;
    std::vector<Thumb> thumbs;
    std::string command;   // the child's command line
    std::string failing_text;  // the failing line's text
    // Evidence, where it is in the work folder ("" : none).
    std::string screen, expected, seen, diff;
    bool expect_screen_failed = false;
    std::string picture;   // ... the expected picture's path, for --accept
};

std::string read_text(const std::string& path, size_t most = kMostOutput) {
    std::string bytes, why;
    if (!read_host_file(path, SIZE_MAX, Links::Refuse, &bytes, &why)) return "";
    if (bytes.size() > most) bytes = bytes.substr(bytes.size() - most);
    return bytes;
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool is_folder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// The lines of standard error as one line.
std::string joined_lines(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        l = trim(l);
        if (l.empty()) continue;
        if (!out.empty()) out += "; ";
        out += l;
    }
    return one_line("", out).substr(2);
}

std::string seconds_text(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f s", s);
    return buf;
}

std::string relative_to(const std::string& base_dir, const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return (fs::path(base_dir) / path).lexically_normal().string();
}

// A name for a case's folder: its path with the folders joined by '-'.
std::string folder_name(std::string name) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) name.resize(name.size() - 4);
    while (name.compare(0, 2, "./") == 0) name = name.substr(2);
    std::string out;
    for (char c : name) {
        if (c == '/') c = '-';
        else if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') c = '_';
        out += c;
    }
    while (!out.empty() && (out[0] == '.' || out[0] == '-')) out.erase(0, 1);
    return out.empty() ? "script" : out;
}

// The text of line `n` (from 1).
std::string line_of(const std::string& text, int n) {
    std::istringstream in(text);
    std::string l;
    for (int i = 1; std::getline(in, l); ++i)
        if (i == n) return trim(l);
    return "";
}

std::string first_word(const std::string& line) {
    std::string t = trim(line);
    return t.substr(0, t.find_first_of(" \t"));
}

// The script's actions before line `before`, without what only looks
// (expect- lines, screenshots: they take no turn and change nothing), then
// a picture of the screen: the device as it was when line `before` came.
std::string replay_text(const std::string& text, int before) {
    std::istringstream in(text);
    std::string out, l;
    for (int i = 1; std::getline(in, l) && i < before; ++i) {
        std::string w = first_word(l);
        if (w.compare(0, 7, "expect-") == 0 || w == "screenshot" || w == "screenshot-frame") continue;
        out += l + "\n";
    }
    return out + "screenshot screen.png\n";
}

// A sanitizer's line without what differs from run to run (the process
// id, addresses): "ERROR: AddressSanitizer: SEGV".
std::string sanitizer_fault(std::string line) {
    for (size_t at; (at = line.find("==")) != std::string::npos;) {
        size_t end = line.find("==", at + 2);
        if (end == std::string::npos) break;
        line.erase(at, end + 2 - at);
    }
    for (const char* cut : {" on unknown address", " on address", " at pc "}) {
        size_t at = line.find(cut);
        if (at != std::string::npos) line.resize(at);
    }
    return trim(line);
}

// ------------------------------------------------------------ children

// Starts `args` (args[0] the program) with standard output and error into
// the files `out` and `err`; -1 with *error when it cannot.
pid_t start_child(const std::vector<std::string>& args, const std::string& out, const std::string& err,
                  std::string* error) {
    OutputStream out_stream, err_stream;
    if (!out_stream.open(out, OutputStream::Shown::AtOnce, error) ||
        !err_stream.open(err, OutputStream::Shown::AtOnce, error))
        return -1;
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::cout.flush();
    std::cerr.flush();
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        *error = std::string("cannot start a child process: ") + std::strerror(errno);
        return -1;
    }
    if (pid == 0) {
        // A child ends with the runner: nothing runs on unobserved.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        dup2(out_stream.fd(), 1);
        dup2(err_stream.fd(), 2);
        execv(argv[0], argv.data());
        const char* why = std::strerror(errno);
        if (write(2, why, std::strlen(why)) < 0) _exit(127);
        _exit(127);
    }
    return pid;
}

// ------------------------------------------------------------ the journal

// The journal's last lines, the last script line it names, and the
// pictures along the run.
void read_journal(Case& c, const Script* script) {
    std::ifstream in(c.work + "/journal.jsonl", std::ios::binary);
    std::deque<std::string> tail;
    for (std::string l; std::getline(in, l);) {
        c.ran = true;
        tail.push_back(l);
        if (tail.size() > kJournalTail) tail.pop_front();
        bool names_line = l.find("\"line\"") != std::string::npos;
        bool screenshot = l.find("\"screenshot\"") != std::string::npos;
        if (!names_line && !screenshot) continue;
        nlohmann::json ev = nlohmann::json::parse(l, nullptr, false);
        if (!ev.is_object()) continue;
        if (ev.contains("line") && ev["line"].is_number_integer()) c.line = ev["line"].get<int>();
        std::string kind = ev.value("ev", "");
        if (kind == "screenshot" && ev.value("ok", false) && ev["file"].is_string()) {
            std::string file = ev["file"].get<std::string>();
            // A failing expect-screen's own picture of the screen is shown
            // with its failure.
            if (!exists(file) || (file.size() > 9 && file.compare(file.size() - 9, 9, ".seen.png") == 0)) continue;
            c.thumbs.push_back({file, "line " + std::to_string(c.line) + ": screenshot " +
                                          fs::path(file).filename().string(), false});
        } else if (kind == "expect" && ev.value("action", "") == "expect-screen" && script) {
            for (size_t i = 0; i < script->size(); ++i) {
                ScriptAction a = script->action(i);
                if (a.line != c.line || !exists(expected_picture_path(c.script, a.file))) continue;
                bool ok = ev.value("ok", false);
                c.thumbs.push_back({expected_picture_path(c.script, a.file),
                                    "line " + std::to_string(a.line) + ": expect-screen " + a.file +
                                        (ok ? "" : " (did not hold)"),
                                    !ok});
                break;
            }
        }
    }
    for (const auto& l : tail) c.journal_tail += l + "\n";
}

// ------------------------------------------------------------ JUnit

// Text for XML: the five escapes, and no byte XML 1.0 cannot hold (other
// control characters, broken UTF-8), each of which becomes '?'.
std::string xml_text(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool whole = len > 0 && i + len <= s.size();
        for (size_t k = 1; whole && k < len; ++k) whole = (static_cast<unsigned char>(s[i + k]) >> 6) == 2;
        if (!whole || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) {
            out += '?';
            ++i;
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out.append(s, i, len);
        }
        i += len;
    }
    return out;
}

std::string seconds_number(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s);
    return buf;
}

// ------------------------------------------------------------ the run

class Runner {
public:
    explicit Runner(const SuiteSettings& s) : s_(s) {}
    int run();

private:
    bool make_cases(std::string* error);
    void resolve_start(Case& c);
    std::vector<std::string> run_args(const Case& c) const;
    bool prepare(Case& c, const std::string& state, std::string* error);
    bool start(size_t i, bool replay);
    void finish_run(size_t i, int status);
    void print_ready();
    bool has_evidence(const Case& c) const { return c.result != Result::Held && c.started; }
    bool write_evidence(std::string* error);
    bool fill_case(const Case& c, const std::string& dir, std::string* error) const;
    std::string junit() const;
    std::string html() const;
    bool accept();

    const SuiteSettings& s_;
    std::vector<Case> cases_;
    std::string work_;
    std::string evidence_root_;
    std::map<pid_t, std::pair<size_t, bool>> running_;  // the child, and whether it replays
    std::vector<Clock::time_point> started_;
    std::vector<bool> done_;
    size_t printed_ = 0;
    double total_seconds_ = 0;
};

// The refusal of a command that cannot run: one line, exit 2.
int refuse(const std::string& message) {
    std::cerr << one_line("dravik-sim", message) << "\n";
    return 2;
}

bool Runner::make_cases(std::string* error) {
    if (s_.stress_actions) {
        for (uint64_t seed = s_.seed_first;; ++seed) {
            Case c;
            c.name = "stress seed " + std::to_string(seed);
            c.seed = seed;
            c.start_state = s_.state_dir;
            c.profile = s_.profile_path;
            c.id = "stress-seed-" + std::to_string(seed);
            cases_.push_back(c);
            if (seed == s_.seed_last) break;
        }
    } else {
        std::vector<std::string> scripts;
        if (!find_scripts(s_.paths, &scripts, error)) return false;
        if (scripts.empty()) {
            *error = "no scripts (*.txt) in " + s_.paths.front() + (s_.paths.size() > 1 ? " ..." : "");
            return false;
        }
        std::set<std::string> ids;
        for (const auto& path : scripts) {
            Case c;
            c.name = c.script = path;
            c.id = folder_name(path);
            for (int n = 2; !ids.insert(c.id).second; ++n) c.id = folder_name(path) + "-" + std::to_string(n);
            cases_.push_back(c);
        }
    }
    std::vector<Case> share;
    for (size_t i : shard_share(cases_.size(), s_.shard, s_.shards)) share.push_back(cases_[i]);
    cases_ = std::move(share);
    return true;
}

// Where a script starts: its header, else NAME.state beside it, else the
// command line's.  A header that names what is not there refuses it.
void Runner::resolve_start(Case& c) {
    std::string text = read_text(c.script, kMaxScriptBytes);
    ScriptHeader h = read_script_header(text);
    std::string dir = fs::path(c.script).parent_path().string();
    if (dir.empty()) dir = ".";
    std::string beside = fs::path(c.script).replace_extension(".state").string();
    c.start_state = !h.state.empty() ? relative_to(dir, h.state) : is_folder(beside) ? beside : s_.state_dir;
    c.profile = !h.profile.empty() ? relative_to(dir, h.profile) : s_.profile_path;
    if (!h.state.empty() && !is_folder(c.start_state)) {
        c.result = Result::Refused;
        c.message = c.script + ":" + std::to_string(h.state_line) + ": the state folder \"" + c.start_state +
                    "\" it names is not a folder";
    } else if (!h.profile.empty() && !exists(c.profile)) {
        c.result = Result::Refused;
        c.message = c.script + ":" + std::to_string(h.profile_line) + ": the profile \"" + c.profile +
                    "\" it names is not there";
    }
}

std::vector<std::string> Runner::run_args(const Case& c) const {
    std::vector<std::string> a = {s_.self, "--state", c.work + "/state"};
    if (c.start_state.empty()) a.push_back("--factory-reset");
    if (!c.profile.empty()) a.insert(a.end(), {"--profile", c.profile});
    a.insert(a.end(), {"--screenshots", c.work + "/shots"});
    if (!c.script.empty()) {
        a.insert(a.end(), {"--script", c.script, "--journal", c.work + "/journal.jsonl"});
    } else {
        a.insert(a.end(), {"--stress", std::to_string(s_.stress_actions), "--seed", std::to_string(c.seed)});
        if (s_.busy_limit_ms) a.insert(a.end(), {"--busy-limit", std::to_string(s_.busy_limit_ms)});
    }
    return a;
}

// A fresh copy of the case's starting state at `state`.
bool Runner::prepare(Case& c, const std::string& state, std::string* error) {
    std::error_code ec;
    fs::remove_all(state, ec);
    if (c.start_state.empty()) return true;  // made from the factory image
    fs::create_directories(state, ec);
    if (ec) {
        *error = state + ": " + ec.message();
        return false;
    }
    return copy_state_folder(c.start_state, state, error);
}

bool Runner::start(size_t i, bool replay) {
    Case& c = cases_[i];
    std::string error;
    std::vector<std::string> args;
    const std::string state = c.work + (replay ? "/replay-state" : "/state");
    if (replay) {
        std::string text = read_text(c.script, kMaxScriptBytes);
        int before = c.line > 0 ? c.line : 1;
        if (first_word(line_of(text, before)) == "screenshot-frame") before = INT32_MAX;  // missed at the end
        const std::string replay_script = c.work + "/replay.txt";
        if (!write_output_file(replay_script, replay_text(text, before), &error)) return false;
        args = {s_.self, "--state", state, "--script", replay_script, "--screenshots", c.work + "/replay-shots"};
        if (c.start_state.empty()) args.push_back("--factory-reset");
        if (!c.profile.empty()) args.insert(args.end(), {"--profile", c.profile});
    } else {
        std::error_code ec;
        fs::create_directories(c.work, ec);
        args = run_args(c);
        for (const auto& a : args) c.command += (c.command.empty() ? "" : " ") + a;
    }
    if (!prepare(c, state, &error)) {
        if (replay) return false;
        c.result = Result::Refused;
        c.message = c.name + ": its starting state " + c.start_state + " cannot be copied: " + error;
        return false;
    }
    pid_t pid = start_child(args, c.work + (replay ? "/replay-out.txt" : "/out.txt"),
                            c.work + (replay ? "/replay-err.txt" : "/err.txt"), &error);
    if (pid < 0) {
        if (replay) return false;
        c.result = Result::Crashed;
        c.message = c.name + ": " + error;
        return false;
    }
    running_[pid] = {i, replay};
    if (!replay) {
        c.started = true;
        started_[i] = Clock::now();
    }
    return true;
}

void Runner::finish_run(size_t i, int status) {
    Case& c = cases_[i];
    c.seconds = std::chrono::duration<double>(Clock::now() - started_[i]).count();
    const std::string err = read_text(c.work + "/err.txt");
    c.output = err + read_text(c.work + "/out.txt");
    Script script;
    std::string error;
    bool parsed = !c.script.empty() && parse_script(c.script, &script, &error);
    read_journal(c, parsed ? &script : nullptr);
    const int last_line = c.line;
    const std::string at = last_line > 0 ? ":" + std::to_string(last_line) : std::string();
    const std::string sanitizer = sanitizer_report(err);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!sanitizer.empty()) {
        c.result = Result::Crashed;
        c.message = c.name + at + ": a sanitizer report: " + sanitizer_fault(sanitizer);
    } else if (WIFSIGNALED(status)) {
        c.result = Result::Crashed;
        c.message = c.name + at + ": the simulator died of " + signal_name(WTERMSIG(status));
    } else if (code == 0) {
        c.result = Result::Held;
    } else if (code == 1 || code == 2) {
        c.result = code == 1 ? Result::DidNotHold : Result::Refused;
        c.message = joined_lines(err);
        if (c.message.compare(0, c.name.size(), c.name) != 0) c.message = c.name + ": " + c.message;
        // The line it names ("script.txt:12: ...").
        c.line = 0;
        const std::string prefix = c.script + ":";
        if (!c.script.empty() && c.message.compare(0, prefix.size(), prefix) == 0)
            c.line = std::atoi(c.message.c_str() + prefix.size());
    } else {
        c.result = Result::Crashed;
        c.message = c.name + at + ": the simulator ended with exit code " + std::to_string(code) +
                    (err.empty() ? "" : ": " + joined_lines(err));
    }
    if (c.result == Result::Held || c.script.empty()) {
        done_[i] = true;
        return;
    }
    const std::string text = read_text(c.script, kMaxScriptBytes);
    c.failing_text = line_of(text, c.line);
    for (size_t k = 0; parsed && c.result == Result::DidNotHold && k < script.size(); ++k) {
        ScriptAction a = script.action(k);
        if (a.line != c.line || a.kind != ScriptAction::ExpectScreen) continue;
        c.expect_screen_failed = true;
        c.picture = expected_picture_path(c.script, a.file);
        c.expected = c.picture;
        c.seen = picture_beside(c.picture, "seen");
        c.diff = picture_beside(c.picture, "diff");
    }
    // The screen at that moment, when the device was on: the run again up
    // to there.
    bool replay = c.ran || c.result == Result::Crashed;
    if (!replay || !start(i, true)) done_[i] = true;
}

void Runner::print_ready() {
    while (printed_ < cases_.size() && done_[printed_]) {
        const Case& c = cases_[printed_++];
        std::string word = result_word(c.result);
        word.resize(std::max<size_t>(word.size(), 12), ' ');
        std::string line = word + "  " + (c.message.empty() ? c.name : c.message);
        std::string notes;
        if (c.started) notes = seconds_text(c.seconds);
        if (has_evidence(c)) notes += "; evidence: " + evidence_root_ + "/" + c.id;
        if (!notes.empty()) line += "  (" + notes + ")";
        std::cout << line << std::endl;
    }
}

bool copy_file(const std::string& from, const std::string& to, std::string* error) {
    std::string bytes, why;
    if (!read_host_file(from, kMaxStoreReadBytes, Links::Refuse, &bytes, &why)) return true;  // nothing to copy
    return write_output_file(to, bytes, error);
}

// The names a case's pictures have in its folder.
std::string thumb_name(size_t k) { return "picture-" + std::to_string(k + 1) + ".png"; }

bool Runner::fill_case(const Case& c, const std::string& dir, std::string* error) const {
    std::error_code ec;
    fs::create_directory(dir, ec);
    if (ec) {
        *error = dir + ": cannot write: " + ec.message();
        return false;
    }
    if (has_evidence(c)) {
        std::string output = "$ " + c.command + "\n" + c.output + (c.output.empty() ? "" : "\n") + c.message + "\n";
        if (!write_output_file(dir + "/output.txt", output, error)) return false;
        if (!c.journal_tail.empty() && !write_output_file(dir + "/journal-tail.jsonl", c.journal_tail, error))
            return false;
        const std::pair<std::string, const char*> pictures[] = {
            {c.screen, "screen.png"}, {c.expected, "expected.png"}, {c.seen, "seen.png"}, {c.diff, "diff.png"}};
        for (const auto& p : pictures)
            if (!p.first.empty() && !copy_file(p.first, dir + "/" + p.second, error)) return false;
    }
    if (!s_.report_dir.empty())
        for (size_t k = 0; k < c.thumbs.size(); ++k)
            if (!copy_file(c.thumbs[k].file, dir + "/" + thumb_name(k), error)) return false;
    return true;
}

bool Runner::write_evidence(std::string* error) {
    bool report = !s_.report_dir.empty();
    bool any = report;
    for (const auto& c : cases_) any = any || has_evidence(c);
    if (!any) return true;
    if (exists(evidence_root_ + "/" + kReportMark)) {
        std::error_code ec;
        fs::remove_all(evidence_root_, ec);
    }
    return make_output_folder(
        evidence_root_,
        [&](const std::string& dir, std::string* e) {
            if (!write_output_file(dir + "/" + kReportMark, "made by dravik-sim --check; replaced by the next run\n", e))
                return false;
            for (const auto& c : cases_)
                if ((report && c.started) || has_evidence(c))
                    if (!fill_case(c, dir + "/" + c.id, e)) return false;
            return !report || write_output_file(dir + "/index.html", html(), e);
        },
        error);
}

std::string Runner::junit() const {
    size_t failures = 0, errors = 0;
    for (const auto& c : cases_) {
        failures += c.result == Result::DidNotHold;
        errors += c.result == Result::Refused || c.result == Result::Crashed;
    }
    std::string name = "dravik-sim --check";
    if (s_.shards > 1) name += " shard " + std::to_string(s_.shard) + "/" + std::to_string(s_.shards);
    std::string counts = " tests=\"" + std::to_string(cases_.size()) + "\" failures=\"" + std::to_string(failures) +
                         "\" errors=\"" + std::to_string(errors) + "\"";
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + xml_text(name) + "\"" +
                    counts + " time=\"" + seconds_number(total_seconds_) + "\">\n";
    x += "  <testsuite name=\"" + xml_text(name) + "\"" + counts + " skipped=\"0\" time=\"" +
         seconds_number(total_seconds_) + "\">\n";
    const std::string root = fs::absolute(evidence_root_).lexically_normal().string();
    for (const auto& c : cases_) {
        std::string classname = "stress", test = "seed " + std::to_string(c.seed);
        if (!c.script.empty()) {
            fs::path p(c.script);
            classname = p.parent_path().generic_string();
            std::replace(classname.begin(), classname.end(), '/', '.');
            if (classname.empty()) classname = ".";
            test = p.filename().string();
        }
        x += "    <testcase classname=\"" + xml_text(classname) + "\" name=\"" + xml_text(test) + "\"";
        if (!c.script.empty()) x += " file=\"" + xml_text(c.script) + "\"";
        x += " time=\"" + seconds_number(c.seconds) + "\">\n";
        if (c.result != Result::Held) {
            const char* tag = c.result == Result::DidNotHold ? "failure" : "error";
            x += std::string("      <") + tag + " type=\"" + result_word(c.result) + "\" message=\"" +
                 xml_text(c.message) + "\">" + xml_text(c.message);
            if (!c.failing_text.empty()) x += xml_text("\nline " + std::to_string(c.line) + ": " + c.failing_text);
            x += std::string("</") + tag + ">\n";
        }
        std::string out;
        if (has_evidence(c)) {
            // Attachments, as Jenkins and GitLab read them from the output.
            for (const char* f : {"screen.png", "expected.png", "seen.png", "diff.png", "journal-tail.jsonl"})
                if (exists(root + "/" + c.id + "/" + f)) out += "[[ATTACHMENT|" + root + "/" + c.id + "/" + f + "]]\n";
        }
        if (!out.empty()) x += "      <system-out>" + xml_text(out) + "</system-out>\n";
        if (!c.output.empty()) x += "      <system-err>" + xml_text(c.output) + "</system-err>\n";
        x += "    </testcase>\n";
    }
    x += "  </testsuite>\n</testsuites>\n";
    return x;
}

bool Runner::accept() {
    std::set<std::string> done;
    bool ok = true;
    for (const auto& c : cases_) {
        if (!c.expect_screen_failed || !done.insert(c.picture).second) continue;
        std::string bytes, why, error;
        if (!read_host_file(c.seen, kMaxStoreReadBytes, Links::Refuse, &bytes, &why)) continue;
        if (!write_output_file(c.picture, bytes, &error)) {
            std::cerr << one_line("dravik-sim --accept", error) << "\n";
            ok = false;
            continue;
        }
        std::cout << "accepted: " << c.picture << " (the screen seen at " << c.script << ":" << c.line << ")"
                  << std::endl;
    }
    return ok;
}

// ------------------------------------------------------------ the report

const char* const kReportStyle =
    "body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.4em}table{border-collapse:collapse}"
    "td.failed,td.held{white-space:nowrap}td,th{padding:.3em .7em;border-bottom:1px solid #ddd;text-align:left;vertical-align:top}"
    ".held{color:#176b2c}.failed{color:#b3261e;font-weight:bold}"
    "section{margin:1.5em 0;padding:1em;border:1px solid #ccc;border-radius:6px}"
    "section.bad{border-color:#b3261e}"
    ".pictures{display:flex;flex-wrap:wrap;gap:.8em}figure{margin:0 0 .5em 0}td.time{white-space:nowrap}"
    "figcaption{font-size:.85em;color:#555;max-width:240px}"
    "img.full{width:240px;height:320px;border:1px solid #999;image-rendering:pixelated}"
    "img.thumb{width:60px;height:80px;border:1px solid #999}"
    "pre{background:#f4f4f4;padding:.6em;overflow:auto;max-height:24em;font-size:12px}"
    "code{background:#f4f4f4;padding:0 .2em}";

std::string Runner::html() const {
    size_t passed = 0;
    for (const auto& c : cases_) passed += c.result == Result::Held;
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                    "<title>dravik-sim --check: " + std::to_string(passed) + " passed, " +
                    std::to_string(cases_.size() - passed) + " failed</title><style>" + kReportStyle +
                    "</style></head><body>\n";
    h += "<h1>" + std::to_string(passed) + " passed, " + std::to_string(cases_.size() - passed) + " failed</h1>\n";
    if (s_.shards > 1) h += "<p>Shard " + std::to_string(s_.shard) + " of " + std::to_string(s_.shards) + "</p>\n";
    h += "<table><tr><th>Result</th><th>Script</th><th>Time</th><th>What was seen</th></tr>\n";
    for (const auto& c : cases_) {
        bool held = c.result == Result::Held;
        h += "<tr><td class=\"" + std::string(held ? "held" : "failed") + "\">" + result_word(c.result) +
             "</td><td><a href=\"#" + xml_text(c.id) + "\">" + xml_text(c.name) + "</a></td><td class=\"time\">" +
             (c.started ? seconds_text(c.seconds) : "") + "</td><td>" + (held ? "" : xml_text(c.message)) +
             "</td></tr>\n";
    }
    h += "</table>\n";
    for (const auto& c : cases_) {
        bool held = c.result == Result::Held;
        const std::string dir = xml_text(c.id) + "/";
        h += "<section id=\"" + xml_text(c.id) + "\" class=\"" + (held ? "good" : "bad") + "\"><h2>" +
             xml_text(c.name) + " <span class=\"" + (held ? "held" : "failed") + "\">" + result_word(c.result) +
             "</span></h2>\n";
        if (!held) {
            h += "<p>" + xml_text(c.message) + "</p>\n";
            if (!c.failing_text.empty())
                h += "<p>Line " + std::to_string(c.line) + ": <code>" + xml_text(c.failing_text) + "</code></p>\n";
            const std::pair<std::string, const char*> pictures[] = {
                {c.screen, "screen"}, {c.expected, "expected"}, {c.seen, "seen"}, {c.diff, "diff"}};
            const char* captions[] = {"the screen at that moment", "expected", "seen", "difference (red)"};
            h += "<div class=\"pictures\">\n";
            for (size_t k = 0; k < 4; ++k)
                if (!pictures[k].first.empty() && exists(pictures[k].first))
                    h += "<figure><img class=\"full\" src=\"" + dir + pictures[k].second + ".png\" alt=\"" +
                         captions[k] + "\"><figcaption>" + captions[k] + "</figcaption></figure>\n";
            if (!c.journal_tail.empty())
                h += "<h3>The journal's last lines</h3><pre>" + xml_text(c.journal_tail) + "</pre>\n";
            if (has_evidence(c)) h += "<p><a href=\"" + dir + "output.txt\">Its output</a></p>\n";
        }
        if (!c.thumbs.empty()) {
            h += "<h3>Pictures along the run</h3><div class=\"pictures\">\n";
            for (size_t k = 0; k < c.thumbs.size(); ++k)
                h += "<figure><a href=\"" + dir + thumb_name(k) + "\"><img class=\"thumb\" src=\"" + dir +
                     thumb_name(k) + "\" alt=\"" + xml_text(c.thumbs[k].caption) + "\"></a><figcaption>" +
                     xml_text(c.thumbs[k].caption) + "</figcaption></figure>\n";
            h += "</div>\n";
        }
        h += "</section>\n";
    }
    return h + "</body></html>\n";
}

int Runner::run() {
    std::string error;
    if (!s_.state_dir.empty() && !is_folder(s_.state_dir))
        return refuse(s_.state_dir + ": the starting state folder is not there (it is copied for each run, never "
                      "changed)");
    if (!make_cases(&error)) return refuse(error);
    for (auto& c : cases_)
        if (!c.script.empty()) resolve_start(c);

    // The places of the outputs, before anything runs.
    OutputRules& rules = output_rules();
    for (const auto& c : cases_) {
        if (!c.script.empty()) rules.add_input("the script " + c.script, c.script);
        if (!c.profile.empty()) rules.add_input("the profile " + c.profile, c.profile);
    }
    evidence_root_ = s_.report_dir.empty() ? kDefaultEvidence : s_.report_dir;
    if (exists(evidence_root_) && !exists(evidence_root_ + "/" + kReportMark))
        return refuse(evidence_root_ + ": cannot be the " + (s_.report_dir.empty() ? "evidence" : "report") +
                      " folder: something else is there (a folder of an earlier run is replaced)");
    std::string why = exists(evidence_root_) ? "" : rules.problem(evidence_root_);
    if (why.empty()) why = folder_problem(evidence_root_);
    if (!why.empty()) return refuse(evidence_root_ + ": cannot write: " + why);
    if (!s_.junit_path.empty()) {
        why = rules.problem(s_.junit_path);
        if (why.empty()) why = folder_problem(s_.junit_path);
        if (!why.empty()) return refuse(s_.junit_path + ": cannot be the JUnit file: " + why);
    }

    const char* tmp = std::getenv("TMPDIR");
    work_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/dravik-check-XXXXXX";
    if (!mkdtemp(&work_[0])) return refuse("cannot make a work folder " + work_ + ": " + std::strerror(errno));
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } cleanup{work_};

    const size_t n = cases_.size();
    started_.assign(n, Clock::now());
    done_.assign(n, false);
    for (size_t i = 0; i < n; ++i) {
        cases_[i].work = work_ + "/" + std::to_string(i);
        if (cases_[i].result != Result::Held) done_[i] = true;  // refused before it ran
    }
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
    size_t jobs = s_.jobs ? s_.jobs : size_t(cores > 0 ? cores : 1);
    const auto begun = Clock::now();
    size_t next = 0;
    for (;;) {
        for (; running_.size() < jobs && next < n; ++next)
            if (!done_[next] && !start(next, false)) done_[next] = true;
        print_ready();
        if (running_.empty()) break;
        int status = 0;
        pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto it = running_.find(pid);
        if (it == running_.end()) continue;
        auto [i, replay] = it->second;
        running_.erase(it);
        if (!replay) {
            finish_run(i, status);
        } else {
            std::string screen = cases_[i].work + "/replay-shots/screen.png";
            if (exists(screen)) cases_[i].screen = screen;
            done_[i] = true;
        }
    }
    total_seconds_ = std::chrono::duration<double>(Clock::now() - begun).count();

    size_t passed = 0;
    for (const auto& c : cases_) passed += c.result == Result::Held;
    int code = passed == n ? 0 : 1;
    if (!write_evidence(&error)) {
        std::cerr << one_line("dravik-sim", error) << "\n";
        code = 2;
    } else if (!s_.report_dir.empty()) {
        std::cout << "report: " << s_.report_dir << "/index.html" << std::endl;
    }
    if (!s_.junit_path.empty() && !write_output_file(s_.junit_path, junit(), &error)) {
        std::cerr << one_line("dravik-sim", error) << "\n";
        code = 2;
    }
    if (s_.accept && !accept()) code = 2;
    std::cout << passed << " passed, " << n - passed << " failed" << std::endl;
    return code;
}

}  // namespace

ScriptHeader read_script_header(const std::string& text) {
    ScriptHeader h;
    std::istringstream in(text);
    int n = 0;
    for (std::string l; std::getline(in, l);) {
        ++n;
        std::string t = trim(l);
        if (t.empty()) continue;
        if (t[0] != '#') break;  // the first action ends the header
        t = trim(t.substr(1));
        for (auto [key, value, line] : {std::make_tuple("state:", &h.state, &h.state_line),
                                        std::make_tuple("profile:", &h.profile, &h.profile_line)}) {
            size_t len = std::strlen(key);
            if (t.compare(0, len, key) == 0 && value->empty()) {
                *value = trim(t.substr(len));
                *line = n;
            }
        }
    }
    return h;
}

bool find_scripts(const std::vector<std::string>& paths, std::vector<std::string>* scripts, std::string* error) {
    std::set<std::string> seen;
    auto add = [&](const std::string& path) {
        std::error_code ec;
        std::string key = fs::weakly_canonical(path, ec).string();
        if (seen.insert(ec ? path : key).second) scripts->push_back(path);
    };
    for (const auto& p : paths) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0) {
            *error = p + ": " + std::strerror(errno);
            return false;
        }
        if (S_ISREG(st.st_mode)) {
            add(p);
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            *error = p + ": neither a script nor a folder of scripts";
            return false;
        }
        std::vector<std::string> found;
        std::error_code ec;
        fs::recursive_directory_iterator it(p, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const fs::directory_entry& e = *it;
            std::string name = e.path().filename().string();
            std::error_code ec2;
            if (e.is_directory(ec2) && !e.is_symlink(ec2)) {
                bool state = name.size() > 6 && name.compare(name.size() - 6, 6, ".state") == 0;
                if (name[0] == '.' || state || fs::exists(e.path() / "registry.reg", ec2)) it.disable_recursion_pending();
                continue;
            }
            if (e.is_regular_file(ec2) && !e.is_symlink(ec2) && e.path().extension() == ".txt" && name[0] != '.')
                found.push_back((fs::path(p) / fs::relative(e.path(), p, ec2)).generic_string());
        }
        if (ec) {
            *error = p + ": " + ec.message();
            return false;
        }
        std::sort(found.begin(), found.end());
        for (const auto& f : found) add(f);
    }
    return true;
}

std::vector<size_t> shard_share(size_t count, unsigned shard, unsigned shards) {
    std::vector<size_t> share;
    if (shards == 0 || shard == 0) return share;
    for (size_t i = shard - 1; i < count; i += shards) share.push_back(i);
    return share;
}

SuiteSettings suite_settings(const Options& o) {
    SuiteSettings s;
    std::error_code ec;
    s.self = fs::read_symlink("/proc/self/exe", ec).string();
    s.paths = o.check_paths;
    s.state_dir = o.state_dir;
    s.profile_path = o.profile_path;
    s.jobs = o.jobs;
    s.shard = o.shard;
    s.shards = o.shards;
    s.junit_path = o.junit_path;
    s.report_dir = o.report_dir;
    s.accept = o.accept;
    if (o.seeds_given) {
        s.stress_actions = o.stress_actions;
        s.seed_first = o.seed_first;
        s.seed_last = o.seed_last;
        if (o.busy_limit_given) s.busy_limit_ms = o.busy_limit_ms;
    }
    return s;
}

int run_suite(const SuiteSettings& settings) {
    Runner runner(settings);
    return runner.run();
}

}  // namespace sim
