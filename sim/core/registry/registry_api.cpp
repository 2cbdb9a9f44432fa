// The registry functions of the Win32 API over sim::registry(), with the
// profile's registry faults and the reg_write journal event.
#include <cstring>
#include <map>

#include <windows.h>

#include "base/journal.h"
#include "base/profile.h"
#include "base/text.h"
#include "registry/registry.h"

namespace sim {

namespace {

constexpr LONG kErrorBadPathname = 161;  // ERROR_BAD_PATHNAME

// Open key handles stand for a key's full path, so every handle on a key
// sees what the others change.
std::map<uintptr_t, std::u16string>& open_keys() {
    static std::map<uintptr_t, std::u16string> keys;
    return keys;
}
uintptr_t next_key_handle = 0x48000;

bool handle_path(HKEY h, std::u16string* path) {
    if (h == HKEY_CLASSES_ROOT) *path = u"HKEY_CLASSES_ROOT";
    else if (h == HKEY_CURRENT_USER) *path = u"HKEY_CURRENT_USER";
    else if (h == HKEY_LOCAL_MACHINE) *path = u"HKEY_LOCAL_MACHINE";
    else if (h == HKEY_USERS) *path = u"HKEY_USERS";
    else {
        auto it = open_keys().find(reinterpret_cast<uintptr_t>(h));
        if (it == open_keys().end()) return false;
        *path = it->second;
    }
    return true;
}

HKEY new_handle(const std::u16string& path) {
    uintptr_t h = next_key_handle;
    next_key_handle += 4;
    open_keys()[h] = path;
    return reinterpret_cast<HKEY>(h);
}

// The full path of a sub-key of `base`.  A sub-key may not start with a
// backslash or hold an empty name; one trailing backslash is ignored.
LONG join(const std::u16string& base, LPCWSTR sub, std::u16string* out) {
    std::u16string s = sub ? std::u16string(sub) : std::u16string();
    if (!s.empty() && s.back() == u'\\') s.pop_back();
    if (s.empty()) {
        *out = base;
        return ERROR_SUCCESS;
    }
    if (s[0] == u'\\' || s.find(u"\\\\") != std::u16string::npos) return kErrorBadPathname;
    *out = base + u"\\" + s;
    return ERROR_SUCCESS;
}

std::u16string normal(const std::string& path) {
    std::u16string p = lower(to_u16(path));
    while (!p.empty() && p.back() == u'\\') p.pop_back();
    return p;
}

// A key listed in "registry_fail_keys" can be neither opened nor created,
// and neither can anything under it.
bool key_refused(const std::u16string& path) {
    std::u16string p = lower(path);
    for (auto& entry : profile().registry_fail_keys()) {
        std::u16string e = normal(entry);
        if (p == e || (p.size() > e.size() && p.compare(0, e.size(), e) == 0 && p[e.size()] == u'\\')) return true;
    }
    return false;
}

bool write_refused(const std::u16string& key_path, const std::u16string& name) {
    std::u16string p = lower(key_path + u"\\" + name);
    for (auto& entry : profile().registry_fail_writes())
        if (lower(to_u16(entry)) == p) return true;
    return false;
}

std::string hex_string(const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : data) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

json journal_data(DWORD type, const std::vector<uint8_t>& data) {
    if (type == REG_DWORD && data.size() == 4)
        return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    if (type == REG_SZ) {
        std::u16string s;
        for (size_t i = 0; i + 1 < data.size(); i += 2) {
            char16_t c = char16_t(data[i] | (data[i + 1] << 8));
            if (c == 0) break;
            s += c;
        }
        return to_utf8(s);
    }
    return hex_string(data);
}

}  // namespace

void clear_registry_handles() { open_keys().clear(); }

}  // namespace sim

using namespace sim;

extern "C" LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                     PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::u16string base, path;
    if (!handle_path(hKey, &base)) return ERROR_INVALID_HANDLE;
    if (LONG r = join(base, lpSubKey, &path)) return r;
    if (key_refused(path)) return ERROR_ACCESS_DENIED;
    if (!registry().find_key(path)) return ERROR_FILE_NOT_FOUND;
    *phkResult = new_handle(registry().stored_path(path));
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::u16string base, path;
    if (!handle_path(hKey, &base)) return ERROR_INVALID_HANDLE;
    if (LONG r = join(base, lpSubKey, &path)) return r;
    if (key_refused(path)) return ERROR_ACCESS_DENIED;
    if (!registry().find_key(base)) return ERROR_BADKEY;
    if (!registry().find_key(path) && profile().registry_read_only()) return ERROR_ACCESS_DENIED;
    bool created = false;
    if (LONG r = registry().create_key(path, &created)) return r;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = new_handle(registry().stored_path(path));
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData) {
    std::u16string path;
    if (!handle_path(hKey, &path)) return ERROR_INVALID_HANDLE;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    RegKey* key = registry().find_key(path);
    if (!key) return ERROR_BADKEY;
    const RegValue* v = key->value(lpValueName ? lpValueName : u"");
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = v->type;
    DWORD need = DWORD(v->data.size());
    if (lpData) {
        if (*lpcbData < need) {
            *lpcbData = need;
            return ERROR_MORE_DATA;
        }
        if (need) std::memcpy(lpData, v->data.data(), need);
    }
    if (lpcbData) *lpcbData = need;
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                      const BYTE* lpData, DWORD cbData) {
    std::u16string path;
    std::u16string name = lpValueName ? lpValueName : u"";
    std::vector<uint8_t> data;
    if (lpData) data.assign(lpData, lpData + cbData);
    bool known = handle_path(hKey, &path);

    LONG r;
    if (!known) r = ERROR_INVALID_HANDLE;
    else if (!lpData && cbData) r = ERROR_INVALID_PARAMETER;
    else if (!registry().find_key(path)) r = ERROR_BADKEY;
    else if (profile().registry_read_only() || write_refused(path, name)) r = ERROR_ACCESS_DENIED;
    else r = registry().set_value(path, name, dwType, data);

    log_event("reg_write", {{"key", to_utf8(path)},
                            {"name", to_utf8(name)},
                            {"type", registry_type_name(dwType)},
                            {"data", journal_data(dwType, data)},
                            {"ok", r == ERROR_SUCCESS}});
    return r;
}

extern "C" LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    std::u16string path;
    if (!handle_path(hKey, &path)) return ERROR_INVALID_HANDLE;
    if (!registry().find_key(path)) return ERROR_BADKEY;
    if (profile().registry_read_only()) return ERROR_ACCESS_DENIED;
    return registry().delete_value(path, lpValueName ? lpValueName : u"");
}

extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_USERS)
        return ERROR_SUCCESS;
    return open_keys().erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
