#include "files/state_folder.h"
#include "files/state_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/device_paths.h"
#include "files/filestore.h"
#include "base/host_file.h"
#include "base/output_file.h"
#include "base/text.h"
#include "base/verify.h"
#include "registry/registry.h"

namespace sim {

namespace {

struct FactoryFile {
    std::u16string path;
    std::string bytes;
};

std::vector<FactoryFile>& factory_files() {
    static std::vector<FactoryFile> files;
    return files;
}

const char16_t* const kFactoryFolders[] = {kWindowsFolder, kStartupFolder, kMyDocumentsFolder};

bool fail(std::string* error, const std::string& file, const std::string& what, int err) {
    *error = file + ": " + what + ": " + std::strerror(err);
    return false;
}

// A folder we can list, read and write in; a missing one is fine.
bool usable_folder(const std::string& path, bool* exists, std::string* error) {
    struct stat st;
    *exists = stat(path.c_str(), &st) == 0;
    if (!*exists) {
        if (errno == ENOENT) return true;
        return fail(error, path, "cannot open the folder", errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = path + ": not a folder";
        return false;
    }
    if (access(path.c_str(), R_OK | W_OK | X_OK) != 0)
        return fail(error, path, "cannot read and write the folder", errno);
    return true;
}

// A missing folder can be made: the nearest folder above it that exists
// is one we may write in.
bool can_make(const std::string& dir, std::string* error) {
    std::filesystem::path p = std::filesystem::absolute(dir);
    for (p = p.parent_path();; p = p.parent_path()) {
        struct stat st;
        if (stat(p.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *error = dir + ": cannot create the folder: " + p.string() + " is not a folder";
                return false;
            }
            if (access(p.c_str(), W_OK | X_OK) != 0) return fail(error, dir, "cannot create the folder", errno);
            return true;
        }
        if (errno != ENOENT && errno != ENOTDIR) return fail(error, dir, "cannot create the folder", errno);
        if (!p.has_relative_path()) return true;
    }
}

// The file store holds folders and regular files only.  A symbolic link
// would let the device's writes land outside the store, a FIFO or a device
// would block or never end a read, and a file with another name outside
// the store would be changed through it.  Folders are looked into as deep
// as a device path can reach (MAX_PATH), one at a time, without recursion.
bool check_store(const std::string& store, std::string* error) {
    struct Folder {
        std::string host;
        size_t device_length;  // of its device path, "\Windows\StartUp"
    };
    std::vector<Folder> pending{{store, 0}};
    while (!pending.empty()) {
        Folder folder = std::move(pending.back());
        pending.pop_back();
        std::vector<std::string> names;
        DIR* d = opendir(folder.host.c_str());
        if (!d) return fail(error, folder.host, "cannot read the folder", errno);
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (auto& n : names) {
            std::string host = folder.host + "/" + n;
            struct stat st;
            if (lstat(host.c_str(), &st) != 0) return fail(error, host, "cannot read", errno);
            if (S_ISLNK(st.st_mode)) {
                *error = host + ": a symbolic link; the file store holds only files and folders";
                return false;
            }
            if (S_ISDIR(st.st_mode)) {
                size_t length = folder.device_length + 1 + to_u16(n).size();
                if (length < MAX_PATH) pending.push_back({host, length});
                continue;
            }
            if (!S_ISREG(st.st_mode)) {
                *error = host + ": not a regular file; the file store holds only files and folders";
                return false;
            }
            if (st.st_nlink > 1) {
                *error = host + ": a file with other names (hard links); the file store keeps its files to itself";
                return false;
            }
        }
    }
    return true;
}

void remove_interrupted_saves(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> leftovers;
    while (dirent* e = readdir(d))
        if (is_interrupted_save(e->d_name)) leftovers.push_back(e->d_name);
    closedir(d);
    for (auto& n : leftovers) {
        std::string path = dir + "/" + n;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
    }
}

bool make_store(const std::string& dir, std::string* error) {
    if (mkdir(dir.c_str(), 0755) != 0) return fail(error, dir, "cannot create the folder", errno);
    FileStore store;
    store.set_root(dir);
    for (auto folder : kFactoryFolders)
        if (!store.make_folder(folder)) return fail(error, store.host_path(folder), "cannot create the folder", errno);
    for (auto& f : factory_files())
        if (!store.write_file(f.path, f.bytes, true)) {
            std::string host = store.host_path(f.path);
            return fail(error, host.empty() ? dir : host, "cannot write the file", errno);
        }
    return true;
}

}  // namespace

bool is_interrupted_save(const std::string& name) {
    // Registry::save writes "registry.reg.XXXXXX" (mkstemp) and renames it.
    const std::string prefix = "registry.reg.";
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

void add_factory_file(const std::u16string& device_path, const std::string& bytes) {
    VERIFY(store_path_ok(device_path));
    for (auto& f : factory_files())
        if (FileStore::same_path(f.path, device_path)) {
            f.bytes = bytes;
            return;
        }
    factory_files().push_back({device_path, bytes});
}

std::string StateFolder::default_dir() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/dravik-sim";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return std::string(home && *home ? home : ".") + "/.local/share/dravik-sim";
}

namespace {

// Copies one regular file, without following a link at either end.
bool copy_file(const std::string& from, const std::string& to, std::string* error) {
    int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (in < 0) return fail(error, from, "cannot read", errno);
    struct stat st;
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        *error = from + ": cannot read: not a regular file";
        return false;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return fail(error, to, "cannot write", errno);
    }
    char buf[65536];
    bool ok = true;
    int failed_errno = 0;
    std::string failed_path;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false, failed_errno = errno, failed_path = from;
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false, failed_errno = w < 0 ? errno : ENOSPC, failed_path = to;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    ::close(in);
    if (::close(out) != 0 && ok) ok = false, failed_errno = errno, failed_path = to;
    if (!ok) return fail(error, failed_path, failed_path == from ? "cannot read" : "cannot write", failed_errno);
    return true;
}

}  // namespace

bool copy_state_to_new_folder(const std::string& from, const std::string& to, std::string* error) {
    return make_output_folder(
        to, [&](const std::string& dir, std::string* e) { return copy_state_folder(from, dir, e); }, error);
}

bool copy_state_folder(const std::string& from, const std::string& to, std::string* error) {
    struct stat st;
    std::string reg = from + "/registry.reg";
    if (lstat(reg.c_str(), &st) == 0 && !copy_file(reg, to + "/registry.reg", error)) return false;
    // The store, folder by folder, without recursion.
    std::vector<std::string> pending{"store"};
    while (!pending.empty()) {
        std::string rel = std::move(pending.back());
        pending.pop_back();
        std::string source = from + "/" + rel;
        if (lstat(source.c_str(), &st) != 0) {
            if (rel == "store" && errno == ENOENT) return true;
            return fail(error, source, "cannot read", errno);
        }
        if (!S_ISDIR(st.st_mode)) {
            *error = source + ": not a folder; the file store holds only files and folders";
            return false;
        }
        if (mkdir((to + "/" + rel).c_str(), 0755) != 0) return fail(error, to + "/" + rel, "cannot create the folder", errno);
        DIR* d = opendir(source.c_str());
        if (!d) return fail(error, source, "cannot read the folder", errno);
        std::vector<std::string> names;
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
        for (auto& n : names) {
            std::string entry = rel + "/" + n;
            if (lstat((from + "/" + entry).c_str(), &st) != 0) return fail(error, from + "/" + entry, "cannot read", errno);
            if (S_ISDIR(st.st_mode)) {
                pending.push_back(entry);
            } else if (S_ISREG(st.st_mode)) {
                if (!copy_file(from + "/" + entry, to + "/" + entry, error)) return false;
            } else {
                *error = from + "/" + entry + ": not a regular file; the file store holds only files and folders";
                return false;
            }
        }
    }
    return true;
}

bool StateFolder::check(const std::string& dir_in, bool factory_reset, std::string* error) {
    checked_dir_.clear();
    std::string dir = dir_in;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) {
        *error = "the state folder needs a name";
        return false;
    }
    bool dir_exists;
    if (!usable_folder(dir, &dir_exists, error)) return false;
    if (!dir_exists && !can_make(dir, error)) return false;

    std::string reg_path = dir + "/registry.reg";
    std::string store_path = dir + "/store";
    Registry loaded;
    bool have_registry = false, registry_compact = false;
    uint64_t registry_appended = 0;
    if (dir_exists && !factory_reset) {
        struct stat st;
        have_registry = lstat(reg_path.c_str(), &st) == 0;
        if (have_registry) {
            std::string text, why;
            if (!read_host_file(reg_path, kMaxRegistryBytes, Links::Refuse, &text, &why)) {
                *error = reg_path + ": cannot read: " + why;
                return false;
            }
            if (!loaded.parse(text, reg_path, error)) return false;
            std::string whole = loaded.text();
            if (text != whole) registry_appended = text.size() > whole.size() ? text.size() - whole.size() : 1;
            if (RegistryFile::outgrown(registry_appended, whole.size())) registry_compact = true;
        } else if (errno != ENOENT) {
            return fail(error, reg_path, "cannot read", errno);
        }
        struct stat store_st;
        if (lstat(store_path.c_str(), &store_st) == 0 && S_ISLNK(store_st.st_mode)) {
            *error = store_path + ": a symbolic link; the file store must be a folder of its own";
            return false;
        }
        bool have_store;
        if (!usable_folder(store_path, &have_store, error)) return false;
        if (have_store && !check_store(store_path, error)) return false;
    }
    if (!have_registry) loaded.reset_to_factory();
    loaded_ = std::move(loaded);
    have_registry_ = have_registry;
    registry_appended_ = registry_appended;
    registry_compact_ = registry_compact;
    checked_dir_ = dir;
    checked_reset_ = factory_reset;
    checked_held_ = dir_exists && state_folder_held(dir);
    return true;
}

bool StateFolder::open(const std::string& dir_in, bool factory_reset, std::string* error) {
    std::string dir = dir_in;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (checked_dir_.empty() || checked_dir_ != dir || checked_reset_ != factory_reset) {
        if (!check(dir_in, factory_reset, error)) return false;
    }
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            *error = dir + ": cannot create the folder: " + ec.message();
            return false;
        }
    }
    // Nothing is changed before the folder is this simulator's alone; what
    // was checked before then is checked again, as another simulator may
    // have changed it meanwhile.
    if (!lock_state_folder(dir, error)) return false;
    if (!checked_held_ && !check(dir_in, factory_reset, error)) return false;
    checked_dir_.clear();
    std::string reg_path = dir + "/registry.reg";
    std::string store_path = dir + "/store";

    if (factory_reset) {
        std::error_code ec;
        std::filesystem::remove_all(store_path, ec);
        if (ec) {
            *error = store_path + ": cannot remove the folder: " + ec.message();
            return false;
        }
        if (::unlink(reg_path.c_str()) != 0 && errno != ENOENT) return fail(error, reg_path, "cannot remove", errno);
    }
    remove_interrupted_saves(dir);

    bool have_store;
    if (!usable_folder(store_path, &have_store, error)) return false;
    if (!have_store && !make_store(store_path, error)) return false;
    Registry loaded = std::move(loaded_);
    loaded_ = Registry();
    loaded.attach(reg_path);
    // A new registry's file is written; one whose appended changes have
    // outgrown the rest is written whole again (should that fail, it still
    // holds them all), and any other is kept, to be written whole at
    // power-off.
    loaded.file_holds_appended(registry_appended_);
    if (!have_registry_ && !loaded.save(error)) return false;
    std::string compact_error;
    if (have_registry_ && registry_compact_) loaded.save(&compact_error);
    registry() = std::move(loaded);
    file_store().set_root(store_path);
    dir_ = dir;
    return true;
}

}  // namespace sim
