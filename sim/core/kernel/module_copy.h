// Private copies of a module file, so that every start of a program has
// globals of its own, as a fresh load gives them.
//
// A copy is an anonymous file loaded by its descriptor's name
// (/proc/self/fd/N); the loader would hand back a copy that is still loaded
// instead of loading the file again, so a copy belongs to one start until
// that start is over.  Then it waits for the next start of the same file:
//
// - A module whose loading leaves nothing but its own writable memory (no
//   constructors beyond the compiler's own, no exit handlers, no thread
//   storage) stays loaded, and the next start gets that memory back as the
//   load left it: a fresh load without the loader's work.
// - Any other module is unloaded, and its anonymous file loaded again.
//
// Either way the file is read once, and copied once per start running at
// the same time.
#pragma once

#include <string>

namespace sim {

struct ModuleCopy {
    void* dl = nullptr;  // the loader's handle; null when the load failed
    int index = -1;      // which copy
};

// A fresh copy of the module file (failures are journaled).
ModuleCopy load_module_copy(const std::string& file);
// The start is over: the copy waits for the next one.
void unload_module_copy(ModuleCopy& copy);

}  // namespace sim
