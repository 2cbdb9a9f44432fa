// The device's state checks: VERIFY stops with the condition, file and line,
// and each check of what the window system, the registry and the hot-key
// table must hold tells a broken state from a sound one.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "base/verify.h"
#include "registry/registry.h"
#include "user/hotkeys.h"
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
        bool ok;
    } cases[] = {
        {"none active, no focus", nullptr, nullptr, true},
        {"focus on the active window", &w.owner, &w.owner, true},
        {"focus deep inside the active window", &w.owner, &grandchild, true},
        {"active with no focus", &w.owner, nullptr, true},
        {"a hidden window active", &hidden, &hidden, true},
        {"a destroyed focus", &w.owner, &w.gone, false},
        {"a destroyed window active", &w.gone, nullptr, false},
        {"a child window active", &w.child, &w.child, false},
        {"a destroyed focus inside the active window", &w.gone, &w.gone, false},
    };
    for (const Case& c : cases) EXPECT_EQ(sim::activation_ok(c.active, c.focus), c.ok) << c.what;
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

}  // namespace
