#include "base/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

std::string size_text(size_t bytes) {
    if (bytes >= (size_t(1) << 20) && bytes % (size_t(1) << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

bool has_control_character(const std::string& name) {
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return true;
    }
    return false;
}

std::string one_line(const std::string& where, std::string why) {
    const size_t kLimit = 300;
    if (why.size() > kLimit) {
        size_t cut = kLimit;
        while (cut > 0 && (static_cast<unsigned char>(why[cut]) & 0xC0) == 0x80) --cut;
        why.resize(cut);
        why += "...";
    }
    std::string message = where + ": " + why;
    for (auto& c : message)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return message;
}

bool read_host_file(const std::string& path, size_t max_bytes, Links links, std::string* bytes, std::string* why) {
    if (path.find('\0') != std::string::npos) {
        *why = "the name holds a NUL character";
        return false;
    }
    // O_NONBLOCK: opening a FIFO with no writer must not wait for one.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == Links::Refuse) flags |= O_NOFOLLOW;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        *why = errno == ELOOP && links == Links::Refuse ? "a symbolic link, not a regular file" : std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *why = std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *why = "a folder, not a regular file";
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        ::close(fd);
        return false;
    }
    if (st.st_size < 0 || uint64_t(st.st_size) > max_bytes) {
        *why = "larger than " + size_text(max_bytes);
        ::close(fd);
        return false;
    }
    std::string text;
    text.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *why = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        // The file may grow while it is read.
        if (text.size() + size_t(n) > max_bytes) {
            *why = "larger than " + size_text(max_bytes);
            ::close(fd);
            return false;
        }
        text.append(buf, size_t(n));
    }
    ::close(fd);
    *bytes = std::move(text);
    return true;
}

}  // namespace sim
