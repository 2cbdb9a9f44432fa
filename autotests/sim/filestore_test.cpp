// The file store and the file functions: path rules and confinement,
// creation dispositions, share modes, reading and writing, deletion, the
// profile's file faults, the journal and stream drivers.
#include <gtest/gtest.h>

#include "device_test.h"
#include "scratch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <windows.h>

#include "base/journal.h"
#include "base/profile.h"
#include "files/filestore.h"
#include "files/state_folder.h"
#include "kernel/kernel_objects.h"
#include "base/text.h"
#include "registry/registry.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class FileDevice : public simtest::DeviceTest {
protected:
    FileDevice() : DeviceTest("files", State::Folder) {}
    void SetUp() override {
        sim::reset_file_calls();
        DeviceTest::SetUp();
        store_ = folder_.store_path();
    }
    void TearDown() override {
        sim::clear_handles();
        DeviceTest::TearDown();
    }

    // Everything below the temporary folder, as relative paths.
    std::set<std::string> tree() {
        std::set<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(tmp_)) out.insert(fs::relative(e.path(), tmp_).string());
        return out;
    }

    std::string host_text(const std::string& rel) {
        std::ifstream in(store_ + "/" + rel, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    void put(const std::string& rel, const std::string& bytes) {
        std::ofstream out(store_ + "/" + rel, std::ios::binary);
        out << bytes;
    }

    static HANDLE open(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
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

    std::string store_;
};

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

// ---------------------------------------------------------------- paths

TEST_F(FileDevice, BadPathsAreRefusedAndNothingIsMadeOutsideTheStore) {
    put("inside.txt", "x");
    auto before = tree();
    const std::u16string long_name = u"\\" + std::u16string(300, u'a');
    const struct {
        std::u16string path;
        DWORD error;
    } cases[] = {
        {u"..\\evil.txt", ERROR_INVALID_NAME},
        {u"\\..\\evil.txt", ERROR_INVALID_NAME},
        {u"\\My Documents\\..\\..\\evil.txt", ERROR_INVALID_NAME},
        {u".\\evil.txt", ERROR_INVALID_NAME},
        {u"\\Windows\\.\\evil.txt", ERROR_INVALID_NAME},
        {u"\\\\evil.txt", ERROR_INVALID_NAME},
        {u"\\Windows\\\\evil.txt", ERROR_INVALID_NAME},
        {u"\\evil\\", ERROR_INVALID_NAME},
        {u"../../evil.txt", ERROR_INVALID_NAME},
        {u"/tmp/evil.txt", ERROR_INVALID_NAME},
        {u"\\a/b", ERROR_INVALID_NAME},
        {u"C:\\evil.txt", ERROR_INVALID_NAME},
        {u"\\a<b", ERROR_INVALID_NAME},
        {u"\\a>b", ERROR_INVALID_NAME},
        {u"\\a\"b", ERROR_INVALID_NAME},
        {u"\\a|b", ERROR_INVALID_NAME},
        {u"\\a?b", ERROR_INVALID_NAME},
        {u"\\a*b", ERROR_INVALID_NAME},
        {u"\\a\x01"
         u"b",
         ERROR_INVALID_NAME},
        {u"\\a\tb", ERROR_INVALID_NAME},
        {long_name, ERROR_PATH_NOT_FOUND},
        {u"", ERROR_PATH_NOT_FOUND},
        {u"\\Missing\\evil.txt", ERROR_PATH_NOT_FOUND},
        {u"\\inside.txt\\evil.txt", ERROR_PATH_NOT_FOUND},  // a file is no folder
    };
    for (auto& c : cases) {
        const std::string what = sim::to_utf8(c.path);
        SetLastError(0);
        EXPECT_EQ(open(c.path.c_str(), kReadWrite, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE) << what;
        EXPECT_EQ(GetLastError(), c.error) << what;
        SetLastError(0);
        EXPECT_FALSE(DeleteFileW(c.path.c_str())) << what;
        EXPECT_EQ(GetLastError(), c.error) << what;
        EXPECT_EQ(GetFileAttributesW(c.path.c_str()), INVALID_FILE_ATTRIBUTES) << what;
        EXPECT_EQ(sim::file_store().host_path(c.path), "") << what;
    }
    EXPECT_EQ(tree(), before);
}

// Whatever appears in the store while the device runs, the device never
// follows a link out of it, never truncates a file with another name, and
// never waits on a FIFO: such an entry is a file it cannot open.
TEST_F(FileDevice, LinksAndSpecialFilesAreNeitherFollowedNorOpened) {
    const std::string outside = tmp_ + "/outside";
    fs::create_directories(outside + "/folder");
    std::ofstream(outside + "/host.txt") << "host file";
    fs::create_symlink(outside + "/host.txt", store_ + "/link.txt");
    fs::create_symlink("/dev/zero", store_ + "/zero.wav");
    ASSERT_EQ(mkfifo((store_ + "/fifo.wav").c_str(), 0644), 0);
    fs::create_hard_link(outside + "/host.txt", store_ + "/second name.txt");
    fs::remove_all(store_ + "/My Documents");
    fs::create_directory_symlink(outside + "/folder", store_ + "/My Documents");
    const auto host_before = [&] {
        std::set<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(outside)) out.insert(e.path().string());
        return out;
    }();

    const struct {
        std::u16string path;
        DWORD access, disposition, error;
    } opens[] = {
        {u"\\link.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {u"\\link.txt", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\link.txt", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\LINK.TXT", GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {u"\\zero.wav", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\fifo.wav", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\fifo.wav", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {u"\\second name.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {u"\\second name.txt", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\My Documents\\Dravik.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {u"\\My Documents\\host.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
    };
    for (auto& c : opens) {
        const std::string what = sim::to_utf8(c.path);
        SetLastError(0);
        EXPECT_EQ(open(c.path.c_str(), c.access, 0, c.disposition), INVALID_HANDLE_VALUE) << what;
        EXPECT_EQ(GetLastError(), c.error) << what;
    }
    std::string bytes = "unchanged";
    for (const char16_t* path : {u"\\link.txt", u"\\zero.wav", u"\\fifo.wav", u"\\My Documents\\host.txt"})
        EXPECT_FALSE(sim::file_store().read_file(path, &bytes)) << sim::to_utf8(path);
    EXPECT_EQ(bytes, "unchanged");
    for (const char16_t* path : {u"\\link.txt", u"\\second name.txt", u"\\My Documents\\new.lnk"})
        EXPECT_FALSE(sim::file_store().write_file(path, "overwritten")) << sim::to_utf8(path);
    EXPECT_FALSE(sim::file_store().make_folder(u"\\My Documents\\Sub"));
    for (const char16_t* path : {u"\\link.txt", u"\\fifo.wav"}) {
        EXPECT_FALSE(DeleteFileW(path)) << sim::to_utf8(path);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    }

    std::ifstream in(outside + "/host.txt");
    std::stringstream seen;
    seen << in.rdbuf();
    EXPECT_EQ(seen.str(), "host file");
    std::set<std::string> host_after;
    for (auto& e : fs::recursive_directory_iterator(outside)) host_after.insert(e.path().string());
    EXPECT_EQ(host_after, host_before);
    EXPECT_TRUE(fs::is_symlink(store_ + "/link.txt"));
}

TEST_F(FileDevice, APathLongerThanMaxPathIsRefusedAtTheLimit) {
    // 259 characters and the terminator fit in MAX_PATH; one more does not.
    std::u16string fits = u"\\" + std::u16string(MAX_PATH - 2, u'b');
    std::u16string over = fits + u"b";
    std::vector<std::u16string> names;
    EXPECT_EQ(sim::FileStore::split(fits, &names), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(sim::FileStore::split(over, &names), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileDevice, NamesMatchWithoutRegardToCaseAndKeepTheirCase) {
    HANDLE h = open(u"\\My Documents\\Report.TXT", kReadWrite, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(write(h, "first"));
    ASSERT_TRUE(CloseHandle(h));

    h = open(u"\\MY DOCUMENTS\\report.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read(h, 100), "first");
    CloseHandle(h);

    // Replacing it under another spelling keeps the one file and its name.
    h = open(u"\\my documents\\REPORT.txt", kReadWrite, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    CloseHandle(h);
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(store_ + "/My Documents")) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Report.TXT"});
    EXPECT_EQ(sim::file_store().host_path(u"\\my documents\\report.txt"), store_ + "/My Documents/Report.TXT");

    // A path without the leading backslash starts at the root.
    h = open(u"Root.txt", kReadWrite, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(fs::exists(store_ + "/Root.txt"));
    EXPECT_EQ(GetFileAttributesW(u"\\root.TXT"), DWORD(FILE_ATTRIBUTE_NORMAL));
}

// ---------------------------------------------------------------- faults

// (Creation, sharing, reading and writing as Win32 defines them are in
// storage_test.cpp, which also runs on another Win32.)

TEST_F(FileDevice, FileFaultsFailTheNamedOperation) {
    // For each fault: the step of a write-close-read-close-delete cycle that
    // fails (-1 none) and the error it reports.  A numbered fault fails only
    // that call of the operation since power-on.
    const struct {
        const char* fault;
        int failing_step;  // 0 create, 1 write, 2 close, 3 open, 4 read, 5 close, 6 delete
        DWORD error;
    } cases[] = {
        {"create", 0, ERROR_ACCESS_DENIED},  {"write", 1, ERROR_WRITE_FAULT},   {"close", 2, ERROR_GEN_FAILURE},
        {"open", 3, ERROR_ACCESS_DENIED},    {"read", 4, ERROR_READ_FAULT},     {"delete", 6, ERROR_ACCESS_DENIED},
        {"close#1", 2, ERROR_GEN_FAILURE},   {"close#2", 5, ERROR_GEN_FAILURE}, {"create#1", 0, ERROR_ACCESS_DENIED},
        {"write#2", -1, 0},                  {"read#1", 4, ERROR_READ_FAULT},   {"delete#2", -1, 0},
    };
    for (auto& c : cases) {
        sim::reset_file_calls();
        sim::profile().load_json({{"file_faults", {{"\\DravikFile.txt", c.fault}}}});
        fs::remove(sim::file_store().host_path(u"\\DravikFile.txt"));
        int failed = -1;
        auto step = [&](int n, bool ok) {
            if (!ok && failed < 0) {
                failed = n;
                EXPECT_EQ(GetLastError(), c.error) << c.fault;
            }
            return ok;
        };
        // Another file is untouched by the fault.
        HANDLE other = open(u"\\Other.txt", kReadWrite, 0, CREATE_ALWAYS);
        EXPECT_TRUE(write(other, "fine") && CloseHandle(other)) << c.fault;

        SetLastError(0);
        HANDLE h = open(u"\\dravikfile.TXT", kReadWrite, 0, CREATE_ALWAYS);
        if (step(0, h != INVALID_HANDLE_VALUE)) {
            step(1, write(h, "payload"));
            step(2, CloseHandle(h));
            h = open(u"\\DravikFile.txt", GENERIC_READ, 0, OPEN_EXISTING);
            if (step(3, h != INVALID_HANDLE_VALUE)) {
                BOOL ok;
                std::string got = read(h, 7, &ok);
                step(4, ok);
                if (ok && (c.failing_step > 4 || c.failing_step < 0)) {
                    EXPECT_EQ(got, "payload") << c.fault;
                }
                step(5, CloseHandle(h));
                step(6, DeleteFileW(u"\\DravikFile.txt"));
            }
        }
        EXPECT_EQ(failed, c.failing_step) << c.fault;
        if (c.failing_step == 6 || c.failing_step < 0) {
            EXPECT_EQ(sim::file_store().exists(u"\\DravikFile.txt"), c.failing_step == 6) << c.fault;
        }
    }
}

// Numbered faults count the calls of their operation on the file, under
// any spelling of its name, from power-on: across open-close cycles, and
// afresh after the next power-on.
TEST_F(FileDevice, NumberedFileFaultsCountCallsSincePowerOn) {
    sim::profile().load_json({{"file_faults", {{"\\Log.txt", {"write#2", "close#3"}}}}});
    // One create-write-close cycle a row, in order.
    const struct {
        const char16_t* path;
        bool power_on_before;
        bool write_ok, close_ok;
    } cycles[] = {
        {u"\\Log.txt", false, true, true},
        {u"\\LOG.TXT", false, false, true},  // the second write
        {u"log.txt", false, true, false},      // the third close
        {u"\\log.txt", true, true, true},     // counted afresh
        {u"\\Log.txt", false, false, true},  // the second write again
    };
    for (auto& c : cycles) {
        SCOPED_TRACE(sim::to_utf8(c.path));
        if (c.power_on_before) sim::reset_file_calls();
        HANDLE h = open(c.path, kReadWrite, 0, CREATE_ALWAYS);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(write(h, "line"), c.write_ok);
        EXPECT_EQ(bool(CloseHandle(h)), c.close_ok);
        // Another file keeps its own count.
        HANDLE other = open(u"\\Other.txt", kReadWrite, 0, CREATE_ALWAYS);
        EXPECT_TRUE(write(other, "x") && write(other, "y") && CloseHandle(other));
    }
}

TEST_F(FileDevice, BadReadsReturnOtherOrFewerBytes) {
    put("DravikFile.txt", "KVO makes the PDA better");
    const struct {
        const char* fault;
        bool same_length;
    } cases[] = {{"mismatch", true}, {"short_read", false}};
    for (auto& c : cases) {
        sim::profile().load_json({{"file_faults", {{"\\DravikFile.txt", c.fault}}}});
        HANDLE h = open(u"\\DravikFile.txt", GENERIC_READ, 0, OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        BOOL ok = FALSE;
        std::string got = read(h, 24, &ok);
        EXPECT_TRUE(ok) << c.fault;
        if (c.same_length) {
            EXPECT_EQ(got.size(), 24u);
        } else {
            EXPECT_GT(got.size(), 0u);
            EXPECT_LT(got.size(), 24u);
        }
        EXPECT_NE(got, std::string("KVO makes the PDA better").substr(0, 24)) << c.fault;
        CloseHandle(h);
        EXPECT_EQ(host_text("DravikFile.txt"), "KVO makes the PDA better") << c.fault;  // the stored bytes are intact
    }
}

TEST_F(FileDevice, FilesHeldOpenElsewhereCannotBeOpenedOrDeleted) {
    put("Held.txt", "x");
    sim::profile().load_json({{"files_held_open", {"\\held.txt", "\\My Documents\\Dravik.txt"}}});
    for (DWORD disposition : {CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING}) {
        for (const char16_t* path : {u"\\Held.txt", u"\\My Documents\\Dravik.txt"}) {
            SetLastError(0);
            EXPECT_EQ(open(path, GENERIC_READ | GENERIC_WRITE, kShareReadWrite, disposition), INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << disposition;
        }
    }
    EXPECT_FALSE(DeleteFileW(u"\\Held.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(host_text("Held.txt"), "x");
    EXPECT_FALSE(fs::exists(store_ + "/My Documents/Dravik.txt"));
}

// ---------------------------------------------------------------- journal

TEST_F(FileDevice, EveryFileOperationIsJournalled) {
    HANDLE h = open(u"DravikFile.txt", kReadWrite, 0, CREATE_ALWAYS);
    write(h, std::string(48, 'k'));
    CloseHandle(h);
    h = open(u"\\DravikFile.txt", GENERIC_READ, 0, OPEN_EXISTING);
    read(h, 48);
    CloseHandle(h);
    DeleteFileW(u"\\DravikFile.txt");
    open(u"\\DravikFile.txt", GENERIC_READ, 0, OPEN_EXISTING);

    auto ev = events("file");
    const struct {
        const char* op;
        bool ok;
        int bytes;  // -1: not journalled
    } expected[] = {{"create", true, -1}, {"write", true, 48}, {"close", true, -1}, {"open", true, -1},
                    {"read", true, 48},   {"close", true, -1}, {"delete", true, -1}, {"open", false, -1}};
    ASSERT_EQ(ev.size(), std::size(expected));
    for (size_t i = 0; i < ev.size(); ++i) {
        EXPECT_EQ(ev[i]["op"], expected[i].op) << i;
        EXPECT_EQ(ev[i]["path"], "\\DravikFile.txt") << i;
        EXPECT_EQ(ev[i]["ok"], expected[i].ok) << i;
        if (expected[i].bytes >= 0) {
            EXPECT_EQ(ev[i]["bytes"], expected[i].bytes) << i;
        } else {
            EXPECT_TRUE(!ev[i].contains("bytes") || ev[i]["bytes"] == 0) << i;
        }
    }
}

// ---------------------------------------------------------------- stream drivers

struct FakePort : sim::StreamObject {
    std::string sent;
    BOOL read(void* buffer, DWORD count, DWORD* done) override {
        *done = std::min<DWORD>(count, 2);
        std::memcpy(buffer, "ok", *done);
        return TRUE;
    }
    BOOL write(const void* buffer, DWORD count, DWORD* done) override {
        sent.append(static_cast<const char*>(buffer), count);
        *done = count;
        return TRUE;
    }
};

TEST_F(FileDevice, DeviceNamesGoToTheirStreamDriver) {
    SetLastError(0);
    EXPECT_EQ(open(u"COM2:", kReadWrite, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    auto port = std::make_shared<FakePort>();
    DWORD seen_access = 0, seen_share = 99, seen_disposition = 0;
    sim::register_stream_driver(u"COM2:", [&](DWORD access, DWORD share, DWORD disposition) {
        seen_access = access;
        seen_share = share;
        seen_disposition = disposition;
        return sim::add_handle(port);
    });
    HANDLE h = open(u"com2:", kReadWrite, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(seen_access, kReadWrite);
    EXPECT_EQ(seen_share, 0u);
    EXPECT_EQ(seen_disposition, DWORD(OPEN_EXISTING));
    EXPECT_TRUE(write(h, "ping"));
    EXPECT_EQ(port->sent, "ping");
    EXPECT_EQ(read(h, 10), "ok");
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(events("file").empty());
    EXPECT_FALSE(fs::exists(store_ + "/com2:"));

    sim::register_stream_driver(u"COM2:", nullptr);
    EXPECT_EQ(open(u"COM2:", kReadWrite, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(u"COM1:", kReadWrite, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace
