// The notification LED driver and the LED controller's register pages:
// the count and settings calls with their profile faults, and the mapping
// of the controller's kernel pages, through which every 16-bit register
// access is recorded and only a mapped, writable register changes.
#include <gtest/gtest.h>

#include "device_test.h"
#include "scratch.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include "base/journal.h"
#include "base/profile.h"
#include "drivers/drivers.h"
#include "platform/ce_api.h"

namespace {

using nlohmann::json;

class LedDevice : public simtest::DeviceTest {
protected:
    LedDevice() : DeviceTest("leds") {}
    void SetUp() override {
        DeviceTest::SetUp();
        power_on(json::object());
    }

    std::vector<json> events(const char* ev) { return DeviceTest::events(ev, true); }

    static BOOL set_led(UINT led, INT mode, LONG cycle = 0, LONG on = 0) {
        NLED_SETTINGS_INFO s = {};
        s.LedNum = led;
        s.OffOnBlink = mode;
        s.TotalCycleTime = cycle;
        s.OnTime = on;
        return NLedSetDevice(NLED_SETTINGS_INFO_ID, &s);
    }

    // A page reserved and mapped onto `kernel`; null when either step failed.
    static BYTE* map_page(uint32_t kernel, DWORD protect = PAGE_READWRITE | PAGE_NOCACHE) {
        void* view = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
        if (!view) return nullptr;
        if (!VirtualCopy(view, reinterpret_cast<LPVOID>(uintptr_t(kernel)), 4096, protect)) {
            VirtualFree(view, 0, MEM_RELEASE);
            return nullptr;
        }
        return static_cast<BYTE*>(view);
    }

    static volatile USHORT* reg(BYTE* view, size_t offset) {
        return reinterpret_cast<volatile USHORT*>(view + offset);
    }

};

TEST_F(LedDevice, CountComesFromTheProfile) {
    const struct {
        const char* what;
        json profile;
        BOOL ok;
        UINT count;
    } cases[] = {
        {"default", json::object(), TRUE, 2},
        {"none", {{"leds", 0}}, TRUE, 0},
        {"three", {{"leds", 3}}, TRUE, 3},
        {"negative is none", {{"leds", -4}}, TRUE, 0},
        {"query fails", {{"led_query_fails", true}}, FALSE, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        power_on(c.profile);
        NLED_COUNT_INFO info = {12345};
        EXPECT_EQ(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &info), c.ok);
        if (c.ok) {
            EXPECT_EQ(info.cLeds, c.count);
        }
        EXPECT_EQ(sim::led_states().size(), c.ok ? c.count : 2u);
    }
    NLED_COUNT_INFO info = {};
    EXPECT_FALSE(NLedGetDeviceInfo(NLED_SETTINGS_INFO_ID, &info)) << "only the count is answered";
    EXPECT_FALSE(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, nullptr));
}

TEST_F(LedDevice, SettingsChangeOnlyAnExistingLedToAKnownMode) {
    ASSERT_TRUE(set_led(1, 2, 200000, 100000));
    ASSERT_TRUE(set_led(0, 1));
    auto s = sim::led_states();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].mode, 1);
    EXPECT_EQ(s[1].mode, 2);
    EXPECT_EQ(s[1].total_cycle_us, 200000);
    EXPECT_EQ(s[1].on_time_us, 100000);

    EXPECT_FALSE(set_led(2, 1)) << "there is no LED 2";
    EXPECT_FALSE(set_led(0, 3)) << "no mode 3";
    EXPECT_FALSE(set_led(0, -1));
    EXPECT_FALSE(NLedSetDevice(NLED_COUNT_INFO_ID, nullptr));
    ASSERT_TRUE(set_led(1, 0));
    EXPECT_EQ(sim::led_states()[1].mode, 0);

    auto led = events("led");
    ASSERT_EQ(led.size(), 6u) << "every settings call with a record is journaled";
    EXPECT_EQ(led[0], (json{{"ev", "led"}, {"led", 1}, {"mode", 2}, {"total_cycle", 200000},
                            {"on_time", 100000}, {"ok", true}}));
    EXPECT_EQ(led[2]["ok"], false);
}

TEST_F(LedDevice, FailingDriverLeavesEveryLedAsItWas) {
    power_on({{"led_set_fails", true}});
    EXPECT_FALSE(set_led(0, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(sim::led_states()[0].mode, 0);
    EXPECT_EQ(events("led").back()["ok"], false);
}

// Both pages mapped: every access reaches the register at its kernel
// address, bit 0 of 0xAFB07210 runs the flashing, and after the release
// the same addresses reach nothing.
TEST_F(LedDevice, MappedRegistersAreRecordedAtTheirKernelAddresses) {
    BYTE* v1 = map_page(0xAFB07000);
    BYTE* v2 = map_page(0xAFB04000);
    ASSERT_NE(v1, nullptr);
    ASSERT_NE(v2, nullptr);

    WRITE_REGISTER_USHORT(reg(v2, 0xC08), 0x0010);
    EXPECT_EQ(READ_REGISTER_USHORT(reg(v2, 0xC08)), 0x0010);
    EXPECT_FALSE(sim::led_controller_flashing());
    WRITE_REGISTER_USHORT(reg(v1, 0x210), 0x0013);
    EXPECT_TRUE(sim::led_controller_flashing());
    EXPECT_EQ(READ_REGISTER_USHORT(reg(v1, 0x210)), 0x0013);
    WRITE_REGISTER_USHORT(reg(v1, 0x210), 0);
    EXPECT_FALSE(sim::led_controller_flashing());

    EXPECT_TRUE(VirtualFree(v1, 0, MEM_RELEASE));
    EXPECT_TRUE(VirtualFree(v2, 0, MEM_RELEASE));
    // A stale pointer: recorded as a fault, nothing changes.
    WRITE_REGISTER_USHORT(reg(v1, 0x210), 1);
    EXPECT_FALSE(sim::led_controller_flashing());

    auto regs = events("reg16");
    ASSERT_EQ(regs.size(), 6u);
    EXPECT_EQ(regs[0]["addr"], "0xAFB04C08");
    EXPECT_EQ(regs[0]["op"], "write");
    EXPECT_EQ(regs[1]["op"], "read");
    EXPECT_EQ(regs[2]["addr"], "0xAFB07210");
    EXPECT_EQ(regs[2]["value"], 0x13);
    EXPECT_EQ(regs[5]["fault"], true);
    EXPECT_EQ(regs[5]["addr"], nullptr);

    auto maps = events("map");
    ASSERT_EQ(maps.size(), 6u);
    EXPECT_EQ(maps[1], (json{{"ev", "map"}, {"op", "copy"}, {"kernel_addr", "0xAFB07000"}, {"size", 4096},
                             {"protect", PAGE_READWRITE | PAGE_NOCACHE}, {"ok", true}}));
    EXPECT_EQ(maps[4]["op"], "release");
    EXPECT_EQ(maps[4]["kernel_addr"], "0xAFB07000");
    EXPECT_EQ(maps[5]["kernel_addr"], "0xAFB04000");

    // The registers keep their values until the device loses power.
    BYTE* again = map_page(0xAFB04000);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(READ_REGISTER_USHORT(reg(again, 0xC08)), 0x0010);
    EXPECT_TRUE(VirtualFree(again, 0, MEM_RELEASE));
    sim::stop_drivers();
    power_on(json::object());
    again = map_page(0xAFB04000);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(READ_REGISTER_USHORT(reg(again, 0xC08)), 0);
    EXPECT_TRUE(VirtualFree(again, 0, MEM_RELEASE));
}

TEST_F(LedDevice, MappingIsRefusedForAnythingButTheControllerPages) {
    const struct {
        const char* what;
        json profile;
        uint32_t kernel;
        DWORD size;
        DWORD protect;
    } cases[] = {
        {"another kernel page", json::object(), 0xAFB05000, 4096, PAGE_READWRITE | PAGE_NOCACHE},
        {"inside a controller page", json::object(), 0xAFB07200, 4096, PAGE_READWRITE | PAGE_NOCACHE},
        {"taken as a physical address", json::object(), 0xAFB07000, 4096,
         PAGE_READWRITE | PAGE_NOCACHE | PAGE_PHYSICAL},
        {"more than the reservation", json::object(), 0xAFB07000, 8192, PAGE_READWRITE | PAGE_NOCACHE},
        {"the profile's fault", {{"led_map_fails", true}}, 0xAFB07000, 4096, PAGE_READWRITE | PAGE_NOCACHE},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        power_on(c.profile);
        void* view = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
        ASSERT_NE(view, nullptr);
        EXPECT_FALSE(VirtualCopy(view, reinterpret_cast<LPVOID>(uintptr_t(c.kernel)), c.size, c.protect));
        EXPECT_EQ(READ_REGISTER_USHORT(reg(static_cast<BYTE*>(view), 0x210)), 0);
        EXPECT_EQ(events("reg16").back()["fault"], true) << "an unmapped reservation reaches nothing";
        EXPECT_TRUE(VirtualFree(view, 0, MEM_RELEASE));
    }

    int local = 0;
    EXPECT_FALSE(VirtualCopy(&local, reinterpret_cast<LPVOID>(uintptr_t(0xAFB07000)), 4096, PAGE_READWRITE))
        << "the destination must be a reservation";
    EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE), nullptr);
    void* view = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(VirtualFree(view, 4096, MEM_RELEASE)) << "a release gives size 0";
    EXPECT_TRUE(VirtualFree(view, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(view, 0, MEM_RELEASE)) << "released once only";
}

TEST_F(LedDevice, ReadOnlyViewCannotStartTheController) {
    BYTE* v1 = map_page(0xAFB07000, PAGE_READONLY | PAGE_NOCACHE);
    ASSERT_NE(v1, nullptr);
    WRITE_REGISTER_USHORT(reg(v1, 0x210), 1);
    EXPECT_FALSE(sim::led_controller_flashing());
    EXPECT_EQ(events("reg16").back()["fault"], true);
    EXPECT_EQ(events("reg16").back()["addr"], "0xAFB07210");
    EXPECT_EQ(READ_REGISTER_USHORT(reg(v1, 0x210)), 0);
    EXPECT_TRUE(VirtualFree(v1, 0, MEM_RELEASE));
}

}  // namespace
