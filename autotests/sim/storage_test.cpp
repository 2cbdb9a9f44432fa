// The registry and file functions the program calls, as Win32 defines
// them: keys and values, creation dispositions, share modes, reading,
// writing and deleting.  (The device's own paths, faults and journal are
// in registry_test.cpp and filestore_test.cpp.)
#include "storage_test_support.h"

#include <string>
#include <vector>

namespace {

using wintest::StorageTest;
using wstring = std::basic_string<WCHAR>;

class Registry : public StorageTest {
protected:
    HKEY create(const WCHAR* sub) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root(), sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
        return k;
    }
    static LONG set_dword(HKEY k, const WCHAR* name, DWORD v) {
        return RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
    }
};

TEST_F(Registry, CreateKeyMakesIntermediateKeysAndReportsTheDisposition) {
    HKEY k = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(root(), TEXT("SYSTEM\\CurrentControlSet\\AdvancedCPL\\Deep"), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(k);
    HKEY middle = nullptr;
    EXPECT_EQ(RegOpenKeyExW(root(), TEXT("SYSTEM\\CurrentControlSet\\AdvancedCPL"), 0, KEY_READ, &middle),
              ERROR_SUCCESS);
    RegCloseKey(middle);
    ASSERT_EQ(RegCreateKeyExW(root(), TEXT("system\\currentcontrolset\\advancedcpl"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &k, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(k);

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(root(), TEXT("SOFTWARE\\Nothing"), 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(RegCreateKeyExW(root(), TEXT("\\SOFTWARE"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              LONG(ERROR_BAD_PATHNAME));
}

TEST_F(Registry, QueryValueFollowsTheDocumentedBufferRules) {
    HKEY k = create(TEXT("SOFTWARE\\DRAVIK"));
    const WCHAR text[] = TEXT("hello");  // 12 bytes with the terminator
    ASSERT_EQ(RegSetValueExW(k, TEXT("Text"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(k, TEXT("Text"), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 12u);

    BYTE small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(k, TEXT("text"), nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);

    WCHAR buf[6] = {};
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExW(k, TEXT("TEXT"), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(wstring(buf), wstring(TEXT("hello")));
    EXPECT_EQ(size, 12u);

    size = 4;
    EXPECT_EQ(RegQueryValueExW(k, TEXT("Absent"), nullptr, &type, small, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(k, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(k, TEXT("Text"), nullptr, nullptr, small, nullptr), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(RegDeleteValueW(k, TEXT("TEXT")), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(k, TEXT("Text")), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
}

TEST_F(Registry, HandlesOnOneKeySeeEachOthersChanges) {
    HKEY writer = create(TEXT("SOFTWARE\\DRAVIK"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root(), TEXT("software\\dravik"), 0, KEY_ALL_ACCESS, &reader), ERROR_SUCCESS);
    ASSERT_NE(writer, reader);
    ASSERT_EQ(set_dword(writer, TEXT("Pattern"), 7), ERROR_SUCCESS);
    DWORD v = 0, size = sizeof v;
    EXPECT_EQ(RegQueryValueExW(reader, TEXT("Pattern"), nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(v, 7u);

    EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(writer), ERROR_INVALID_HANDLE);
    EXPECT_EQ(set_dword(writer, TEXT("Pattern"), 8), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
}

// ---------------------------------------------------------------- files

const DWORD RW = GENERIC_READ | GENERIC_WRITE;
const DWORD SHARE_RW = FILE_SHARE_READ | FILE_SHARE_WRITE;

class Files : public StorageTest {
protected:
    HANDLE open(const char* name, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileW(path(name).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    static bool write(HANDLE h, const std::string& bytes) {
        DWORD done = 0;
        return WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
    }
    static std::string read(HANDLE h, DWORD count, BOOL* ok = nullptr) {
        std::string buf(count, '\0');
        DWORD done = 0;
        BOOL r = ReadFile(h, &buf[0], count, &done, nullptr);
        if (ok) *ok = r;
        buf.resize(done);
        return buf;
    }
};

TEST_F(Files, CreationDispositionsFollowTheirDocumentedRules) {
    const struct {
        DWORD disposition;
        bool exists;
        bool ok;
        DWORD error;          // last error afterwards
        const char* content;  // of the file afterwards, nullptr when absent
    } cases[] = {
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old data"},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old data"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old data"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
    };
    for (auto& c : cases) {
        const std::string what = "disposition " + std::to_string(c.disposition) + (c.exists ? " existing" : " absent");
        DeleteFileW(path("f.txt").c_str());
        if (c.exists) put("f.txt", "old data");
        SetLastError(12345);
        HANDLE h = open("f.txt", RW, 0, c.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.ok) << what;
        EXPECT_EQ(GetLastError(), c.error) << what;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        EXPECT_EQ(exists("f.txt"), c.content != nullptr) << what;
        if (c.content) {
            EXPECT_EQ(stored("f.txt"), c.content) << what;
        }
    }
}

TEST_F(Files, CreateAlwaysReplacesALongerFile) {
    put("DravikFile.txt", std::string(500, 'z'));
    HANDLE h = open("DravikFile.txt", RW, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(write(h, "short"));
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_EQ(stored("DravikFile.txt"), "short");
}

TEST_F(Files, FoldersCannotBeOpenedAsFiles) {
    make_folder("Folder");
    make_folder("Folder\\Inner");
    SetLastError(0);
    EXPECT_EQ(open("Folder", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open("Folder", RW, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(GetFileAttributesW(path("Folder\\Inner").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              DWORD(FILE_ATTRIBUTE_DIRECTORY));
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(path("Folder\\Nothing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(path("Folder").c_str()));
    EXPECT_TRUE(exists("Folder"));
}

TEST_F(Files, ShareModesAreCheckedAgainstEveryOpenHandle) {
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
    const struct {
        DWORD access1, share1, access2, share2;
        bool second_opens;
    } cases[] = {
        {R, 0, R, SHARE_RW, false},  // the first handle shares nothing
        {R, SR, R, SR, true},
        {R, SR, W, SHARE_RW, false},  // the first does not share writing
        {R, SHARE_RW, W, SHARE_RW, true},
        {R, SHARE_RW, R, 0, false},  // the second would forbid the first's reading
        {W, SHARE_RW, R, SR, false},  // the second would forbid the first's writing
        {W, SW, W, SW, true},
        {W, SW, R, SHARE_RW, false},
        {RW, SHARE_RW, RW, SHARE_RW, true},
        {RW, SR, R, SHARE_RW, true},
        {RW, SR, R, SR, false},
        {RW, 0, 0, 0, true},  // no data access takes part in no sharing check
        {0, 0, RW, 0, true},
    };
    put("s.txt", "data");
    for (auto& c : cases) {
        const std::string what = std::to_string(c.access1 >> 30) + "/" + std::to_string(c.share1) + " then " +
                                 std::to_string(c.access2 >> 30) + "/" + std::to_string(c.share2);
        HANDLE first = open("s.txt", c.access1, c.share1, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE) << what;
        SetLastError(0);
        HANDLE second = open("S.TXT", c.access2, c.share2, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.second_opens) << what;
        if (second != INVALID_HANDLE_VALUE) {
            CloseHandle(second);
        } else {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << what;
        }
        CloseHandle(first);
    }
    // Once every handle is closed the file opens without sharing again.
    HANDLE h = open("s.txt", RW, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(Files, DeleteFailsWhileTheFileIsOpen) {
    HANDLE h = open("d.txt", RW, SHARE_RW, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(path("D.txt").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(exists("d.txt"));
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_TRUE(DeleteFileW(path("D.txt").c_str()));
    EXPECT_FALSE(exists("d.txt"));
    EXPECT_FALSE(DeleteFileW(path("d.txt").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, ReadsAndWritesMoveTheFilePosition) {
    HANDLE h = open("p.txt", RW, 0, CREATE_NEW);
    ASSERT_TRUE(write(h, "abc"));
    ASSERT_TRUE(write(h, "def"));
    CloseHandle(h);
    EXPECT_EQ(stored("p.txt"), "abcdef");

    h = open("p.txt", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_EQ(read(h, 4), "abcd");
    EXPECT_EQ(read(h, 4), "ef");
    BOOL ok = FALSE;
    EXPECT_EQ(read(h, 4, &ok), "");  // at the end: success, nothing read
    EXPECT_TRUE(ok);
    // No write access on a read handle.
    DWORD done = 99;
    SetLastError(0);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(done, 0u);
    CloseHandle(h);

    h = open("p.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    SetLastError(0);
    EXPECT_EQ(read(h, 4, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(h);

    SetLastError(0);
    EXPECT_FALSE(ReadFile(h, &done, 1, &done, nullptr));  // closed handle
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

}  // namespace
