// What must hold whenever the program waits for input, whoever holds the
// device.  The stress user checks it after every random action, and
// `dravik-sim --script FILE --check` after every action of a script:
//
//   busy     the program waits for input again within a bound of device time
//   flood    ... and within a bound of journal lines (no busy loop)
//   hang     ... and within a bound of real time
//   journal  every journal line is a JSON object with "t" and "ev", and "t"
//            never goes down
//   windows  at most one Dravik main window
//   state-folder  after a power cycle the state folder loads
//   log      a result log that Dravik wrote has the log's layout
//   status   the Status column shows only PASS, FAIL or "?"
//   screenshot  a screenshot written is whole and shows the screen it was
//            taken of
//
// (crashes and sanitizer reports are seen from outside the process).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <condition_variable>

#include "base/journal.h"
#include "base/person.h"

namespace sim {

struct Violation {
    std::string kind;  // one of the words above, or "crash"
    std::string what;  // one line
    int line = 0;      // the script line of the last action before it; 0: none yet
};

struct CheckSettings {
    std::string journal_path;          // the journal file to read back; "" checks none
    uint64_t busy_limit_ms = 60000;    // device time between an action and the next wait
    uint64_t flood_limit_lines = 200000;  // journal lines between an action and the next wait
    int hang_seconds = 60;             // real time between an action and the next wait
    // Gets the violation; does not return (it prints and ends the process).
    std::function<void(const Violation&)> report;
};

// Wraps the user who acts (a script, the stress user) and checks
// everything above each time the program waits, before that user acts.
class CheckingUser : public Person {
public:
    CheckingUser(std::unique_ptr<Person> inner, CheckSettings settings);
    ~CheckingUser() override;

    void idle(std::optional<uint64_t> next_due) override;
    void state_folder_reloaded(bool ok, const std::string& error) override;

private:
    void watch(const json& line);
    void check_now();
    void check_journal_file();
    void check_log();
    [[noreturn]] void violated(const std::string& kind, const std::string& what);
    void watchdog();
    void tick();  // the device changed hands

    std::unique_ptr<Person> inner_;
    std::function<void(const json& line)> inner_watcher_;  // the inner person's, kept
    CheckSettings settings_;
    // The program's turn: since when it has been running (device time,
    // journal lines); armed once the user has acted.
    bool armed_ = false;
    uint64_t busy_since_ms_ = 0;
    uint64_t lines_since_ = 0;
    std::atomic<int> last_line_{0};  // script line of the last action
    // The journal file, read back as far as it has been checked.
    int journal_fd_ = -1;
    uint64_t journal_offset_ = 0;
    uint64_t journal_lines_ = 0;
    uint64_t last_t_ = 0;
    std::string pending_;  // a line not yet ended
    bool log_written_ = false;
    std::string status_problem_;
    // Real-time watchdog: it sleeps until hang_seconds after the last change
    // of hands, which a turn only notes (no wake-up, no lock).
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<int64_t> last_turn_{0};  // steady clock ticks
    std::thread watchdog_;
};

// The checks by themselves, for the checker and its tests.  Each gives ""
// when all is well, else what is wrong.
// One journal line (without its line end); *last_t is the previous line's
// "t" and becomes this one's.
std::string journal_line_problem(const std::string& line, uint64_t* last_t);
// The bytes of a result log.
std::string log_layout_problem(const std::string& bytes);
// The text of a Status cell as drawn (the "?" is padded with blanks).
bool status_cell_ok(const std::string& text);

}  // namespace sim
