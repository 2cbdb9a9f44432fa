// Runs dravik-sim as a separate process on a fresh temporary folder and
// reads back what it left: exit code and output, the journal, the saved
// registry, the file store and screenshots.
//
//   TEST_F(SimRun, Example) {
//       set_profile(R"({"model": "qz Orvex k7100"})");
//       set_script("tap 10 20\nscreenshot a.png\n");
//       auto& r = run();
//       ASSERT_EQ(r.exit_code, 0) << r.err;
//       EXPECT_GE(find_event("boot"), 0);
//       EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot"), 0u);
//       EXPECT_EQ(screenshot("a.png").pixel(10, 20), (Rgb{0, 0, 0}));
//   }
//
// The folder is removed after a passing test and kept (its path printed)
// after a failing one.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "resource.h"  // the program's control and dialog ids

namespace devtest {

using nlohmann::json;

// The script line that taps the control `id` of the active window, without
// its end (for scripts kept as a list of lines) and with it.
inline std::string click_step(int id) { return "click " + std::to_string(id); }
inline std::string click(int id) { return click_step(id) + "\n"; }

// The platform's id of a dialog's Cancel button (IDCANCEL), which the Key
// test dialog's Cancel has.
inline constexpr int kCancelId = 2;

// ------------------------------------------------------------ processes

struct ProcessResult {
    int exit_code = -1;      // the exit status, or -1 when killed by a signal
    int signal = 0;          // the signal that ended it, 0 for a normal exit
    bool timed_out = false;  // killed after the time-out
    std::string out, err;    // everything written to stdout and stderr
};

// What the host gives the process; 0 leaves a limit as it is.
struct ProcessLimits {
    uint64_t data_bytes = 0;  // its heap and other private memory (RLIMIT_DATA)
    uint64_t file_bytes = 0;  // the largest file it may write, as a full disk would stop it (RLIMIT_FSIZE)
};

// Runs `program` with `args` in folder `cwd`, with `env_overrides`
// (NAME=VALUE) added to this process's environment, and kills the whole
// process group after `timeout_ms`.  Standard input is /dev/null.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          const std::vector<std::string>& env_overrides, int timeout_ms,
                          const ProcessLimits& limits = {});

// Runs `program` as run_process does, with a fresh tmpfs of `kib` KiB (a
// disk that fills up) mounted at `mount_point`, in a mount namespace of its
// own (unshare), and `cwd` entered after the mount.  What the disk holds
// when the program has ended follows on standard output, one name a line,
// after a line "== on the disk:" (the disk goes with the namespace).
ProcessResult run_on_small_disk(int kib, const std::string& mount_point, const std::string& program,
                                const std::vector<std::string>& args, const std::string& cwd,
                                const std::vector<std::string>& env_overrides, int timeout_ms);
// Whether this host lets a test make such a disk (in `scratch`, a folder).
bool small_disks_available(const std::string& scratch);

// ------------------------------------------------------------ the journal

// An event pattern: "ev" and fields that must be equal (absent fields are
// not compared).
struct EventPattern {
    std::string ev;
    json fields = json::object();
};

class JournalLog {
public:
    JournalLog() = default;
    explicit JournalLog(std::vector<json> events) : events_(std::move(events)) {}

    // Parses a JSON Lines file; a missing file or a bad line is a test
    // failure (reported here) and gives what could be read.
    static JournalLog load(const std::string& path);

    const std::vector<json>& events() const { return events_; }
    size_t size() const { return events_.size(); }
    const json& operator[](size_t i) const { return events_[i]; }

    static bool matches(const json& event, const std::string& ev, const json& fields);
    // Every event with this "ev" whose fields include `fields`.
    std::vector<json> filter(const std::string& ev, const json& fields = json::object()) const;
    // Index of the first such event at or after `from`; -1 when none.
    int find(const std::string& ev, const json& fields = json::object(), size_t from = 0) const;
    int count(const std::string& ev, const json& fields = json::object()) const;
    // The patterns appear in this order (other events may stand between).
    ::testing::AssertionResult in_order(const std::vector<EventPattern>& patterns) const;
    // The events, one per line, for failure messages.
    std::string dump() const;

private:
    std::vector<json> events_;
};

// ------------------------------------------------------------ saved registry

// The registry as dravik-sim saves it (registry editor text).  Key paths
// are full ("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK"); names compare without
// regard to case.
class SavedRegistry {
public:
    struct Value {
        uint32_t type = 0;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, ...
        std::vector<uint8_t> data;
    };

    // A missing or unreadable file is a test failure (reported here).
    static SavedRegistry load(const std::string& path);
    bool parse(const std::string& text, std::string* error);

    bool has_key(const std::string& key_path) const;
    const Value* value(const std::string& key_path, const std::string& name) const;
    std::optional<uint32_t> dword(const std::string& key_path, const std::string& name) const;
    // REG_SZ or REG_EXPAND_SZ as UTF-8, without the terminator.
    std::optional<std::string> string(const std::string& key_path, const std::string& name) const;
    // Value names of a key, as stored; empty when the key is absent.
    std::vector<std::string> value_names(const std::string& key_path) const;

private:
    struct Key {
        std::vector<std::pair<std::string, Value>> values;
    };
    std::map<std::string, Key> keys_;  // by lower-case path
};

// ------------------------------------------------------------ screenshots

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& os, const Rgb& c);

class Image {
public:
    // A missing or bad PNG is a test failure (reported here) and gives an
    // empty image.
    static Image load(const std::string& path);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0; }
    // Outside the image is a test failure and reads as black.
    Rgb pixel(int x, int y) const;
    // How many pixels in the rectangle [x0, x1) x [y0, y1) have colour c.
    int count(Rgb c, int x0, int y0, int x1, int y1) const;
    const std::vector<uint8_t>& rgb() const { return rgb_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> rgb_;  // 3 bytes a pixel, rows top to bottom
};

// ------------------------------------------------------------ folders

// Everything under `dir`: relative path -> contents ("<dir>" for folders).
// An absent folder gives an empty map.
std::map<std::string, std::string> folder_snapshot(const std::string& dir);
std::string read_file(const std::string& path);  // "" when unreadable
void write_file(const std::string& path, const std::string& bytes);  // makes parent folders
// A 240 x 320 picture of one colour, which no screen of the device is
// (makes parent folders; a test failure when it cannot be written).
void write_picture(const std::string& path, uint8_t r, uint8_t g, uint8_t b);

// ------------------------------------------------------------ the fixture

class SimRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // ---- what the next run gets
    // Written to <dir>/profile.json and passed with --profile; "" drops it.
    void set_profile(const std::string& json_text);
    // Written to <dir>/script.txt and passed with --script; "" drops it
    // (an empty script is set with set_script("\n")).
    void set_script(const std::string& text);
    // More arguments, after the ones the fixture passes.
    std::vector<std::string> extra_args;
    int timeout_ms = 120000;

    // ---- running
    // dravik-sim --state <dir>/state --journal <dir>/journal-N.jsonl
    //            --screenshots <dir>/screenshots [--profile] [--script] extra_args
    // Call again for another power-on on the same state folder.  A time-out
    // is a test failure.
    const ProcessResult& run();
    // dravik-sim with exactly these arguments (cwd = dir(), XDG_DATA_HOME
    // inside dir() so the user's own folder is never touched).
    ProcessResult run_with(const std::vector<std::string>& args);
    const ProcessResult& last() const { return last_; }
    int runs() const { return runs_; }

    // ---- paths
    const std::string& dir() const { return dir_; }
    std::string state_dir() const { return dir_ + "/state"; }
    std::string screenshots_dir() const { return dir_ + "/screenshots"; }
    std::string profile_path() const { return dir_ + "/profile.json"; }
    std::string script_path() const { return dir_ + "/script.txt"; }
    std::string journal_path(int run_number = 0) const;  // 0: the last run

    // ---- what the device left
    // The journal of a run (1 = first, 0 = last).
    JournalLog journal(int run_number = 0) const;
    int find_event(const std::string& ev, const json& fields = json::object(), size_t from = 0) const {
        return journal().find(ev, fields, from);
    }
    SavedRegistry registry() const { return SavedRegistry::load(state_dir() + "/registry.reg"); }
    std::optional<uint32_t> reg_dword(const std::string& key_path, const std::string& name) const {
        return registry().dword(key_path, name);
    }
    std::optional<std::string> reg_string(const std::string& key_path, const std::string& name) const {
        return registry().string(key_path, name);
    }
    // Host path of a device path ("\\My Documents\\Dravik.txt"); each name
    // is matched without regard to case, as the device does, falling back to
    // the name as given when nothing matches.
    std::string store_path(const std::string& device_path) const;
    bool store_exists(const std::string& device_path) const;
    std::optional<std::string> store_file(const std::string& device_path) const;
    // Names in a device folder, as created, sorted.
    std::vector<std::string> store_names(const std::string& device_folder) const;
    // A screenshot by its name in the screenshots folder (or an absolute path).
    Image screenshot(const std::string& name) const;

private:
    std::string dir_;
    bool has_profile_ = false, has_script_ = false;
    int runs_ = 0;
    ProcessResult last_;
};

}  // namespace devtest
