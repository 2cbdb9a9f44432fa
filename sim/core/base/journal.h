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
    // The same, taking the fields' values rather than copying them.
    void write(const char* ev, json&& fields);
    // Lines wait in memory and reach the file together, at flush(): when
    // the device asks the person holding it to act, before anything that
    // outlasts a pulled battery changes (before_lasting_change()), when 64
    // KiB of them wait, at close and on a fatal signal.  Off (as opened):
    // each line reaches the file as it is written.
    void set_batched(bool on);
    void flush();
    // The waiting lines, written from a signal handler.
    void write_out_in_signal();
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
    void emit(const json& line);

    std::unique_ptr<OutputStream> file_;
    std::string text_;     // the line being written
    std::string pending_;  // lines not yet in the file
    bool batched_ = false;
    bool echo_ = false;
    std::function<void(const json& line)> watcher_;
    bool watching_ = false;
};

Journal& journal();

// Everything journaled so far reaches the file before a change that
// outlasts a pulled battery (the registry's file, the file store), so that
// the journal never lags such changes by more than the one being made.
inline void before_lasting_change() { journal().flush(); }

// A line's text field as it is held, "" when the line has none (for
// watchers, which look at every line).
const std::string& journal_text(const json& line, const char* key);

// Shorthand: journal an event with fields, e.g. log_event("boot", {}).
void log_event(const char* ev, const json& fields);
void log_event(const char* ev, json&& fields = json::object());

// One field of an event as a call writes it, {"op", "end"}: a braced list
// of them takes this form rather than the JSON library's, which builds a
// pair of values for every field before it knows an object is meant.
struct JournalField {
    JournalField(const char* k, json v) : key(k), value(std::move(v)) {}
    const char* key;
    mutable json value;  // moved into the line
};
void log_event(const char* ev, std::initializer_list<JournalField> fields);

}  // namespace sim
