// Programs and libraries: the device's modules are shared objects in the
// simulator's modules folder.  A program is loaded afresh for every start
// (from an anonymous copy of its file, module_copy.h), so no memory
// survives from one process to the next.
#include "kernel/process.h"

#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "base/device_paths.h"
#include "base/journal.h"
#include "base/profile.h"
#include "base/text.h"
#include "kernel/module_copy.h"
#include "platform/ce_api.h"

namespace sim {

namespace {

enum class ModuleKind { Core, Library, Program };

struct Module {
    ModuleKind kind;
    std::u16string name;  // as the device knows it, e.g. "OrvexUtil.dll"
    void* dl = nullptr;
    int refs = 0;
};

struct Modules {
    std::map<uintptr_t, Module> loaded;
    uintptr_t next = 0x00400000;
    std::vector<Process*> running;
    uint32_t next_pid = 0x100;
    int utility_loads = 0;  // LoadLibraryW calls for the utility library since power-on
};

Modules& mods() {
    static Modules m;
    return m;
}

std::u16string base_name(const std::u16string& path) {
    size_t at = path.find_last_of(u"\\/");
    return at == std::u16string::npos ? path : path.substr(at + 1);
}

void* core_dl() {
    static void* h = nullptr;
    if (!h) {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&GetLastError), &info);
        h = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    }
    return h;
}

HMODULE add_module(Module m) {
    uintptr_t id = mods().next;
    mods().next += 0x10000;
    mods().loaded[id] = std::move(m);
    return reinterpret_cast<HMODULE>(id);
}

Module* find_module(HMODULE h) {
    auto it = mods().loaded.find(reinterpret_cast<uintptr_t>(h));
    return it == mods().loaded.end() ? nullptr : &it->second;
}

std::vector<ProgramNotices>& subscribers() {
    static std::vector<ProgramNotices> list;
    return list;
}

struct ProgramEntry {
    const char16_t* path;
    const char* module_file;  // null: exists on the device but is not simulated
};

const ProgramEntry kPrograms[] = {
    {kProgramPath, "Dravik.exe.so"},
    {u"\\Windows\\peghelp.exe", nullptr},
};

// A bare name is looked for in the Windows folder; names are compared
// without regard to case.
const ProgramEntry* find_program(const std::u16string& path) {
    std::u16string p = lower(!path.empty() && path.front() != u'\\' ? device_path(kWindowsFolder, path) : path);
    for (auto& e : kPrograms)
        if (p == lower(e.path)) return &e;
    return nullptr;
}

}  // namespace

std::string modules_dir() {
    if (const char* env = getenv("DRAVIK_MODULES_DIR")) return env;
    static const std::string beside_exe = [] {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        std::string exe = n > 0 ? std::string(buf, size_t(n)) : std::string(".");
        return exe.substr(0, exe.find_last_of('/')) + "/modules";
    }();
    return beside_exe;
}

void subscribe_to_programs(const ProgramNotices& notices) { subscribers().push_back(notices); }

Process* current_process() { return mods().running.empty() ? nullptr : mods().running.back(); }

std::vector<std::u16string> running_programs() {
    std::vector<std::u16string> out;
    for (Process* p : mods().running) out.push_back(p->exe);
    return out;
}

bool is_known_program(const std::u16string& device_path) { return find_program(device_path) != nullptr; }

bool run_program(const std::u16string& device_path, const std::u16string& command_line, int* exit_code) {
    const ProgramEntry* entry = find_program(device_path);
    if (!entry) return false;
    std::string exe = to_utf8(device_path);
    log_event("launch", {{"exe", exe}});
    if (!entry->module_file) {
        if (exit_code) *exit_code = 0;
        return true;
    }
    ModuleCopy copy = load_module_copy(modules_dir() + "/" + entry->module_file);
    void* dl = copy.dl;
    auto* entry_point = dl ? reinterpret_cast<int (*)(HINSTANCE, HINSTANCE, LPWSTR, int)>(dlsym(dl, "WinMain"))
                           : nullptr;
    if (!entry_point) {
        unload_module_copy(copy);
        log_event("exit", {{"exe", exe}, {"code", -1}});
        return false;
    }
    Module m{ModuleKind::Program, base_name(device_path), dl, 1};
    HMODULE inst = add_module(m);
    for (auto& s : subscribers())
        if (s.loaded) s.loaded(inst, dl);

    Process proc;
    proc.id = mods().next_pid++;
    proc.exe = device_path;
    proc.instance = reinterpret_cast<HINSTANCE>(inst);
    mods().running.push_back(&proc);
    auto finish = [&]() {
        for (auto& s : subscribers())
            if (s.ended) s.ended(&proc, inst);
        mods().running.pop_back();
        mods().loaded.erase(reinterpret_cast<uintptr_t>(inst));
        unload_module_copy(copy);
    };
    std::u16string cmd = command_line;
    int code;
    try {
        code = entry_point(proc.instance, nullptr, cmd.data(), SW_SHOW);
    } catch (...) {
        finish();
        throw;
    }
    finish();
    log_event("exit", {{"exe", exe}, {"code", code}});
    if (exit_code) *exit_code = code;
    return true;
}

void unload_all_libraries() {
    for (auto& [id, m] : mods().loaded)
        if (m.kind == ModuleKind::Library && m.dl) dlclose(m.dl);
    mods().loaded.clear();
    mods().utility_loads = 0;
}

}  // namespace sim

extern "C" {

HMODULE WINAPI LoadLibraryW(LPCWSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string base = sim::base_name(name);
    std::u16string key = sim::lower(base);
    std::string shown = sim::to_utf8(name);
    // "utility_library_loads": N lets the first N loads of the utility
    // library succeed and every later one fail, as if the file had gone.
    if (key == u"orvexutil.dll" && sim::profile().has("utility_library_loads") &&
        ++sim::mods().utility_loads > sim::profile().raw()["utility_library_loads"].get<int>()) {
        sim::log_event("library", {{"op", "load"}, {"name", shown}, {"ok", false}});
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    for (auto& [id, m] : sim::mods().loaded)
        if (m.kind != sim::ModuleKind::Program && sim::lower(m.name) == key) {
            ++m.refs;
            sim::log_event("library", {{"op", "load"}, {"name", shown}, {"ok", true}});
            return reinterpret_cast<HMODULE>(id);
        }
    sim::Module m;
    m.refs = 1;
    m.name = base;
    bool ok = false;
    if (key == u"coredll.dll" || key == u"coredll") {
        if (!sim::profile().flag("coredll_missing")) {
            m.kind = sim::ModuleKind::Core;
            m.dl = sim::core_dl();
            ok = m.dl != nullptr;
        }
    } else if (key == u"orvexutil.dll") {
        if (sim::profile().utility_library_present()) {
            m.kind = sim::ModuleKind::Library;
            // The library keeps no state of its own: once mapped it stays,
            // and a later load finds it without mapping it again.
            m.dl = dlopen((sim::modules_dir() + "/OrvexUtil.dll.so").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
            ok = m.dl != nullptr;
        }
    }
    sim::log_event("library", {{"op", "load"}, {"name", shown}, {"ok", ok}});
    if (!ok) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return sim::add_module(std::move(m));
}

BOOL WINAPI FreeLibrary(HMODULE h) {
    sim::Module* m = sim::find_module(h);
    if (!m || m->kind == sim::ModuleKind::Program) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    sim::log_event("library", {{"op", "free"}, {"name", sim::to_utf8(m->name)}, {"ok", true}});
    if (--m->refs == 0) {
        if (m->kind == sim::ModuleKind::Library && m->dl) dlclose(m->dl);
        sim::mods().loaded.erase(reinterpret_cast<uintptr_t>(h));
    }
    return TRUE;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR name) {
    if (!name) {
        sim::Process* p = sim::current_process();
        return p ? reinterpret_cast<HMODULE>(p->instance) : nullptr;
    }
    std::u16string key = sim::lower(sim::base_name(name));
    for (auto& [id, m] : sim::mods().loaded)
        if (sim::lower(m.name) == key) return reinterpret_cast<HMODULE>(id);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC WINAPI GetProcAddressW(HMODULE h, LPCWSTR name) {
    sim::Module* m = sim::find_module(h);
    if (!m || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::string export_name = sim::to_utf8(name);
    bool missing = false;
    if (m->kind == sim::ModuleKind::Library) {
        missing = sim::profile().export_missing(export_name);
        if (export_name == "OrvexGetBlueToothRadioStatus") {
            const auto& bt = sim::profile().raw().value("bluetooth", nlohmann::json::object());
            if (bt.is_object() && bt.value("status_export", true) == false) missing = true;
        }
    } else if (m->kind == sim::ModuleKind::Core) {
        missing = export_name == "UnregisterFunc1" && sim::profile().flag("unregisterfunc1_missing");
    }
    void* sym = missing ? nullptr : dlsym(m->dl, export_name.c_str());
    if (!sym) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(sym);
}

BOOL WINAPI CreateProcessW(LPCWSTR app, LPWSTR cmdline, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                           LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION info) {
    std::u16string exe = app ? std::u16string(app) : std::u16string();
    std::u16string args = cmdline ? std::u16string(cmdline) : std::u16string();
    bool ok = !exe.empty() && sim::is_known_program(exe);
    sim::log_event("process_start", {{"exe", sim::to_utf8(exe)}, {"cmdline", sim::to_utf8(args)}, {"ok", ok}});
    if (!ok) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (info) {
        info->hProcess = nullptr;
        info->hThread = nullptr;
        info->dwProcessId = sim::mods().next_pid++;
        info->dwThreadId = info->dwProcessId + 1;
    }
    return TRUE;
}

}  // extern "C"
