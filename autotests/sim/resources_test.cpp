// The resource loader: the compiled-resource layout, the Win32 resource and
// string calls, dialog templates and bitmaps, read from the fixture script
// (fixtures/resources_test.rc) and from the program's own resources.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include <windows.h>

#include "scratch.h"
#include "base/text.h"
#include "resources/compiled_resources.h"
#include "resources/dialog_template.h"
#include "resources/dib.h"

namespace {

HMODULE fake_module(uintptr_t n) { return reinterpret_cast<HMODULE>(n); }

const HMODULE kFixture = fake_module(0x7E510000);
const HMODULE kProgram = fake_module(0x7E520000);
const HMODULE kUnknown = fake_module(0x7E530000);

class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        fixture_ = simtest::read_bytes(FIXTURE_RES_FILE);
        program_ = simtest::read_bytes(DRAVIK_RES_FILE);
        sim::register_module_resources(kFixture, fixture_.data(), fixture_.size());
        sim::register_module_resources(kProgram, program_.data(), program_.size());
        ASSERT_NE(sim::module_resources(kFixture), nullptr);
        ASSERT_NE(sim::module_resources(kProgram), nullptr);
    }
    void TearDown() override {
        sim::unregister_module_resources(kFixture);
        sim::unregister_module_resources(kProgram);
    }

    // The data of a resource of the fixture, found through the Win32 calls.
    std::vector<uint8_t> fixture_resource(LPCWSTR name, LPCWSTR type) {
        HRSRC info = FindResourceW(kFixture, name, type);
        EXPECT_NE(info, nullptr);
        if (!info) return {};
        auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(kFixture, info)));
        return std::vector<uint8_t>(p, p + SizeofResource(kFixture, info));
    }

    std::vector<uint8_t> fixture_;
    std::vector<uint8_t> program_;
};

// ---------------------------------------------------------------- lookup

TEST_F(Resources, FindsByOrdinalStringAndNumberText) {
    const struct {
        LPCWSTR name;
        LPCWSTR type;
        DWORD size;  // 0: only that it is found
    } cases[] = {
        {MAKEINTRESOURCE(100), RT_DIALOG, 0},
        {u"#100", RT_DIALOG, 0},
        {u"#0100", MAKEINTRESOURCE(5), 0},
        {MAKEINTRESOURCE(101), u"#5", 0},
        {u"Blank", RT_DIALOG, 0},
        {u"BLANK", RT_DIALOG, 0},
        {u"blank", RT_DIALOG, 0},
        {MAKEINTRESOURCE(300), RT_BITMAP, 0},
        {u"Payload", u"FixtureBytes", 6},
        {u"payload", u"FIXTUREBYTES", 6},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(sim::to_utf8(IS_INTRESOURCE(c.name) ? u"(ordinal)" : c.name));
        HRSRC info = FindResourceW(kFixture, c.name, c.type);
        ASSERT_NE(info, nullptr);
        if (c.size) {
            EXPECT_EQ(SizeofResource(kFixture, info), c.size);
        }
    }
}

TEST_F(Resources, ReportsWhatIsMissing) {
    const struct {
        HMODULE module;
        LPCWSTR name;
        LPCWSTR type;
        DWORD error;
    } cases[] = {
        {kFixture, MAKEINTRESOURCE(100), RT_GROUP_ICON, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {kFixture, MAKEINTRESOURCE(1), u"NoSuchType", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {kFixture, MAKEINTRESOURCE(102), RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kFixture, MAKEINTRESOURCE(300), RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kFixture, u"Blan", RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kFixture, u"#", RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kFixture, u"#10x", RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kFixture, u"#65636", RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},  // 100 + 65536
        {kFixture, nullptr, RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {kUnknown, MAKEINTRESOURCE(100), RT_DIALOG, ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceW(c.module, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(Resources, LoadsTheBytesOfAResource) {
    EXPECT_EQ(fixture_resource(u"Payload", u"FixtureBytes"), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    HRSRC info = FindResourceW(kFixture, u"Payload", u"FixtureBytes");
    HGLOBAL data = LoadResource(kFixture, info);
    EXPECT_EQ(LockResource(data), static_cast<LPVOID>(data));
    // The resource handle carries its table, so no module is needed.
    EXPECT_EQ(LoadResource(nullptr, info), data);
    EXPECT_EQ(SizeofResource(nullptr, info), 6u);
}

TEST_F(Resources, RejectsHandlesItDidNotHandOut) {
    HRSRC info = FindResourceW(kFixture, u"Payload", u"FixtureBytes");
    ASSERT_NE(info, nullptr);
    int not_a_resource = 0;
    const struct {
        HMODULE module;
        HRSRC info;
    } cases[] = {
        {kFixture, nullptr},
        {kFixture, reinterpret_cast<HRSRC>(&not_a_resource)},
        {kFixture, reinterpret_cast<HRSRC>(reinterpret_cast<char*>(info) + 1)},
        {kProgram, info},  // an entry of another module
        {kUnknown, info},
    };
    for (auto& c : cases) {
        EXPECT_EQ(LoadResource(c.module, c.info), nullptr);
        EXPECT_EQ(SizeofResource(c.module, c.info), 0u);
    }
}

TEST_F(Resources, MeasuresTheBytesLeftInsideAResource) {
    HRSRC info = FindResourceW(kFixture, u"Payload", u"FixtureBytes");
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(kFixture, info)));
    EXPECT_EQ(sim::resource_bytes_available(data), 6u);
    EXPECT_EQ(sim::resource_bytes_available(data + 5), 1u);
    EXPECT_EQ(sim::resource_bytes_available(fixture_.data()), 0u);  // the empty first header
    int elsewhere = 0;
    EXPECT_EQ(sim::resource_bytes_available(&elsewhere), 0u);
}

// ---------------------------------------------------------------- strings

TEST_F(Resources, LoadsEveryFixtureStringAndNothingElse) {
    const struct {
        UINT id;
        const char16_t* text;  // null: absent
    } cases[] = {
        {0, u"Zero"},
        {1, u"One"},
        {2, nullptr},
        {14, nullptr},
        {15, u"Fifteen, the last of the first block"},
        {16, u"Sixteen, the first of the second block"},
        {17, u"Two\nlines"},
        {18, nullptr},
        {32, nullptr},  // block 3 holds only id 40
        {40, u"Forty"},
        {47, nullptr},
        {48, nullptr},  // block 4 does not exist
        {65534, nullptr},
        {65535, u"The very last id"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.id);
        WCHAR buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        int n = LoadStringW(kFixture, c.id, buffer, 64);
        std::u16string expected = c.text ? c.text : u"";
        EXPECT_EQ(n, int(expected.size()));
        EXPECT_EQ(std::u16string(buffer), expected);
    }
}

TEST_F(Resources, LoadsEveryProgramString) {
    const struct {
        UINT id;
        const char16_t* text;  // null: the program has no string with that id
    } cases[] = {
        {10000, u"Dravik"},
        {10001, u"Finish"},
        {10002, u"Next"},
        {10003, u"Do you want to make a result file(Dravik.log)?"},
        {10004, u"Windows"},
        {10005, nullptr},
        {10006, u"Make Log File"},
        {10007, u"PASS"},
        {10008, u"FAIL"},
        {10009, u"Select Test"},
        {10010, u"Status"},
        {10011, u"Sound"},
        {10012, u"Screen Calibration"},
        {10013, u"Read/Write files"},
        {10014, u"IR Transfer"},
        {10015, u"LED Notification"},
        {10016, u"Key Test"},
        {10017, u"Tap OK or press the Action Button if you hear the sound. Press the Cancel Button to exit this test."},
        {10018, nullptr},
        {10019,
         u"Tap OK or press the Action Button if you see the LED flashing. Press the Cancel Button to exit this test."},
        {10020, nullptr},
        {10021, nullptr},
        {10022, u"My Documents"},
        {10023, u"Screen Patterns"},
        {10024, u"Press the button on the Orvex indicated by the red arrow in the picture. Do this for all buttons "
                u"to complete the test."},
        {10025, u"Save all unsaved data and \nclose all tasks before running a test."},
        {10026, u"Perform automatic 'Reset' before test."},
        {10027, u"Back"},
        {10028, u"Start"},
        {10029, nullptr},
        {10030, u"Settings"},
        {10031, u"This application is for the Orvex k7100 series devices only."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.id);
        WCHAR buffer[200];
        int n = LoadStringW(kProgram, c.id, buffer, 200);
        std::u16string expected = c.text ? c.text : u"";
        EXPECT_EQ(n, int(expected.size()));
        EXPECT_EQ(std::u16string(buffer), expected);
    }
}

TEST_F(Resources, CutsStringsToTheBuffer) {
    const std::u16string full = u"Sixteen, the first of the second block";
    const struct {
        int capacity;
        int copied;
    } cases[] = {{1, 0}, {2, 1}, {8, 7}, {int(full.size()), int(full.size()) - 1}, {int(full.size()) + 1, int(full.size())}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::vector<WCHAR> buffer(size_t(c.capacity) + 1, u'#');
        EXPECT_EQ(LoadStringW(kFixture, 16, buffer.data(), c.capacity), c.copied);
        EXPECT_EQ(std::u16string(buffer.data()), full.substr(0, size_t(c.copied)));
        EXPECT_EQ(buffer[size_t(c.capacity)], u'#');  // nothing written past the buffer
    }
    // The program's buffers as sized for each text: 10017 is longer than 30.
    WCHAR small[30];
    EXPECT_EQ(LoadStringW(kProgram, 10017, small, 30), 29);
    EXPECT_EQ(std::u16string(small), u"Tap OK or press the Action Bu");
}

TEST_F(Resources, HandsOutAReadOnlyPointerForAZeroSizedBuffer) {
    const WCHAR* text = nullptr;
    int n = LoadStringW(kFixture, 17, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(n, 9);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, size_t(n)), u"Two\nlines");
    // The text stands inside the module's resource bytes.
    EXPECT_GE(reinterpret_cast<const uint8_t*>(text), fixture_.data());
    EXPECT_LT(reinterpret_cast<const uint8_t*>(text + n), fixture_.data() + fixture_.size() + 1);

    text = nullptr;
    EXPECT_EQ(LoadStringW(kFixture, 18, reinterpret_cast<LPWSTR>(&text), 0), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(LoadStringW(kFixture, 17, nullptr, 10), 0);
    EXPECT_EQ(LoadStringW(kUnknown, 17, reinterpret_cast<LPWSTR>(&text), 0), 0);
}

TEST_F(Resources, StopsAtAStringLengthThatRunsOutOfItsBlock) {
    // A copy of the fixture whose first string claims to run far past its block.
    const sim::ResourceTable* table = sim::module_resources(kFixture);
    const sim::ResourceEntry* block = table->find(sim::ResourceId::number(6), sim::ResourceId::number(1));
    ASSERT_NE(block, nullptr);
    std::vector<uint8_t> copy = fixture_;
    const size_t at = size_t(block->data - fixture_.data());
    copy[at] = 0xFF;
    copy[at + 1] = 0x7F;
    const HMODULE corrupt = fake_module(0x7E540000);
    sim::register_module_resources(corrupt, copy.data(), copy.size());
    WCHAR buffer[16] = u"unchanged";
    EXPECT_EQ(LoadStringW(corrupt, 0, buffer, 16), 0);
    EXPECT_EQ(LoadStringW(corrupt, 1, buffer, 16), 0);
    EXPECT_EQ(LoadStringW(corrupt, 16, buffer, 16), 15);  // other blocks still read
    EXPECT_EQ(std::u16string(buffer), u"Sixteen, the fi");
    sim::unregister_module_resources(corrupt);
}

// ---------------------------------------------------------------- the layout

// Copies the first n bytes to a block of exactly that size, so that a read
// past it is caught by AddressSanitizer.
std::unique_ptr<sim::ResourceTable> parse_prefix(const std::vector<uint8_t>& all, size_t n, std::string* error) {
    std::vector<uint8_t> prefix(all.begin(), all.begin() + ptrdiff_t(n));
    auto table = sim::ResourceTable::parse(prefix.data(), prefix.size(), error);
    return table;
}

TEST_F(Resources, AcceptsAPrefixOnlyWhereARecordEnds) {
    std::string error;
    auto full = sim::ResourceTable::parse(fixture_.data(), fixture_.size(), &error);
    ASSERT_NE(full, nullptr) << error;
    // Record ends, with and without the padding that follows the data.
    std::map<size_t, size_t> ends = {{32, 0}};
    for (size_t i = 0; i < full->entries().size(); ++i) {
        auto& e = full->entries()[i];
        size_t end = size_t(e.data - fixture_.data()) + e.size;
        for (size_t n = end; n <= ((end + 3) & ~size_t(3)); ++n) ends[n] = i + 1;
    }
    for (size_t n = 0; n <= fixture_.size(); ++n) {
        auto table = parse_prefix(fixture_, n, &error);
        auto it = ends.find(n);
        if (it == ends.end()) {
            EXPECT_EQ(table, nullptr) << n;
        } else {
            ASSERT_NE(table, nullptr) << n << ": " << error;
            EXPECT_EQ(table->entries().size(), it->second) << n;
        }
    }
}

TEST_F(Resources, RejectsCorruptHeaders) {
    // The first real record starts after the empty 32-byte one.
    auto with = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> copy = fixture_;
        std::memcpy(copy.data() + offset, &value, 4);
        return copy;
    };
    uint32_t first_header_size;
    std::memcpy(&first_header_size, fixture_.data() + 36, 4);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"no empty first record", std::vector<uint8_t>(fixture_.begin() + 32, fixture_.end())},
        {"first record not empty", with(0, 4)},
        {"data size past the end", with(32, 0x7FFFFFF0)},
        {"data size one too many", with(32, uint32_t(fixture_.size()))},
        {"header size past the end", with(36, 0xFFFFFFF0)},
        {"header size too small", with(36, 4)},
        {"header size cutting the type name", with(36, 16)},
        {"header size cutting the fixed fields", with(36, first_header_size - 4)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> exact = c.bytes;
        std::string error;
        EXPECT_EQ(sim::ResourceTable::parse(exact.data(), exact.size(), &error), nullptr);
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(Resources, RegistersNothingForACorruptBlob) {
    std::vector<uint8_t> cut(fixture_.begin(), fixture_.begin() + 40);
    const HMODULE corrupt = fake_module(0x7E550000);
    sim::register_module_resources(corrupt, cut.data(), cut.size());
    EXPECT_EQ(sim::module_resources(corrupt), nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceW(corrupt, MAKEINTRESOURCE(1), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    WCHAR buffer[8] = u"x";
    EXPECT_EQ(LoadStringW(corrupt, 1, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(Resources, ReplacesAndForgetsAModulesTable) {
    const HMODULE module = fake_module(0x7E560000);
    sim::register_module_resources(module, fixture_.data(), fixture_.size());
    WCHAR buffer[16];
    EXPECT_EQ(LoadStringW(module, 1, buffer, 16), 3);
    sim::register_module_resources(module, program_.data(), program_.size());
    EXPECT_EQ(LoadStringW(module, 1, buffer, 16), 0);
    EXPECT_EQ(LoadStringW(module, 10000, buffer, 16), 6);
    sim::unregister_module_resources(module);
    EXPECT_EQ(sim::module_resources(module), nullptr);
    EXPECT_EQ(LoadStringW(module, 10000, buffer, 16), 0);
}

// ---------------------------------------------------------------- dialogs

using Field = sim::TemplateField;

Field none() { return {}; }
Field ordinal(uint16_t n) {
    Field f;
    f.kind = Field::Kind::Ordinal;
    f.ordinal = n;
    return f;
}
Field string(std::u16string s) {
    Field f;
    f.kind = Field::Kind::String;
    f.text = std::move(s);
    return f;
}

void expect_field(const Field& actual, const Field& expected) {
    EXPECT_EQ(actual.kind, expected.kind);
    if (expected.is_ordinal()) {
        EXPECT_EQ(actual.ordinal, expected.ordinal);
    }
    if (expected.is_string()) {
        EXPECT_EQ(sim::to_utf8(actual.text), sim::to_utf8(expected.text));
    }
}

struct ItemCase {
    uint32_t style, ex_style, help_id;
    int16_t x, y, cx, cy;
    uint32_t id;
    std::u16string class_name;
    uint16_t class_ordinal;
    Field title;
    std::vector<uint8_t> creation_data;
};

void expect_items(const std::vector<sim::DialogItemTemplate>& items, const std::vector<ItemCase>& expected) {
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        auto& a = items[i];
        auto& e = expected[i];
        EXPECT_EQ(a.style, e.style);
        EXPECT_EQ(a.ex_style, e.ex_style);
        EXPECT_EQ(a.help_id, e.help_id);
        EXPECT_EQ(a.x, e.x);
        EXPECT_EQ(a.y, e.y);
        EXPECT_EQ(a.cx, e.cx);
        EXPECT_EQ(a.cy, e.cy);
        EXPECT_EQ(a.id, e.id);
        EXPECT_EQ(sim::to_utf8(a.class_name), sim::to_utf8(e.class_name));
        EXPECT_EQ(a.class_ordinal, e.class_ordinal);
        expect_field(a.title, e.title);
        EXPECT_EQ(a.creation_data, e.creation_data);
    }
}

TEST_F(Resources, ReadsAClassicDialogTemplate) {
    std::vector<uint8_t> bytes = fixture_resource(MAKEINTRESOURCE(100), RT_DIALOG);
    sim::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(sim::parse_dialog_template(bytes.data(), bytes.size(), &t, &error)) << error;
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(t.style, 0x80C100C0u);  // FONT adds DS_SETFONT
    EXPECT_EQ(t.ex_style, 0u);
    EXPECT_EQ(t.x, 10);
    EXPECT_EQ(t.y, 20);
    EXPECT_EQ(t.cx, 151);
    EXPECT_EQ(t.cy, 141);
    expect_field(t.menu, none());
    expect_field(t.window_class, none());
    EXPECT_EQ(sim::to_utf8(t.title), "Classic");
    EXPECT_TRUE(t.has_font);
    EXPECT_EQ(t.point_size, 10);
    EXPECT_EQ(sim::to_utf8(t.font_face), "System");
    // The resource compiler writes predefined classes of the short forms as
    // ordinals, and the classes named in CONTROL statements as strings.
    expect_items(t.items, {
        {0x50010001, 0, 0, 75, 97, 50, 14, 1001, u"button", 0x80, string(u"Start"), {}},
        {0x50010000, 0, 0, 15, 96, 50, 14, 1002, u"button", 0x80, string(u"Back"), {}},
        {0x50020000, 0, 0, 12, 15, 132, 17, 0xFFFF, u"static", 0x82, string(u"First line\nsecond line"), {}},
        {0x50810000, 0, 0, 1, 2, 30, 12, 1003, u"edit", 0x81, string(u""), {}},
        {0x50A00001, 0, 0, 1, 20, 30, 40, 1004, u"listbox", 0, string(u""), {}},
        {0x50000000, 0, 0, 40, 20, 8, 40, 1005, u"scrollbar", 0x84, string(u""), {}},
        {0x50010001, 0, 0, 50, 20, 30, 40, 1006, u"combobox", 0x85, string(u""), {}},
        {0x50000005, 0, 0, -3, -4, 5, 6, 1007, u"FIXTURECONTROL", 0, string(u"Custom"), {}},
    });
}

TEST_F(Resources, ReadsAnExtendedDialogTemplate) {
    std::vector<uint8_t> bytes = fixture_resource(MAKEINTRESOURCE(101), RT_DIALOG);
    sim::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(sim::parse_dialog_template(bytes.data(), bytes.size(), &t, &error)) << error;
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.help_id, 42u);
    EXPECT_EQ(t.style, 0x80C800C0u);
    EXPECT_EQ(t.ex_style, 0x8u);
    EXPECT_EQ(t.x, -1);
    EXPECT_EQ(t.y, 2);
    EXPECT_EQ(t.cx, 155);
    EXPECT_EQ(t.cy, 158);
    expect_field(t.menu, string(u"FIXTUREMENU"));
    expect_field(t.window_class, string(u"FIXTURECLASS"));
    EXPECT_EQ(sim::to_utf8(t.title), "Extended");
    EXPECT_TRUE(t.has_font);
    EXPECT_EQ(t.point_size, 8);
    EXPECT_EQ(t.weight, 700);
    EXPECT_TRUE(t.italic);
    EXPECT_EQ(t.charset, 2);
    EXPECT_EQ(sim::to_utf8(t.font_face), "Tahoma");
    expect_items(t.items, {
        {0x50010000, 0, 0, 105, 137, 25, 11, 2, u"button", 0x80, string(u"Cancel"), {}},
        {0x50000001, 0x200, 77, 17, 55, 111, 19, 0xFFFFFFFF, u"static", 0, string(u"Minus one"), {}},
        {0x5000000E, 0, 0, 0, 0, 10, 18, 1008, u"static", 0, ordinal(112), {}},
        {0x50000000, 0, 0, 1, 2, 3, 4, 1009, u"FIXTURECONTROL", 0, string(u"Data"), {1, 2, 3, 4, 'a', 'b'}},
    });
}

TEST_F(Resources, ReadsADialogWithoutFontOrItems) {
    std::vector<uint8_t> bytes = fixture_resource(u"blank", RT_DIALOG);
    sim::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(sim::parse_dialog_template(bytes.data(), bytes.size(), &t, &error)) << error;
    EXPECT_EQ(t.style, 0x80000080u);
    EXPECT_FALSE(t.has_font);
    EXPECT_TRUE(t.font_face.empty());
    EXPECT_EQ(t.cx, 187);
    EXPECT_EQ(t.cy, 94);
    EXPECT_TRUE(t.title.empty());
    EXPECT_TRUE(t.items.empty());
}

TEST_F(Resources, RejectsCutOrOvercountedDialogTemplates) {
    for (int name : {100, 101}) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = fixture_resource(MAKEINTRESOURCE(name), RT_DIALOG);
        ASSERT_GT(bytes.size(), 4u);
        // At most the last item's padding may go.
        for (size_t n = 0; n + 3 < bytes.size(); ++n) {
            std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + ptrdiff_t(n));
            sim::DialogTemplate t;
            std::string error;
            EXPECT_FALSE(sim::parse_dialog_template(prefix.data(), prefix.size(), &t, &error)) << n;
        }
        // One item more than the template holds.
        std::vector<uint8_t> more = bytes;
        const size_t count_at = name == 100 ? 8 : 16;
        more[count_at] = uint8_t(more[count_at] + 1);
        sim::DialogTemplate t;
        std::string error;
        EXPECT_FALSE(sim::parse_dialog_template(more.data(), more.size(), &t, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(DialogTemplate, NamesThePredefinedClasses) {
    const struct {
        uint16_t ordinal;
        const char16_t* name;
    } cases[] = {{0x80, u"button"}, {0x81, u"edit"},      {0x82, u"static"}, {0x83, u"listbox"},
                 {0x84, u"scrollbar"}, {0x85, u"combobox"}, {0x86, u""},      {0x7F, u""}};
    for (auto& c : cases) EXPECT_EQ(sim::to_utf8(sim::predefined_class_name(c.ordinal)), sim::to_utf8(c.name));
}

// ---------------------------------------------------------------- bitmaps

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

const uint32_t kVga16[16] = {
    rgb(0, 0, 0),       rgb(128, 0, 0),     rgb(0, 128, 0),     rgb(128, 128, 0), rgb(0, 0, 128),   rgb(128, 0, 128),
    rgb(0, 128, 128),   rgb(192, 192, 192), rgb(128, 128, 128), rgb(255, 0, 0),   rgb(0, 255, 0),   rgb(255, 255, 0),
    rgb(0, 0, 255),     rgb(255, 0, 255),   rgb(0, 255, 255),   rgb(255, 255, 255),
};

std::vector<uint32_t> from_palette(const uint32_t* palette, std::vector<int> indices) {
    std::vector<uint32_t> out;
    for (int i : indices) out.push_back(palette[i]);
    return out;
}

const uint32_t kPal8[3] = {rgb(0x11, 0x22, 0x33), rgb(0x44, 0x55, 0x66), rgb(0x77, 0x88, 0x99)};
const uint32_t kMono[2] = {rgb(0, 0, 0), rgb(255, 255, 255)};

TEST_F(Resources, ReadsBitmapsOfEveryDepth) {
    // The pictures that fixtures/make_bitmaps.py writes, top row first.
    const struct {
        int id;
        int width, height, bit_count;
        std::vector<uint32_t> pixels;
        size_t palette_size;
    } cases[] = {
        {300, 3, 2, 24,
         {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255), rgb(0x10, 0x20, 0x30), rgb(255, 255, 255), rgb(0, 0, 0)},
         0},
        {301, 5, 3, 4, from_palette(kVga16, {0, 1, 2, 3, 4, 9, 10, 11, 12, 13, 15, 14, 8, 7, 5}), 16},
        {302, 4, 2, 8, from_palette(kPal8, {0, 1, 2, 1, 2, 2, 0, 1}), 3},
        {303, 9, 2, 1, from_palette(kMono, {1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0, 1, 0}), 2},
        {304, 2, 2, 16, {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255), rgb(132, 132, 132)}, 0},
        {305, 2, 1, 16, {rgb(255, 255, 0), rgb(0, 130, 255)}, 0},
        {306, 2, 2, 32, {rgb(0x10, 0x20, 0x30), rgb(0x80, 0x00, 0xFF), rgb(0, 0, 0), rgb(0x03, 0x02, 0x01)}, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.id);
        std::vector<uint8_t> bytes = fixture_resource(MAKEINTRESOURCE(c.id), RT_BITMAP);
        sim::Dib dib;
        std::string error;
        ASSERT_TRUE(sim::parse_dib(bytes.data(), bytes.size(), &dib, &error)) << error;
        EXPECT_EQ(dib.width, c.width);
        EXPECT_EQ(dib.height, c.height);
        EXPECT_EQ(dib.bit_count, c.bit_count);
        EXPECT_EQ(dib.palette.size(), c.palette_size);
        EXPECT_EQ(dib.pixels, c.pixels);
    }
}

TEST_F(Resources, RejectsCutOrUnsupportedBitmaps) {
    for (int id = 300; id <= 306; ++id) {
        SCOPED_TRACE(id);
        std::vector<uint8_t> bytes = fixture_resource(MAKEINTRESOURCE(id), RT_BITMAP);
        // Each bitmap's last row is a whole number of bytes: only its padding may go.
        for (size_t n = 0; n + 3 < bytes.size(); ++n) {
            std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + ptrdiff_t(n));
            sim::Dib dib;
            std::string error;
            EXPECT_FALSE(sim::parse_dib(prefix.data(), prefix.size(), &dib, &error)) << n;
        }
    }
    std::vector<uint8_t> base = fixture_resource(MAKEINTRESOURCE(300), RT_BITMAP);
    auto with = [&](size_t offset, uint32_t value, size_t width) {
        std::vector<uint8_t> copy = base;
        std::memcpy(copy.data() + offset, &value, width);
        return copy;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"header size 20", with(0, 20, 4)},
        {"header size past the end", with(0, 4096, 4)},
        {"zero width", with(4, 0, 4)},
        {"negative width", with(4, 0xFFFFFFFF, 4)},
        {"zero height", with(8, 0, 4)},
        {"huge height", with(8, 0x7FFFFFFF, 4)},
        {"two planes", with(12, 2, 2)},
        {"bit depth 2", with(14, 2, 2)},
        {"run-length compression", with(16, 1, 4)},
        {"bit fields at 24 bits", with(16, 3, 4)},
        {"taller than its rows", with(8, 3, 4)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> exact = c.bytes;
        sim::Dib dib;
        std::string error;
        EXPECT_FALSE(sim::parse_dib(exact.data(), exact.size(), &dib, &error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
