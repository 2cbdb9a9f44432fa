// After a reset the shell starts the programs named by the shortcuts in
// the Startup folder ("\Windows\StartUp").
#pragma once

namespace sim {

void run_startup_folder();

}  // namespace sim
