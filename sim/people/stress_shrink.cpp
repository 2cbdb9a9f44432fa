// Shrinking a finding of the stress user to a short script, and writing it.
#include "people/stress_shrink.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <vector>

#include "base/host_file.h"
#include "base/journal.h"
#include "base/output_file.h"
#include "files/state_folder.h"
#include "people/script.h"
#include "people/script_user.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

// The run's own record of its actions, read back whole (`most` bytes at
// most).
std::string read_text(const std::string& path, size_t most) {
    std::string text, why;
    read_host_file(path, most, Links::Refuse, &text, &why);
    return text;
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

}  // namespace

std::vector<std::string> shrink_actions(std::vector<std::string> actions,
                                        const std::function<bool(const std::vector<std::string>&)>& shows,
                                        int most_tries) {
    int tries = 0;
    size_t chunk = actions.size() / 2;
    if (chunk == 0) chunk = 1;
    for (;;) {
        bool dropped = false;
        for (size_t start = 0; start < actions.size() && !actions.empty();) {
            if (tries >= most_tries) return actions;
            size_t end = std::min(actions.size(), start + chunk);
            std::vector<std::string> candidate(actions.begin(), actions.begin() + long(start));
            candidate.insert(candidate.end(), actions.begin() + long(end), actions.end());
            ++tries;
            if (shows(candidate)) {
                actions = std::move(candidate);
                dropped = true;
            } else {
                start = end;
            }
        }
        if (chunk == 1 && !dropped) return actions;
        if (!dropped) chunk = std::max<size_t>(1, chunk / 2);
        chunk = std::min(chunk, std::max<size_t>(1, actions.size() / 2));
    }
}

int shrink_finding(const StressSettings& s, const std::string& work, const std::string& start_state,
                   const std::string& actions_path, const CheckSettings& check, const ChildOutcome& found) {
    std::string error;
    std::vector<std::string> actions;
    {
        // A line of the record is far shorter than 64 bytes.
        std::istringstream in(read_text(actions_path, size_t(s.actions) * 64 + 4096));
        for (std::string l; std::getline(in, l);) actions.push_back(l);
    }

    // The actions up to the one after which the violation showed.
    size_t upto = found.violation.line > 0 ? size_t(found.violation.line) : actions.size();
    if (upto < actions.size()) actions.resize(upto);
    const Violation first = found.violation;
    std::cerr << "dravik-sim: stress seed " << s.seed << ", after action " << upto << " of " << s.actions << " ("
              << (upto ? actions[upto - 1] : std::string("before the first")) << "): " << first.what << " ["
              << first.kind << "]\n";
    if (found.violation.kind == "crash") std::cerr << found.stderr_text;

    // Replays on fresh copies of the starting state, with the script user;
    // each replay holds its own copy.  A failure of the host stops them.
    int replays = 0;
    std::string host;
    auto replay = [&](const std::vector<std::string>& candidate) {
        ChildOutcome o;
        if (!host.empty()) {
            o.host = host;
            return o;
        }
        ++replays;
        const std::string script_path = work + "/candidate.txt";
        const std::string state = work + "/replay-" + std::to_string(replays);
        std::string e;
        if (!write_output_file(script_path, join_lines(candidate), &e) || !copy_state_to_new_folder(start_state, state, &e)) {
            o.host = host = e;
            return o;
        }
        CheckSettings replay_check = check;
        replay_check.journal_path = work + "/replay-journal.jsonl";
        o = run_child([&]() -> int {
            RunOptions run;
            std::string err;
            StateFolder folder;
            if (!parse_script(script_path, &run.script, &err) || !folder.open(state, false, &err)) {
                std::cerr << err << "\n";
                return 2;
            }
            if (!journal().open(replay_check.journal_path, &err)) output_failed(err);
            journal().set_batched(true);
            run.state_dir = state;
            run.journal_path = replay_check.journal_path;
            run.screenshots_dir = work;
            run.user = UserKind::Script;
            CheckingUser user(make_script_user(run, nullptr), replay_check);
            return run_as_child(user, run.state_dir);
        });
        std::error_code ec;
        fs::remove_all(state, ec);
        if (!o.host.empty()) host = o.host;
        return o;
    };

    auto started = std::chrono::steady_clock::now();
    const auto budget = std::chrono::minutes(15);
    ChildOutcome again = replay(actions);
    bool repeats = same_violation(again, found);
    std::vector<std::string> shortest = actions;
    if (repeats) {
        shortest = shrink_actions(
            actions,
            [&](const std::vector<std::string>& candidate) {
                if (!host.empty() || std::chrono::steady_clock::now() - started > budget) return false;
                return same_violation(replay(candidate), found);
            },
            2000);
    }
    if (!host.empty()) return host_failure(s.seed, host);

    // The finding: its state folder and its script, under names no earlier
    // finding has (stress-seed-7.txt, else stress-seed-7-2.txt, ...), each
    // written whole or not at all.
    const std::string base = s.out_dir + "/stress-seed-" + std::to_string(s.seed);
    std::string stem = base;
    for (int n = 2; free_output_name(stem, ".txt") != stem + ".txt" || free_output_name(stem, ".state") != stem + ".state";
         ++n)
        stem = base + "-" + std::to_string(n);
    const std::string script_out = stem + ".txt", state_out = stem + ".state";
    std::string command = replay_command(state_out, s.profile_path, script_out) + " --check";
    if (s.busy_limit_ms != 60000) command += " --busy-limit " + std::to_string(s.busy_limit_ms);
    std::string header = "# Found by dravik-sim --stress " + std::to_string(s.actions) + " --seed " +
                         std::to_string(s.seed) + ": " + first.what + " [" + first.kind + "]\n" +
                         "# The shortest script found that still shows it: " + std::to_string(shortest.size()) +
                         " of the " + std::to_string(actions.size()) + " actions" +
                         (repeats ? "" : " (the violation did not show again when replayed)") + ".\n" +
                         "# Run it on a fresh copy of the state folder the stress run started from:\n#   " +
                         command + "\n";
    if (!copy_state_to_new_folder(start_state, state_out, &error)) return host_failure(s.seed, error);
    if (!write_output_file(script_out, header + join_lines(shortest), &error)) {
        std::error_code ec;
        fs::remove_all(state_out, ec);  // made just now, and of no use alone
        return host_failure(s.seed, error);
    }
    std::cerr << "dravik-sim: the shortest script that shows it (" << shortest.size() << " actions, " << replays
              << " replays): " << script_out << "\n";
    if (!repeats) std::cerr << "dravik-sim: replayed as a script, the run did not show it again\n";
    std::cerr << "dravik-sim: reproduce with: " << command << "\n";
    return 1;
}

}  // namespace sim
