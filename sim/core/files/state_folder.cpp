#include "files/state_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "files/filestore.h"
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

const char16_t* const kFactoryFolders[] = {u"\\Windows", u"\\Windows\\StartUp", u"\\My Documents"};

bool fail(std::string* error, const std::string& file, const std::string& what, int err) {
    *error = file + ": " + what + ": " + std::strerror(err);
    return false;
}

bool read_whole(const std::string& path, std::string* text, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(error, path, "cannot read", errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = path + ": cannot read: not a file";
        return false;
    }
    text->clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            return fail(error, path, "cannot read", e);
        }
        if (n == 0) break;
        text->append(buf, size_t(n));
    }
    ::close(fd);
    return true;
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

void add_factory_file(const std::u16string& device_path, const std::string& bytes) {
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

bool StateFolder::open(const std::string& dir_in, bool factory_reset, std::string* error) {
    std::string dir = dir_in;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) {
        *error = "the state folder needs a name";
        return false;
    }
    bool dir_exists;
    if (!usable_folder(dir, &dir_exists, error)) return false;
    if (!dir_exists) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            *error = dir + ": cannot create the folder: " + ec.message();
            return false;
        }
    }
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

    // Check everything before anything is made, so a bad folder stays as it is.
    Registry loaded;
    struct stat st;
    bool have_registry = lstat(reg_path.c_str(), &st) == 0;
    if (have_registry) {
        std::string text;
        if (!read_whole(reg_path, &text, error) || !loaded.parse(text, reg_path, error)) return false;
    } else {
        loaded.reset_to_factory();
    }
    bool have_store;
    if (!usable_folder(store_path, &have_store, error)) return false;

    if (!have_store && !make_store(store_path, error)) return false;
    loaded.attach(reg_path);
    if (!have_registry && !loaded.save(error)) return false;
    registry() = std::move(loaded);
    file_store().set_root(store_path);
    dir_ = dir;
    return true;
}

}  // namespace sim
