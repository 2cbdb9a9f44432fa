// The registry and file tests on a desktop Win32 system: a scratch key
// under HKEY_CURRENT_USER and a temporary folder, removed afterwards.
#include "storage_test_support.h"

#include <cstdio>

namespace wintest {

namespace {

HKEY g_root = nullptr;
std::basic_string<WCHAR> g_key_name;
std::basic_string<WCHAR> g_folder;

std::basic_string<WCHAR> widen(const char* s) {
    std::basic_string<WCHAR> out;
    for (; *s; ++s) out += WCHAR(*s);
    return out;
}

void remove_tree(const std::basic_string<WCHAR>& dir) {
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::basic_string<WCHAR> name = f.cFileName;
            if (name == L"." || name == L"..") continue;
            std::basic_string<WCHAR> full = dir + L"\\" + name;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(h, &f));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

void StorageTest::SetUp() {
    static int serial = 0;
    wchar_t tag[64];
    std::swprintf(tag, 64, L"DravikTests-%lu-%d", GetCurrentProcessId(), ++serial);
    g_key_name = std::basic_string<WCHAR>(L"Software\\") + tag;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, g_key_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &g_root,
                              nullptr),
              ERROR_SUCCESS);
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    g_folder = std::basic_string<WCHAR>(temp) + tag;
    ASSERT_TRUE(CreateDirectoryW(g_folder.c_str(), nullptr));
}

void StorageTest::TearDown() {
    RegCloseKey(g_root);
    RegDeleteTreeW(HKEY_CURRENT_USER, g_key_name.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, g_key_name.c_str());
    remove_tree(g_folder);
}

HKEY StorageTest::root() const { return g_root; }

std::basic_string<WCHAR> StorageTest::path(const char* name) const { return g_folder + L"\\" + widen(name); }

std::string StorageTest::stored(const char* name) const {
    std::string out;
    FILE* f = _wfopen(path(name).c_str(), L"rb");
    if (!f) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    fclose(f);
    return out;
}

bool StorageTest::exists(const char* name) const { return _waccess(path(name).c_str(), 0) == 0; }

void StorageTest::put(const char* name, const std::string& bytes) {
    FILE* f = _wfopen(path(name).c_str(), L"wb");
    ASSERT_TRUE(f) << "cannot make " << name;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void StorageTest::make_folder(const char* name) { CreateDirectoryW(path(name).c_str(), nullptr); }

}  // namespace wintest
