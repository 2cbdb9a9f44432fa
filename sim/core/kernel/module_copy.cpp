#include "kernel/module_copy.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "base/journal.h"

namespace sim {

namespace {

// A module's writable memory as a load leaves it.
struct LoadedMemory {
    std::vector<std::pair<char*, std::string>> ranges;  // where, and the bytes
    void restore() const {
        for (auto& [at, bytes] : ranges) std::memcpy(at, bytes.data(), bytes.size());
    }
};

struct Copy {
    std::string file;
    int fd = -1;
    void* dl = nullptr;      // loaded, when the module stays loaded between starts
    bool in_use = false;
    LoadedMemory memory;  // its writable memory as the load left it, when it stays loaded
};

struct Copies {
    std::map<std::string, std::string> bytes;  // each file's content, read once
    std::map<std::string, bool> restorable;    // see module_copy.h
    std::vector<Copy> all;
};

Copies& copies() {
    static Copies c;
    return c;
}

std::string fd_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

const std::string* file_bytes(const std::string& file) {
    auto known = copies().bytes.find(file);
    if (known == copies().bytes.end()) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return nullptr;
        std::stringstream ss;
        ss << in.rdbuf();
        known = copies().bytes.emplace(file, ss.str()).first;
    }
    return &known->second;
}

// Whether loading the module leaves nothing outside its own writable
// memory: a 64-bit ELF file whose initialisers are only the compiler's
// one, that asks for no exit handlers and has no thread storage.
bool loading_stays_inside(const std::string& bytes) {
    auto at = [&](size_t offset, size_t size) { return offset <= bytes.size() && size <= bytes.size() - offset; };
    if (!at(0, sizeof(Elf64_Ehdr))) return false;
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || !at(eh.e_shoff, size_t(eh.e_shnum) * sizeof(Elf64_Shdr)) ||
        eh.e_phentsize != sizeof(Elf64_Phdr) || !at(eh.e_phoff, size_t(eh.e_phnum) * sizeof(Elf64_Phdr)))
        return false;
    for (int i = 0; i < eh.e_phnum; ++i) {
        Elf64_Phdr ph;
        std::memcpy(&ph, bytes.data() + eh.e_phoff + size_t(i) * sizeof ph, sizeof ph);
        if (ph.p_type == PT_TLS) return false;
    }
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    std::memcpy(sections.data(), bytes.data() + eh.e_shoff, sections.size() * sizeof(Elf64_Shdr));
    bool symbols_seen = false;
    for (const Elf64_Shdr& sh : sections) {
        if (sh.sh_type == SHT_PREINIT_ARRAY || sh.sh_type == SHT_INIT_ARRAY || sh.sh_type == SHT_FINI_ARRAY)
            if (sh.sh_size > sizeof(Elf64_Addr)) return false;
        if (sh.sh_type != SHT_DYNSYM) continue;
        if (sh.sh_link >= sections.size() || !at(sh.sh_offset, sh.sh_size)) return false;
        const Elf64_Shdr& names = sections[sh.sh_link];
        if (!at(names.sh_offset, names.sh_size)) return false;
        symbols_seen = true;
        for (size_t s = 0; s + sizeof(Elf64_Sym) <= sh.sh_size; s += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, bytes.data() + sh.sh_offset + s, sizeof sym);
            if (sym.st_shndx != SHN_UNDEF || sym.st_name >= names.sh_size) continue;
            const char* name = bytes.data() + names.sh_offset + sym.st_name;
            size_t room = names.sh_size - sym.st_name;
            if (strnlen(name, room) == room) return false;
            for (const char* handler : {"atexit", "__cxa_atexit", "__cxa_thread_atexit", "__cxa_thread_atexit_impl",
                                        "at_quick_exit", "on_exit"})
                if (std::strcmp(name, handler) == 0) return false;
        }
    }
    return symbols_seen;
}

// The loaded module's writable memory that the loader does not make read
// only after relocating (its RELRO part).
LoadedMemory memory_after_load(void* dl) {
    struct Search {
        ElfW(Addr) base;
        LoadedMemory memory;
    } search{0, {}};
    link_map* map = nullptr;
    if (dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || !map) return {};
    search.base = map->l_addr;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (info->dlpi_addr != s->base) return 0;
            ElfW(Addr) relro_from = 0, relro_to = 0;
            for (int i = 0; i < info->dlpi_phnum; ++i)
                if (info->dlpi_phdr[i].p_type == PT_GNU_RELRO) {
                    relro_from = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
                    relro_to = relro_from + info->dlpi_phdr[i].p_memsz;
                }
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_W)) continue;
                ElfW(Addr) from = info->dlpi_addr + ph.p_vaddr, to = from + ph.p_memsz;
                if (from >= relro_from && from < relro_to) from = relro_to;
                if (to > relro_from && to <= relro_to) to = relro_from;
                if (from >= to) continue;
                char* p = reinterpret_cast<char*>(from);
                s->memory.ranges.push_back({p, std::string(p, size_t(to - from))});
            }
            return 1;
        },
        &search);
    return search.memory;
}

// A new anonymous file holding the module file's bytes; -1 on failure.
int new_file(const std::string& bytes) {
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
    auto& all = copies().all;
    // A copy that stays loaded, or the anonymous file of one that does not.
    for (size_t i = 0; i < all.size(); ++i) {
        Copy& c = all[i];
        if (c.file != file || c.in_use) continue;
        if (c.dl) {
            c.memory.restore();
        } else {
            c.dl = dlopen(fd_path(c.fd).c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!c.dl) {
                log_event("debug", {{"text", std::string("module load failed: ") + dlerror()}});
                return {};
            }
        }
        c.in_use = true;
        return {c.dl, int(i)};
    }
    const std::string* bytes = file_bytes(file);
    if (!bytes) return {};
    Copy c;
    c.file = file;
    c.fd = new_file(*bytes);
    if (c.fd < 0) return {};
    c.dl = dlopen(fd_path(c.fd).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!c.dl) {
        log_event("debug", {{"text", std::string("module load failed: ") + dlerror()}});
        ::close(c.fd);
        return {};
    }
    auto known = copies().restorable.find(file);
    if (known == copies().restorable.end()) known = copies().restorable.emplace(file, loading_stays_inside(*bytes)).first;
    if (known->second) c.memory = memory_after_load(c.dl);
    c.in_use = true;
    all.push_back(std::move(c));
    return {all.back().dl, int(all.size() - 1)};
}

void unload_module_copy(ModuleCopy& copy) {
    if (copy.index < 0) return;
    Copy& c = copies().all[size_t(copy.index)];
    c.in_use = false;
    copy = {};
    if (copies().restorable[c.file] && !c.memory.ranges.empty()) return;  // it stays loaded
    dlclose(c.dl);
    c.dl = nullptr;
    // A module the loader keeps (it may not be unloadable) cannot be loaded
    // afresh from the same file: the file goes.
    if (void* still = dlopen(fd_path(c.fd).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
        dlclose(still);
        ::close(c.fd);
        c.fd = -1;
        c.in_use = true;  // never handed out again
    }
}

}  // namespace sim
