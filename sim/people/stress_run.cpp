// A stress run: the random run of one seed in a child process, and what
// its end means.
#include "people/stress_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "base/host_file.h"
#include "base/journal.h"
#include "base/output_file.h"
#include "device/power.h"
#include "files/state_folder.h"
#include "kernel/local_time.h"
#include "kernel/out_of_memory.h"
#include "people/script_user.h"
#include "people/stress_shrink.h"
#include "people/stress_user.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

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

std::string signal_name(int sig) {
    const char* name = strsignal(sig);
    return "signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : std::string());
}

ChildOutcome run_child(const std::function<int()>& body) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    journal().flush();  // lines waiting now are written once, not again by the child
    ChildOutcome o;
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

int run_as_child(Person& user, const std::string& state_dir) {
    int code = run_device(user, state_dir, kScriptLocalTime);
    if (!output_failure().empty()) host_failed_in_child(output_failure());
    return code;
}

void report_violation(const Violation& v) {
    send_report("violation\n" + v.kind + "\n" + std::to_string(v.line) + "\n" + one_line_of(v.what) + "\n");
    std::_Exit(1);
}

bool same_violation(const ChildOutcome& a, const ChildOutcome& b) {
    return !a.clean && !a.refused && !b.clean && !b.refused && a.violation.kind == b.violation.kind &&
           a.detail == b.detail;
}

int host_failure(uint64_t seed, const std::string& what) {
    std::cerr << one_line("dravik-sim: stress seed " + std::to_string(seed), "the host failed, not the program: " + what)
              << "\n";
    return what.rfind("out of memory", 0) == 0 ? kOutOfMemoryExitCode : 2;
}

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
    ChildOutcome found = run_child([&]() -> int {
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
    return shrink_finding(s, work, start_state, actions_path, check, found);
}

}  // namespace sim
