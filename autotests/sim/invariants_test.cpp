// The device's state checks: VERIFY stops with the condition, file and line,
// and each check of what the window system, the owner map, the registry,
// the hot-key table and the file store must hold tells a broken state from
// a sound one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "base/text.h"
#include "base/verify.h"
#include "files/filestore.h"
#include "files/state_folder.h"
#include "registry/registry.h"
#include "scratch.h"
#include "user/hotkeys.h"
#include "user/owner_map.h"
#include "user/window.h"

namespace {

TEST(Verify, ABrokenConditionStopsWithItsFileAndLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int windows = 2;
    EXPECT_DEATH(VERIFY(windows == 3), "VERIFICATION FAILED: windows == 3 at .*invariants_test.cpp:[0-9]+");
    VERIFY(windows == 2);  // a condition that holds goes on
}

// Top-level windows for the list and activation cases: a topmost one, a
// plain owner and the window it owns, a destroyed one and a child.
struct Windows {
    sim::Window top, owner, owned, gone, child;
    Windows() {
        for (sim::Window* w : {&top, &owner, &owned, &gone, &child}) w->style = WS_VISIBLE;
        top.topmost = true;
        owned.owner = &owner;
        gone.destroyed = true;
        child.parent = &owner;
    }
};

TEST(WindowInvariants, TheTopLevelListKeepsItsBandsAndOwners) {
    Windows w;
    sim::Window topmost_owned;  // owned by the plain owner, yet topmost
    topmost_owned.owner = &w.owner;
    topmost_owned.topmost = true;
    struct Case {
        const char* what;
        std::vector<sim::Window*> list;
        bool ok;
    } cases[] = {
        {"empty", {}, true},
        {"topmost band, then owned before owner", {&w.top, &w.owned, &w.owner}, true},
        {"a topmost owned window stays in its band", {&topmost_owned, &w.owner}, true},
        {"topmost behind a plain window", {&w.owner, &w.top}, false},
        {"owner in front of the window it owns", {&w.top, &w.owner, &w.owned}, false},
        {"a destroyed window", {&w.top, &w.gone}, false},
        {"a child window", {&w.child}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(sim::window_list_ok(c.list), c.ok) << c.what;
}

TEST(WindowInvariants, TheActiveWindowAndTheFocusAgree) {
    Windows w;
    sim::Window hidden;
    sim::Window grandchild;
    grandchild.parent = &w.child;
    struct Case {
        const char* what;
        const sim::Window* active;
        const sim::Window* focus;
        std::vector<sim::Window*> leaving;  // while the activation passes on
        bool ok;
    } cases[] = {
        {"none active, no focus", nullptr, nullptr, {}, true},
        {"focus on the active window", &w.owner, &w.owner, {}, true},
        {"focus deep inside the active window", &w.owner, &grandchild, {}, true},
        {"active with no focus", &w.owner, nullptr, {}, true},
        {"a hidden window active", &hidden, &hidden, {}, true},
        {"a destroyed focus", &w.owner, &w.gone, {}, false},
        {"a destroyed window active", &w.gone, nullptr, {}, false},
        {"a child window active", &w.child, &w.child, {}, false},
        {"a destroyed focus inside the active window", &w.gone, &w.gone, {}, false},
        {"focus in another top-level window", &w.owner, &w.top, {}, false},
        {"focus in a window the active one owns", &w.owner, &w.owned, {}, false},
        {"focus with no window active", nullptr, &w.owner, {}, false},
        {"focus still in the window losing the activation", &w.owned, &grandchild, {&w.owner}, true},
        {"... or in one losing it further out", &w.owned, &w.top, {&w.top, nullptr}, true},
        {"focus in a third window while it passes", &w.owned, &w.top, {&w.owner}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(sim::activation_ok(c.active, c.focus, c.leaving), c.ok) << c.what;
}

TEST(RegistryInvariants, EachSubKeyIsFiledUnderItsNameInLowerCase) {
    auto key_with = [](const std::u16string& filed_as, const std::u16string& name) {
        auto root = std::make_unique<sim::RegKey>();
        root->name = u"HKEY_LOCAL_MACHINE";
        auto sub = std::make_unique<sim::RegKey>();
        sub->name = name;
        root->subkeys[filed_as] = std::move(sub);
        return root;
    };
    struct Case {
        const char* what;
        std::u16string filed_as, name;
        bool ok;
    } cases[] = {
        {"mixed case, filed in lower case", u"software", u"SoftWare", true},
        {"filed under another name", u"software", u"System", false},
        {"filed in its own case", u"SoftWare", u"SoftWare", false},
        {"no name", u"", u"", false},
    };
    for (const Case& c : cases) {
        auto root = key_with(c.filed_as, c.name);
        EXPECT_EQ(sim::registry_key_ok(*root), c.ok) << c.what;
        EXPECT_EQ(sim::registry_tree_ok(*root), c.ok) << c.what;
    }

    auto missing = key_with(u"software", u"Software");
    missing->subkeys[u"system"] = nullptr;
    EXPECT_FALSE(sim::registry_key_ok(*missing)) << "a sub-key that is not there";

    // Deeper down: only the whole-tree check looks there.
    auto deep = key_with(u"software", u"Software");
    deep->subkeys[u"software"]->subkeys[u"dravik"] = std::make_unique<sim::RegKey>();
    deep->subkeys[u"software"]->subkeys[u"dravik"]->name = u"Other";
    EXPECT_TRUE(sim::registry_key_ok(*deep));
    EXPECT_FALSE(sim::registry_tree_ok(*deep));
}

TEST(HotKeyInvariants, NoKeyOrWindowsIdIsHeldTwice) {
    sim::Window a, b;
    const UINT kButton1 = 0xC1, kButton2 = 0xC2;
    struct Case {
        const char* what;
        std::vector<sim::HotKey> keys;
        std::set<UINT> shell;
        bool ok;
    } cases[] = {
        {"one window, two ids, two keys", {{&a, 1, 0, kButton1}, {&a, 2, 0, kButton2}}, {}, true},
        {"two windows with the same id", {{&a, 1, 0, kButton1}, {&b, 1, 0, kButton2}}, {}, true},
        {"one key twice", {{&a, 1, 0, kButton1}, {&b, 2, MOD_WIN, kButton1}}, {}, false},
        {"one window's id twice", {{&a, 1, 0, kButton1}, {&a, 1, 0, kButton2}}, {}, false},
        {"a key the shell holds", {{&a, 1, 0, kButton1}}, {kButton1}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(sim::hotkey_table_ok(c.keys, c.shell), c.ok) << c.what;
}

// Two windows' layers, back to front: 1 below, 2 over its lower right
// corner; what the map shows after an update to them, then one pixel of it
// changed.
TEST(OwnerMapInvariants, EveryPixelShowsTheFrontmostLayerThere) {
    static sim::OwnerPixels pixels;
    const std::vector<sim::OwnerLayer> layers = {{1, {0, 0, 100, 100}}, {2, {50, 50, 150, 150}}};
    sim::OwnerMap map;
    map.clear(pixels);
    map.update(layers, pixels, nullptr);
    const std::vector<sim::Rect> both = {layers[0].area, layers[1].area};
    ASSERT_TRUE(sim::owner_map_ok(layers, pixels));
    ASSERT_TRUE(sim::owner_map_ok_at(layers, pixels, both));

    struct Case {
        const char* what;
        int x, y;
        uint32_t owner;
        std::vector<sim::Rect> changed;  // where the samples look
        bool seen_by_samples;
    } cases[] = {
        {"the front layer's corner given to the one behind", 149, 149, 1, both, true},
        {"the back layer's corner given to none", 0, 0, 0, both, true},
        {"a pixel of no window given to one", 200, 200, 2, {{200, 200, 210, 210}}, true},
        {"a corner of the changed area given to the one behind", 60, 60, 1, {{60, 60, 70, 70}}, true},
        {"a pixel inside both layers given to the one behind", 75, 75, 1, both, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t was = pixels[c.y][c.x];
        pixels[c.y][c.x] = c.owner;
        EXPECT_FALSE(sim::owner_map_ok(layers, pixels));
        EXPECT_EQ(sim::owner_map_ok_at(layers, pixels, c.changed), !c.seen_by_samples);
        pixels[c.y][c.x] = was;
    }

    // A layer is never empty nor off the screen.
    for (const sim::Rect& bad : {sim::Rect{0, 0, 0, 10}, sim::Rect{200, 300, 260, 340}}) {
        std::vector<sim::OwnerLayer> odd = layers;
        odd.push_back({3, bad});
        EXPECT_FALSE(sim::owner_map_ok_at(odd, pixels, {})) << bad.left << "," << bad.top;
    }
}

TEST(FileStoreInvariants, KeptPathsAreNormalAndMappedInsideTheStore) {
    struct PathCase {
        std::u16string path;
        bool ok;
    } paths[] = {
        {u"\\My Documents\\Dravik.txt", true},
        {u"\\Dravik.txt", true},
        {u"My Documents\\Dravik.txt", false},  // from the root, but not written so
        {u"\\", false},                         // the root is no file
        {u"\\My Documents\\", false},
        {u"\\My Documents\\..\\Dravik.txt", false},
        {u"\\a\\\\b", false},
        {u"", false},
    };
    for (const PathCase& c : paths) EXPECT_EQ(sim::store_path_ok(c.path), c.ok) << sim::to_utf8(c.path);

    const std::string root = "/state/store";
    struct HostCase {
        std::string host;
        bool ok;
    } hosts[] = {
        {"/state/store", true},
        {"/state/store/Windows/Alarm3.WAV", true},
        {"/state/storeroom/x", false},
        {"/state/store/../registry.reg", false},
        {"/state/store/Windows/./x", false},
        {"/state/store//x", false},
        {"/state/store/x/", false},
        {"/state/x", false},
    };
    for (const HostCase& c : hosts) EXPECT_EQ(sim::host_path_inside(root, c.host), c.ok) << c.host;
    EXPECT_FALSE(sim::host_path_inside("", "/x")) << "no store open";
}

TEST(FileStoreInvariants, AnOpenFileIsTheNamedRegularFileItWasOpenedAs) {
    simtest::ScratchDir dir("store-checks");
    ASSERT_FALSE(dir.path().empty());
    const std::string a = dir.path() + "/a.txt", b = dir.path() + "/b.txt";
    simtest::write_text(a, "aaa");
    simtest::write_text(b, "bbb");
    struct stat sa, sb, sd;
    ASSERT_EQ(stat(a.c_str(), &sa), 0);
    ASSERT_EQ(stat(b.c_str(), &sb), 0);
    ASSERT_EQ(stat(dir.path().c_str(), &sd), 0);
    int fd = ::open(a.c_str(), O_RDONLY | O_CLOEXEC);
    int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_GE(folder, 0);

    EXPECT_TRUE(sim::open_file_ok(fd, sa.st_dev, sa.st_ino));
    EXPECT_FALSE(sim::open_file_ok(fd, sb.st_dev, sb.st_ino)) << "another file";
    EXPECT_FALSE(sim::open_file_ok(folder, sd.st_dev, sd.st_ino)) << "a folder";
    EXPECT_FALSE(sim::open_file_ok(-1, sa.st_dev, sa.st_ino)) << "no descriptor";
    ASSERT_EQ(::unlink(a.c_str()), 0);
    EXPECT_FALSE(sim::open_file_ok(fd, sa.st_dev, sa.st_ino)) << "a file that has lost its name";
    ::close(fd);
    ::close(folder);
}

TEST(FileStoreInvariants, AFactoryFileNamedOtherwiseThanFromTheRootStops) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(sim::add_factory_file(u"Windows\\Dravik.ini", "x"), "VERIFICATION FAILED: store_path_ok");
}

}  // namespace
