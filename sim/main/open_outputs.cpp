// The second step of a run: every input holds, so the state folder is
// locked and the outputs are made.
#include <filesystem>
#include <string>
#include <system_error>

#include "base/journal.h"
#include "base/output_file.h"
#include "files/state_lock.h"
#include "run_steps.h"

namespace sim {

int open_outputs(const Options& options, CheckedRun* checked) {
    std::string error;
    RunOptions& run = checked->run;
    const std::string& state_dir = checked->state_dir;

    // One simulator on the folder, from here to the end of the process.
    {
        std::error_code ec;
        std::filesystem::create_directories(state_dir, ec);
        if (!lock_state_folder(state_dir, &error)) return fail(error);
    }

    // Every input holds: the outputs are made.
    if (!journal().open(options.journal_path, &error)) return fail(error);
    journal().set_batched(true);
    output_rules() = checked->with_journal;
    run.journal_path = options.journal_path;

    std::error_code ec;
    std::filesystem::create_directories(run.screenshots_dir, ec);
    if (ec || !std::filesystem::is_directory(run.screenshots_dir, ec))
        return fail(run.screenshots_dir + ": cannot make the screenshots folder" +
                    (ec ? ": " + ec.message() : std::string()));

    if (!checked->state.open(state_dir, options.factory_reset, &error)) {
        if (error.find(state_dir) == std::string::npos) error = state_dir + ": " + error;
        return fail(error);
    }
    run.state_dir = state_dir;
    run.scale = options.scale;
    return 0;
}

}  // namespace sim
