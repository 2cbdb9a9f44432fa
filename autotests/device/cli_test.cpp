// dravik-sim's command line: what it accepts, how it refuses bad input, and
// that refused input never touches the device's storage.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
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
        {{"--journl", "j.jsonl"}, "unknown option --journl; did you mean \"--journal\"?"},
        {{"-scale", "2"}, "unknown option -scale; did you mean \"--scale\"?"},
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
        {{"--watch"}, "--watch goes with --script"},
        {{"--watch", "--check", "--script", "s.txt"}, "--watch and --check"},
        {{"--watch-pace", "600", "--script", "s.txt"}, "--watch-pace goes with --watch"},
        {{"--watch", "--watch-pace", "24", "--script", "s.txt"}, "--watch-pace"},
        {{"--watch", "--watch-pace", "10001", "--script", "s.txt"}, "--watch-pace"},
        {{"--check"}, "--check"},                    // neither --script nor scripts to run
        {{"--check", "examples"}, "--screenshots"},  // each script keeps its own
        {{"--script", "s.txt", "--check", "more.txt"}, "--check"},
        {{"--junit", "j.xml"}, "--junit"},           // only for a suite
        {{"-j", "4"}, "-j"},
        {{"--check", "-j", "0"}, "-j"},
        {{"--check", "--shard", "3/2"}, "--shard"},
        {{"--check", "--shard", "1/"}, "--shard"},
        {{"--seeds", "1-5"}, "--seeds"},            // goes with --stress
        {{"--stress", "9", "--seeds", "5-1"}, "--seeds"},
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
        // The key's name first appears on line 2, as text; the bad value is on line 4.
        {"{\n  \"model\": \"leds\",\n  \"seed\": 1,\n  \"leds\": 2000000000\n}\n", 4, "leds"},
        {"{\n  \"bluetooth\": {\n    \"status_export\": \"no\"\n  }\n}\n", 3, "status_export"},
        {"{\n  \"reset\": \"fail\"\n}\n", 2, "reset"},
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
    ProcessResult r = run_with({"--help"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    for (const char* word :
         {"--state", "--profile", "--script", "--journal", "--screenshots", "--factory-reset", "--demo", "--scale",
          "--help", "--version", "tap X Y", "press KEY", "answer", "click", "caption-ok", "help", "launch", "wait MS",
          "screenshot FILE.png", "--record FILE", "--watch", "--watch-pace MS", "soft-reset", "drag X Y X2 Y2", "expect-msgbox \"TEXT\" [\"CAPTION\"]",
          "expect-text \"TEXT\"", "expect-status TEST WORD", "expect-log TEST WORD",
          "expect-screen FILE.png [TOLERANCE]", "TOLERANCE counts the pixels", "exit status 1"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    // Every key the profile accepts, each at the start of its own entry.
    for (const char* key :
         {"model", "utility_library", "utility_library_loads", "missing_exports", "os_version", "platform_id",
          "registry_read_only", "registry_fail_writes", "registry_fail_keys", "local_time", "processes", "reset",
          "file_faults", "files_held_open", "com2", "display", "begin_draw_fails", "seed", "leds", "led_query_fails",
          "led_set_fails", "led_map_fails", "led_registers", "bluetooth", "hotkey_fail", "coredll_missing",
          "unregisterfunc1_missing"}) {
        bool listed = r.out.find(std::string("\n  ") + key + " ") != std::string::npos ||
                      r.out.find(std::string("\n  ") + key + "\n") != std::string::npos;
        EXPECT_TRUE(listed) << key;
        // ... and the profile accepts it: a bad value is refused for what it
        // is, not as an unknown key.
        set_profile(std::string("{\"") + key + "\": {\"no such field\": [[]]}}");
        set_script("wait 0\n");
        ProcessResult bad = run();
        EXPECT_EQ(bad.exit_code, 2) << key;
        EXPECT_EQ(bad.err.find("unknown profile key"), std::string::npos) << bad.err;
    }
    EXPECT_FALSE(fs::exists(state_dir()));
}

TEST_F(Cli, HelpAndVersionStandAlone) {
    const struct {
        std::vector<std::string> args;
        const char* names;
    } cases[] = {
        {{"--help", "extra"}, "--help"},
        {{"--version", "extra"}, "--version"},
        {{"--scale", "3", "--help"}, "--help"},
        {{"--version", "--demo"}, "--version"},
        {{"--state", "s", "--version"}, "--version"},
        {{"--help", "--version"}, "--help"},
    };
    for (auto& c : cases) {
        std::string shown;
        for (auto& a : c.args) shown += " [" + a + "]";
        SCOPED_TRACE(shown);
        ProcessResult r = run_with(c.args);
        EXPECT_TRUE(refused(r, "dravik-sim: ", c.names));
        EXPECT_EQ(r.out, "");
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

// A FIFO, a device or a huge file is refused at once, never read for ever.
TEST_F(Cli, InputFilesMustBeRegularFilesOfASaneSize) {
    timeout_ms = 20000;
    const std::string fifo = dir() + "/fifo", zero = dir() + "/zero", big = dir() + "/big.json",
                      folder = dir() + "/folder";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", zero);
    write_file(big, "{\"model\": \"");
    ASSERT_EQ(truncate(big.c_str(), 3 << 20), 0);
    fs::create_directories(folder);
    set_script("wait 0\n");
    set_profile("{}");
    const struct {
        const char* option;
        std::string path;
        const char* part;
    } cases[] = {
        {"--profile", fifo, "not a regular file"}, {"--script", fifo, "not a regular file"},
        {"--profile", zero, "not a regular file"}, {"--script", zero, "not a regular file"},
        {"--profile", big, "larger than 1 MiB"},   {"--profile", folder, "folder"},
        {"--script", folder, "folder"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.path);
        std::vector<std::string> args = {"--state", state_dir(), "--journal", journal_path(), "--screenshots",
                                         screenshots_dir(), c.option, c.path};
        args.push_back(std::string(c.option) == "--profile" ? "--script" : "--profile");
        args.push_back(std::string(c.option) == "--profile" ? script_path() : profile_path());
        ProcessResult r = run_with(args);
        EXPECT_FALSE(r.timed_out);
        EXPECT_TRUE(refused(r, c.path + ":1:", c.part));
        EXPECT_TRUE(made_nothing());
    }
}

// The state folder holds only folders and regular files; anything else is
// refused before the device powers on, naming it, and nothing outside the
// folder changes.
TEST_F(Cli, StateFolderEntriesThatAreNotFilesOrFoldersAreRefused) {
    timeout_ms = 20000;
    const std::string outside = dir() + "/outside";
    const struct {
        const char* name;
        std::string entry;  // relative to the state folder
        std::function<void(const std::string& at)> plant;
        const char* part;
    } cases[] = {
        {"FIFO registry", "registry.reg", [](const std::string& at) { mkfifo(at.c_str(), 0644); },
         "not a regular file"},
        {"registry links to /dev/zero", "registry.reg", [](const std::string& at) { fs::create_symlink("/dev/zero", at); },
         "symbolic link"},
        {"FIFO alarm sound", "store/Windows/Alarm3.WAV", [](const std::string& at) { mkfifo(at.c_str(), 0644); },
         "not a regular file"},
        {"FIFO Startup shortcut", "store/Windows/StartUp/Dravik.lnk",
         [](const std::string& at) { mkfifo(at.c_str(), 0644); }, "not a regular file"},
        {"file links to a host file", "store/DravikFile.txt",
         [&](const std::string& at) { fs::create_symlink(outside + "/host.txt", at); }, "symbolic link"},
        {"folder links to a host folder", "store/My Documents",
         [&](const std::string& at) { fs::create_directory_symlink(outside, at); }, "symbolic link"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(state_dir());
        fs::remove_all(outside);
        write_file(outside + "/host.txt", "host file");
        prepare_state();
        write_file(state_dir() + "/store/Windows/Alarm3.WAV", "RIFF");
        std::string at = state_dir() + "/" + c.entry;
        fs::remove_all(at);
        c.plant(at);
        set_script("wait 0\n");
        ProcessResult r = run();
        EXPECT_FALSE(r.timed_out);
        EXPECT_TRUE(refused(r, at + ": ", c.part));
        EXPECT_EQ(folder_snapshot(outside), (std::map<std::string, std::string>{{"host.txt", "host file"}}));
        EXPECT_FALSE(fs::exists(journal_path()));
        EXPECT_FALSE(fs::exists(screenshots_dir()));
    }
}

// No output may replace an input or land inside the state folder; the
// refusal comes before anything is written.
TEST_F(Cli, OutputsMayBeNeitherInputsNorInsideTheStateFolder) {
    prepare_state();
    fs::create_directory_symlink(state_dir(), dir() + "/state-link");
    const std::string png_profile = dir() + "/profile.png";
    write_file(png_profile, "{\"model\": \"qz Orvex k7100\"}");
    const std::string script_text = "wait 0\n";
    const std::string state = state_dir();
    const struct {
        const char* name;
        std::string journal;
        std::string screenshots;
        std::string script;  // "" : "wait 0"
        std::string named;   // the refusal starts with this
    } cases[] = {
        {"journal over the registry", state + "/registry.reg", "", "", state + "/registry.reg: "},
        {"journal over the script", script_path(), "", "", script_path() + ": "},
        {"journal over the profile", png_profile, "", "", png_profile + ": "},
        {"journal inside the store", state + "/store/My Documents/j.jsonl", "", "",
         state + "/store/My Documents/j.jsonl: "},
        {"journal through a link into the folder", dir() + "/state-link/j.jsonl", "", "",
         dir() + "/state-link/j.jsonl: "},
        {"journal is the state folder", state, "", "", state + ": "},
        {"screenshots inside the store", "", state + "/store/My Documents", "", state + "/store/My Documents: "},
        {"screenshot into the state folder", "", "", "screenshot ../state/store/shot.png\n", script_path() + ":1: "},
        {"screenshot over the profile", "", dir(), "wait 0\nscreenshot profile.png\n", script_path() + ":2: "},
        {"screenshot over the journal", dir() + "/shot.png", dir(), "screenshot shot.png\n", script_path() + ":1: "},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        set_script(c.script.empty() ? script_text : c.script);
        const std::string script_before = devtest::read_file(script_path());
        auto state_before = folder_snapshot(state);
        std::string journal = c.journal.empty() ? dir() + "/journal.jsonl" : c.journal;
        std::string shots = c.screenshots.empty() ? screenshots_dir() : c.screenshots;
        ProcessResult r = run_with({"--state", state, "--profile", png_profile, "--script", script_path(),
                                    "--journal", journal, "--screenshots", shots});
        EXPECT_TRUE(refused(r, c.named, ""));
        EXPECT_EQ(folder_snapshot(state), state_before);
        EXPECT_EQ(devtest::read_file(script_path()), script_before);
        EXPECT_EQ(devtest::read_file(png_profile), "{\"model\": \"qz Orvex k7100\"}");
        EXPECT_FALSE(fs::exists(dir() + "/journal.jsonl"));
        EXPECT_FALSE(fs::exists(screenshots_dir()));
    }
}

// A refused run leaves an earlier journal as it was and makes no folder.
TEST_F(Cli, ARefusedRunTruncatesNothingAndCreatesNothing) {
    const std::string earlier = "{\"t\":0,\"ev\":\"boot\"}\n";
    const struct {
        const char* name;
        const char* registry;  // "" : a good one
        const char* profile;
        std::string script;
    } cases[] = {
        {"a registry that does not parse", "Windows Registry Editor Version 5.00\n\nno key line\n", "{}", "wait 0\n"},
        {"a profile with a bad value", "", "{\"leds\": -1}", "wait 0\n"},
        {"a script with a bad line", "", "{}", "wait forever\n"},
        // Cut at the NUL, the name would be victim.txt, and ".png" was checked.
        {"a screenshot name with a NUL", "", "{}",
         "screenshot " + dir() + "/victim.txt" + std::string(1, '\0') + ".png\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(state_dir());
        prepare_state();
        if (*c.registry) write_file(state_dir() + "/registry.reg", c.registry);
        write_file(dir() + "/old.jsonl", earlier);
        write_file(dir() + "/victim.txt", "precious");
        auto state_before = folder_snapshot(state_dir());
        set_profile(c.profile);
        set_script(c.script);
        ProcessResult r = run_with({"--state", state_dir(), "--profile", profile_path(), "--script", script_path(),
                                    "--journal", dir() + "/old.jsonl", "--screenshots", screenshots_dir()});
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(devtest::read_file(dir() + "/old.jsonl"), earlier);
        EXPECT_EQ(devtest::read_file(dir() + "/victim.txt"), "precious");
        EXPECT_FALSE(fs::exists(screenshots_dir()));
        EXPECT_EQ(folder_snapshot(state_dir()), state_before);
    }
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
