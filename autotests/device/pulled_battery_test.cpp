// Pulled batteries: the simulator is killed (SIGKILL) at random moments of
// runs that write the registry and files: a run with the automatic reset,
// the file test and the result log; a run without reset that also keeps
// the audio driver's registry flag.  After every kill the next power-on
// must start Dravik normally, registry.reg must parse, and nothing the run
// had saved before the kill may be lost: the registry holds every value
// the journal says was written (or, for a save the kill cut short, the
// state just after it), a result log whose file was closed is whole, a
// Startup shortcut that was created is there and readable, a file that was
// deleted stays deleted.
//
// DRAVIK_KILLS (kills per run kind, default 6) and DRAVIK_KILL_SEED
// (default 1) let scripts/stress.sh run many more.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace {

namespace fs = std::filesystem;
using devtest::json;

const char kProfile[] = R"({"local_time": "2004-03-14 09:05:07"})";
const char kLog[] = "\\My Documents\\Dravik.txt";
const char kScratch[] = "\\DravikFile.txt";

// The run kinds, each a script and what it exercises.
struct RunKind {
    const char* name;
    std::string script;
};

// How a run kind shows in test listings: by its name.
void PrintTo(const RunKind& kind, std::ostream* os) { *os << kind.name; }

const RunKind kRuns[] = {
    {"ResetRunFileTestAndLog",
     // Read/Write files alone, with the automatic reset: the resume record
     // and the Startup shortcut are written, the device resets, Dravik
     // resumes, clears them, writes and deletes its scratch file; Finish and
     // Yes write the log.
     "click \"Sound\"\nclick \"Screen Calibration\"\nclick \"Screen Patterns\"\nclick \"LED Notification\"\n"
     "click \"Key Test\"\nclick \"Next\"\nclick \"Start\"\nwait 500\nclick \"Finish\"\nanswer yes\nwait 100\n"
     "caption-ok\n"},
    {"SoundFileAndIrWithoutReset",
     // Sound (the audio driver's flag goes to 1 and back to 0), Read/Write
     // files and IR Transfer without the reset, then the log.
     "click \"Screen Calibration\"\nclick \"Screen Patterns\"\nclick \"LED Notification\"\nclick \"Key Test\"\n"
     "click \"IR Transfer\"\nclick \"Next\"\n" + devtest::click(IDC_RESET_BOX) +
         "click \"Start\"\nwait 2000\nanswer ok\nwait 100\nclick \"Finish\"\nanswer yes\nwait 100\ncaption-ok\n"},
};

int env_number(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

std::string file_text(const std::string& path) { return devtest::read_file(path); }

void copy_folder(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::remove_all(to, ec);
    fs::copy(from, to, fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << from << ": " << ec.message();
}

// The journal of a killed run: every whole line (the last may be cut).
std::vector<json> journal_lines(const std::string& path) {
    std::vector<json> out;
    std::istringstream in(file_text(path));
    for (std::string line; std::getline(in, line);) {
        json j = json::parse(line, nullptr, false);
        if (!j.is_discarded()) out.push_back(j);
    }
    return out;
}

struct RegWrite {
    std::string key, name;
    uint32_t value;
};

std::vector<RegWrite> saved_writes(const std::vector<json>& journal) {
    std::vector<RegWrite> out;
    for (const json& e : journal)
        if (e.value("ev", "") == "reg_write" && e.value("ok", false) && e["data"].is_number_unsigned())
            out.push_back({e.value("key", ""), e.value("name", ""), e["data"].get<uint32_t>()});
    return out;
}

// The watched values after the first `n` saved writes of the run.
using RegState = std::map<std::pair<std::string, std::string>, std::optional<uint32_t>>;

RegState state_after(const RegState& start, const std::vector<RegWrite>& writes, size_t n) {
    RegState s = start;
    for (size_t i = 0; i < n && i < writes.size(); ++i) s[{writes[i].key, writes[i].name}] = writes[i].value;
    return s;
}

std::string describe(const RegState& s) {
    std::string out;
    for (auto& [k, v] : s) out += k.first + "\\" + k.second + "=" + (v ? std::to_string(*v) : "absent") + " ";
    return out;
}

bool equal_nocase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

class PulledBattery : public devtest::SimRun, public ::testing::WithParamInterface<RunKind> {
protected:
    std::vector<std::string> args_for(const std::string& state, const std::string& script, const std::string& journal) {
        return {"--state", state, "--profile", profile_path(), "--script", script, "--journal", journal,
                "--screenshots", screenshots_dir()};
    }

    // Starts dravik-sim, kills it once its journal has reached `bytes`
    // bytes and a further `delay_us`; true when the kill landed (the run
    // had not ended by itself).
    bool run_and_kill(const std::vector<std::string>& args, const std::string& journal, size_t bytes, int delay_us) {
        std::vector<std::string> argv_text = {DRAVIK_SIM};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argv_text) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            int null_fd = ::open("/dev/null", O_RDWR);
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        for (;;) {
            if (waitpid(pid, &status, WNOHANG) == pid) return false;  // ended before the kill
            struct stat st;
            if (::stat(journal.c_str(), &st) == 0 && size_t(st.st_size) >= bytes) break;
            if (std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    RegState registry_values(const std::string& state, const RegState& watched) {
        devtest::SavedRegistry reg = devtest::SavedRegistry::load(state + "/registry.reg");
        RegState out;
        for (auto& [k, v] : watched) out[k] = reg.dword(k.first, k.second);
        return out;
    }
};

TEST_P(PulledBattery, NothingSavedBeforeTheKillIsLostAndTheNextPowerOnIsNormal) {
    const RunKind& kind = GetParam();
    const int kills = env_number("DRAVIK_KILLS", 6);
    const unsigned seed = unsigned(env_number("DRAVIK_KILL_SEED", 1));
    set_profile(kProfile);
    set_script(kind.script);
    const std::string empty_script = dir() + "/empty.txt";
    devtest::write_file(empty_script, "\n");

    // A device fresh from the factory, kept to start every run from.
    const std::string pristine = dir() + "/pristine";
    ASSERT_EQ(run_with(args_for(pristine, empty_script, dir() + "/pristine.jsonl")).exit_code, 0);

    // The whole run once, to know what it writes and what the log holds.
    const std::string reference = dir() + "/reference";
    copy_folder(pristine, reference);
    const std::string reference_journal = dir() + "/reference.jsonl";
    devtest::ProcessResult whole = run_with(args_for(reference, script_path(), reference_journal));
    ASSERT_EQ(whole.exit_code, 0) << whole.err;
    const std::vector<json> reference_events = journal_lines(reference_journal);
    const std::vector<RegWrite> writes = saved_writes(reference_events);
    ASSERT_GE(writes.size(), 3u) << "the run must write the registry";
    const std::string reference_log = file_text(reference + "/store/My Documents/Dravik.txt");
    ASSERT_FALSE(reference_log.empty()) << "the run must write the log";
    const size_t journal_size = file_text(reference_journal).size();
    RegState start;
    for (const RegWrite& w : writes) start[{w.key, w.name}] = std::nullopt;
    start = registry_values(pristine, start);

    std::mt19937 random(seed);
    int landed = 0;
    for (int attempt = 0; landed < kills && attempt < kills * 4; ++attempt) {
        size_t at = std::uniform_int_distribution<size_t>(0, journal_size)(random);
        int delay_us = std::uniform_int_distribution<int>(0, 400)(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", kill " + std::to_string(attempt) + " after journal byte " +
                     std::to_string(at) + " + " + std::to_string(delay_us) + " us");
        const std::string state = dir() + "/killed";
        const std::string journal = dir() + "/killed.jsonl";
        copy_folder(pristine, state);
        ::unlink(journal.c_str());
        if (!run_and_kill(args_for(state, script_path(), journal), journal, at, delay_us)) continue;
        ++landed;

        // The registry parses and holds what was saved: the state after the
        // writes the journal shows, or after the one the kill cut short.
        std::vector<json> killed = journal_lines(journal);
        std::vector<RegWrite> done = saved_writes(killed);
        ASSERT_LE(done.size(), writes.size());
        for (size_t i = 0; i < done.size(); ++i)
            ASSERT_TRUE(done[i].key == writes[i].key && done[i].name == writes[i].name &&
                        done[i].value == writes[i].value)
                << "the killed run wrote other values than the whole run";
        RegState now = registry_values(state, start);
        RegState before = state_after(start, writes, done.size());
        RegState after = state_after(start, writes, done.size() + 1);
        EXPECT_TRUE(now == before || now == after)
            << "registry: " << describe(now) << "\nsaved before the kill: " << describe(before);

        // Files: a closed log is whole; a created shortcut is there until it
        // is deleted; a deleted file stays deleted.  The operation the kill
        // may have cut short (done, but not yet in the journal) is the next
        // one of the whole run.
        const json in_flight = killed.size() < reference_events.size() ? reference_events[killed.size()] : json();
        auto in_flight_is = [&](const char* ev, const char* op, const std::string& path) {
            return in_flight.is_object() && in_flight.value("ev", "") == ev && in_flight.value("op", "") == op &&
                   equal_nocase(in_flight.value("path", ""), path);
        };
        bool log_closed = false, shortcut_made = false, shortcut_deleted = false, scratch_deleted = false;
        std::string shortcut_path, shortcut_target;
        for (const json& e : killed) {
            std::string ev = e.value("ev", ""), op = e.value("op", ""), path = e.value("path", "");
            bool ok = e.value("ok", false);
            if (ev == "file" && op == "close" && ok && equal_nocase(path, kLog)) log_closed = true;
            if (ev == "file" && op == "create" && equal_nocase(path, kLog)) log_closed = false;
            if (ev == "shortcut" && op == "create" && ok) {
                shortcut_made = true;
                shortcut_deleted = false;
                shortcut_path = path;
                shortcut_target = e.value("target", "");
            }
            if (ev == "file" && op == "delete" && ok && shortcut_made && equal_nocase(path, shortcut_path))
                shortcut_deleted = true;
            if (ev == "file" && op == "delete" && ok && equal_nocase(path, kScratch)) scratch_deleted = true;
            if (ev == "file" && op == "create" && ok && equal_nocase(path, kScratch)) scratch_deleted = false;
        }
        if (log_closed && !in_flight_is("file", "create", kLog)) {
            EXPECT_EQ(file_text(state + "/store/My Documents/Dravik.txt"), reference_log);
        }
        if (shortcut_made && !shortcut_deleted) {
            std::string name = shortcut_path.substr(shortcut_path.rfind('\\') + 1);
            std::optional<std::string> lnk;
            for (auto& e : fs::directory_iterator(state + "/store/Windows/StartUp"))
                if (equal_nocase(e.path().filename().string(), name)) lnk = file_text(e.path().string());
            if (lnk || !in_flight_is("file", "delete", shortcut_path)) {
                EXPECT_EQ(lnk.value_or("(missing)"), std::to_string(shortcut_target.size()) + "#" + shortcut_target);
            }
        }
        if (scratch_deleted && !in_flight_is("file", "create", kScratch)) {
            EXPECT_FALSE(fs::exists(state + "/store/DravikFile.txt"));
        }

        // The next power-on: Dravik comes up as usual.
        const std::string next_journal = dir() + "/next.jsonl";
        devtest::ProcessResult next = run_with(args_for(state, empty_script, next_journal));
        EXPECT_EQ(next.exit_code, 0) << next.err;
        EXPECT_EQ(next.err, "");
        devtest::JournalLog log = devtest::JournalLog::load(next_journal);
        EXPECT_GE(log.find("boot"), 0);
        EXPECT_GE(log.find("launch", {{"exe", "\\Windows\\Dravik.exe"}}), 0);
        EXPECT_GE(log.find("window", {{"op", "create"}, {"class", "Dravik"}}), 0) << log.dump();
        if (HasFailure()) return;
    }
    EXPECT_EQ(landed, kills) << "most runs ended before their kill";
    std::cout << "[ kills    ] " << landed << " kills of " << kind.name << " runs, seed " << seed << "\n";
}

INSTANTIATE_TEST_SUITE_P(Runs, PulledBattery, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
