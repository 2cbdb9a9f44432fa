// Private copies of a module file, so that every start of a program has
// globals of its own.  A copy is an anonymous file loaded by its
// descriptor's name (/proc/self/fd/N); the loader would hand back a copy
// that is still loaded instead of loading the file again, so a copy belongs
// to one load until that load is gone.  Then it waits for the next start of
// the same file: the file is read once and copied once per copy loaded at
// the same time, not at every start.
#pragma once

#include <string>

namespace sim {

struct ModuleCopy {
    void* dl = nullptr;  // the loader's handle; null when the load failed
    int fd = -1;
    std::string file;    // the module file it copies
};

// Loads a fresh copy of the module file (failures are journaled).
ModuleCopy load_module_copy(const std::string& file);
// Unloads it; the copy is kept for the next load once the loader has let
// go of it.
void unload_module_copy(ModuleCopy& copy);

}  // namespace sim
