#include "registry/registry_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/journal.h"

namespace sim {

namespace {

bool write_all(int fd, const char* p, size_t left) {
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= size_t(n);
    }
    return true;
}

}  // namespace

RegistryFile::RegistryFile(RegistryFile&& other) noexcept { *this = std::move(other); }

RegistryFile& RegistryFile::operator=(RegistryFile&& other) noexcept {
    if (this != &other) {
        close_file();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        whole_ = other.whole_;
        appended_ = std::exchange(other.appended_, 0);
        other.path_.clear();
    }
    return *this;
}

RegistryFile::~RegistryFile() { close_file(); }

void RegistryFile::close_file() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void RegistryFile::attach(const std::string& path) {
    close_file();
    path_ = path;
    whole_ = appended_ = 0;
}

bool RegistryFile::write_whole(const std::string& text, std::string* error) {
    if (path_.empty()) return true;
    before_lasting_change();
    std::string tmp = path_ + ".XXXXXX";
    int fd = mkstemp(&tmp[0]);
    auto failed = [&](const char* what) {
        if (error) *error = path_ + ": cannot save the registry (" + what + "): " + std::strerror(errno);
        return false;
    };
    if (fd < 0) return failed("create a temporary file");
    bool ok = fchmod(fd, 0644) == 0 && write_all(fd, text.data(), text.size());
    ok = ok && fsync(fd) == 0;
    int saved_errno = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(tmp.c_str(), path_.c_str()) != 0) {
        saved_errno = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        errno = saved_errno;
        return failed("write");
    }
    // Make the rename itself durable.
    std::string dir = path_.find('/') == std::string::npos ? "." : path_.substr(0, path_.rfind('/') + 1);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        ::close(dfd);
    }
    // Appends go to the new file.
    close_file();
    whole_ = text.size();
    appended_ = 0;
    return true;
}

bool RegistryFile::outgrown(uint64_t appended, uint64_t whole) {
    const uint64_t floor = 64 * 1024;
    return appended > (whole > floor ? whole : floor);
}

bool RegistryFile::needs_whole(size_t change_bytes) const {
    return change_bytes > kPage || outgrown(appended_ + change_bytes, whole_);
}

bool RegistryFile::append(const std::string& change, std::string* error) {
    if (path_.empty()) return true;
    before_lasting_change();
    auto failed = [&](const char* what) {
        if (error) *error = path_ + ": cannot save the registry (" + what + "): " + std::strerror(errno);
        return false;
    };
    if (fd_ < 0) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0) return failed("open");
        struct stat st {};
        bool regular = fstat(fd_, &st) == 0;
        if (regular && !S_ISREG(st.st_mode)) {
            regular = false;
            errno = EINVAL;
        }
        if (!regular) {
            int saved_errno = errno;
            close_file();
            errno = saved_errno;
            return failed("open");
        }
        size_ = uint64_t(st.st_size);
        whole_ = size_ > appended_ ? size_ - appended_ : 0;
    }
    // Blank lines to the end of the page when the change would cross into
    // the next one.
    std::string bytes;
    size_t in_page = size_t(size_ % kPage);
    if (in_page + change.size() > kPage) bytes.assign(kPage - in_page, '\n');
    bytes += change;
    if (!write_all(fd_, bytes.data(), bytes.size())) {
        int saved_errno = errno;
        // A short write leaves nothing behind.
        if (ftruncate(fd_, off_t(size_)) != 0) close_file();
        errno = saved_errno;
        return failed("write");
    }
    size_ += bytes.size();
    appended_ += bytes.size();
    return true;
}

}  // namespace sim
