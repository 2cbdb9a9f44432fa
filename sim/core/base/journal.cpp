#include "base/journal.h"

#include <iostream>

#include "base/output_file.h"
#include "base/clock.h"

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
    std::string ignored;
    file_->close(&ignored);  // every line was written when it happened
}

void Journal::write(const char* ev, const json& fields) {
    json line;
    line["t"] = clock().now_ms();
    line["ev"] = ev;
    for (auto it = fields.begin(); it != fields.end(); ++it) line[it.key()] = it.value();
    std::string text = line.dump(-1, ' ', false, json::error_handler_t::replace);
    if (file_->is_open()) {
        text += '\n';
        std::string error;
        if (!file_->write(text, &error)) output_failed(error);
        text.pop_back();
    }
    if (echo_) std::cerr << text << "\n";
    if (watcher_ && !watching_) {
        struct Busy {
            bool& flag;
            ~Busy() { flag = false; }
        } busy{watching_};
        watching_ = true;
        watcher_(line);
    }
}

void log_event(const char* ev, const json& fields) { journal().write(ev, fields); }

}  // namespace sim
