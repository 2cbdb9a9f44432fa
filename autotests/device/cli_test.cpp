// dravik-sim's command line: what it accepts, how it refuses bad input, and
// that refused input never touches the device's storage.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "device/harness.h"

namespace {

using devtest::folder_snapshot;
using devtest::ProcessResult;
using devtest::SimRun;
using devtest::write_file;
namespace fs = std::filesystem;

// Exit code 2, nothing on stdout and exactly one line on stderr that starts
// with `prefix` and mentions `part`.
::testing::AssertionResult refused(const ProcessResult& r, const std::string& prefix, const std::string& part) {
    auto fail = [&](const std::string& why) {
        return ::testing::AssertionFailure() << why << "\nexit " << r.exit_code << "\nstdout: " << r.out
                                             << "\nstderr: " << r.err;
    };
    if (r.exit_code != 2) return fail("expected exit code 2");
    if (!r.out.empty()) return fail("expected nothing on stdout");
    if (r.err.empty() || r.err.back() != '\n' || r.err.find('\n') != r.err.size() - 1)
        return fail("expected exactly one line on stderr");
    if (r.err.compare(0, prefix.size(), prefix) != 0) return fail("expected stderr to start with \"" + prefix + "\"");
    if (r.err.find(part) == std::string::npos) return fail("expected stderr to mention \"" + part + "\"");
    return ::testing::AssertionSuccess();
}

const char* const kRegistryText =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Ident]\n"
    "\"Name\"=\"PocketPC\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK]\n"
    "\"Marker\"=dword:00000007\n";

class Cli : public SimRun {
protected:
    // A state folder from an earlier life of the device.
    void prepare_state() {
        write_file(state_dir() + "/registry.reg", kRegistryText);
        write_file(state_dir() + "/store/My Documents/keep.txt", "kept");
        fs::create_directories(state_dir() + "/store/Windows/StartUp");
    }
    bool made_nothing() const {
        std::error_code ec;
        return !fs::exists(state_dir(), ec) && !fs::exists(screenshots_dir(), ec) &&
               !fs::exists(journal_path(), ec) && folder_snapshot(dir() + "/xdg").empty();
    }
};

TEST_F(Cli, BadCommandLineIsRefusedNamingTheOption) {
    const struct {
        std::vector<std::string> args;
        const char* names;
    } cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"-h"}, "-h"},
        {{"leftover"}, "leftover"},
        {{"--scale", "0"}, "--scale"},
        {{"--scale", "9"}, "--scale"},
        {{"--scale", "two"}, "--scale"},
        {{"--scale=3x"}, "--scale"},
        {{"--scale"}, "--scale"},
        {{"--profile"}, "--profile"},
        {{"--script", "--demo"}, "--script"},
        {{"--journal", ""}, "--journal"},
        {{"--demo=yes"}, "--demo"},
        {{"--factory-reset=1"}, "--factory-reset"},
        {{"--state", "elsewhere"}, "--state"},  // given twice
        {{"--demo", "--script", "s.txt"}, "--demo"},
    };
    for (auto& c : cases) {
        std::vector<std::string> args = {"--state", state_dir(), "--screenshots", screenshots_dir()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string shown;
        for (auto& a : c.args) shown += " [" + a + "]";
        SCOPED_TRACE(shown);
        EXPECT_TRUE(refused(run_with(args), "dravik-sim: ", c.names));
        EXPECT_TRUE(made_nothing());
    }
}

TEST_F(Cli, BadProfileIsRefusedNamingFileAndLine) {
    const struct {
        const char* text;
        int line;
        const char* part;
    } cases[] = {
        {"{\n  \"model\": \"qz Orvex k7100\"\n  \"platform_id\": 3\n}\n", 3, "JSON"},  // missing comma
        {"{\n  \"model\": \"qz Orvex k7100\",\n  \"registry_read_only\": \"yes\"\n}\n", 3, "registry_read_only"},
        {"{\n\n\n  \"processes\": \"shell.exe\"\n}\n", 4, "processes"},
        {"{\n  \"platform_id\": 3.5\n}\n", 2, "platform_id"},
        {"{\n  \"model\": \"x\",\n  \"no_such_key\": 1\n}\n", 3, "no_such_key"},
        {"[1, 2]\n", 1, "object"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        set_profile(c.text);
        set_script("wait 0\n");
        EXPECT_TRUE(refused(run(), profile_path() + ":" + std::to_string(c.line) + ":", c.part));
        EXPECT_TRUE(made_nothing());
    }
}

TEST_F(Cli, MissingProfileOrScriptFileIsRefusedNamingIt) {
    std::string absent = dir() + "/absent.json";
    EXPECT_TRUE(refused(run_with({"--state", state_dir(), "--profile", absent}), absent + ":1:", "profile"));
    EXPECT_TRUE(refused(run_with({"--state", state_dir(), "--script", absent}), absent + ":1:", "script"));
    EXPECT_TRUE(made_nothing());
}

TEST_F(Cli, BadScriptIsRefusedNamingFileAndLine) {
    const struct {
        const char* text;
        int line;
        const char* part;
    } cases[] = {
        {"tap 1 2\nwait\n", 2, "wait"},
        {"# start\n\nfly away\n", 3, "fly"},
        {"screenshot panel.bmp\n", 1, "panel.bmp"},
        {"tap 10 20\r\ntap 240 0\r\n", 2, "240"},
    };
    set_profile("{\"model\": \"qz Orvex k7100\"}\n");
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        set_script(c.text);
        EXPECT_TRUE(refused(run(), script_path() + ":" + std::to_string(c.line) + ":", c.part));
        EXPECT_TRUE(made_nothing());
    }
}

TEST_F(Cli, HelpListsOptionsActionsAndProfileKeys) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"--scale", "3", "--help"}}) {
        ProcessResult r = run_with(args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        for (const char* word :
             {"--state", "--profile", "--script", "--journal", "--screenshots", "--factory-reset", "--demo", "--scale",
              "--help", "--version", "tap X Y", "press KEY", "answer", "click", "caption-ok", "help", "launch",
              "wait MS", "screenshot FILE.png", "--record FILE", "drag X Y X2 Y2", "expect-msgbox \"TEXT\" [\"CAPTION\"]",
              "expect-text \"TEXT\"", "expect-status TEST WORD", "expect-log TEST WORD",
              "expect-screen FILE.png [TOLERANCE]", "TOLERANCE counts the pixels", "exit status 1"})
            EXPECT_NE(r.out.find(word), std::string::npos) << word;
        for (const char* key : {"model", "utility_library", "missing_exports", "os_version", "platform_id",
                                "registry_read_only", "registry_fail_writes", "registry_fail_keys", "local_time",
                                "processes"})
            EXPECT_NE(r.out.find(std::string("\n  ") + key + " "), std::string::npos) << key;
    }
    EXPECT_TRUE(made_nothing());
}

TEST_F(Cli, VersionPrintsOneLine) {
    ProcessResult r = run_with({"--version"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::regex_match(r.out, std::regex("dravik-sim [0-9]+\\.[0-9]+(\\.[0-9]+)?\n"))) << r.out;
}

TEST_F(Cli, RefusedInputLeavesAnExistingStateFolderAsItWas) {
    prepare_state();
    auto before = folder_snapshot(state_dir());
    ASSERT_EQ(before.count("registry.reg"), 1u);
    const struct {
        const char* profile;
        const char* script;
        std::vector<std::string> args;
    } cases[] = {
        {"{\"model\": 7}", "wait 0\n", {"--factory-reset"}},
        {"", "wait zero\n", {"--factory-reset"}},
        {"", "wait 0\n", {"--factory-reset", "--scale", "12"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " / " + c.script);
        set_profile(c.profile);
        set_script(c.script);
        extra_args = c.args;
        ProcessResult r = run();
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(folder_snapshot(state_dir()), before);
    }
}

TEST_F(Cli, StateFolderThatCannotBeUsedIsRefused) {
    set_script("wait 0\n");
    // A file where the folder should be.
    write_file(state_dir(), "not a folder");
    EXPECT_TRUE(refused(run(), state_dir(), "folder"));
    EXPECT_EQ(devtest::read_file(state_dir()), "not a folder");
    fs::remove(state_dir());

    // A registry that does not parse: the line is named, nothing changes.
    prepare_state();
    write_file(state_dir() + "/registry.reg", "Windows Registry Editor Version 5.00\n\nno key line\n");
    auto before = folder_snapshot(state_dir());
    EXPECT_TRUE(refused(run(), state_dir() + "/registry.reg:3:", ""));
    EXPECT_EQ(folder_snapshot(state_dir()), before);
}

TEST_F(Cli, UnreadableStateFolderIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    prepare_state();
    set_script("wait 0\n");
    ASSERT_EQ(chmod(state_dir().c_str(), 0), 0);
    ProcessResult r = run();
    chmod(state_dir().c_str(), 0755);
    EXPECT_TRUE(refused(r, state_dir(), ""));
    EXPECT_EQ(devtest::read_file(state_dir() + "/registry.reg"), kRegistryText);
}

// ---- the cases below power the device on

TEST_F(Cli, FreshStateFolderIsMadeFromTheFactoryImage) {
    set_script("# nothing to do\n");
    ProcessResult r = run();
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(reg_string("HKEY_LOCAL_MACHINE\\Ident", "Name"), "PocketPC");
    for (const char* folder : {"\\Windows", "\\Windows\\StartUp", "\\My Documents"})
        EXPECT_TRUE(fs::is_directory(store_path(folder))) << folder;
    auto log = journal();
    ASSERT_GT(log.size(), 0u);
    for (size_t i = 1; i < log.size(); ++i)
        EXPECT_LE(log[i - 1]["t"].get<long long>(), log[i]["t"].get<long long>()) << log.dump();
}

TEST_F(Cli, StateIsKeptBetweenRunsAndFactoryResetWipesIt) {
    prepare_state();
    set_script("wait 10\n");
    ASSERT_EQ(run().exit_code, 0) << last().err;
    EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Marker"), 7u);
    EXPECT_EQ(store_file("\\my documents\\KEEP.TXT"), "kept");

    ASSERT_EQ(run().exit_code, 0) << last().err;
    EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Marker"), 7u);
    EXPECT_EQ(store_file("\\My Documents\\keep.txt"), "kept");

    extra_args = {"--factory-reset"};
    ASSERT_EQ(run().exit_code, 0) << last().err;
    EXPECT_EQ(reg_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Marker"), std::nullopt);
    EXPECT_EQ(reg_string("HKEY_LOCAL_MACHINE\\Ident", "Name"), "PocketPC");
    EXPECT_FALSE(store_exists("\\My Documents\\keep.txt"));
    EXPECT_TRUE(fs::is_directory(store_path("\\My Documents")));
}

TEST_F(Cli, WithoutStateOptionTheUsersDataFolderIsUsed) {
    set_script("wait 0\n");
    ProcessResult r = run_with({"--script", script_path(), "--screenshots", screenshots_dir()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(dir() + "/xdg/dravik-sim/registry.reg"));
    EXPECT_TRUE(fs::is_directory(dir() + "/xdg/dravik-sim/store"));
}

TEST_F(Cli, ScriptScreenshotsGoToTheScreenshotsFolder) {
    std::string absolute = dir() + "/elsewhere.png";
    set_script("screenshot first.png\nscreenshot " + absolute + "\n");
    ASSERT_EQ(run().exit_code, 0) << last().err;
    for (auto& image : {screenshot("first.png"), screenshot(absolute)}) {
        EXPECT_EQ(image.width(), 240);
        EXPECT_EQ(image.height(), 320);
    }

    // Without --screenshots, relative names land in the current folder.
    ProcessResult r = run_with({"--state", state_dir(), "--script", script_path()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(screenshot(dir() + "/first.png").width(), 240);
}

TEST_F(Cli, DemoSavesScreenshotsAndSaysWhere) {
    auto pngs_in = [](const std::string& folder) {
        std::vector<std::string> found;
        std::error_code ec;
        for (auto& e : fs::directory_iterator(folder, ec))
            if (e.path().extension() == ".png") found.push_back(e.path().string());
        return found;
    };
    std::string chosen = dir() + "/pictures";
    ProcessResult r = run_with({"--state", state_dir(), "--demo", "--screenshots", chosen});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto found = pngs_in(chosen);
    ASSERT_FALSE(found.empty());
    EXPECT_NE(r.out.find("pictures"), std::string::npos) << r.out;
    EXPECT_EQ(devtest::Image::load(found[0]).width(), 240);

    // The default folder is ./screenshots.
    r = run_with({"--state", state_dir(), "--demo"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(pngs_in(dir() + "/screenshots").empty());
    EXPECT_NE(r.out.find("screenshots"), std::string::npos) << r.out;
}

}  // namespace
