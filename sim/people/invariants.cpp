#include "people/invariants.h"
#include "people/panel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "device/png.h"
#include "base/host_file.h"
#include "gdi/screen.h"
#include "base/clock.h"
#include "people/screen_compare.h"
#include "people/screen_reading.h"
#include "files/filestore.h"
#include "base/profile.h"
#include "base/text.h"
#include "user/window.h"

namespace sim {

namespace {


// A decimal number without leading zeros within [lo, hi].
bool plain_number(const std::string& s, long lo, long hi) {
    if (s.empty() || s.size() > 6 || (s.size() > 1 && s[0] == '0')) return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    return v >= lo && v <= hi;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(sep, start);
        out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return out;
        start = at + 1;
    }
}

// "M/D/YYYY H:M:S " with every field in range and without leading zeros.
bool time_stamp_ok(const std::string& line) {
    if (line.empty() || line.back() != ' ') return false;
    std::vector<std::string> halves = split(line.substr(0, line.size() - 1), ' ');
    if (halves.size() != 2) return false;
    std::vector<std::string> date = split(halves[0], '/'), time = split(halves[1], ':');
    return date.size() == 3 && time.size() == 3 && plain_number(date[0], 1, 12) && plain_number(date[1], 1, 31) &&
           plain_number(date[2], 1601, 30827) && plain_number(time[0], 0, 23) && plain_number(time[1], 0, 59) &&
           plain_number(time[2], 0, 59);
}

bool profile_faults_log() {
    const auto& raw = profile().raw();
    auto faults = raw.find("file_faults");
    if (faults == raw.end() || !faults->is_object()) return false;
    for (auto it = faults->begin(); it != faults->end(); ++it)
        if (FileStore::same_path(to_u16(it.key()), kResultLog)) return true;
    return false;
}

}  // namespace

std::string log_layout_problem(const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos) return "holds a zero byte";
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
        return "does not end with CR LF";
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t at = bytes.find("\r\n", start);
        lines.push_back(bytes.substr(start, at - start));
        start = at + 2;
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find_first_of("\r\n") != std::string::npos)
            return "line " + std::to_string(i + 1) + " holds a lone CR or LF";
    if (lines.size() != 12) return "has " + std::to_string(lines.size()) + " lines, not 12";
    if (!time_stamp_ok(lines[0])) return "line 1 is not a time stamp \"M/D/YYYY H:M:S \": \"" + lines[0] + "\"";
    if (lines[1] != "Dravik") return "line 2 is not the title: \"" + lines[1] + "\"";
    if (!lines[2].empty()) return "line 3 is not empty";
    if (lines[3] != "Select Test\tStatus") return "line 4 is not the header: \"" + lines[3] + "\"";
    if (lines[4] != std::string(24, '=')) return "line 5 is not 24 equals signs";
    for (int i = 0; i < 7; ++i) {
        const std::string& l = lines[size_t(5 + i)];
        std::string head = std::string(kTestNames[i]) + "\t\t";
        std::string word = l.compare(0, head.size(), head) == 0 ? l.substr(head.size()) : std::string();
        if (l.compare(0, head.size(), head) != 0 || (word != "PASS" && word != "FAIL" && word != "?"))
            return "line " + std::to_string(6 + i) + " is not \"" + kTestNames[i] + "\", two TABs and PASS, FAIL or ?: \"" +
                   l + "\"";
    }
    return "";
}

bool status_cell_ok(const std::string& text) {
    std::string cell = trimmed(text);
    return cell == "PASS" || cell == "FAIL" || cell == "?";
}

// ---------------------------------------------------------------- the checker

CheckingUser::CheckingUser(std::unique_ptr<Person> inner, CheckSettings settings)
    : inner_(std::move(inner)), inner_watcher_(journal().watcher()), settings_(std::move(settings)) {
    // The person checked may watch the journal too (a script's expect-
    // lines): both see every line.
    journal().set_watcher([this](const json& line) {
        if (inner_watcher_) inner_watcher_(line);
        watch(line);
    });
    tick();
    if (settings_.hang_seconds > 0) watchdog_ = std::thread([this] { watchdog(); });
}

CheckingUser::~CheckingUser() {
    journal().set_watcher(inner_watcher_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (watchdog_.joinable()) watchdog_.join();
    if (journal_fd_ >= 0) ::close(journal_fd_);
}

void CheckingUser::violated(const std::string& kind, const std::string& what) {
    journal().flush();
    Violation v{kind, what, last_line_.load()};
    settings_.report(v);
    std::_Exit(1);  // report does not return; never go on after a violation
}

// Real time: the device must come back to the user (or the user hand it
// over) within hang_seconds; the user's own turns are quick.
void CheckingUser::watchdog() {
    using std::chrono::steady_clock;
    const auto limit = std::chrono::seconds(settings_.hang_seconds);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        steady_clock::time_point last{steady_clock::duration(last_turn_.load())};
        if (steady_clock::now() - last >= limit) {
            lock.unlock();
            violated("hang", "the program has not waited for input for " + std::to_string(settings_.hang_seconds) +
                                 " s of real time");
        }
        wake_.wait_until(lock, last + limit, [&] { return stop_; });
    }
}

void CheckingUser::tick() {
    last_turn_.store(int64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
}

void CheckingUser::watch(const json& line) {
    ++lines_since_;
    if (armed_ && lines_since_ > settings_.flood_limit_lines)
        violated("flood", "the program wrote " + std::to_string(lines_since_) +
                              " journal lines without waiting for input (busy loop?)");
    const std::string& ev = journal_text(line, "ev");
    if (ev == "input") {
        auto l = line.find("line");
        if (l != line.end() && l->is_number_integer()) last_line_ = l->get<int>();
    } else if (ev == "screenshot" && line.value("ok", false)) {
        // Read back at once, while the screen is still what was written.
        std::string path = line.value("file", std::string()), bytes, why;
        std::vector<uint8_t> rgb;
        if (!read_host_file(path, kMaxPictureBytes, Links::Refuse, &bytes, &why) ||
            !read_screen_picture(bytes, path, &rgb, &why))
            violated("screenshot", "the screenshot " + path + " does not read back: " + why);
        ScreenDifference d = compare_screen(framebuffer(), rgb);
        if (d.pixels)
            violated("screenshot", "the screenshot " + path + " is not the screen: " + std::to_string(d.pixels) +
                                       " pixels differ");
    } else if (ev == "file") {
        const std::string& path = journal_text(line, "path");
        if (FileStore::same_path(to_u16(path), kResultLog)) log_written_ = true;
    } else if (ev == "text" && journal_text(line, "window") == "Dravik" && status_problem_.empty()) {
        // A text drawn on the panel level with a test's check box, right
        // of it, is that test's Status cell.
        Window* main = program_main_window(Showing::ShownOrHidden);
        auto rect = line.find("rect");
        if (!main || rect == line.end() || !rect->is_array() || rect->size() != 4) return;
        const json& r = *rect;
        if (!r[0].is_number_integer() || !r[1].is_number_integer() || !r[3].is_number_integer()) return;
        int left = r[0].get<int>(), middle = (r[1].get<int>() + r[3].get<int>()) / 2;
        for (int id : kTestBoxes) {
            Window* box = find_child_by_id(main, id);
            if (!box || left < box->rect.left + box->rect.width() / 2) continue;
            if (middle < box->rect.top || middle >= box->rect.bottom) continue;
            std::string text = line.value("text", std::string());
            if (!status_cell_ok(text))
                status_problem_ = "the Status cell of " + to_utf8(box->text) + " shows \"" + text +
                                  "\", not PASS, FAIL or ?";
        }
    }
}

void CheckingUser::check_journal_file() {
    if (settings_.journal_path.empty()) return;
    if (journal_fd_ < 0) {
        journal_fd_ = ::open(settings_.journal_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (journal_fd_ < 0) violated("journal", settings_.journal_path + ": cannot read the journal back");
        // A regular file, read as far as it reaches now: a device in its
        // place (/dev/zero) would never end.
        struct stat st;
        if (fstat(journal_fd_, &st) != 0 || !S_ISREG(st.st_mode))
            violated("journal", settings_.journal_path + ": the journal is not a regular file");
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::pread(journal_fd_, buf, sizeof buf, off_t(journal_offset_));
        if (n <= 0) break;
        journal_offset_ += uint64_t(n);
        pending_.append(buf, size_t(n));
        if (size_t(n) < sizeof buf) break;  // the end of the file
    }
    size_t start = 0;
    for (;;) {
        size_t end = pending_.find('\n', start);
        if (end == std::string::npos) break;
        ++journal_lines_;
        std::string problem = journal_line_problem(pending_.substr(start, end - start), &last_t_);
        if (!problem.empty())
            violated("journal", "journal line " + std::to_string(journal_lines_) + " " + problem);
        start = end + 1;
    }
    pending_.erase(0, start);
}

void CheckingUser::check_log() {
    if (!log_written_) return;
    log_written_ = false;
    if (profile_faults_log()) return;  // the profile breaks its writes on purpose
    std::string bytes;
    if (!file_store().read_file(kResultLog, &bytes)) return;
    std::string problem = log_layout_problem(bytes);
    if (!problem.empty()) violated("log", "the result log \\My Documents\\Dravik.txt " + problem);
}

void CheckingUser::check_now() {
    if (armed_) {
        uint64_t took = clock().now_ms() - busy_since_ms_;
        if (took > settings_.busy_limit_ms)
            violated("busy", "the program took " + std::to_string(took) +
                                 " ms of device time before it waited for input again (limit " +
                                 std::to_string(settings_.busy_limit_ms) + " ms)");
    }
    if (!status_problem_.empty()) violated("status", status_problem_);
    int mains = 0;
    for (Window* w : top_level_windows())
        if (!w->destroyed && w->cls && w->cls->name == u"Dravik") ++mains;
    if (mains > 1) violated("windows", std::to_string(mains) + " Dravik main windows are open");
    check_journal_file();
    check_log();
}

void CheckingUser::idle(std::optional<uint64_t> next_due) {
    tick();
    check_now();
    struct Handover {  // also when the user powers the device off or cycles it
        CheckingUser* self;
        ~Handover() {
            self->tick();
            self->armed_ = true;
            self->busy_since_ms_ = clock().now_ms();
            self->lines_since_ = 0;
        }
    } handover{this};
    inner_->idle(next_due);
}

void CheckingUser::state_folder_reloaded(bool ok, const std::string& error) {
    if (!ok) violated("state-folder", "after the power cycle the state folder does not load: " + error);
    armed_ = false;
    inner_->state_folder_reloaded(ok, error);
}

}  // namespace sim
