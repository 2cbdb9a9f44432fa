// The device journal: one JSON object per line, each with "t" (virtual
// milliseconds since power-on) and "ev", followed by the event's fields.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

class OutputStream;  // base/output_file.h

using json = nlohmann::ordered_json;

class Journal {
public:
    // Starts the journal file afresh (base/output_file.h: a new file takes
    // the place at once, and each line is written as it happens); an empty
    // path keeps no journal.
    bool open(const std::string& path, std::string* error);
    void close();
    // Writes one line.  A line the file cannot take (a full disk) stops the
    // run: output_failed() with the file's name and the system's reason.
    void write(const char* ev, const json& fields);
    bool is_open() const;
    const std::string& path() const;
    // Printed on the terminal as well (demo progress); not part of the file.
    void set_echo(bool on) { echo_ = on; }
    // Someone inside the simulator following what happens (the demo): gets
    // every line, whether or not a file is kept.  Lines written while it
    // looks at one do not reach it again.  An empty function stops it.
    void set_watcher(std::function<void(const json& line)> watcher) { watcher_ = std::move(watcher); }
    const std::function<void(const json& line)>& watcher() const { return watcher_; }
    Journal();
    ~Journal();

private:
    std::unique_ptr<OutputStream> file_;
    bool echo_ = false;
    std::function<void(const json& line)> watcher_;
    bool watching_ = false;
};

Journal& journal();

// Shorthand: journal an event with fields, e.g. log_event("boot", {}).
void log_event(const char* ev, const json& fields = json::object());

}  // namespace sim
