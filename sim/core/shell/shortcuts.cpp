// Special folders and shortcuts, and the Startup folder that the shell runs
// after a reset.
//
// A shortcut file holds the length of its target text, '#', and the target,
// e.g. 21#"\Windows\Dravik.exe"
#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "base/journal.h"
#include "base/device_paths.h"
#include "files/filestore.h"
#include "kernel/process.h"
#include "base/text.h"
#include "platform/ce_api.h"
#include "shell/shortcuts.h"

namespace sim {

// The program named by a shortcut's target text: the quoted or first word.
std::u16string target_program(const std::u16string& target) {
    std::u16string t = target;
    if (!t.empty() && t[0] == u'"') {
        size_t end = t.find(u'"', 1);
        return t.substr(1, end == std::u16string::npos ? std::u16string::npos : end - 1);
    }
    size_t space = t.find(u' ');
    return t.substr(0, space);
}

// The length counts the target's 16-bit characters, as SHCreateShortcut
// writes it.  Anything else (no '#', a length that is not a plain number or
// is longer than the text after it, a target longer than MAX_PATH, a line
// break or control character in the target) makes an unreadable shortcut.
bool parse_shortcut(const std::string& bytes, std::u16string* target) {
    size_t hash = bytes.find('#');
    if (hash == std::string::npos || hash == 0 || hash > 3) return false;
    size_t length = 0;
    for (size_t i = 0; i < hash; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return false;
        length = length * 10 + size_t(bytes[i] - '0');
    }
    if (length == 0 || length >= MAX_PATH) return false;
    std::string rest = bytes.substr(hash + 1);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
    std::u16string text = to_u16(rest);
    if (text.size() < length) return false;
    text.resize(length);
    for (char16_t c : text)
        if (c < 0x20 || c == 0x7F) return false;
    *target = text;
    return true;
}

std::string check_shortcut_text(const std::string& bytes) {
    std::u16string target;
    return parse_shortcut(bytes, &target) ? std::string() : "the shortcut is unreadable";
}

void run_startup_folder() {
    std::string dir = file_store().host_path(kStartupFolder);
    if (dir.empty()) return;
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && lower(to_u16(n.substr(n.size() - 4))) == u".lnk") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::u16string path = device_path(kStartupFolder, to_u16(n));
        std::string bytes;
        std::u16string target;
        if (!file_store().read_file(path, &bytes) || !parse_shortcut(bytes, &target)) {
            log_event("shortcut", {{"op", "unreadable"}, {"path", to_utf8(path)}});
            continue;
        }
        std::u16string program = target_program(target);
        log_event("shortcut", {{"op", "start"}, {"path", to_utf8(path)}, {"target", to_utf8(target)}});
        if (!run_program(program, u"", nullptr))
            log_event("process_start", {{"exe", to_utf8(program)}, {"cmdline", ""}, {"ok", false}});
    }
}

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::u16string start_menu = device_path(kWindowsFolder, u"Start Menu");
    std::u16string p;
    switch (folder) {
        case CSIDL_STARTUP: p = kStartupFolder; break;
        case 0x0005: p = kMyDocumentsFolder; break;  // CSIDL_PERSONAL
        case 0x0002: p = device_path(start_menu, u"Programs"); break;  // CSIDL_PROGRAMS
        case 0x000B: p = start_menu; break;  // CSIDL_STARTMENU
        default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    FileStore::Entry e;
    bool present = file_store().resolve(p, &e) == ERROR_SUCCESS && e.exists && e.is_folder;
    if (!present && create) present = file_store().make_folder(p);
    if (!present) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::copy(p.begin(), p.end(), path);
    path[p.size()] = 0;
    return TRUE;
}

BOOL WINAPI SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
    std::u16string s = shortcut ? std::u16string(shortcut) : std::u16string();
    std::u16string t = target ? std::u16string(target) : std::u16string();
    std::string bytes = std::to_string(t.size()) + "#" + to_utf8(t);
    bool ok = !s.empty() && !t.empty() && file_store().write_file(s, bytes);
    log_event("shortcut", {{"op", "create"}, {"path", to_utf8(s)}, {"target", to_utf8(t)}, {"ok", ok}});
    if (!ok) SetLastError(ERROR_PATH_NOT_FOUND);
    return ok ? TRUE : FALSE;
}

}  // extern "C"
