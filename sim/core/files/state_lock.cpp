#include "files/state_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/host_file.h"

namespace sim {

namespace {

struct Held {
    dev_t dev;
    ino_t ino;
    int fd;
};

// The folders this process holds; the descriptors stay open until it ends.
std::vector<Held>& held() {
    static std::vector<Held> folders;
    return folders;
}

bool is_held(dev_t dev, ino_t ino) {
    for (const Held& h : held())
        if (h.dev == dev && h.ino == ino) return true;
    return false;
}

// The process that holds the lock on (dev, ino), from the system's list
// of locks; 0 when it does not say.
long holder_of(dev_t dev, ino_t ino) {
    std::string text, why;
    if (!read_host_file("/proc/locks", size_t(4) << 20, Links::Follow, &text, &why)) return 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // "3: FLOCK  ADVISORY  WRITE 1234 00:2f:56789 0 EOF"; a process
        // waiting for the lock has "->" after the number.
        char kind[16], mode[16], access[16];
        long pid;
        unsigned maj, min;
        unsigned long inode;
        if (line.find("->") != std::string::npos) continue;
        if (std::sscanf(line.c_str(), "%*d: %15s %15s %15s %ld %x:%x:%lu", kind, mode, access, &pid, &maj, &min,
                        &inode) != 7)
            continue;
        if (std::strcmp(kind, "FLOCK") == 0 && maj == major(dev) && min == minor(dev) && inode == ino && pid > 0)
            return pid;
    }
    return 0;
}

}  // namespace

bool state_folder_held(const std::string& dir) {
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && is_held(st.st_dev, st.st_ino);
}

bool lock_state_folder(const std::string& dir, std::string* error) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = dir + ": cannot hold the state folder: " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *error = dir + ": cannot hold the state folder: " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (is_held(st.st_dev, st.st_ino)) {
        ::close(fd);
        return true;
    }
    int r;
    do {
        r = flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK) {
            long pid = holder_of(st.st_dev, st.st_ino);
            *error = dir + ": the state folder is in use by another simulator" +
                     (pid > 0 ? " (process " + std::to_string(pid) + ")" : std::string()) +
                     "; one state folder serves one simulator at a time";
        } else {
            *error = dir + ": cannot hold the state folder: " + std::strerror(e);
        }
        return false;
    }
    held().push_back({st.st_dev, st.st_ino, fd});
    return true;
}

}  // namespace sim
