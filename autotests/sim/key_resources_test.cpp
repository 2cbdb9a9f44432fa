// The key test's resources as the program's module carries them: its
// dialog, the device picture with its buttons where the key test's arrow
// points, the arrow and the program's icon.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <windows.h>

#include "scratch.h"
#include "resources/compiled_resources.h"
#include "resources/dialog_template.h"
#include "resources/dib.h"

#include "resource.h"  // the program's ids

namespace {

const HMODULE kProgramModule = reinterpret_cast<HMODULE>(uintptr_t(0x7E540000));

// Colours as the loader gives them: 0x00BBGGRR.
const uint32_t kLoadedRed = 0x0000FF;
const uint32_t kLoadedWhite = 0xFFFFFF;

class KeyResources : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = simtest::read_bytes(DRAVIK_RES_FILE);
        sim::register_module_resources(kProgramModule, bytes_.data(), bytes_.size());
        ASSERT_NE(sim::module_resources(kProgramModule), nullptr);
    }
    void TearDown() override { sim::unregister_module_resources(kProgramModule); }

    std::vector<uint8_t> resource(int id, LPCWSTR type) {
        HRSRC info = FindResourceW(kProgramModule, MAKEINTRESOURCE(id), type);
        EXPECT_NE(info, nullptr) << id;
        if (!info) return {};
        auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(kProgramModule, info)));
        return std::vector<uint8_t>(p, p + SizeofResource(kProgramModule, info));
    }

    sim::Dib bitmap(int id) {
        std::vector<uint8_t> data = resource(id, RT_BITMAP);
        sim::Dib dib;
        std::string error;
        EXPECT_TRUE(sim::parse_dib(data.data(), data.size(), &dib, &error)) << error;
        return dib;
    }

    std::vector<uint8_t> bytes_;
};

TEST_F(KeyResources, DialogTemplateHasOnlyCancel) {
    std::vector<uint8_t> data = resource(IDD_KEY_TEST, RT_DIALOG);
    sim::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(sim::parse_dialog_template(data.data(), data.size(), &t, &error)) << error;
    EXPECT_EQ(t.style, 0x80C100C0u);
    EXPECT_EQ(t.ex_style, 0u);
    EXPECT_EQ(t.title, u"");
    EXPECT_EQ(t.cx, 155);
    EXPECT_EQ(t.cy, 158);
    EXPECT_TRUE(t.has_font);
    EXPECT_EQ(t.point_size, 10);
    EXPECT_EQ(t.font_face, u"System");
    ASSERT_EQ(t.items.size(), 1u);
    const sim::DialogItemTemplate& cancel = t.items[0];
    EXPECT_EQ(cancel.id, uint32_t(IDCANCEL));
    EXPECT_EQ(cancel.class_name, u"button");
    EXPECT_EQ(cancel.title.text, u"Cancel");
    EXPECT_EQ(cancel.style, DWORD(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON));
    EXPECT_EQ(cancel.x, 105);
    EXPECT_EQ(cancel.y, 137);
    EXPECT_EQ(cancel.cx, 25);
    EXPECT_EQ(cancel.cy, 11);
}

// Red on white, 16 colours, from the top-left corner down to the tip in the
// lower-right one; the other two corners are background.
TEST_F(KeyResources, ArrowPointsDownAndRight) {
    sim::Dib arrow = bitmap(IDB_KEY_ARROW);
    ASSERT_EQ(arrow.width, 10);
    ASSERT_EQ(arrow.height, 18);
    EXPECT_EQ(arrow.bit_count, 4);
    EXPECT_EQ(arrow.palette.size(), 16u);
    int red = 0;
    for (uint32_t c : arrow.pixels) {
        EXPECT_TRUE(c == kLoadedRed || c == kLoadedWhite) << std::hex << c;
        red += c == kLoadedRed;
    }
    EXPECT_GT(red, 30);
    EXPECT_EQ(arrow.pixel(9, 17), kLoadedRed) << "the tip";
    EXPECT_EQ(arrow.pixel(0, 0), kLoadedRed) << "the tail";
    EXPECT_EQ(arrow.pixel(9, 0), kLoadedWhite);
    EXPECT_EQ(arrow.pixel(0, 17), kLoadedWhite);
    // Each row's red lies further right than the row above's begins.
    for (int y = 1; y < 18; ++y) {
        int first = -1, first_above = -1;
        for (int x = 9; x >= 0; --x) {
            if (arrow.pixel(x, y) == kLoadedRed) first = x;
            if (arrow.pixel(x, y - 1) == kLoadedRed) first_above = x;
        }
        ASSERT_GE(first, 0) << "row " << y;
        EXPECT_GE(first + 2, first_above) << "row " << y;
    }
}

// The light pixels (a button's face) connected to (x, y).
std::set<std::pair<int, int>> face_at(const sim::Dib& dib, int x, int y) {
    auto light = [&](int px, int py) {
        uint32_t c = dib.pixel(px, py);
        return (c & 0xFF) >= 170 && ((c >> 8) & 0xFF) >= 170 && ((c >> 16) & 0xFF) >= 170 && c != kLoadedWhite;
    };
    std::set<std::pair<int, int>> seen;
    if (!light(x, y)) return seen;
    std::vector<std::pair<int, int>> todo = {{x, y}};
    while (!todo.empty() && seen.size() < 2000) {
        auto [px, py] = todo.back();
        todo.pop_back();
        if (px < 0 || py < 0 || px >= dib.width || py >= dib.height || seen.count({px, py}) || !light(px, py))
            continue;
        seen.insert({px, py});
        todo.insert(todo.end(), {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}});
    }
    return seen;
}

// The key test draws the picture at (27, 0) and the arrow with its top-left
// corner at the walk's places; the tip, the arrow's lower-right pixel, must
// land on the button the walk names: four separate application buttons in
// a row near the bottom, left to right, and the pad between the middle two.
TEST_F(KeyResources, ArrowTipsLandOnTheirButtons) {
    sim::Dib picture = bitmap(IDB_KEY_PICTURE);
    ASSERT_EQ(picture.width, 170);
    ASSERT_EQ(picture.height, 270);
    EXPECT_EQ(picture.bit_count, 24);

    const struct {
        const char* button;
        int x, y;  // the arrow's place in the dialog
    } walk[] = {
        {"application 1", 51, 202}, {"application 2", 69, 194}, {"application 3", 137, 194},
        {"application 4", 155, 202}, {"pad left", 92, 207},      {"pad up", 102, 197},
        {"pad right", 112, 207},     {"pad centre", 102, 207},   {"pad down", 102, 215},
    };
    std::vector<std::set<std::pair<int, int>>> faces;
    for (auto& w : walk) {
        SCOPED_TRACE(w.button);
        int tx = w.x - 27 + 9, ty = w.y + 17;
        auto face = face_at(picture, tx, ty);
        ASSERT_FALSE(face.empty()) << "the tip (" << tx << ", " << ty << ") is not on a button";
        EXPECT_LT(face.size(), 1000u) << "a button, not the screen";
        faces.push_back(face);
    }
    // The application buttons: four faces, none shared, each to the right of
    // the one before, all in the lowest fifth of the picture.
    double last_x = -1;
    for (int i = 0; i < 4; ++i) {
        double sx = 0, sy = 0;
        for (auto& p : faces[i]) sx += p.first, sy += p.second;
        sx /= double(faces[i].size());
        sy /= double(faces[i].size());
        EXPECT_GT(sx, last_x) << "button " << i + 1;
        EXPECT_GT(sy, 270 * 0.75) << "button " << i + 1;
        last_x = sx;
        for (int j = 0; j < 9; ++j) {
            if (j == i) continue;
            EXPECT_EQ(faces[i].count(*faces[j].begin()), 0u) << "buttons " << i + 1 << " and " << j + 1;
        }
    }
    // The pad's parts lie between the second and the third button.
    for (int i = 4; i < 9; ++i)
        for (auto& p : faces[i]) {
            EXPECT_GT(p.first, 51 - 27 + 9);
            EXPECT_LT(p.first, 137 - 27 + 9);
        }
}

TEST_F(KeyResources, ProgramHasItsIcon) {
    std::vector<uint8_t> group = resource(IDI_DRAVIK, RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(group[2] | group[3] << 8, 1) << "an icon";
    EXPECT_GE(group[4] | group[5] << 8, 1) << "at least one image";
}

}  // namespace
