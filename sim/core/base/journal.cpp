#include "base/journal.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "base/clock.h"
#include "base/json_text.h"
#include "base/output_file.h"

namespace sim {

Journal& journal() {
    static Journal j;
    return j;
}

Journal::Journal() : file_(std::make_unique<OutputStream>()) {}
Journal::~Journal() { close(); }

bool Journal::is_open() const { return file_->is_open(); }
const std::string& Journal::path() const { return file_->path(); }

bool Journal::open(const std::string& path, std::string* error) {
    close();
    if (path.empty()) return true;
    std::string why;
    if (!file_->open(path, OutputStream::Shown::AtOnce, &why)) {
        if (error) *error = why;
        return false;
    }
    return true;
}

void Journal::close() {
    flush();
    std::string ignored;
    file_->close(&ignored);  // every line is in the file already
    batched_ = false;
}

namespace {

// On a fatal signal the lines still waiting are written (with write(2),
// which a signal handler may call), then the signal goes where it went
// before: the sanitizers' report, or the default action.
struct FatalSignals {
    static constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
    struct sigaction before[sizeof kSignals / sizeof kSignals[0]];
    bool installed = false;
};

FatalSignals& fatal_signals() {
    static FatalSignals f;
    return f;
}

// Once: the earlier handlers take every one of these signals from now on
// (a sanitizer's report may end in abort()).
void write_waiting_lines(int) {
    FatalSignals& f = fatal_signals();
    for (size_t i = 0; i < sizeof FatalSignals::kSignals / sizeof FatalSignals::kSignals[0]; ++i)
        sigaction(FatalSignals::kSignals[i], &f.before[i], nullptr);
    journal().write_out_in_signal();
    // A fault happens again when the handler returns, an abort() raises its
    // signal again: either way the earlier handler takes it now.
}

}  // namespace

void Journal::write_out_in_signal() {
    if (!file_->is_open() || pending_.empty()) return;
    const char* p = pending_.data();
    size_t left = pending_.size();
    while (left > 0) {
        ssize_t n = ::write(file_->fd(), p, left);
        if (n <= 0) break;
        p += n;
        left -= size_t(n);
    }
}

void Journal::set_batched(bool on) {
    if (!on) flush();
    batched_ = on;
    FatalSignals& f = fatal_signals();
    if (!on || f.installed) return;
    f.installed = true;
    for (size_t i = 0; i < sizeof FatalSignals::kSignals / sizeof FatalSignals::kSignals[0]; ++i) {
        struct sigaction sa {};
        sa.sa_handler = write_waiting_lines;
        sigemptyset(&sa.sa_mask);
        sigaction(FatalSignals::kSignals[i], &sa, &f.before[i]);
    }
}

void Journal::flush() {
    if (pending_.empty()) return;
    // Lines the file cannot take (a full disk) stop the run; the file ends
    // with the last line it took whole.
    std::string error;
    if (file_->is_open() && !file_->write(pending_, &error)) output_failed(error);
    pending_.clear();
}

void Journal::write(const char* ev, const json& fields) {
    json line;
    line["t"] = clock().now_ms();
    line["ev"] = ev;
    for (auto it = fields.begin(); it != fields.end(); ++it) line[it.key()] = it.value();
    emit(line);
}

void Journal::write(const char* ev, json&& fields) {
    if (!fields.is_object() || fields.contains("t") || fields.contains("ev")) {
        write(ev, static_cast<const json&>(fields));
        return;
    }
    json line = json::object();
    auto& members = line.get_ref<json::object_t&>();
    members.reserve(fields.size() + 2);
    members.emplace_back("t", clock().now_ms());
    members.emplace_back("ev", ev);
    for (auto& [key, value] : fields.get_ref<json::object_t&>()) members.emplace_back(key, std::move(value));
    emit(line);
}

void Journal::emit(const json& line) {
    text_.clear();
    append_json(&text_, line);
    text_ += '\n';
    if (file_->is_open()) {
        pending_ += text_;
        if (!batched_ || pending_.size() >= 64 * 1024) flush();
    }
    if (echo_) std::cerr << text_;
    if (watcher_ && !watching_) {
        struct Busy {
            bool& flag;
            ~Busy() { flag = false; }
        } busy{watching_};
        watching_ = true;
        watcher_(line);
    }
}

const std::string& journal_text(const json& line, const char* key) {
    static const std::string none;
    auto it = line.find(key);
    return it != line.end() && it->is_string() ? it->get_ref<const std::string&>() : none;
}

void log_event(const char* ev, const json& fields) { journal().write(ev, fields); }
void log_event(const char* ev, json&& fields) { journal().write(ev, std::move(fields)); }

void log_event(const char* ev, std::initializer_list<JournalField> fields) {
    json object = json::object();
    auto& members = object.get_ref<json::object_t&>();
    members.reserve(fields.size());
    for (const JournalField& f : fields) members.emplace(f.key, std::move(f.value));  // the first of a key stays
    journal().write(ev, std::move(object));
}

}  // namespace sim
