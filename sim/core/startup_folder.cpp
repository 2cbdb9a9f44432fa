#include "startup_folder.h"

namespace sim {

// Shortcut files are written by SHCreateShortcut; until programs can place
// them, the folder is empty after every boot.
void run_startup_folder() {}

}  // namespace sim
