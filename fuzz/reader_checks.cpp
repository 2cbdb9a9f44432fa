#include "reader_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <windows.h>

#include "device/power.h"
#include "resources/dialog_template.h"
#include "resources/dib.h"
#include "files/filestore.h"
#include "base/journal.h"
#include "device/png.h"
#include "kernel/local_time.h"
#include "platform/ce_api.h"
#include "device/profile_loading.h"
#include "registry/registry.h"
#include "resources/compiled_resources.h"
#include "people/script.h"
#include "shell/shell.h"
#include "drivers/sound.h"
#include "shell/shortcuts.h"
#include "base/text.h"
#include "user/window.h"

namespace readers {

namespace {

size_t count_lines(const std::string& text) {
    size_t n = 1;
    for (char c : text)
        if (c == '\n') ++n;
    return n;
}

// A refusal is one line "<name>:<line>: <what>", the line within the text.
std::string refusal_problem(const std::string& error, const std::string& name, const std::string& text) {
    if (error.empty()) return "refused without a message";
    if (error.find('\n') != std::string::npos) return "refused with more than one line: " + error;
    std::string head = name + ":";
    if (error.compare(0, head.size(), head) != 0) return "the refusal does not name the file: " + error;
    size_t at = head.size(), digits = 0;
    unsigned long line = 0;
    while (at < error.size() && error[at] >= '0' && error[at] <= '9' && digits < 12) {
        line = line * 10 + unsigned(error[at] - '0');
        ++at;
        ++digits;
    }
    if (!digits || error.compare(at, 2, ": ") != 0) return "the refusal does not name the line: " + error;
    if (line < 1 || line > count_lines(text)) return "the refusal names line " + std::to_string(line) + " of " +
                                                     std::to_string(count_lines(text)) + ": " + error;
    return "";
}

// A private folder, removed when the process ends.
std::string temp_dir() {
    static const std::string* dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        auto* t = new std::string(std::string(tmp && *tmp ? tmp : "/tmp") + "/dravik-reader-XXXXXX");
        if (!mkdtemp(&(*t)[0])) t->clear();
        std::atexit([] {
            std::error_code ec;
            if (!temp_dir().empty()) std::filesystem::remove_all(temp_dir(), ec);
        });
        return t;
    }();
    return *dir;
}

// ---------------------------------------------------------------- script

std::string same_action(const sim::ScriptAction& a, const sim::ScriptAction& b) {
    if (a.kind != b.kind || a.x != b.x || a.y != b.y || a.key != b.key || a.word != b.word ||
        a.control_id != b.control_id || a.by_text != b.by_text || a.text != b.text || a.ms != b.ms ||
        a.file != b.file || a.draw_call != b.draw_call)
        return "differs";
    return "";
}

std::string check_script(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    sim::Script script;
    std::string error;
    if (!sim::parse_script_text(text, "fuzz.txt", &script, &error)) return refusal_problem(error, "fuzz.txt", text);
    int previous = 0;
    for (size_t i = 0; i < script.size(); ++i) {
        const sim::ScriptAction a = script.action(i);
        if (a.line <= previous || size_t(a.line) > count_lines(text))
            return "action on line " + std::to_string(a.line) + " out of order or outside the text";
        previous = a.line;
        bool in_range = true;
        switch (a.kind) {
            case sim::ScriptAction::Tap: in_range = a.x >= 0 && a.x < 240 && a.y >= 0 && a.y < 320; break;
            case sim::ScriptAction::Press: in_range = a.key >= 1 && a.key <= 254; break;
            case sim::ScriptAction::Wait: in_range = a.ms >= 0 && a.ms <= 86400000; break;
            case sim::ScriptAction::ScreenshotFrame: in_range = a.draw_call >= 1; break;
            default: break;
        }
        if (!in_range) return "line " + std::to_string(a.line) + ": an accepted value out of its range";
        // The line as kept reads back as the same action.
        sim::Script again;
        if (!sim::parse_script_text(a.source + "\n", "again", &again, &error) || again.size() != 1)
            return "line " + std::to_string(a.line) + ": its text \"" + a.source + "\" does not read back";
        if (!same_action(a, again.action(0)).empty())
            return "line " + std::to_string(a.line) + ": its text reads back as another action";
    }
    return "";
}

// ---------------------------------------------------------------- expected pictures

// An expect-screen picture: exactly the screen's size, or refused in one
// line naming it before anything is decoded; what is accepted, written
// again as a picture, reads back as the same pixels.
std::string check_picture(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> rgb;
    std::string error;
    if (!sim::read_screen_picture(bytes, "fuzz.png", &rgb, &error)) {
        if (error.empty()) return "refused without a message";
        if (error.find('\n') != std::string::npos) return "refused with more than one line: " + error;
        if (error.find("fuzz.png") == std::string::npos) return "the refusal does not name the file: " + error;
        return "";
    }
    if (rgb.size() != size_t(sim::kScreenWidth) * sim::kScreenHeight * 3)
        return "accepted " + std::to_string(rgb.size()) + " bytes of pixels, not the screen's";
    std::string png;
    if (!sim::encode_rgb_png(sim::kScreenWidth, sim::kScreenHeight, rgb, &png, &error))
        return "what it read cannot be written again: " + error;
    std::vector<uint8_t> again;
    if (!sim::read_screen_picture(png, "again.png", &again, &error)) return "written again, it does not read back: " + error;
    if (again != rgb) return "written again, it reads back as another picture";
    return "";
}

// ---------------------------------------------------------------- registry text

std::string check_registry(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    sim::Registry reg;
    reg.reset_to_factory();
    const std::string before = reg.text();
    std::string error;
    if (!reg.parse(text, "registry.reg", &error)) {
        std::string problem = refusal_problem(error, "registry.reg", text);
        if (!problem.empty()) return problem;
        if (reg.text() != before) return "a refused file changed the registry";
        return "";
    }
    // What is saved reads back as the same registry.
    const std::string saved = reg.text();
    sim::Registry again;
    if (!again.parse(saved, "saved.reg", &error)) return "its saved text does not read back: " + error;
    if (again.text() != saved) return "its saved text reads back as another registry";
    return "";
}

// ---------------------------------------------------------------- DIB

std::string dib_problem(const void* data, size_t size) {
    sim::Dib dib;
    std::string error;
    if (!sim::parse_dib(data, size, &dib, &error)) {
        if (error.empty()) return "refused without a message";
        if (error.find('\n') != std::string::npos) return "refused with more than one line: " + error;
        return "";
    }
    static const int kDepths[] = {1, 4, 8, 16, 24, 32};
    bool depth_ok = false;
    for (int d : kDepths) depth_ok = depth_ok || d == dib.bit_count;
    if (!depth_ok) return "accepted a depth of " + std::to_string(dib.bit_count) + " bits";
    if (dib.width < 0 || dib.height < 0) return "accepted a negative size";
    if (dib.pixels.size() != size_t(dib.width) * size_t(dib.height)) return "the pixels do not fill the bitmap";
    // A pixel takes at least one bit of the input: no more pixels than that.
    if (dib.pixels.size() > size * 8) return "more pixels than the input could hold";
    if (dib.palette.size() * 3 > size) return "a colour table of " + std::to_string(dib.palette.size()) + " colours";
    uint32_t sum = 0;
    for (uint32_t p : dib.pixels) sum += p;  // every pixel readable
    (void)sum;
    return "";
}

std::string check_dib(const uint8_t* data, size_t size) { return dib_problem(data, size); }

// ---------------------------------------------------------------- compiled resources

constexpr uint16_t kRtBitmap = 2, kRtDialog = 5, kRtString = 6;

BOOL CALLBACK quiet_dialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::string check_resources(const uint8_t* data, size_t size) {
    std::string error;
    auto table = sim::ResourceTable::parse(data, size, &error);
    if (!table) {
        if (error.empty()) return "refused without a message";
        if (error.find('\n') != std::string::npos) return "refused with more than one line: " + error;
        const std::string head = "resources at offset ";
        if (error.compare(0, head.size(), head) != 0) return "the refusal does not name the offset: " + error;
        unsigned long offset = std::strtoul(error.c_str() + head.size(), nullptr, 10);
        if (offset > size) return "the refusal names an offset past the end: " + error;
        return "";
    }
    const uint8_t* end = data + size;
    for (const sim::ResourceEntry& e : table->entries()) {
        if (e.data < data || e.data > end || e.size > size_t(end - e.data)) return "an entry's data lies outside";
        if (!table->owns(&e)) return "the table does not own its own entry";
        if (e.size && table->bytes_available(e.data) == 0) return "an entry's data is not found again";
        const sim::ResourceEntry* found = table->find(e.type, e.name);
        if (!found || !found->type.matches(e.type) || !found->name.matches(e.name))
            return "an entry is not found by its type and name";
        if (e.type.is_ordinal && e.type.ordinal == kRtDialog) {
            sim::DialogTemplate t;
            if (!sim::parse_dialog_template(e.data, e.size, &t, &error) &&
                (error.empty() || error.find('\n') != std::string::npos))
                return "a dialog template refused without one line: " + error;
        }
        if (e.type.is_ordinal && e.type.ordinal == kRtBitmap) {
            std::string p = dib_problem(e.data, e.size);
            if (!p.empty()) return "bitmap resource: " + p;
        }
        if (e.type.is_ordinal && e.type.ordinal == kRtString && e.name.is_ordinal && e.name.ordinal > 0) {
            for (unsigned i = 0; i < 16; ++i) {
                uint16_t id = uint16_t(((e.name.ordinal - 1u) << 4) + i);
                const char16_t* text = nullptr;
                size_t length = 0;
                if (!table->find_string(id, &text, &length)) continue;
                auto t = reinterpret_cast<const uint8_t*>(text);
                if (t < data || t + length * 2 > end) return "string " + std::to_string(id) + " lies outside";
            }
        }
    }
    // The same through the calls the program makes.
    HMODULE module = reinterpret_cast<HMODULE>(uintptr_t(0x7F000000));
    sim::register_module_resources(module, data, size);
    bool booted = false;
    WCHAR buffer[64];
    for (const sim::ResourceEntry& e : table->entries()) {
        // The calls take a type and name by a non-zero ordinal (zero is no name).
        if (!e.type.is_ordinal || !e.name.is_ordinal || !e.type.ordinal || !e.name.ordinal) continue;
        LPCWSTR name = MAKEINTRESOURCE(e.name.ordinal), type = MAKEINTRESOURCE(e.type.ordinal);
        HRSRC info = FindResourceW(module, name, type);
        if (!info || SizeofResource(module, info) != table->find(e.type, e.name)->size) {
            sim::unregister_module_resources(module);
            if (booted) sim::tear_down_device();
            return "FindResourceW does not find an entry the table holds";
        }
        if (e.type.ordinal == kRtBitmap) {
            HBITMAP bitmap = LoadBitmapW(reinterpret_cast<HINSTANCE>(module), name);
            if (bitmap) DeleteObject(bitmap);
        }
        if (e.type.ordinal == kRtDialog) {
            // The window system builds the dialog and paints it.
            if (!booted) {
                sim::boot_device();
                booted = true;
            }
            auto tmpl = static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(module, info)));
            HWND dialog = CreateDialogIndirectParamW(reinterpret_cast<HINSTANCE>(module), tmpl, nullptr,
                                                     quiet_dialog, 0);
            if (dialog) {
                ShowWindow(dialog, SW_SHOW);
                UpdateWindow(dialog);
                DestroyWindow(dialog);
            }
        }
        if (e.type.ordinal == kRtString && e.name.ordinal > 0)
            for (unsigned i = 0; i < 16; ++i) {
                UINT id = ((e.name.ordinal - 1u) << 4) + i;
                LoadStringW(reinterpret_cast<HINSTANCE>(module), id, buffer, 64);
                LoadStringW(reinterpret_cast<HINSTANCE>(module), id, buffer, 1);
            }
    }
    sim::unregister_module_resources(module);
    if (booted) sim::tear_down_device();
    return "";
}

// ---------------------------------------------------------------- WAV

std::string check_wav(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    sim::Pcm pcm;
    if (!sim::parse_wav(bytes, &pcm)) return "";
    if (!pcm.channels || !pcm.rate || (pcm.bits != 8 && pcm.bits != 16))
        return "accepted " + std::to_string(pcm.channels) + " channels of " + std::to_string(pcm.bits) +
               " bits at " + std::to_string(pcm.rate) + " Hz";
    if (pcm.samples.size() > size) return "more samples than the file holds";
    (void)pcm.duration_ms();
    return "";
}

// ---------------------------------------------------------------- shortcuts

std::string check_shortcut(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::u16string target;
    if (!sim::parse_shortcut(bytes, &target)) return "";
    if (target.size() > size) return "a target longer than the file";
    std::u16string program = sim::target_program(target);
    if (program.size() > target.size()) return "a program longer than its target";
    return "";
}

// ---------------------------------------------------------------- profile

// Everything on the device that the profile describes, used once: the
// shell and the drivers at boot, the clock, the version, the process list,
// the registry and its faults, files and their faults, the serial port, the
// LEDs and the LED controller, the display, the utility library and the
// system library's exports, hot keys and the reset.
void use_device() {
    sim::boot_device();
    sim::set_power_on_time();
    SYSTEMTIME st;
    GetLocalTime(&st);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    for (int i = 0; i < 3; ++i) Random();

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        }
        CloseToolhelp32Snapshot(snapshot);
    }

    const auto& raw = sim::profile().raw();
    auto strings_of = [&](const char* key) {
        std::vector<std::string> out;
        auto it = raw.find(key);
        if (it != raw.end() && it->is_array())
            for (auto& e : *it)
                if (e.is_string() && out.size() < 8) out.push_back(e.get<std::string>());
        return out;
    };

    // Registry: the program's own values, then every path the profile names.
    std::vector<std::string> reg_paths = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK\\Reboot"};
    for (auto& p : strings_of("registry_fail_writes")) reg_paths.push_back(p);
    for (auto& p : strings_of("registry_fail_keys")) reg_paths.push_back(p + "\\Value");
    for (const std::string& path : reg_paths) {
        const std::string root = "HKEY_LOCAL_MACHINE\\";
        if (path.compare(0, root.size(), root) != 0) continue;
        std::u16string rest = sim::to_u16(path.substr(root.size()));
        size_t cut = rest.rfind(u'\\');
        if (cut == std::u16string::npos) continue;
        std::u16string key = rest.substr(0, cut), value = rest.substr(cut + 1);
        HKEY h = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, 0, nullptr, &h, &disposition) ==
            ERROR_SUCCESS) {
            DWORD one = 1, size = sizeof one;
            RegSetValueExW(h, value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
            RegQueryValueExW(h, value.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&one), &size);
            RegCloseKey(h);
        }
    }

    // Files: the program's two, and every file the profile names.
    std::vector<std::u16string> files = {u"\\DravikFile.txt", u"\\My Documents\\Dravik.txt"};
    auto faults = raw.find("file_faults");
    if (faults != raw.end() && faults->is_object())
        for (auto it = faults->begin(); it != faults->end() && files.size() < 10; ++it)
            files.push_back(sim::to_u16(it.key()));
    for (auto& p : strings_of("files_held_open")) files.push_back(sim::to_u16(p));
    const char payload[48] = "KVO makes the PDA better";
    for (const std::u16string& path : files) {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD done = 0;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, payload, sizeof payload, &done, nullptr);
            CloseHandle(f);
        }
        f = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            char back[48];
            ReadFile(f, back, sizeof back, &done, nullptr);
            CloseHandle(f);
        }
        DeleteFileW(path.c_str());
    }

    HANDLE port = CreateFileW(u"COM2:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        WriteFile(port, payload, sizeof payload, &done, nullptr);
        CloseHandle(port);
    }

    NLED_COUNT_INFO count{};
    if (NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count))
        for (UINT led = 0; led < count.cLeds && led < 8; ++led)
            for (INT mode : {1, 2, 0}) {
                NLED_SETTINGS_INFO s{};
                s.LedNum = led;
                s.OffOnBlink = mode;
                s.TotalCycleTime = 1000000;
                s.OnTime = 500000;
                NLedSetDevice(NLED_SETTINGS_INFO_ID, &s);
            }
    for (uintptr_t kernel : {uintptr_t(0xAFB07000), uintptr_t(0xAFB04000)}) {
        void* view = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
        if (!view) continue;
        if (VirtualCopy(view, reinterpret_cast<void*>(kernel), 4096, PAGE_READWRITE | PAGE_NOCACHE)) {
            auto* reg = reinterpret_cast<volatile USHORT*>(static_cast<BYTE*>(view) + 0x210);
            WRITE_REGISTER_USHORT(reg, USHORT(READ_REGISTER_USHORT(reg) | 1));
            WRITE_REGISTER_USHORT(reg, 0);
        }
        VirtualFree(view, 0, MEM_RELEASE);
    }

    // The display: every corner of every frame is inside its memory.
    HWND bar = sim::handle_of(sim::shell_task_bar());
    if (GXOpenDisplay(bar, 1)) {
        GXDisplayProperties p = GXGetDisplayProperties();
        for (int frame = 0; frame < 4; ++frame) {
            auto* base = static_cast<uint8_t*>(GXBeginDraw());
            if (!base) continue;
            if (p.cxWidth > 0 && p.cyHeight > 0 && (p.cBPP == 8 || p.cBPP == 16)) {
                long xp = p.cbxPitch, yp = p.cbyPitch;
                if (p.cBPP == 16) {
                    xp = (xp >> 1) * 2;
                    yp = (yp >> 1) * 2;
                }
                for (long x : {0L, long(p.cxWidth) - 1})
                    for (long y : {0L, long(p.cyHeight) - 1}) {
                        uint8_t* px = base + x * xp + y * yp;
                        px[0] = 0xFF;
                        if (p.cBPP == 16) px[1] = 0xFF;
                    }
            }
            GXEndDraw();
        }
        GXCloseDisplay();
    }

    for (int load = 0; load < 3; ++load) {
        HMODULE util = LoadLibraryW(u"OrvexUtil.dll");
        if (!util) continue;
        WCHAR model[260];
        int value = 0;
        if (auto get_model = reinterpret_cast<BOOL(WINAPI*)(WCHAR*)>(reinterpret_cast<void*>(GetProcAddressW(util, u"OrvexGetModelID"))))
            get_model(model);
        for (const char16_t* name : {u"OrvexGetBlueToothRadioPresent", u"OrvexGetBlueToothRadioStatus"})
            if (auto call = reinterpret_cast<BOOL(WINAPI*)(int*)>(reinterpret_cast<void*>(GetProcAddressW(util, name)))) call(&value);
        FreeLibrary(util);
    }
    if (HMODULE core = LoadLibraryW(u"coredll.dll")) {
        auto unregister = reinterpret_cast<BOOL(WINAPI*)(UINT, UINT)>(reinterpret_cast<void*>(GetProcAddressW(core, u"UnregisterFunc1")));
        for (UINT vk : {192u, 193u, 194u, 195u, 196u, 198u, 199u, 200u, 201u}) {
            if (unregister) unregister(MOD_WIN, vk);
            if (RegisterHotKey(bar, int(vk), MOD_WIN, vk)) UnregisterHotKey(bar, int(vk));
        }
        FreeLibrary(core);
    }
    try {
        KernelIoControl(IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr);
    } catch (const sim::DeviceReset&) {
        // the device restarts: that is what the request asks for
    }
    sim::tear_down_device();
}

std::string check_profile(const uint8_t* data, size_t size) {
    static const std::string dir = temp_dir();
    if (dir.empty()) return "no temporary folder for the profile";
    static const std::string path = dir + "/profile.json";
    static const bool ready = [] {
        sim::FileStore& store = sim::file_store();
        mkdir((dir + "/store").c_str(), 0755);
        store.set_root(dir + "/store");
        for (const char16_t* folder : {u"\\Windows", u"\\Windows\\StartUp", u"\\My Documents"})
            store.make_folder(folder);
        return true;
    }();
    (void)ready;
    std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    sim::profile().load_json(nlohmann::json::object());
    std::string error;
    if (!sim::load_profile(&sim::profile(), path, &error)) return refusal_problem(error, path, text);
    sim::registry().reset_to_factory();
    sim::registry().attach("");
    use_device();
    sim::profile().load_json(nlohmann::json::object());
    return "";
}

}  // namespace

const std::vector<Reader>& all() {
    static const std::vector<Reader> readers = {
        {"script", "a script of the scripted user", check_script},
        {"profile", "a device profile (JSON)", check_profile},
        {"registry", "the state folder's registry.reg", check_registry},
        {"resources", "a compiled resource file (.res)", check_resources},
        {"dib", "a bitmap resource (DIB)", check_dib},
        {"wav", "a WAV file such as \\Windows\\Alarm3.WAV", check_wav},
        {"shortcut", "a shortcut file in \\Windows\\StartUp", check_shortcut},
        {"picture", "an expect-screen picture (PNG)", check_picture},
    };
    return readers;
}

const Reader* find(const std::string& name) {
    for (const Reader& r : all())
        if (name == r.name) return &r;
    return nullptr;
}

}  // namespace readers
