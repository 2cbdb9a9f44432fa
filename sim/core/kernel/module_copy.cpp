#include "kernel/module_copy.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "device/journal.h"

namespace sim {

namespace {

struct Copies {
    std::map<std::string, std::string> bytes;       // each file's content, read once
    std::map<std::string, std::vector<int>> spare;  // copies no load holds
};

Copies& copies() {
    static Copies c;
    return c;
}

std::string fd_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A new anonymous file holding the module file's bytes; -1 on failure.
int new_copy(const std::string& file) {
    auto known = copies().bytes.find(file);
    if (known == copies().bytes.end()) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return -1;
        std::stringstream ss;
        ss << in.rdbuf();
        known = copies().bytes.emplace(file, ss.str()).first;
    }
    const std::string& bytes = known->second;
    int fd = memfd_create("program", MFD_CLOEXEC);
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += size_t(n);
    }
    return fd;
}

}  // namespace

ModuleCopy load_module_copy(const std::string& file) {
    ModuleCopy copy;
    copy.file = file;
    auto& spare = copies().spare[file];
    if (!spare.empty()) {
        copy.fd = spare.back();
        spare.pop_back();
    } else {
        copy.fd = new_copy(file);
    }
    if (copy.fd < 0) return copy;
    copy.dl = dlopen(fd_path(copy.fd).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!copy.dl) {
        log_event("debug", {{"text", std::string("module load failed: ") + dlerror()}});
        ::close(copy.fd);
        copy.fd = -1;
    }
    return copy;
}

void unload_module_copy(ModuleCopy& copy) {
    if (copy.dl) dlclose(copy.dl);
    copy.dl = nullptr;
    if (copy.fd < 0) return;
    // A module the loader keeps (it may not be unloadable) keeps its copy.
    if (void* still = dlopen(fd_path(copy.fd).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
        dlclose(still);
        ::close(copy.fd);
    } else {
        copies().spare[copy.file].push_back(copy.fd);
    }
    copy.fd = -1;
}

}  // namespace sim
