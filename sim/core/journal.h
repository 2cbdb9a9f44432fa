// The device journal: one JSON object per line, each with "t" (virtual
// milliseconds since power-on) and "ev", followed by the event's fields.
#pragma once

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

using json = nlohmann::ordered_json;

class Journal {
public:
    // Opens (appending) the journal file; an empty path keeps no journal.
    bool open(const std::string& path, bool append, std::string* error);
    void close();
    void write(const char* ev, const json& fields);
    // Printed on the terminal as well (demo progress); not part of the file.
    void set_echo(bool on) { echo_ = on; }
    ~Journal() { close(); }

private:
    std::FILE* file_ = nullptr;
    bool echo_ = false;
};

Journal& journal();

// Shorthand: journal an event with fields, e.g. log_event("boot", {}).
void log_event(const char* ev, const json& fields = json::object());

}  // namespace sim
