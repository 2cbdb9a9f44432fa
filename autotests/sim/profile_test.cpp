// The device profile as it is read: every key, nested ones included, is
// checked for its type, its range and its words before the device uses it,
// and a refusal names the line of the bad value.
#include <gtest/gtest.h>

#include "scratch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "device/profile_loading.h"

namespace {

// "" when the text is accepted, else the error (which names "p.json").
std::string load_error(const std::string& text) {
    sim::Profile p;
    std::string error;
    return sim::load_profile_text(&p, text, "p.json", &error) ? "" : error;
}

TEST(ProfileCheck, EveryKeyIsCheckedForTypeRangeAndWords) {
    const std::string long_name(256, 'k');
    std::string deep = "HKEY_LOCAL_MACHINE";
    for (int i = 0; i < 17; ++i) deep += "\\\\k";
    const struct {
        std::string text;
        const char* part;  // "" : accepted; else in the one-line message
    } cases[] = {
        // Nested values of the wrong type.
        {R"({"bluetooth": {"status_export": "no"}})", "\"bluetooth\": \"status_export\" must be true or false"},
        {R"({"bluetooth": {"status_export": 0}})", "\"status_export\" must be true or false"},
        {R"({"bluetooth": {"status_export": null}})", "\"status_export\" must be true or false"},
        {R"({"bluetooth": {"present_call_ok": "yes"}})", "\"present_call_ok\" must be true or false"},
        {R"({"bluetooth": {"radio": 2}})", "\"radio\" must be 0"},
        {R"({"bluetooth": {"radio": true}})", "\"radio\" must be 0"},
        {R"({"bluetooth": {"antenna": 1}})", "\"bluetooth\": unknown field \"antenna\" ("},
        {R"({"bluetooth": {"status_exports": true}})", "unknown field \"status_exports\"; did you mean \"status_export\"?"},
        {R"({"bluetooth": [1]})", "\"bluetooth\" must be an object"},
        {R"({"com2": {"open_error": 65536}})", "\"open_error\" must be an error code from 1 to 65535"},
        {R"({"com2": {"open_error": 18446744073709551615}})", "\"open_error\" must be"},
        {R"({"led_registers": {"0xAFB07210": -1}})", "\"led_registers\": \"0xAFB07210\" must be"},
        {R"({"led_registers": {"0xAFB07211": 1}})", "\"0xAFB07211\" must be an even address"},
        {R"({"led_registers": {"0x AFB07210": 1}})", "\"0x AFB07210\" must be"},
        {R"({"led_registers": {"0xafb07210": 65535}})", ""},
        // Words: a typo is not a healthy device.
        {R"({"reset": "fail"})", "\"reset\" must be \"works\" or \"fails\""},
        {R"({"reset": "fails"})", ""},
        {R"({"reset": true})", "\"reset\" must be"},
        {R"({"utility_library": "absent"})", "\"utility_library\" must be \"present\" or \"missing\""},
        {R"({"missing_exports": ["OrvexGetModelId"]})", "\"missing_exports\" must be a list of the utility library"},
        {R"({"missing_exports": ["OrvexGetModelID", "OrvexGetBlueToothRadioStatus"]})", ""},
        // Numbers in the ranges the device could have.
        {R"({"leds": 2000000000})", "\"leds\" must be a whole number from 0 to 32"},
        {R"({"leds": 10000000})", "\"leds\" must be"},
        {R"({"leds": 4294967298})", "\"leds\" must be"},
        {R"({"leds": -1})", "\"leds\" must be"},
        {R"({"leds": 32})", ""},
        {R"({"leds": 1e400})", "a number too large for any setting"},
        {"{\"seed\": 1,\n \"leds\": -1e999}", "p.json:2: a number too large"},
        {R"({"os_version": [4294967300, 20]})", "\"os_version\" must be [major, minor], each a whole number from 0"},
        {R"({"os_version": [4, -20]})", "\"os_version\" must be"},
        {R"({"os_version": [4]})", "\"os_version\" must be [major, minor]"},
        {R"({"os_version": [5, 1]})", ""},
        {R"({"platform_id": 4})", "\"platform_id\" must be a whole number from 0 to 3"},
        {R"({"platform_id": -1})", "\"platform_id\" must be"},
        {R"({"platform_id": 2147483651})", "\"platform_id\" must be"},
        {R"({"begin_draw_fails": [0]})", "\"begin_draw_fails\" must be a list of whole numbers from 1 to 1000000"},
        {R"({"begin_draw_fails": [4294967298]})", "\"begin_draw_fails\" must be"},
        {R"({"begin_draw_fails": [2, 1000000]})", ""},
        {R"({"hotkey_fail": [-62]})", "\"hotkey_fail\" must be a list of key codes from 1 to 254"},
        {R"({"hotkey_fail": [4294967490]})", "\"hotkey_fail\" must be"},
        {R"({"hotkey_fail": [194]})", ""},
        {R"({"utility_library_loads": -1})", "\"utility_library_loads\" must be a whole number from 0"},
        {R"({"utility_library_loads": 4294967297})", "\"utility_library_loads\" must be"},
        {R"({"seed": -1})", "\"seed\" must be a whole number from 0 to 4294967295"},
        {R"({"seed": 4294967296})", "\"seed\" must be"},
        {R"({"seed": 4294967295})", ""},
        {R"({"local_time": "2004-02-30 09:05:07"})", "\"local_time\" must be \"YYYY-MM-DD HH:MM:SS\""},
        {R"({"local_time": "2004-3-14 9:05:07"})", "\"local_time\" must be"},
        {R"({"local_time": "2004-03-14 09:05:07 "})", "\"local_time\" must be"},
        {R"({"local_time": "2004-02-29 23:59:59"})", ""},
        {R"({"local_time": "2100-02-29 00:00:00"})", "\"local_time\" must be"},
        {R"({"coredll_missing": "true"})", "\"coredll_missing\" must be true or false"},
        {R"({"unregisterfunc1_missing": 1})", "\"unregisterfunc1_missing\" must be true or false"},
        // Device paths: from the root, one backslash between names.
        {R"({"file_faults": {"/DravikFile.txt": "write"}})", "\"file_faults\": \"/DravikFile.txt\" must be a device path"},
        {R"({"file_faults": {"\\\\DravikFile.txt": "write"}})", "must be a device path"},
        {R"({"file_faults": {"DravikFile.txt": "write"}})", "must be a device path"},
        {R"({"file_faults": {"\\My Documents\\": "write"}})", "must be a device path"},
        {R"({"file_faults": {"\\My Documents\\Dravik.txt": "write"}})", ""},
        {R"({"files_held_open": ["\\My Documents//Dravik.txt"]})", "\"files_held_open\" must be a list of device paths"},
        {R"({"files_held_open": ["\\My Documents\\\\Dravik.txt"]})", "\"files_held_open\" must be"},
        {R"({"files_held_open": ["\\a\u0000b"]})", "\"files_held_open\" must be"},
        {R"({"files_held_open": ["\\My Documents\\Dravik.txt"]})", ""},
        // Registry paths: a known root, names within the registry's limits.
        {R"({"registry_fail_keys": ["HKEY_LOCAL_MACHINE\\\\SOFTWARE"]})", "\"registry_fail_keys\" must be a list of key"},
        {R"({"registry_fail_keys": ["HKLM\\SOFTWARE"]})", "\"registry_fail_keys\" must be"},
        {R"({"registry_fail_keys": ["HKEY_LOCAL_MACHINE\\SOFTWARE\\"]})", "\"registry_fail_keys\" must be"},
        {"{\"registry_fail_keys\": [\"HKEY_LOCAL_MACHINE\\\\" + long_name + "\"]}", "\"registry_fail_keys\" must be"},
        {"{\"registry_fail_keys\": [\"" + deep + "\"]}", "\"registry_fail_keys\" must be"},
        {R"({"registry_fail_keys": ["HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK"]})", ""},
        {R"({"registry_fail_writes": ["HKEY_LOCAL_MACHINE"]})", "\"registry_fail_writes\" must be a list of value"},
        {R"({"registry_fail_writes": ["HKEY_NOWHERE\\Key\\Value"]})", "\"registry_fail_writes\" must be"},
        {R"({"registry_fail_writes": ["HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK\\Sound"]})", ""},
        // Program names: a file name without a folder.
        {R"({"processes": ["\\Windows\\hopper.exe"]})", "\"processes\" must be a list of program names"},
        {R"({"processes": [""]})", "\"processes\" must be"},
        {R"({"processes": ["hopper.exe", "repllog.exe"]})", ""},
        // A key given twice is a mistake, not a choice of the last one.
        {"{\"leds\": 1,\n\"leds\": 3}", "p.json:2: \"leds\" is given twice"},
        {R"({"Leds": 1})", "unknown profile key \"Leds\"; did you mean \"leds\"?"},
        {R"({"modle": "x"})", "unknown profile key \"modle\"; did you mean \"model\"?"},
        {R"({"colour": 1})", "unknown profile key \"colour\" (see"},
        // A name that would break the message's line, or make it endless.
        {R"({"le\nds": 1})", "unknown profile key \"le ds\""},
        {"{\"" + std::string(100000, 'k') + "\": 1}", "unknown profile key \"kkk"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error = load_error(c.text);
        if (!*c.part) {
            EXPECT_EQ(error, "");
            continue;
        }
        EXPECT_EQ(error.rfind("p.json:", 0), 0u) << error;
        EXPECT_NE(error.find(c.part), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_LT(error.size(), 400u) << error;
    }
}

TEST(ProfileCheck, ARefusedProfileChangesNothing) {
    sim::Profile p;
    std::string error;
    ASSERT_TRUE(sim::load_profile_text(&p, R"({"leds": 3, "reset": "fails"})", "p.json", &error)) << error;
    EXPECT_FALSE(sim::load_profile_text(&p, R"({"leds": 3, "reset": "fail"})", "p.json", &error));
    EXPECT_EQ(p.raw()["reset"], "fails");
}

TEST(ProfileCheck, ErrorsNameTheLineOfTheBadValue) {
    const struct {
        const char* text;
        int line;
        const char* part;
    } cases[] = {
        // The key's name appears on line 2 as text; the bad value is on line 4.
        {"{\n  \"model\": \"leds\",\n  \"processes\": [],\n  \"leds\": 2000000000\n}\n", 4, "\"leds\""},
        // The value stands on the line after its key.
        {"{\n  \"leds\":\n    -1\n}\n", 3, "\"leds\""},
        // A nested field: its own line, not the line of the object's key.
        {"{\n  \"bluetooth\": {\n    \"radio\": 1,\n\n    \"status_export\": \"no\"\n  }\n}\n", 5, "status_export"},
        {"{\n  \"com2\": {\n    \"speed\": 9600\n  }\n}\n", 3, "unknown field \"speed\""},
        // A list element on its own line.
        {"{\n  \"begin_draw_fails\": [\n    1,\n    2,\n    0\n  ]\n}\n", 5, "begin_draw_fails"},
        // An unknown key is named where it stands.
        {"{\n  \"model\": \"x\",\n\n  \"colour\": 1\n}\n", 4, "unknown profile key \"colour\""},
        // A file fault's path is named on its own line.
        {"{\n  \"file_faults\": {\n    \"\\\\a.txt\": \"read\",\n    \"b.txt\": \"read\"\n  }\n}\n", 4, "\"b.txt\""},
        // Of two bad values, the first in the file is told.
        {"{\n  \"seed\": 1,\n  \"reset\": \"fail\",\n  \"leds\": -1\n}\n", 3, "\"reset\""},
        {"{\n  \"leds\": -1,\n  \"reset\": \"fail\"\n}\n", 2, "\"leds\""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error = load_error(c.text);
        std::string prefix = "p.json:" + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
        EXPECT_NE(error.find(c.part), std::string::npos) << error;
    }
}

TEST(ProfileCheck, DeeplyNestedValuesAreRefusedNotFollowed) {
    // Far deeper than any key of a profile goes.
    std::string nested = std::string(200000, '[') + std::string(200000, ']');
    const std::string cases[] = {
        "{\"leds\": " + nested + "}",
        "{\"bluetooth\": {\"radio\": " + nested + "}}",
        "{\"file_faults\": {\"\\\\a.txt\": " + nested + "}}",
    };
    for (auto& text : cases) {
        std::string error = load_error(text);
        EXPECT_EQ(error.rfind("p.json:1: ", 0), 0u) << error.substr(0, 200);
    }
}

TEST(ProfileCheck, EveryKeyIsDocumentedInTheReadme) {
    std::ifstream in(std::string(DRAVIK_SOURCE_DIR) + "/README.md");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string readme = ss.str();
    ASSERT_FALSE(readme.empty());
    auto keys = sim::profile_keys();
    for (const char* expected : {"reset", "hotkey_fail", "unregisterfunc1_missing", "coredll_missing", "leds"})
        EXPECT_NE(std::find(keys.begin(), keys.end(), expected), keys.end()) << expected;
    for (auto& key : keys) EXPECT_NE(readme.find("`" + key + "`"), std::string::npos) << key;
    // And every documented key is one the profile accepts.
    for (auto& key : keys) EXPECT_EQ(load_error("{\"" + key + "\": {\"no such field\": []}}").find("unknown profile key"),
                                     std::string::npos)
                               << key;
}

class ProfileFile : public ::testing::Test {
protected:
    simtest::ScratchDir scratch_{"profile"};
    std::string dir_ = scratch_.path();
};

TEST_F(ProfileFile, OnlyARegularFileOfASaneSizeIsRead) {
    ASSERT_FALSE(dir_.empty());
    const std::string fifo = dir_ + "/fifo.json", zero = dir_ + "/zero.json", big = dir_ + "/big.json",
                      folder = dir_ + "/folder.json";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    {
        std::ofstream out(big);
        out << "{\"model\": \"";
    }
    ASSERT_EQ(truncate(big.c_str(), (2 << 20)), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const struct {
        std::string path;
        const char* part;
    } cases[] = {
        {fifo, "not a regular file"},
        {zero, "not a regular file"},
        {big, "larger than 1 MiB"},
        {folder, "a folder"},
        {dir_ + "/absent.json", "No such file"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.path);
        sim::Profile p;
        std::string error;
        EXPECT_FALSE(sim::load_profile(&p, c.path, &error));
        EXPECT_EQ(error.rfind(c.path + ":1: cannot read the profile", 0), 0u) << error;
        EXPECT_NE(error.find(c.part), std::string::npos) << error;
    }
}

}  // namespace
