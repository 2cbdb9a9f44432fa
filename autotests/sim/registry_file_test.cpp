// The registry's file as changes are appended to it: it always reads as
// the registry is, no appended change crosses a page of the file, a change
// too long for a page and appended text that outgrows the whole text are
// written whole, and power-on writes it whole again.
#include <gtest/gtest.h>

#include "scratch.h"

#include <fstream>
#include <random>
#include <sstream>

#include <windows.h>

#include "files/state_folder.h"
#include "registry/registry.h"

namespace {

using simtest::read_text;

std::vector<uint8_t> dword_value(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty()) << "no temporary folder";
        registry_.attach(path_);
        std::string error;
        ASSERT_TRUE(registry_.save(&error)) << error;
    }

    std::string file() const { return read_text(path_); }
    // The registry the file holds, as registry text written whole.
    ::testing::AssertionResult file_reads_as_registry() const {
        sim::Registry read;
        std::string error;
        if (!read.parse(file(), "registry.reg", &error)) return ::testing::AssertionFailure() << error;
        if (read.text() != registry_.text())
            return ::testing::AssertionFailure() << "the file reads as\n"
                                                 << read.text() << "\nbut the registry is\n"
                                                 << registry_.text();
        return ::testing::AssertionSuccess();
    }

    simtest::ScratchDir scratch_{"regfile"};
    std::string path_ = scratch_.path() + "/registry.reg";
    sim::Registry registry_;
};

// Keys made at several depths and in other cases, values of every kind
// (text that can and cannot be written as text, long binary lists, the
// default value, names with quotes and backslashes) set, changed, deleted
// and set again.
TEST_F(RegistryFile, AfterEveryRandomChangeTheFileReadsAsTheRegistryIs) {
    const std::u16string keys[] = {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik", u"HKEY_LOCAL_MACHINE\\software\\DRAVIK",
                                   u"HKEY_CURRENT_USER\\A\\B\\C", u"HKEY_CURRENT_USER\\a\\b",
                                   u"HKEY_USERS\\Quote\"And\\Back"};
    const std::u16string names[] = {u"", u"Reboot", u"REBOOT", u"with \"quotes\"", u"back\\slash", u"caf\u00e9"};
    std::mt19937 random(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int step = 0; step < 300; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const std::u16string& key = keys[pick(5)];
        const std::u16string& name = names[pick(6)];
        switch (pick(6)) {
            case 0: ASSERT_EQ(registry_.create_key(key, nullptr), ERROR_SUCCESS); break;
            case 1:
                registry_.create_key(key, nullptr);
                ASSERT_EQ(registry_.set_value(key, name, REG_DWORD, dword_value(uint32_t(random()))), ERROR_SUCCESS);
                break;
            case 2: {
                registry_.create_key(key, nullptr);
                // Text as text, and with a line break or without its
                // terminator, which only a hex list says.
                std::vector<uint8_t> text = {'o', 0, 'k', 0, 0, 0};
                if (pick(3) == 0) text = {'a', 0, '\n', 0, 'b', 0, 0, 0};
                if (pick(3) == 0) text = {'n', 0, 'o', 0};
                ASSERT_EQ(registry_.set_value(key, name, REG_SZ, text), ERROR_SUCCESS);
                break;
            }
            case 3: {
                registry_.create_key(key, nullptr);
                std::vector<uint8_t> bytes(size_t(pick(200)));
                for (auto& b : bytes) b = uint8_t(random());
                ASSERT_EQ(registry_.set_value(key, name, pick(2) ? REG_BINARY : REG_MULTI_SZ, bytes), ERROR_SUCCESS);
                break;
            }
            default:
                if (registry_.find_value(key, name)) {
                    ASSERT_EQ(registry_.delete_value(key, name), ERROR_SUCCESS);
                }
                break;
        }
        ASSERT_TRUE(file_reads_as_registry());
    }
}

// However the changes fall, the text each one appends lies within one
// 4 KiB page of the file (blank lines fill the rest of a page it would not
// fit in), so that a kill cannot leave half a line of it.
TEST_F(RegistryFile, NoAppendedChangeCrossesAPageOfTheFile) {
    const std::u16string key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Pages";
    ASSERT_EQ(registry_.create_key(key, nullptr), ERROR_SUCCESS);
    std::mt19937 random(3);
    const size_t page = sim::RegistryFile::kPage;
    int crossed_pages = 0;
    // Up to 40 KiB of changes: none is written whole.
    for (int i = 0; i < 150; ++i) {
        size_t before = file().size();
        std::vector<uint8_t> bytes(size_t(std::uniform_int_distribution<int>(1, 120)(random)), uint8_t(i));
        ASSERT_EQ(registry_.set_value(key, u"v" + std::u16string(1, char16_t(u'a' + i % 26)), REG_BINARY, bytes),
                  ERROR_SUCCESS);
        const std::string text = file();
        ASSERT_GT(text.size(), before);
        size_t start = text.find_first_not_of('\n', before);
        ASSERT_NE(start, std::string::npos);
        if (start / page != before / page) ++crossed_pages;
        EXPECT_EQ(start / page, (text.size() - 1) / page)
            << "change " << i << " runs from byte " << start << " to " << text.size();
    }
    EXPECT_GT(crossed_pages, 0) << "no change came near the end of a page";
    EXPECT_TRUE(file_reads_as_registry());
}

TEST_F(RegistryFile, AChangeLongerThanAPageWritesTheFileWhole) {
    const std::u16string key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Big";
    ASSERT_EQ(registry_.create_key(key, nullptr), ERROR_SUCCESS);
    ASSERT_NE(file(), registry_.text());  // the key was appended
    ASSERT_EQ(registry_.set_value(key, u"blob", REG_BINARY, std::vector<uint8_t>(3000, 0xAB)), ERROR_SUCCESS);
    EXPECT_EQ(file(), registry_.text());
}

// Changing one value again and again: the file is written whole whenever
// the appended text outgrows the whole text (64 KiB at least), so it stays
// within a bound of the registry's size.
TEST_F(RegistryFile, AppendedTextThatOutgrowsTheWholeTextIsWrittenWhole) {
    const std::u16string key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Counter";
    ASSERT_EQ(registry_.create_key(key, nullptr), ERROR_SUCCESS);
    size_t largest = 0;
    for (uint32_t i = 0; i < 5000; ++i) {
        ASSERT_EQ(registry_.set_value(key, u"n", REG_DWORD, dword_value(i)), ERROR_SUCCESS);
        largest = std::max(largest, file().size());
    }
    EXPECT_TRUE(file_reads_as_registry());
    EXPECT_GT(largest, 60u * 1024);
    EXPECT_LE(largest, registry_.text().size() + 64u * 1024 + sim::RegistryFile::kPage);
}

// Power-on reads a file with a few changes appended as it is and leaves
// it so; switching off writes it whole.  One whose appended changes have
// outgrown the rest is written whole at power-on.
TEST_F(RegistryFile, PowerOnWritesWholeOnlyAFileWhoseAppendedChangesOutgrewTheRest) {
    const std::u16string key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik";
    ASSERT_EQ(registry_.create_key(key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(registry_.set_value(key, u"Reboot", REG_DWORD, dword_value(1)), ERROR_SUCCESS);
    ASSERT_EQ(registry_.set_value(key, u"Reboot", REG_DWORD, dword_value(2)), ERROR_SUCCESS);
    const std::string whole = registry_.text(), appended = file();
    ASSERT_NE(appended, whole);

    sim::StateFolder folder;
    std::string error;
    ASSERT_TRUE(folder.open(scratch_.path(), false, &error)) << error;
    EXPECT_EQ(sim::registry().text(), whole);
    EXPECT_EQ(file(), appended);
    // A change goes to the end of it still; switching off writes it whole.
    ASSERT_TRUE(sim::write_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik", "Sound", 1));
    EXPECT_EQ(file().compare(0, appended.size(), appended), 0);
    ASSERT_TRUE(sim::registry().compact(&error)) << error;
    EXPECT_EQ(file(), sim::registry().text());

    // A file whose appended sections have outgrown the rest.
    std::string grown = sim::registry().text();
    for (int i = 0; i < 3000; ++i) grown += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik]\n\"Count\"=dword:" + std::to_string(i) + "\n\n";
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << grown;
    }
    sim::registry() = sim::Registry();
    sim::StateFolder again;
    ASSERT_TRUE(again.open(scratch_.path(), false, &error)) << error;
    EXPECT_EQ(file(), sim::registry().text());
    DWORD count = 0;
    EXPECT_TRUE(sim::read_registry_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Dravik", "Count", &count));
    EXPECT_EQ(count, 0x2999u);  // dword values are hexadecimal
    sim::registry() = sim::Registry();
}

}  // namespace
