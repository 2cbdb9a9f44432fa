// dravik-sim: checks everything the user gave (command line, profile,
// script) before it touches the device's storage, then powers the device on.
#include <iostream>
#include <string>
#include <vector>

#include "base/profile.h"
#include "device/profile_loading.h"
#include "kernel/out_of_memory.h"
#include "options.h"
#include "run_steps.h"
#include "suite_runner.h"

namespace sim {

int fail(std::string message) {
    for (auto& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    std::cerr << message << "\n";
    return kBadInput;
}

}  // namespace sim

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::Options options;
    std::string error;
    if (!sim::parse_options(args, &options, &error)) return sim::fail("dravik-sim: " + error);
    if (options.action == sim::Options::Action::Help) {
        std::cout << sim::usage_text();
        return 0;
    }
    if (options.action == sim::Options::Action::Version) {
        std::cout << sim::version_text();
        return 0;
    }
    sim::stop_when_memory_runs_out();
    if (options.suite()) {
        // A child of its own for each script or seed (suite_runner.h).
        if (!options.profile_path.empty() && !sim::load_profile(&sim::profile(), options.profile_path, &error))
            return sim::fail(error);
        return sim::run_suite(sim::suite_settings(options));
    }

    // Check the inputs, open the outputs, choose the person.
    sim::CheckedRun checked;
    if (int code = sim::check_inputs(options, &checked)) return code;
    if (int code = sim::open_outputs(options, &checked)) return code;
    return sim::choose_person_and_run(options, &checked);
}
