// The serial driver behind "COM2:" (the infrared port): the profile's open
// errors and write modes, one user at a time, the "com" journal event; and
// the checks of the profile's "com2" and "file_faults" settings.
#include <gtest/gtest.h>

#include "device_test.h"
#include "scratch.h"

#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include "base/journal.h"
#include "device/profile_loading.h"
#include "drivers/drivers.h"
#include "kernel/kernel_objects.h"

namespace {

using nlohmann::json;

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

class SerialPort : public simtest::DeviceTest {
protected:
    SerialPort() : DeviceTest("serial") {}
    void SetUp() override {
        DeviceTest::SetUp();
        power_on(json::object());
    }
    void TearDown() override {
        sim::clear_handles();
        DeviceTest::TearDown();
    }

    void power_on(const json& profile) {
        sim::clear_handles();
        DeviceTest::power_on(profile);
    }

    std::vector<json> events() { return DeviceTest::events("com", true); }

    static HANDLE open_port() { return CreateFileW(u"COM2:", kReadWrite, 0, nullptr, OPEN_EXISTING, 0, nullptr); }

};

TEST_F(SerialPort, TheProfileDecidesWhatTheDriverTakes) {
    const std::string data = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKL";  // 48 bytes
    const struct {
        const char* what;
        json com2;
        BOOL result;
        DWORD taken;
        DWORD error;  // last error after a failed write
    } cases[] = {
        {"healthy", json::object(), TRUE, 48, 0},
        {"ok", {{"write", "ok"}}, TRUE, 48, 0},
        {"partial", {{"write", "partial"}}, TRUE, 20, 0},
        {"fails", {{"write", "fails"}}, FALSE, 0, ERROR_WRITE_FAULT},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        power_on({{"com2", c.com2}});
        size_t before = events().size();
        HANDLE port = open_port();
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        DWORD done = 99;
        SetLastError(0);
        EXPECT_EQ(WriteFile(port, data.data(), DWORD(data.size()), &done, nullptr), c.result);
        EXPECT_EQ(done, c.taken);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_TRUE(CloseHandle(port));

        auto ev = events();
        ASSERT_EQ(ev.size(), before + 3);
        EXPECT_EQ(ev[before], (json{{"ev", "com"}, {"op", "open"}, {"port", "COM2:"}, {"ok", true}, {"error", 0}}));
        const json& write = ev[before + 1];
        EXPECT_EQ(write["op"], "write");
        EXPECT_EQ(write["bytes"], c.taken);
        EXPECT_EQ(write["ok"], c.result == TRUE);
        EXPECT_EQ(write["error"], c.error);
        std::string hex;
        for (DWORD i = 0; i < c.taken; ++i) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", (unsigned char)data[i]);
            hex += two;
        }
        EXPECT_EQ(write["data_hex"], hex);
        EXPECT_EQ(ev[before + 2]["op"], "close");
    }
}

TEST_F(SerialPort, AnOpenErrorFailsEveryOpenWithThatCode) {
    for (int code : {55, 2, 5}) {
        power_on({{"com2", {{"open_error", code}}}});
        SetLastError(0);
        EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(code));
        EXPECT_EQ(events().back(),
                  (json{{"ev", "com"}, {"op", "open"}, {"port", "COM2:"}, {"ok", false}, {"error", code}}));
    }
}

TEST_F(SerialPort, OneUserAtATime) {
    HANDLE first = open_port();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_EQ(open_port(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(first));
    HANDLE again = open_port();
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "free again once closed";
    CloseHandle(again);
}

// The profile's settings for the port and the file store are checked when
// the profile is read: a mistyped one would otherwise leave the device
// healthy without a word.
TEST(DriverProfile, BadPortAndFileFaultSettingsAreRefusedNamingTheLine) {
    simtest::ScratchDir scratch("profile");
    ASSERT_FALSE(scratch.path().empty()) << "no temporary folder";
    std::string path = scratch.path() + "/profile.json";
    const struct {
        const char* text;
        bool accepted;
        const char* part;  // in the message
    } cases[] = {
        {"{\"com2\": {\"open_error\": 55}}", true, ""},
        {"{\"com2\": {\"write\": \"partial\"}}", true, ""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"short_read\", \"\\\\a.txt\": [\"open\", \"delete\"]}}", true, ""},
        {"{\n\"com2\": {\"write\": \"sometimes\"}}", false, ":2: \"com2\": \"write\" must be"},
        {"{\"com2\": {\"open_error\": \"55\"}}", false, "\"open_error\" must be"},
        {"{\"com2\": {\"open_error\": 0}}", false, "\"open_error\" must be"},
        {"{\"com2\": {\"speed\": 9600}}", false, "unknown field \"speed\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"wirte\"}}", false, "\"file_faults\": \"\\DravikFile.txt\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": []}}", false, "\"file_faults\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": [\"read\", 3]}}", false, "\"file_faults\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": [\"close#2\", \"write#10\", \"mismatch#1\"]}}", true, ""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"close#0\"}}", false, "\"file_faults\": \"\\DravikFile.txt\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"close#\"}}", false, "\"file_faults\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"close#-1\"}}", false, "\"file_faults\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"close#2x\"}}", false, "\"file_faults\""},
        {"{\"file_faults\": {\"\\\\DravikFile.txt\": \"clsoe#2\"}}", false, "\"file_faults\""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(path) << c.text;
        sim::Profile p;
        std::string error;
        EXPECT_EQ(sim::load_profile(&p, path, &error), c.accepted) << error;
        if (!c.accepted) {
            EXPECT_EQ(error.rfind(path + ":", 0), 0u) << error;
            EXPECT_NE(error.find(c.part), std::string::npos) << error;
        }
    }
}

}  // namespace
