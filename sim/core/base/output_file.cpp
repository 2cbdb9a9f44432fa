#include "base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "base/host_file.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

bool inside(const OutputRules::Place& p, const OutputRules::Place& folder) {
    const std::string& f = folder.canonical;
    if (p.canonical == f || f == "/") return true;
    return p.canonical.size() > f.size() && p.canonical.compare(0, f.size(), f) == 0 && p.canonical[f.size()] == '/';
}

// What stands at `path` when it is not a regular file ("" for a regular
// file or nothing).
std::string what_is_in_place(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? "" : std::strerror(errno);
    if (S_ISREG(st.st_mode)) return "";
    if (S_ISLNK(st.st_mode)) return "a symbolic link is in its place";
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (S_ISFIFO(st.st_mode)) return "a FIFO is in its place";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device is in its place";
    return "something other than a file is in its place";
}

std::string folder_of(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec).parent_path();
    return p.empty() ? std::string(".") : p.string();
}

std::string cannot_write(const std::string& path, const std::string& why) { return path + ": cannot write: " + why; }

// The user's umask: what a new file or folder's permission bits leave out.
mode_t user_umask() {
    static const mode_t mask = [] {
        mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
}
mode_t file_mode() { return 0666 & ~user_umask(); }

// A new, empty file beside `path` ("<path>.XXXXXX"), opened for writing.
int make_temporary_beside(const std::string& path, std::string* temp, std::string* why) {
    *temp = path + ".XXXXXX";
    int fd = mkostemp(&(*temp)[0], O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ENOENT ? "there is no folder " + folder_of(path) : std::strerror(errno);
        return -1;
    }
    if (fchmod(fd, file_mode()) != 0) {
        *why = std::strerror(errno);
        ::close(fd);
        ::unlink(temp->c_str());
        return -1;
    }
    return fd;
}

bool write_all(int fd, const char* data, size_t size, std::string* why) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *why = n < 0 ? std::strerror(errno) : "the system took nothing";
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// The temporary file takes the place; a folder that appeared there meanwhile
// is not replaced.
bool take_place(const std::string& temp, const std::string& path, std::string* why) {
    if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
    *why = errno == EISDIR ? "it is a folder" : std::strerror(errno);
    return false;
}

[[noreturn]] void default_failure(const std::string& message) {
    std::cout.flush();
    std::string line = message + "\n";
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 && &c != &line.back()) c = ' ';
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;
    std::_Exit(2);
}

void (*g_failure_handler)(const std::string&) = default_failure;

}  // namespace

// ---------------------------------------------------------------- the rules

OutputRules::Place OutputRules::place_of(const std::string& path) {
    Place p;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    p.canonical = (ec ? absolute : canonical).lexically_normal().string();
    while (p.canonical.size() > 1 && p.canonical.back() == '/') p.canonical.pop_back();
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        p.exists = true;
        p.dev = st.st_dev;
        p.ino = st.st_ino;
    }
    return p;
}

void OutputRules::add_input(const std::string& what, const std::string& path) {
    Place p = place_of(path);
    by_path_.emplace(p.canonical, what);
    if (p.exists)
        by_identity_.emplace(std::make_pair(p.dev, p.ino), what);
    else
        absent_by_path_.emplace(p.canonical, what);
}

void OutputRules::set_state_folder(const std::string& dir) {
    has_state_ = true;
    state_ = place_of(dir);
}

void OutputRules::clear() {
    by_identity_.clear();
    by_path_.clear();
    absent_by_path_.clear();
    has_state_ = false;
    state_ = Place();
}

bool OutputRules::inside_state_folder(const std::string& path) const {
    return has_state_ && inside(place_of(path), state_);
}

std::string OutputRules::problem(const std::string& path) const {
    if (path.empty()) return "it has no name";
    if (has_control_character(path)) return "its name holds a control character";
    std::string in_place = what_is_in_place(path);
    if (!in_place.empty()) return in_place;
    Place p = place_of(path);
    const std::map<std::string, std::string>& paths = p.exists ? absent_by_path_ : by_path_;
    auto named = paths.find(p.canonical);
    if (named != paths.end()) return "it is " + named->second;
    auto found = p.exists ? by_identity_.find({p.dev, p.ino}) : by_identity_.end();
    if (found != by_identity_.end()) return "it is " + found->second;
    if (has_state_ && inside(p, state_)) return "it lies inside the state folder " + state_.canonical;
    return "";
}

OutputRules& output_rules() {
    static OutputRules rules;
    (void)user_umask();  // read while the command is still alone in the process
    return rules;
}

std::string folder_problem(const std::string& path) {
    std::string folder = folder_of(path);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "there is no folder " + folder;
    if (access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return "";
}

// ---------------------------------------------------------------- whole files

namespace {

// The new file beside `path` that an output is written into, once the
// rules allow the place: its descriptor, or -1 with *error.
int start_output(const std::string& path, std::string* temp, std::string* error) {
    std::string why = output_rules().problem(path);
    int fd = why.empty() ? make_temporary_beside(path, temp, &why) : -1;
    if (fd < 0) *error = cannot_write(path, why);
    return fd;
}

}  // namespace

bool write_output_file(const std::string& path, const std::string& bytes, std::string* error) {
    std::string temp, why;
    int fd = start_output(path, &temp, error);
    if (fd < 0) return false;
    bool ok = write_all(fd, bytes.data(), bytes.size(), &why);
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (ok) {
        // Checked again just before: a link put there meanwhile is replaced,
        // never written through, but a refusal is better said.
        std::string now = what_is_in_place(path);
        if (!now.empty()) {
            ok = false;
            why = now;
        }
    }
    if (ok) ok = take_place(temp, path, &why);
    if (!ok) {
        ::unlink(temp.c_str());
        *error = cannot_write(path, why);
    }
    return ok;
}

// ---------------------------------------------------------------- streams

OutputStream::~OutputStream() {
    if (fd_ < 0) return;
    if (temp_.empty()) {
        ::close(fd_);
        fd_ = -1;
    } else {
        abandon();
    }
}

void OutputStream::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool OutputStream::open(const std::string& path, Shown shown, std::string* error) {
    if (fd_ >= 0) abandon();
    failed_ = false;
    std::string temp, why;
    int fd = start_output(path, &temp, error);
    if (fd < 0) return false;
    if (shown == Shown::AtOnce) {
        if (!take_place(temp, path, &why)) {
            ::close(fd);
            ::unlink(temp.c_str());
            *error = cannot_write(path, why);
            return false;
        }
        temp.clear();
    }
    fd_ = fd;
    written_ = 0;
    path_ = path;
    temp_ = temp;
    return true;
}

bool OutputStream::write(const char* data, size_t size, std::string* error) {
    if (fd_ < 0 || failed_) {
        *error = cannot_write(path_, "an earlier write failed");
        return false;
    }
    std::string why;
    if (!write_all(fd_, data, size, &why)) {
        // What the file takes ends with the last whole piece (a journal's
        // last whole line), not in the middle of this one.
        int ignored = ftruncate(fd_, off_t(written_));
        (void)ignored;
        failed_ = true;
        *error = cannot_write(path_, why);
        return false;
    }
    written_ += size;
    return true;
}

bool OutputStream::close(std::string* error) {
    if (fd_ < 0) return true;
    std::string why;
    bool ok = !failed_;
    if (!ok) why = "an earlier write failed";
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!temp_.empty()) {
        if (ok) {
            std::string now = what_is_in_place(path_);
            if (!now.empty()) {
                ok = false;
                why = now;
            }
        }
        if (ok) ok = take_place(temp_, path_, &why);
        if (!ok) ::unlink(temp_.c_str());
        temp_.clear();
    }
    if (!ok) *error = cannot_write(path_, why);
    return ok;
}

// ---------------------------------------------------------------- folders

bool make_output_folder(const std::string& path,
                        const std::function<bool(const std::string& dir, std::string* error)>& fill,
                        std::string* error) {
    std::string why = output_rules().problem(path);
    struct stat st;
    if (why.empty() && lstat(path.c_str(), &st) == 0) why = "it is there already";
    if (!why.empty()) {
        *error = cannot_write(path, why);
        return false;
    }
    std::string temp = path + ".XXXXXX";
    if (!mkdtemp(&temp[0])) {
        *error = cannot_write(path, errno == ENOENT ? "there is no folder " + folder_of(path) : std::strerror(errno));
        return false;
    }
    std::error_code ec;
    ::chmod(temp.c_str(), 0777 & ~user_umask());
    bool ok = fill(temp, error);
    // A folder does not replace anything: if something took the name
    // meanwhile, it stays and the new folder goes.
    if (ok && lstat(path.c_str(), &st) == 0) {
        ok = false;
        *error = cannot_write(path, "it is there already");
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        *error = cannot_write(path, std::strerror(errno));
    }
    if (!ok) fs::remove_all(temp, ec);
    return ok;
}

std::string free_output_name(const std::string& stem, const std::string& ext) {
    std::string path = stem + ext;
    struct stat st;
    for (int n = 2; lstat(path.c_str(), &st) == 0; ++n) path = stem + "-" + std::to_string(n) + ext;
    return path;
}

// ---------------------------------------------------------------- failures

void output_failed(const std::string& message) {
    g_failure_handler(message);
    default_failure(message);  // a handler that returned
}

void set_output_failure_handler(void (*handler)(const std::string& message)) {
    g_failure_handler = handler ? handler : default_failure;
}

}  // namespace sim
