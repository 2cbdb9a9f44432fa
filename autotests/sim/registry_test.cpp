// The registry: its saved text, loading and parse errors, saving after each
// change, and the Reg* functions with their profile faults and journal.
#include <gtest/gtest.h>

#include "device_test.h"
#include "scratch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <windows.h>

#include "base/journal.h"
#include "base/profile.h"
#include "files/state_folder.h"
#include "base/text.h"
#include "registry/registry.h"

namespace {

namespace fs = std::filesystem;
using simtest::read_text;
using simtest::write_text;
using nlohmann::json;

std::vector<uint8_t> dword_bytes(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::vector<uint8_t> utf16_bytes(const std::u16string& s, bool terminator = true) {
    std::vector<uint8_t> out;
    for (char16_t c : s) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
    }
    if (terminator) out.insert(out.end(), {0, 0});
    return out;
}

// A device with its own state folder in a fresh temporary directory, an
// empty profile and a journal file.
class RegistryDevice : public simtest::DeviceTest {
protected:
    RegistryDevice() : DeviceTest("registry", State::Folder) {}
    void TearDown() override {
        sim::clear_registry_handles();
        DeviceTest::TearDown();
    }

    HKEY create(HKEY root, const char16_t* sub) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, sub, 0, nullptr, 0, 0, nullptr, &k, nullptr), ERROR_SUCCESS);
        return k;
    }

    LONG set_dword(HKEY k, const char16_t* name, DWORD v) {
        return RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
    }

    std::string state_ = tmp_ + "/state";
};

// ---------------------------------------------------------------- saved text

TEST(RegistryText, WritesTheRegistryEditorFormat) {
    sim::Registry r;
    const std::u16string dravik = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik";
    ASSERT_EQ(r.create_key(dravik, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(r.create_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\alpha\\Empty", nullptr), ERROR_SUCCESS);
    ASSERT_EQ(r.create_key(u"HKEY_CURRENT_USER\\Software", nullptr), ERROR_SUCCESS);
    r.set_value(dravik, u"Reboot", REG_DWORD, dword_bytes(1));
    r.set_value(dravik, u"Path", REG_SZ, utf16_bytes(u"C:\\dir \"x\""));
    r.set_value(dravik, u"", REG_SZ, utf16_bytes(u"default"));
    r.set_value(dravik, u"Blob", REG_BINARY, {0x01, 0xab});
    r.set_value(dravik, u"List", REG_MULTI_SZ, utf16_bytes(std::u16string(u"a\0b\0", 4)));
    r.set_value(dravik, u"Big", REG_DWORD, dword_bytes(0xDEADBEEF));
    // A string stored without its terminator cannot be written as text.
    r.set_value(u"HKEY_CURRENT_USER\\Software", u"Raw", REG_SZ, utf16_bytes(u"ab", false));

    EXPECT_EQ(r.text(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\"Raw\"=hex(1):61,00,62,00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\alpha]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\alpha\\Empty]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik]\n"
              "\"Reboot\"=dword:00000001\n"
              "\"Path\"=\"C:\\\\dir \\\"x\\\"\"\n"
              "@=\"default\"\n"
              "\"Blob\"=hex:01,ab\n"
              "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
              "\"Big\"=dword:deadbeef\n"
              "\n");

    // Reading the text back gives the same registry.
    sim::Registry again;
    std::string error;
    ASSERT_TRUE(again.parse(r.text(), "saved.reg", &error)) << error;
    EXPECT_EQ(again.text(), r.text());
    EXPECT_EQ(again.find_value(u"HKEY_CURRENT_USER\\Software", u"raw")->data, utf16_bytes(u"ab", false));
    EXPECT_EQ(again.find_value(dravik, u"")->data, utf16_bytes(u"default"));
}

TEST(RegistryText, LongHexListsContinueOnTheNextLine) {
    sim::Registry r;
    std::vector<uint8_t> blob;
    for (int i = 0; i < 100; ++i) blob.push_back(uint8_t(i * 7));
    r.create_key(u"HKEY_LOCAL_MACHINE\\Big", nullptr);
    r.set_value(u"HKEY_LOCAL_MACHINE\\Big", u"Blob", REG_BINARY, blob);
    std::string text = r.text();
    std::istringstream lines(text);
    std::string line;
    int continued = 0;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("  ", 0) == 0) ++continued;
    }
    EXPECT_GT(continued, 0);
    sim::Registry again;
    std::string error;
    ASSERT_TRUE(again.parse(text, "big.reg", &error)) << error;
    EXPECT_EQ(again.find_value(u"HKEY_LOCAL_MACHINE\\Big", u"Blob")->data, blob);
}

TEST(RegistryText, ReadsCrLfCommentsBlankLinesAndDeletions) {
    const std::string text =
        "\xEF\xBB\xBF"
        "; exported by hand\r\n"
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment line\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik]\r\n"
        "\"Sound\"=dword:0000000A\r\n"
        "\"Gone\"=dword:1\r\n"
        "\"Gone\"=-\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n";
    sim::Registry r;
    std::string error;
    ASSERT_TRUE(r.parse(text, "hand.reg", &error)) << error;
    const std::u16string key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik";
    ASSERT_NE(r.find_value(key, u"Sound"), nullptr);
    EXPECT_EQ(r.find_value(key, u"Sound")->data, dword_bytes(10));
    EXPECT_EQ(r.find_value(key, u"Gone"), nullptr);
    EXPECT_EQ(r.find_value(key, u"Blob")->data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(r.find_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Old"), nullptr);
}

TEST(RegistryText, ParseErrorsNameTheFileAndLine) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    const struct {
        std::string text;
        int line;
    } cases[] = {
        {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n", 1},
        {head + "[HKEY_NOWHERE\\A]\n", 3},
        {head + "[HKEY_LOCAL_MACHINE\\A\n", 3},
        {head + "[HKEY_LOCAL_MACHINE\\\\A]\n", 3},
        {head + "\"x\"=dword:1\n", 3},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:123456789\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:zz\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:01,zz\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex(q):01\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"open\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"a\\qb\"\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"a\" tail\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=str:abc\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"x\" dword:1\n", 4},
        {head + "[HKEY_LOCAL_MACHINE\\A]\nstray text\n", 4},
        // Line ends, comments and continuation lines all count.
        {"Windows Registry Editor Version 5.00\r\n\r\n; note\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:g\r\n", 5},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"b\"=hex:01,\\\n  02\n\"c\"=bad\n", 6},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\"b\"=hex:01,\\", 4},  // continued past the end
    };
    for (auto& c : cases) {
        sim::Registry r;
        r.create_key(u"HKEY_LOCAL_MACHINE\\Kept", nullptr);
        std::string error;
        EXPECT_FALSE(r.parse(c.text, "fix.reg", &error)) << c.text;
        EXPECT_EQ(error.rfind("fix.reg:" + std::to_string(c.line) + ": ", 0), 0u) << c.text << " -> " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        // A failed parse leaves the registry as it was.
        EXPECT_NE(r.find_key(u"HKEY_LOCAL_MACHINE\\Kept"), nullptr);
    }
}

TEST(RegistryText, ErrorsAreOneShortLine) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n";
    const std::string cases[] = {
        head + "\"x\"=" + std::string(200000, 'q') + "\n",
        head + "[HKEY_NOWHERE\\" + std::string(200000, 'k') + "]\n",
        head + "\"x\"=str:a\rb\x1b[2Jc\n",
    };
    for (auto& text : cases) {
        sim::Registry r;
        std::string error;
        EXPECT_FALSE(r.parse(text, "long.reg", &error));
        EXPECT_EQ(error.rfind("long.reg:4: ", 0), 0u) << error.substr(0, 100);
        EXPECT_LT(error.size(), 400u);
        for (char c : error) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << error;
    }
}

TEST(RegistryText, ErrorsOnAContinuationLineNameThatLine) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n";
    const struct {
        std::string text;
        int line;
        const char* part;
    } cases[] = {
        {head + "\"b\"=hex:01,02,\\\n  03,zz\n", 5, "\"zz\""},
        {head + "\"b\"=hex:01,\\\n  02,\\\n  03,\\\n  g4\n", 7, "\"g4\""},
        {head + "\"b\"=hex:0x,\\\n  02\n", 4, "\"0x\""},
        {head + "\"b\"=hex(7):61,00,\\\r\n  00,100\r\n", 5, "\"100\""},
        {head + "\"b\"=hex:01,\\\n  02,\\", 5, "continues past the end"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        sim::Registry r;
        std::string error;
        EXPECT_FALSE(r.parse(c.text, "fix.reg", &error));
        EXPECT_EQ(error.rfind("fix.reg:" + std::to_string(c.line) + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.part), std::string::npos) << error;
    }
}

// What the registry editor writes: UTF-16 (little-endian) with a byte-order
// mark and CR LF line ends.
std::string utf16_file(const std::u16string& text, bool big_endian = false) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        char lo = char(c & 0xFF), hi = char(c >> 8);
        out += big_endian ? hi : lo;
        out += big_endian ? lo : hi;
    }
    return out;
}

TEST(RegistryText, Utf16FilesWithAByteOrderMarkAreRead) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9]\r\n"
        u"\"Name\"=\"\u00c9t\u00e9 \U0001F600\"\r\n"
        u"\"Sound\"=dword:0000000a\r\n";
    for (bool big_endian : {false, true}) {
        SCOPED_TRACE(big_endian ? "big-endian" : "little-endian");
        sim::Registry r;
        std::string error;
        ASSERT_TRUE(r.parse(utf16_file(text, big_endian), "editor.reg", &error)) << error;
        const std::u16string key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\caf\u00c9";
        ASSERT_NE(r.find_value(key, u"Sound"), nullptr);
        EXPECT_EQ(r.find_value(key, u"Sound")->data, dword_bytes(10));
        EXPECT_EQ(r.find_value(key, u"Name")->data, utf16_bytes(u"\u00c9t\u00e9 \U0001F600"));
    }
    // Text that is not UTF-16 is refused, naming the line.
    const struct {
        std::string bytes;
        int line;
    } bad[] = {
        {utf16_file(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n") + "x", 4},
        {utf16_file(u"Windows Registry Editor Version 5.00\r\n\r\n\"x\"=\"\xD800\"\r\n"), 3},
        {utf16_file(u"Windows Registry Editor Version 5.00\r\n\xDC00"), 2},
        {utf16_file(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_NOWHERE\\A]\r\n"), 3},
    };
    for (auto& c : bad) {
        sim::Registry r;
        std::string error;
        EXPECT_FALSE(r.parse(c.bytes, "editor.reg", &error));
        EXPECT_EQ(error.rfind("editor.reg:" + std::to_string(c.line) + ": ", 0), 0u) << error;
    }
}

TEST(RegistryText, NamesAndDepthAreHeldToTheRegistryLimits) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n";
    auto nested = [](int levels) {
        std::string path = "HKEY_LOCAL_MACHINE";
        for (int i = 0; i < levels; ++i) path += "\\k" + std::to_string(i);
        return path;
    };
    const std::string name255(255, 'n'), name256(256, 'n');
    const struct {
        std::string text;
        int line;  // 0: accepted
        const char* part;
    } cases[] = {
        {head + "[" + nested(16) + "]\n\"v\"=dword:1\n", 0, ""},
        {head + "[" + nested(17) + "]\n", 3, "more than the 16 levels"},
        {head + "[HKEY_LOCAL_MACHINE\\A]\n\n[" + nested(12000) + "]\n", 5, "more than the 16 levels"},
        {head + "[-" + nested(17) + "]\n", 3, "more than the 16 levels"},
        {head + "[HKEY_CURRENT_USER\\" + name255 + "]\n", 0, ""},
        {head + "[HKEY_CURRENT_USER\\" + name256 + "]\n", 3, "longer than the 255"},
        {head + "[HKEY_CURRENT_USER\\a\tb]\n", 3, "control character"},
        {head + "[HKEY_CURRENT_USER\\a" + std::string(1, '\0') + "b]\n", 3, "control character"},
        {head + "[HKEY_CURRENT_USER\\A]\n\"" + name255 + "\"=dword:1\n", 0, ""},
        {head + "[HKEY_CURRENT_USER\\A]\n\"" + name256 + "\"=dword:1\n", 4, "longer than the 255"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 120));
        sim::Registry r;
        std::string error;
        bool ok = r.parse(c.text, "deep.reg", &error);
        if (!c.line) {
            EXPECT_TRUE(ok) << error;
            // What was read is written back whole and reads the same.
            sim::Registry again;
            EXPECT_TRUE(again.parse(r.text(), "again.reg", &error)) << error;
            EXPECT_EQ(again.text(), r.text());
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(error.rfind("deep.reg:" + std::to_string(c.line) + ": ", 0), 0u) << error.substr(0, 200);
        EXPECT_NE(error.find(c.part), std::string::npos) << error.substr(0, 200);
    }
}

TEST(RegistryText, ManyValuesKeepTheirOrderThroughChangesAndDeletions) {
    // Values set, replaced and deleted in one key, each by its name without
    // regard to case; the survivors keep the order they were first set in.
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Many]\n";
    const int n = 20000;
    for (int i = 0; i < n; ++i) text += "\"v" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\n";
    for (int i = 0; i < n; i += 2) text += "\"V" + std::to_string(i) + "\"=-\n";
    for (int i = 1; i < n; i += 4) text += "\"v" + std::to_string(i) + "\"=dword:ff\n";
    text += "\"v0\"=dword:7\n";
    sim::Registry r;
    std::string error;
    ASSERT_TRUE(r.parse(text, "many.reg", &error)) << error;
    const sim::RegKey* key = r.find_key(u"HKEY_LOCAL_MACHINE\\Many");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), size_t(n / 2 + 1));
    int expected = 1;
    for (auto it = key->values.begin(); std::next(it) != key->values.end(); ++it, expected += 2) {
        ASSERT_EQ(it->name, sim::to_u16("v" + std::to_string(expected)));
        uint32_t want = expected % 4 == 1 ? 0xff : uint32_t(expected % 10);
        ASSERT_EQ(it->data, dword_bytes(want)) << expected;
    }
    EXPECT_EQ(key->values.back().name, u"v0");
    EXPECT_EQ(r.find_value(u"HKEY_LOCAL_MACHINE\\Many", u"V0")->data, dword_bytes(7));
    EXPECT_EQ(r.find_value(u"HKEY_LOCAL_MACHINE\\Many", u"v2"), nullptr);
}

// A key's values found by name, whatever the case, after a long random run
// of sets, deletions and restorations (the undo of a failed save), against
// a plain list of them: many names, so that their slots crowd together and
// a deletion moves others.
TEST(RegistryKey, FindsEveryValueThroughRandomSetsDeletionsAndRestorations) {
    sim::RegKey key;
    std::vector<std::pair<std::u16string, uint8_t>> model;  // in order
    auto in_model = [&](const std::u16string& name) {
        return std::find_if(model.begin(), model.end(),
                            [&](const auto& v) { return sim::lower(v.first) == sim::lower(name); });
    };
    std::mt19937 random(11);
    for (int step = 0; step < 20000; ++step) {
        std::u16string name = sim::to_u16("n" + std::to_string(random() % 400));
        if (random() % 2) name = sim::lower(name) == name ? u"N" + name.substr(1) : name;
        uint8_t data = uint8_t(random());
        auto at = in_model(name);
        switch (random() % 3) {
            case 0:
                key.put(name, REG_BINARY, {data});
                if (at == model.end()) model.push_back({name, data});
                else at->second = data;
                break;
            case 1: {
                std::list<sim::RegValue>::iterator next;
                sim::RegValue removed;
                ASSERT_EQ(key.erase(name, &next, &removed), at != model.end());
                if (at == model.end()) break;
                if (random() % 4 == 0) {
                    key.restore(next, std::move(removed));  // a failed save puts it back
                } else {
                    model.erase(at);
                }
                break;
            }
            default: {
                const sim::RegValue* v = key.value(name);
                ASSERT_EQ(v != nullptr, at != model.end()) << step;
                if (v) {
                    EXPECT_EQ(v->name, at->first);
                    EXPECT_EQ(v->data, std::vector<uint8_t>{at->second});
                }
            }
        }
    }
    ASSERT_EQ(key.values.size(), model.size());
    auto it = key.values.begin();
    for (auto& [name, data] : model) {
        EXPECT_EQ(it->name, name);
        EXPECT_EQ(key.value(sim::lower(name)), &*it);
        ++it;
    }
}

TEST(RegistryText, NamesAreCaseInsensitiveAndKeepTheirFirstCase) {
    sim::Registry r;
    bool created = false;
    ASSERT_EQ(r.create_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik", &created), ERROR_SUCCESS);
    EXPECT_TRUE(created);
    ASSERT_EQ(r.create_key(u"hkey_local_machine\\software\\DRAVIK", &created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    r.set_value(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", u"Sound", REG_DWORD, dword_bytes(1));
    r.set_value(u"HKEY_LOCAL_MACHINE\\software\\dravik", u"SOUND", REG_DWORD, dword_bytes(2));
    EXPECT_EQ(r.stored_path(u"hkey_local_machine\\software\\dravik"), u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik");
    const sim::RegKey* key = r.find_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik");
    ASSERT_EQ(key->values.size(), 1u);
    EXPECT_EQ(key->values.front().name, u"Sound");
    EXPECT_EQ(key->values.front().data, dword_bytes(2));
}

// ---------------------------------------------------------------- saving

TEST_F(RegistryDevice, EveryChangeIsSavedAndSurvivesAReload) {
    HKEY k = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\DRAVIK");
    ASSERT_EQ(set_dword(k, u"Reboot", 1), ERROR_SUCCESS);
    const char16_t text[] = u"caf\u00e9";
    ASSERT_EQ(RegSetValueExW(k, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
    RegCloseKey(k);
    HKEY e = create(HKEY_CURRENT_USER, u"Software\\EmptyKey");
    RegCloseKey(e);

    // The file, as it is after the changes, reads as the registry is.
    EXPECT_EQ(sim::registry_file_path(), state_ + "/registry.reg");
    const std::string expected = sim::registry().text();
    sim::Registry read;
    std::string error;
    ASSERT_TRUE(read.parse(read_text(sim::registry_file_path()), "registry.reg", &error)) << error;
    EXPECT_EQ(read.text(), expected);

    // A fresh registry loaded from the folder has the same keys and values;
    // switching off writes the file whole.
    sim::registry() = sim::Registry();
    sim::StateFolder again;
    ASSERT_TRUE(again.open(state_, false, &error)) << error;
    DWORD reboot = 0;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Reboot", &reboot));
    EXPECT_EQ(reboot, 1u);
    std::string name;
    EXPECT_TRUE(sim::read_registry_string("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Name", &name));
    EXPECT_EQ(name, "caf\xc3\xa9");
    EXPECT_NE(sim::registry().find_key(u"HKEY_CURRENT_USER\\Software\\EmptyKey"), nullptr);
    EXPECT_EQ(sim::registry().text(), expected);
    ASSERT_TRUE(sim::registry().compact(&error)) << error;
    std::string saved = read_text(sim::registry_file_path());
    EXPECT_EQ(saved, expected);
    const std::string section =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK]\n\"Reboot\"=dword:00000001\n\"Name\"=\"caf\xc3\xa9\"\n";
    EXPECT_NE(saved.find(section), std::string::npos) << saved;
    EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\EmptyKey]\n\n"), std::string::npos) << saved;
}

TEST_F(RegistryDevice, ChangesAreAppendedAndSwitchingOffReplacesTheFileWholeLeavingNoTemporaryFile) {
    auto names = [&] {
        std::vector<std::string> out;
        for (auto& e : fs::directory_iterator(state_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    // A change leaves what the file held as it was and adds to its end.
    const std::string old_text = read_text(sim::registry_file_path());
    HKEY k = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\DRAVIK");
    ASSERT_EQ(set_dword(k, u"Sound", 1), ERROR_SUCCESS);
    RegCloseKey(k);
    const std::string appended = read_text(sim::registry_file_path());
    EXPECT_EQ(appended.compare(0, old_text.size(), old_text), 0);
    EXPECT_GT(appended.size(), old_text.size());
    EXPECT_EQ(names(), (std::vector<std::string>{"registry.reg", "store"}));

    // Switching off writes it whole: a reader that has the appended file
    // open keeps seeing all of it, as the new text goes to a new file that
    // is renamed into place.
    std::ifstream old_file(sim::registry_file_path(), std::ios::binary);
    std::string error;
    ASSERT_TRUE(sim::registry().compact(&error)) << error;
    std::stringstream seen;
    seen << old_file.rdbuf();
    EXPECT_EQ(seen.str(), appended);
    EXPECT_EQ(read_text(sim::registry_file_path()), sim::registry().text());
    EXPECT_NE(read_text(sim::registry_file_path()), appended);
    EXPECT_EQ(names(), (std::vector<std::string>{"registry.reg", "store"}));
}

TEST_F(RegistryDevice, AFailedSaveReportsAnErrorAndChangesNothing) {
    HKEY k = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\DRAVIK");
    ASSERT_EQ(set_dword(k, u"Sound", 1), ERROR_SUCCESS);
    sim::registry().attach(tmp_ + "/no such folder/registry.reg");
    EXPECT_EQ(set_dword(k, u"Sound", 2), ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(set_dword(k, u"New", 2), ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(RegDeleteValueW(k, u"Sound"), ERROR_REGISTRY_IO_FAILED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExW(k, u"Sub\\Deeper", 0, nullptr, 0, 0, nullptr, &sub, nullptr), ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(sub, nullptr);
    DWORD v = 0;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Sound", &v));
    EXPECT_EQ(v, 1u);
    EXPECT_FALSE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "New", &v));
    EXPECT_EQ(sim::registry().find_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK\\Sub"), nullptr);
    RegCloseKey(k);
}

// ---------------------------------------------------------------- Reg* functions

TEST_F(RegistryDevice, KeysAndValuesBeyondTheLimitsAreRefusedAndNeverSaved) {
    std::u16string deep;
    for (int i = 0; i < 17; ++i) deep += std::u16string(deep.empty() ? u"" : u"\\") + u"L";
    const std::u16string long_name(256, u'n');
    const struct {
        const char* what;
        std::u16string sub;  // under HKEY_CURRENT_USER
        LONG expected;
    } keys[] = {
        {"17 levels", deep, ERROR_INVALID_PARAMETER},
        {"16 levels", deep.substr(2), ERROR_SUCCESS},
        {"a 256-character name", u"Software\\" + long_name, ERROR_INVALID_PARAMETER},
        {"a 255-character name", u"Software\\" + long_name.substr(1), ERROR_SUCCESS},
    };
    for (auto& c : keys) {
        SCOPED_TRACE(c.what);
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, c.sub.c_str(), 0, nullptr, 0, 0, nullptr, &k, nullptr),
                  c.expected);
        EXPECT_EQ(sim::registry().find_key(u"HKEY_CURRENT_USER\\" + c.sub) != nullptr, c.expected == ERROR_SUCCESS);
        if (k) RegCloseKey(k);
    }
    HKEY k = create(HKEY_CURRENT_USER, u"Software\\Values");
    EXPECT_EQ(set_dword(k, long_name.c_str(), 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(set_dword(k, long_name.substr(1).c_str(), 1), ERROR_SUCCESS);
    RegCloseKey(k);

    // What was saved loads again at the next power-on.
    sim::registry() = sim::Registry();
    sim::StateFolder again;
    std::string error;
    ASSERT_TRUE(again.open(state_, false, &error)) << error;
    EXPECT_NE(sim::registry().find_value(u"HKEY_CURRENT_USER\\Software\\Values", long_name.substr(1)), nullptr);
    EXPECT_EQ(sim::registry().find_key(u"HKEY_CURRENT_USER\\" + deep), nullptr);
}

// (The Reg* functions as Win32 defines them are in storage_test.cpp, which
// also runs on another Win32.)

TEST_F(RegistryDevice, FactoryRegistryHasTheShellSettings) {
    DWORD clear_type = 99;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_CURRENT_USER\\Software\\Microsoft\\Shell", "ClearType", &clear_type));
    EXPECT_EQ(clear_type, 0u);
    for (auto key : {u"HKEY_LOCAL_MACHINE\\SOFTWARE", u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control",
                     u"HKEY_LOCAL_MACHINE\\Init"})
        EXPECT_NE(sim::registry().find_key(key), nullptr) << sim::to_utf8(key);
}

// ---------------------------------------------------------------- faults and journal

TEST_F(RegistryDevice, ReadOnlyRegistryRefusesEveryWrite) {
    HKEY k = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\DRAVIK");
    ASSERT_EQ(set_dword(k, u"Sound", 1), ERROR_SUCCESS);
    sim::profile().load_json({{"registry_read_only", true}});

    EXPECT_EQ(set_dword(k, u"Sound", 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(k, u"Sound"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\NEW", 0, nullptr, 0, 0, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim::registry().find_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\NEW"), nullptr);
    // An existing key still opens, for reading.
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\DRAVIK", 0, nullptr, 0, 0, nullptr, &sub, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    DWORD v = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(sub, u"Sound", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size), ERROR_SUCCESS);
    EXPECT_EQ(v, 1u);
    RegCloseKey(sub);
    RegCloseKey(k);
}

TEST_F(RegistryDevice, FailWritesRefusesOnlyTheListedValues) {
    sim::profile().load_json({{"registry_fail_writes", {"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK\\Sound"}}});
    HKEY k = create(HKEY_LOCAL_MACHINE, u"Software\\Dravik");
    EXPECT_EQ(set_dword(k, u"SOUND", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(set_dword(k, u"File", 1), ERROR_SUCCESS);
    HKEY other = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Other");
    EXPECT_EQ(set_dword(other, u"Sound", 1), ERROR_SUCCESS);
    DWORD v;
    EXPECT_FALSE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK", "Sound", &v));
    RegCloseKey(k);
    RegCloseKey(other);
}

TEST_F(RegistryDevice, FailKeysCanBeNeitherOpenedNorCreated) {
    sim::registry().create_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\TESTKEY", nullptr);
    sim::profile().load_json(
        {{"registry_fail_keys", {"HKEY_LOCAL_MACHINE\\SOFTWARE\\TESTKEY", "HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK"}}});
    const struct {
        const char16_t* sub;
        LONG open;    // RegOpenKeyExW
        LONG create;  // RegCreateKeyExW
    } cases[] = {
        {u"SOFTWARE\\TESTKEY", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},  // exists
        {u"software\\testkey", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {u"SOFTWARE\\DRAVIK", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},  // does not exist
        {u"SOFTWARE\\DRAVIK\\Sub", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {u"SOFTWARE\\TESTKEYS", ERROR_FILE_NOT_FOUND, ERROR_SUCCESS},
        {u"SOFTWARE", ERROR_SUCCESS, ERROR_SUCCESS},
    };
    for (auto& c : cases) {
        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, c.sub, 0, 0, &k), c.open) << sim::to_utf8(c.sub);
        if (k) RegCloseKey(k);
        k = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, c.sub, 0, nullptr, 0, 0, nullptr, &k, nullptr), c.create)
            << sim::to_utf8(c.sub);
        if (k) RegCloseKey(k);
    }
    EXPECT_EQ(sim::registry().find_key(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK"), nullptr);
}

TEST_F(RegistryDevice, EverySetValueIsJournalled) {
    HKEY k = create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\DRAVIK");
    RegCloseKey(k);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"software\\dravik", 0, 0, &k), ERROR_SUCCESS);
    set_dword(k, u"Sound", 1);
    const char16_t text[] = u"on";
    RegSetValueExW(k, u"Mode", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    const BYTE blob[] = {0x01, 0xAB};
    RegSetValueExW(k, u"Blob", 0, REG_BINARY, blob, sizeof blob);
    sim::profile().load_json({{"registry_read_only", true}});
    set_dword(k, u"Sound", 0);
    RegCloseKey(k);

    auto ev = events("reg_write");
    ASSERT_EQ(ev.size(), 4u);
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\DRAVIK";
    EXPECT_EQ(ev[0]["key"], key);
    EXPECT_EQ(ev[0]["name"], "Sound");
    EXPECT_EQ(ev[0]["type"], "REG_DWORD");
    EXPECT_EQ(ev[0]["data"], 1);
    EXPECT_EQ(ev[0]["ok"], true);
    EXPECT_EQ(ev[1]["type"], "REG_SZ");
    EXPECT_EQ(ev[1]["data"], "on");
    EXPECT_EQ(ev[2]["type"], "REG_BINARY");
    EXPECT_EQ(ev[2]["data"], "01ab");
    EXPECT_EQ(ev[3]["data"], 0);
    EXPECT_EQ(ev[3]["ok"], false);
}

}  // namespace
