// The device's storage in one host folder, kept from one run to the next:
//
//   registry.reg   the registry (registry editor text, every change appended
//                  to it; written whole again at power-off, and at power-on
//                  when the appended changes have outgrown the rest)
//   store/         the file store, the device's root folder "\"
//
// A folder that does not exist yet is made from the factory image: the
// folders "\Windows", "\Windows\StartUp" and "\My Documents", the files
// added with add_factory_file(), and the factory registry.
#pragma once

#include <string>

#include "registry/registry.h"

namespace sim {

class StateFolder {
public:
    // Checks the folder without changing anything: it is a folder we may
    // use (or can be made), registry.reg is a regular file of a sane size
    // that parses, and store/ holds only folders and regular files (no
    // symbolic links, FIFOs, devices or files with other names elsewhere),
    // so that nothing the device does can reach outside the folder.  With
    // factory_reset only the folder itself is checked.  On failure *error
    // is one line naming the file (and for registry.reg the line).
    bool check(const std::string& dir, bool factory_reset, std::string* error);
    // Opens the folder (checking it first unless check() just did): holds
    // it for this process (files/state_lock.h; a folder another simulator
    // holds is refused), creates it from the factory image when it or a
    // part of it is missing, removes what an interrupted save left behind,
    // loads the registry into sim::registry() (writing its file whole when
    // the changes appended to it have outgrown the rest) and points
    // sim::file_store() at store/.
    // factory_reset first puts the folder back to the factory image.  On
    // failure *error is one line naming the file (and for registry.reg the
    // line) and the folder is left as it was.
    bool open(const std::string& dir, bool factory_reset, std::string* error);

    const std::string& dir() const { return dir_; }
    std::string registry_path() const { return dir_ + "/registry.reg"; }
    std::string store_path() const { return dir_ + "/store"; }

    // $XDG_DATA_HOME/dravik-sim, else $HOME/.local/share/dravik-sim.
    static std::string default_dir();

private:
    std::string dir_;
    // What check() found, for open().
    std::string checked_dir_;
    bool checked_reset_ = false;
    bool checked_held_ = false;  // ... while this process held the folder
    bool have_registry_ = false;
    uint64_t registry_appended_ = 0;  // bytes the file holds beyond the registry's whole text
    bool registry_compact_ = false;   // ... so many that it is written whole
    Registry loaded_;
};

// Copies what the device keeps of the state folder `from` (registry.reg and
// store/, files and folders only) into the empty folder `to`.  False with
// *error ("<file>: cannot write: No space left on device") on failure.
bool copy_state_folder(const std::string& from, const std::string& to, std::string* error);

// The same into a new output folder `to` (files/output_file.h's
// make_output_folder: whole or not at all; nothing may be at `to` yet).
bool copy_state_to_new_folder(const std::string& from, const std::string& to, std::string* error);

// The leftovers of a registry save cut short ("registry.reg.Ab12Cd").
bool is_interrupted_save(const std::string& file_name);

// Adds a file to the factory image (written whenever a store is made from
// it); the same path again replaces the bytes.  Folders on the way are made.
// The path is given whole, from the root ("\Windows\Alarm3.WAV").
void add_factory_file(const std::u16string& device_path, const std::string& bytes);

}  // namespace sim
