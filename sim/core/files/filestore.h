// The device's file store: device paths ("\My Documents\Dravik.txt") mapped
// onto a host folder.  Names are compared without regard to case and keep
// the case they were created with; no device path reaches outside the
// store: folders on the way are never symbolic links, and files are opened
// without following one.  Also the stream-driver table that CreateFileW
// consults for device names such as "COM2:".
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "kernel/kernel_objects.h"

namespace sim {

class FileStore {
public:
    // The host folder that is the device's root folder "\".
    void set_root(const std::string& host_dir) { root_ = host_dir; }
    const std::string& root() const { return root_; }

    // Checks a device path and splits it into names.  A path without a
    // leading backslash is taken from the root.  ERROR_SUCCESS, or
    // ERROR_INVALID_NAME (".", "..", an empty name, "/", a character CE does
    // not allow in names) or ERROR_PATH_NOT_FOUND (longer than MAX_PATH).
    static DWORD split(const std::u16string& device_path, std::vector<std::u16string>* names);
    // The path with its leading backslash, in the case given.
    static std::u16string normalize(const std::u16string& device_path);
    // Whether two device paths name the same file (case-insensitive).
    static bool same_path(const std::u16string& a, const std::u16string& b);

    struct Entry {
        std::string host;  // host path of the entry, existing or to be created
        bool exists = false;
        bool is_folder = false;
        // Neither a regular file nor a folder (a symbolic link, a FIFO, a
        // device): the store never follows or opens one; the device sees an
        // entry it cannot open.
        bool is_other = false;
    };
    // Finds the host entry of a device path.  Each name is matched against
    // the host folder's entries without regard to case; a name that does
    // not exist keeps the case given.  ERROR_SUCCESS (the folder holding it
    // exists), the errors of split(), or ERROR_PATH_NOT_FOUND (a folder on
    // the way is missing or is a file, or no store is open).
    DWORD resolve(const std::u16string& device_path, Entry* out) const;

    // For the simulator and tests: the host path ("" when the path is
    // refused or its folder is missing), whole-file reads and writes.  A
    // read takes only a regular file of at most 64 MiB; neither follows a
    // symbolic link.
    std::string host_path(const std::u16string& device_path) const;
    bool exists(const std::u16string& device_path) const;
    bool read_file(const std::u16string& device_path, std::string* bytes) const;
    // Creates missing folders on the way when make_folders is set.
    bool write_file(const std::u16string& device_path, const std::string& bytes, bool make_folders = false) const;
    bool make_folder(const std::u16string& device_path) const;

private:
    std::string root_;
};

FileStore& file_store();

// What the store must hold, checked where it changes (each check costs what
// the one path or file costs, never a walk of the store):
// - a device path the store keeps (an open file's, a factory file's) is in
//   its one normal form: a leading backslash, then names that split()
//   accepts, at least one;
bool store_path_ok(const std::u16string& device_path);
// - what a device path maps to on the host is the store's root or lies
//   below it through names that are neither empty, "." nor "..", so that
//   nothing the device names reaches outside the state folder;
bool host_path_inside(const std::string& root, const std::string& host);
// - a file open on the device is open on a regular file that still has a
//   name in the store, the very file (device and inode) it was opened as.
bool open_file_ok(int fd, dev_t dev, ino_t ino);

// Forgets how many times each file operation has been asked of each file,
// as at power-on (the profile's numbered file faults, "close#2", count
// from there).
void reset_file_calls();

// Opens a file of the store (open(2) flags and mode) without following a
// symbolic link or waiting on a FIFO: -1 with errno EACCES when it is not a
// regular file, or when it would be written and has other names (hard
// links).
int open_store_file(const std::string& host, int flags, mode_t mode);

// A kernel object that ReadFile and WriteFile work on: a file of the store
// or a handle opened on a stream driver.  Both set the last error on
// failure.
struct StreamObject : KernelObject {
    virtual BOOL read(void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL write(const void* buffer, DWORD count, DWORD* done) = 0;
};

// CreateFileW on a name ending in ':' ("COM2:") calls the driver registered
// under that name (compared without regard to case).  The driver returns a
// handle (usually of a StreamObject from add_handle) or
// INVALID_HANDLE_VALUE after setting the last error.  An empty function
// removes the driver.
using StreamOpen = std::function<HANDLE(DWORD access, DWORD share, DWORD disposition)>;
void register_stream_driver(const std::u16string& name, StreamOpen open);

}  // namespace sim
