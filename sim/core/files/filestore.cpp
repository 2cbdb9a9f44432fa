#include "files/filestore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/device_paths.h"
#include "base/host_file.h"
#include "base/journal.h"
#include "base/text.h"
#include "base/verify.h"

namespace sim {

FileStore& file_store() {
    static FileStore store;
    return store;
}

namespace {

bool allowed_in_name(char16_t c) {
    if (c < 0x20) return false;
    switch (c) {
        case u'<': case u'>': case u':': case u'"': case u'|': case u'?': case u'*': case u'/': return false;
    }
    return true;
}

// The entry of `folder` whose name matches `name` without regard to case:
// the exact spelling when present, else the first in sorted order; "" for
// none.
std::string find_entry(const std::string& folder, const std::u16string& name) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return "";
    std::u16string wanted = lower(name);
    std::string best;
    while (dirent* e = readdir(dir)) {
        std::string entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        std::u16string wide = to_u16(entry);
        if (wide == name) {
            best = entry;
            break;
        }
        if (lower(wide) == wanted && (best.empty() || entry < best)) best = entry;
    }
    closedir(dir);
    return best;
}

// A folder itself, not a symbolic link to one.
bool is_folder(const std::string& host) {
    struct stat st;
    return lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int open_store_file(const std::string& host, int flags, mode_t mode) {
    if ((flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC))) before_lasting_change();
    int fd = ::open(host.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) return -1;
    struct stat st;
    bool writes = (flags & O_ACCMODE) != O_RDONLY;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (writes && st.st_nlink > 1)) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

DWORD FileStore::split(const std::u16string& device_path, std::vector<std::u16string>* names) {
    names->clear();
    if (device_path.empty() || device_path.size() >= MAX_PATH) return ERROR_PATH_NOT_FOUND;
    size_t start = device_path[0] == u'\\' ? 1 : 0;
    if (start == device_path.size()) return ERROR_SUCCESS;  // the root folder
    for (;;) {
        size_t at = device_path.find(u'\\', start);
        std::u16string name =
            device_path.substr(start, at == std::u16string::npos ? std::u16string::npos : at - start);
        if (name.empty() || name == u"." || name == u"..") return ERROR_INVALID_NAME;
        for (char16_t c : name)
            if (!allowed_in_name(c)) return ERROR_INVALID_NAME;
        names->push_back(name);
        if (at == std::u16string::npos) break;
        start = at + 1;
    }
    return ERROR_SUCCESS;
}

std::u16string FileStore::normalize(const std::u16string& device_path) {
    if (!device_path.empty() && device_path[0] == u'\\') return device_path;
    return sim::device_path(u"", device_path);
}

bool store_path_ok(const std::u16string& device_path) {
    std::vector<std::u16string> names;
    return !device_path.empty() && device_path[0] == u'\\' &&
           FileStore::split(device_path, &names) == ERROR_SUCCESS && !names.empty();
}

bool host_path_inside(const std::string& root, const std::string& host) {
    if (root.empty() || host.compare(0, root.size(), root) != 0) return false;
    if (host.size() == root.size()) return true;
    if (host[root.size()] != '/') return false;
    for (size_t start = root.size() + 1;;) {
        size_t end = host.find('/', start);
        std::string name = host.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name.empty() || name == "." || name == "..") return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

bool open_file_ok(int fd, dev_t dev, ino_t ino) {
    struct stat st;
    return fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink >= 1 && st.st_dev == dev &&
           st.st_ino == ino;
}

bool FileStore::same_path(const std::u16string& a, const std::u16string& b) {
    return lower(normalize(a)) == lower(normalize(b));
}

DWORD FileStore::resolve(const std::u16string& device_path, Entry* out) const {
    std::vector<std::u16string> names;
    if (DWORD err = split(device_path, &names)) return err;
    if (root_.empty() || !is_folder(root_)) return ERROR_PATH_NOT_FOUND;
    std::string host = root_;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string match = find_entry(host, names[i]);
        bool last = i + 1 == names.size();
        if (match.empty()) {
            if (!last) return ERROR_PATH_NOT_FOUND;
            out->host = host + "/" + to_utf8(names[i]);
            out->exists = false;
            out->is_folder = false;
            out->is_other = false;
            VERIFY(host_path_inside(root_, out->host));
            return ERROR_SUCCESS;
        }
        host += "/" + match;
        if (!last && !is_folder(host)) return ERROR_PATH_NOT_FOUND;
    }
    struct stat st;
    bool known = lstat(host.c_str(), &st) == 0;
    out->host = host;
    out->exists = true;
    out->is_folder = known && S_ISDIR(st.st_mode);
    out->is_other = !known || (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode));
    VERIFY(host_path_inside(root_, out->host));
    return ERROR_SUCCESS;
}

std::string FileStore::host_path(const std::u16string& device_path) const {
    Entry e;
    return resolve(device_path, &e) == ERROR_SUCCESS ? e.host : "";
}

bool FileStore::exists(const std::u16string& device_path) const {
    Entry e;
    return resolve(device_path, &e) == ERROR_SUCCESS && e.exists;
}

bool FileStore::read_file(const std::u16string& device_path, std::string* bytes) const {
    Entry e;
    if (resolve(device_path, &e) != ERROR_SUCCESS || !e.exists || e.is_folder || e.is_other) return false;
    std::string why;
    return read_host_file(e.host, kMaxStoreReadBytes, Links::Refuse, bytes, &why);
}

bool FileStore::make_folder(const std::u16string& device_path) const {
    std::vector<std::u16string> names;
    if (split(device_path, &names) != ERROR_SUCCESS || root_.empty()) return false;
    std::u16string path;
    for (auto& n : names) {
        path = sim::device_path(path, n);
        Entry e;
        if (resolve(path, &e) != ERROR_SUCCESS) return false;
        if (e.exists && !e.is_folder) return false;
        if (!e.exists) before_lasting_change();
        if (!e.exists && mkdir(e.host.c_str(), 0755) != 0) return false;
    }
    return true;
}

bool FileStore::write_file(const std::u16string& device_path, const std::string& bytes, bool make_folders) const {
    if (make_folders) {
        size_t cut = normalize(device_path).rfind(u'\\');
        if (cut > 0 && !make_folder(normalize(device_path).substr(0, cut))) return false;
    }
    Entry e;
    if (resolve(device_path, &e) != ERROR_SUCCESS || e.is_folder || e.is_other) return false;
    int fd = open_store_file(e.host, O_WRONLY | O_CREAT, 0644);
    if (fd < 0) return false;
    bool ok = ftruncate(fd, 0) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += size_t(n);
    }
    // The file written whole holds those bytes and no more.
    struct stat st;
    if (ok) VERIFY(fstat(fd, &st) == 0 && uint64_t(st.st_size) == bytes.size());
    return ::close(fd) == 0 && ok;
}

}  // namespace sim
