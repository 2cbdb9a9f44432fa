// The state folder: made from the factory image, kept between runs, reset
// on request, and refused (untouched) when it cannot be used.
#include <gtest/gtest.h>

#include "scratch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <windows.h>

#include "base/profile.h"
#include "files/filestore.h"
#include "files/state_folder.h"
#include "registry/registry.h"

namespace {

namespace fs = std::filesystem;
using simtest::read_text;
using simtest::write_text;

// Every file and folder below `dir` with the bytes of each file.
std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> out;
    if (!fs::exists(dir)) return out;
    if (!fs::is_directory(dir)) return {{"", read_text(dir)}};
    for (auto& e : fs::recursive_directory_iterator(dir))
        out[fs::relative(e.path(), dir).string()] = e.is_directory() ? "<folder>" : read_text(e.path().string());
    return out;
}

class StateFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(tmp_.empty()) << "no temporary folder";
        dir_ = tmp_ + "/device";
        sim::profile().load_json(nlohmann::json::object());
    }
    void TearDown() override {
        sim::registry() = sim::Registry();
        sim::file_store().set_root("");
    }

    simtest::ScratchDir scratch_{"state"};
    std::string tmp_ = scratch_.path(), dir_;
};

TEST_F(StateFolderTest, ANewFolderIsMadeFromTheFactoryImage) {
    sim::add_factory_file(u"\\Windows\\Factory Test.bin", std::string("\x00\x01\xff", 3));
    sim::StateFolder folder;
    std::string error;
    ASSERT_TRUE(folder.open(dir_ + "/nested", false, &error)) << error;

    const std::string store = dir_ + "/nested/store";
    EXPECT_EQ(folder.store_path(), store);
    EXPECT_EQ(sim::file_store().root(), store);
    for (auto f : {"/Windows", "/Windows/StartUp", "/My Documents"}) EXPECT_TRUE(fs::is_directory(store + f)) << f;
    EXPECT_EQ(read_text(store + "/Windows/Factory Test.bin"), std::string("\x00\x01\xff", 3));

    EXPECT_EQ(sim::registry_file_path(), dir_ + "/nested/registry.reg");
    std::string saved = read_text(sim::registry_file_path());
    EXPECT_EQ(saved.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
    EXPECT_EQ(saved, sim::registry().text());
    DWORD clear_type = 1;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_CURRENT_USER\\Software\\Microsoft\\Shell", "ClearType", &clear_type));
    EXPECT_EQ(clear_type, 0u);
}

TEST_F(StateFolderTest, ContentIsKeptUntilAFactoryReset) {
    sim::add_factory_file(u"\\Windows\\Reset Test.bin", "factory bytes");
    sim::StateFolder folder;
    std::string error;
    ASSERT_TRUE(folder.open(dir_, false, &error)) << error;
    ASSERT_TRUE(sim::write_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot", 1));
    write_text(dir_ + "/store/My Documents/Dravik.txt", "results");
    write_text(dir_ + "/store/Windows/Reset Test.bin", "changed");
    fs::remove_all(dir_ + "/store/Windows/StartUp");

    sim::registry() = sim::Registry();
    sim::StateFolder again;
    ASSERT_TRUE(again.open(dir_, false, &error)) << error;
    DWORD reboot = 0;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot", &reboot));
    EXPECT_EQ(reboot, 1u);
    EXPECT_EQ(read_text(dir_ + "/store/My Documents/Dravik.txt"), "results");
    EXPECT_FALSE(fs::exists(dir_ + "/store/Windows/StartUp"));  // the user's deletion stands

    sim::StateFolder reset;
    ASSERT_TRUE(reset.open(dir_, true, &error)) << error;
    EXPECT_FALSE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot", &reboot));
    EXPECT_EQ(read_text(dir_ + "/registry.reg"), std::string(sim::registry().text()));
    EXPECT_EQ(read_text(dir_ + "/registry.reg").find("DRAVIK"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ + "/store/My Documents/Dravik.txt"));
    EXPECT_TRUE(fs::is_directory(dir_ + "/store/Windows/StartUp"));
    EXPECT_EQ(read_text(dir_ + "/store/Windows/Reset Test.bin"), "factory bytes");
}

TEST_F(StateFolderTest, AMissingPartIsMadeAndTheRestKept) {
    sim::StateFolder folder;
    std::string error;
    ASSERT_TRUE(folder.open(dir_, false, &error)) << error;
    ASSERT_TRUE(sim::write_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Sound", 1));
    fs::remove_all(dir_ + "/store");

    sim::StateFolder again;
    ASSERT_TRUE(again.open(dir_, false, &error)) << error;
    EXPECT_TRUE(fs::is_directory(dir_ + "/store/My Documents"));
    DWORD sound = 0;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Sound", &sound));
}

TEST_F(StateFolderTest, AnUnusableFolderIsAnErrorAndStaysAsItWas) {
    const std::string reg = dir_ + "/registry.reg";
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::string error_start;  // the error names this file (and line)
    } cases[] = {
        {"folder is a file", [&] { write_text(dir_, "not a folder"); }, dir_ + ": "},
        {"registry does not parse",
         [&] {
             fs::create_directories(dir_);
             write_text(reg, "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=oops\r\n");
         },
         reg + ":4: "},
        {"registry is not a file",
         [&] { fs::create_directories(reg); },
         reg + ": "},
        {"store is a file",
         [&] {
             fs::create_directories(dir_);
             write_text(dir_ + "/store", "not a folder");
         },
         dir_ + "/store: "},
    };
    for (auto& c : cases) {
        for (bool factory_reset : {false, true}) {
            if (factory_reset && std::string(c.name) != "folder is a file") continue;  // a reset replaces the rest
            fs::remove_all(dir_);
            c.prepare();
            auto before = snapshot(dir_);
            bool was_file = fs::is_regular_file(dir_);
            sim::StateFolder folder;
            std::string error;
            EXPECT_FALSE(folder.open(dir_, factory_reset, &error)) << c.name;
            EXPECT_EQ(error.rfind(c.error_start, 0), 0u) << c.name << ": " << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
            EXPECT_EQ(snapshot(dir_), before) << c.name;
            EXPECT_EQ(fs::is_regular_file(dir_), was_file) << c.name;
            fs::remove_all(dir_);
        }
    }
}

// Only folders and regular files: anything else in the folder would let
// the device write outside it, block a read for ever or never end one.
TEST_F(StateFolderTest, ForeignEntriesAreRefusedAtPowerOnNamingThem) {
    const std::string outside = tmp_ + "/outside";
    const std::string store = dir_ + "/store", reg = dir_ + "/registry.reg";
    auto make_device = [&] {
        fs::remove_all(dir_);
        fs::remove_all(outside);
        fs::create_directories(outside + "/folder");
        write_text(outside + "/host.txt", "host file");
        sim::StateFolder made;
        std::string error;
        ASSERT_TRUE(made.open(dir_, false, &error)) << error;
        sim::registry() = sim::Registry();
    };
    const struct {
        const char* name;
        std::function<void()> plant;
        std::string named;  // the error starts with this file
        const char* part;
    } cases[] = {
        {"a file linking to a host file",
         [&] { fs::create_symlink(outside + "/host.txt", store + "/DravikFile.txt"); }, store + "/DravikFile.txt",
         "symbolic link"},
        {"a folder linking to a host folder",
         [&] {
             fs::remove_all(store + "/My Documents");
             fs::create_directory_symlink(outside + "/folder", store + "/My Documents");
         },
         store + "/My Documents", "symbolic link"},
        {"a dangling link deep down",
         [&] {
             fs::create_directories(store + "/a/b/c");
             fs::create_symlink("/nowhere", store + "/a/b/c/d");
         },
         store + "/a/b/c/d", "symbolic link"},
        {"the store itself a link", [&] {
             fs::remove_all(store);
             fs::create_directory_symlink(outside + "/folder", store);
         },
         store, "symbolic link"},
        {"a FIFO as the alarm sound", [&] { ASSERT_EQ(mkfifo((store + "/Windows/Alarm3.WAV").c_str(), 0644), 0); },
         store + "/Windows/Alarm3.WAV", "not a regular file"},
        {"a FIFO as a Startup shortcut",
         [&] { ASSERT_EQ(mkfifo((store + "/Windows/StartUp/Dravik.lnk").c_str(), 0644), 0); },
         store + "/Windows/StartUp/Dravik.lnk", "not a regular file"},
        {"a link to /dev/zero as the alarm sound",
         [&] { fs::create_symlink("/dev/zero", store + "/Windows/Alarm3.WAV"); }, store + "/Windows/Alarm3.WAV",
         "symbolic link"},
        {"a file with a second name outside",
         [&] { fs::create_hard_link(outside + "/host.txt", store + "/My Documents/Dravik.txt"); },
         store + "/My Documents/Dravik.txt", "hard links"},
        {"a FIFO as the registry",
         [&] {
             fs::remove(reg);
             ASSERT_EQ(mkfifo(reg.c_str(), 0644), 0);
         },
         reg, "not a regular file"},
        {"the registry linking to /dev/zero",
         [&] {
             fs::remove(reg);
             fs::create_symlink("/dev/zero", reg);
         },
         reg, "symbolic link"},
        {"the registry linking to a good registry elsewhere",
         [&] {
             write_text(outside + "/good.reg", sim::registry().text());
             fs::remove(reg);
             fs::create_symlink(outside + "/good.reg", reg);
         },
         reg, "symbolic link"},
        {"a registry of 20 MiB",
         [&] { ASSERT_EQ(truncate(reg.c_str(), 20 << 20), 0); }, reg, "larger than 16 MiB"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        make_device();
        c.plant();
        auto host_before = snapshot(outside);
        sim::StateFolder folder;
        std::string error;
        EXPECT_FALSE(folder.check(dir_, false, &error));
        EXPECT_EQ(error.rfind(c.named + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.part), std::string::npos) << error;
        EXPECT_FALSE(folder.open(dir_, false, &error));
        EXPECT_EQ(error.rfind(c.named + ": ", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(snapshot(outside), host_before);
        // A factory reset puts a store with foreign entries back in order.
        ASSERT_TRUE(folder.open(dir_, true, &error)) << error;
        EXPECT_TRUE(fs::is_directory(store + "/Windows/StartUp"));
        EXPECT_FALSE(fs::is_symlink(store));
        EXPECT_EQ(snapshot(outside), host_before);
        sim::registry() = sim::Registry();
        sim::file_store().set_root("");
    }
}

TEST_F(StateFolderTest, WhatAnInterruptedSaveLeftIsRemovedAtPowerOn) {
    {
        sim::StateFolder made;
        std::string error;
        ASSERT_TRUE(made.open(dir_, false, &error)) << error;
        ASSERT_TRUE(sim::write_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot", 1));
    }
    const struct {
        const char* name;
        bool leftover;
    } files[] = {
        {"registry.reg.Ab12Cd", true},  {"registry.reg.000000", true}, {"registry.reg.zzzzzz", true},
        {"registry.reg.bak", false},    {"registry.reg.1234567", false}, {"registry.reg.ab-12c", false},
        {"notes.txt", false},           {"registry.regXAb12Cd", false},
    };
    for (auto& f : files) write_text(dir_ + "/" + f.name, "[HKEY_LOCAL_MACHINE\\half");
    sim::registry() = sim::Registry();
    sim::StateFolder folder;
    std::string error;
    ASSERT_TRUE(folder.open(dir_, false, &error)) << error;
    for (auto& f : files) EXPECT_EQ(fs::exists(dir_ + "/" + f.name), !f.leftover) << f.name;
    DWORD reboot = 0;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot", &reboot));
    EXPECT_EQ(reboot, 1u);
    // A check alone removes nothing.
    write_text(dir_ + "/registry.reg.Qq11Qq", "half");
    sim::StateFolder checked;
    ASSERT_TRUE(checked.check(dir_, false, &error)) << error;
    EXPECT_TRUE(fs::exists(dir_ + "/registry.reg.Qq11Qq"));
}

TEST_F(StateFolderTest, DefaultFolderFollowsTheDataHome) {
    const char* old_data = std::getenv("XDG_DATA_HOME");
    const char* old_home = std::getenv("HOME");
    std::string saved_data = old_data ? old_data : "", saved_home = old_home ? old_home : "";

    setenv("XDG_DATA_HOME", "/data/home", 1);
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(sim::StateFolder::default_dir(), "/data/home/dravik-sim");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(sim::StateFolder::default_dir(), "/home/tech/.local/share/dravik-sim");
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(sim::StateFolder::default_dir(), "/home/tech/.local/share/dravik-sim");

    if (old_data) setenv("XDG_DATA_HOME", saved_data.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    if (old_home) setenv("HOME", saved_home.c_str(), 1);
    else unsetenv("HOME");
}

}  // namespace
