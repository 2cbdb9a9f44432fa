// GAPI on the simulated device: the display memory laid out as the
// profile's "display" describes it, the panel showing each pass when it
// ends, the failing GXBeginDraw calls, Random from the profile's seed, and
// the profile and script forms that drive them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <windows.h>

#include "device/profile_loading.h"
#include "drivers/gapi.h"
#include "gdi/screen.h"
#include "people/script.h"
#include "platform/ce_api.h"

namespace {

using json = nlohmann::json;

class Gapi : public ::testing::Test {
protected:
    void TearDown() override {
        sim::set_frame_observer(nullptr);
        sim::profile().load_json(json::object());
        sim::reset_display_access();
    }

    // Powers the display on anew with this profile and opens it.
    GXDisplayProperties open(const json& profile) {
        sim::profile().load_json(profile);
        sim::reset_display_access();
        GXOpenDisplay(nullptr, GX_FULLSCREEN);
        return GXGetDisplayProperties();
    }

    // The program's addressing: byte pitches at 8 bits, at 16 bits the
    // pitches with their lowest bit cleared.
    static uint8_t* address(void* base, const GXDisplayProperties& p, long x, long y) {
        long xp = p.cbxPitch, yp = p.cbyPitch;
        if (p.cBPP == 16) {
            xp = (xp >> 1) * 2;
            yp = (yp >> 1) * 2;
        }
        return static_cast<uint8_t*>(base) + x * xp + y * yp;
    }

    static uint16_t screen(int x, int y) { return sim::framebuffer().pixels[y][x]; }
};

TEST_F(Gapi, DefaultDisplayIsTheDevicePanel) {
    GXDisplayProperties p = open(json::object());
    EXPECT_EQ(p.cxWidth, 240u);
    EXPECT_EQ(p.cyHeight, 320u);
    EXPECT_EQ(p.cbxPitch, 2);
    EXPECT_EQ(p.cbyPitch, 480);
    EXPECT_EQ(p.cBPP, 16);
    EXPECT_EQ(p.ffFormat, DWORD(kfDirect565));
}

// Every pixel written through the pitches shows at its own place on the
// panel, converted from the display's format; the memory holds every pixel
// (AddressSanitizer watches the edges).
TEST_F(Gapi, PanelShowsEachPixelWhereThePitchesPutIt) {
    struct Case {
        const char* what;
        json display;
        uint16_t (*stored)(int x, int y);    // what the program stores at (x, y)
        uint16_t (*shown)(uint16_t stored);  // what the panel shows for it
    };
    auto pattern16 = [](int x, int y) { return uint16_t(x * 131 + y * 7919); };
    auto pattern8 = [](int x, int y) { return uint16_t((x * 7 + y * 13) & 0xFF); };
    auto as_565 = [](uint16_t v) { return v; };
    // 5-5-5 to 5-6-5: red and green move up a bit, green's top bit repeats
    // as its lowest.
    auto from_555 = [](uint16_t v) {
        uint8_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return uint16_t(r << 11 | (g << 1 | g >> 4) << 5 | b);
    };
    // 3-3-2 through the panel's fixed palette.
    auto from_332 = [](uint16_t v) {
        return sim::rgb565(uint8_t(((v >> 5) & 7) * 255 / 7), uint8_t(((v >> 2) & 7) * 255 / 7),
                           uint8_t((v & 3) * 255 / 3));
    };
    const Case cases[] = {
        {"the device's panel", json::object(), pattern16, as_565},
        {"rows with padding", {{"ypitch", 512}}, pattern16, as_565},
        {"mirrored across x", {{"xpitch", -2}}, pattern16, as_565},
        {"upside down", {{"ypitch", -480}}, pattern16, as_565},
        {"turned a quarter", {{"xpitch", -640}, {"ypitch", 2}}, pattern16, as_565},
        {"odd pitches", {{"xpitch", -3}, {"ypitch", 961}}, pattern16, as_565},
        {"5-5-5", {{"format", 0x40}}, pattern16, from_555},
        {"5-6-5 wins over 5-5-5", {{"format", 0xC0}}, pattern16, as_565},
        {"neither format", {{"format", 0}}, pattern16, as_565},
        {"8 bits", {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}}, pattern8, from_332},
        {"8 bits turned", {{"bpp", 8}, {"xpitch", 320}, {"ypitch", -1}}, pattern8, from_332},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GXDisplayProperties p = open({{"display", c.display}});
        void* base = GXBeginDraw();
        ASSERT_NE(base, nullptr);
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 240; ++x) {
                uint16_t v = c.stored(x, y);
                uint8_t* at = address(base, p, x, y);
                at[0] = uint8_t(v);
                if (p.cBPP == 16) at[1] = uint8_t(v >> 8);
            }
        ASSERT_EQ(GXEndDraw(), 1);
        int wrong = 0;
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 240; ++x)
                if (screen(x, y) != c.shown(c.stored(x, y)) && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " shows " << std::hex << screen(x, y);
    }
}

// The panel changes only when a pass ends, and a display smaller than the
// panel leaves the rest of the screen as it was.
TEST_F(Gapi, PassShowsWhenItEndsAndOnlyWhereTheDisplayIs) {
    for (auto& row : sim::framebuffer().pixels)
        for (auto& px : row) px = 0x1234;
    GXDisplayProperties p = open({{"display", {{"width", 100}, {"height", 50}, {"ypitch", 200}}}});
    void* base = GXBeginDraw();
    ASSERT_NE(base, nullptr);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) *reinterpret_cast<uint16_t*>(address(base, p, x, y)) = 0xF800;
    EXPECT_EQ(screen(0, 0), 0x1234) << "nothing shows before the pass ends";
    GXEndDraw();
    EXPECT_EQ(screen(0, 0), 0xF800);
    EXPECT_EQ(screen(99, 49), 0xF800);
    EXPECT_EQ(screen(100, 0), 0x1234);
    EXPECT_EQ(screen(0, 50), 0x1234);
}

TEST_F(Gapi, EmptyFrameStillGivesMemoryForThePass) {
    for (json display : {json{{"width", 0}}, json{{"height", 0}}}) {
        SCOPED_TRACE(display.dump());
        open({{"display", display}});
        EXPECT_NE(GXBeginDraw(), nullptr);
        EXPECT_EQ(GXEndDraw(), 1);
    }
}

// The calls are counted from power-on; a listed call returns null, and so
// does a second GXBeginDraw before the pass ends, or one before the display
// is opened.  GXEndDraw without a pass reports failure.
TEST_F(Gapi, BeginDrawFailsAsTheProfileSaysAndOutsideAnOpenDisplay) {
    sim::profile().load_json({{"begin_draw_fails", {2, 4}}});
    sim::reset_display_access();
    EXPECT_EQ(GXBeginDraw(), nullptr) << "call 1: the display is not open";
    EXPECT_EQ(GXEndDraw(), 0);
    GXOpenDisplay(nullptr, GX_FULLSCREEN);
    EXPECT_EQ(GXBeginDraw(), nullptr) << "call 2 is listed";
    void* base = GXBeginDraw();  // call 3
    EXPECT_NE(base, nullptr);
    EXPECT_EQ(GXBeginDraw(), nullptr) << "call 4 is listed";
    EXPECT_EQ(GXBeginDraw(), nullptr) << "call 5: the pass of call 3 has not ended";
    EXPECT_EQ(GXEndDraw(), 1);
    EXPECT_EQ(GXEndDraw(), 0);
    GXOpenDisplay(nullptr, GX_FULLSCREEN);  // opened again: the count goes on
    EXPECT_EQ(GXBeginDraw(), base) << "call 6";
    GXEndDraw();

    sim::reset_display_access();  // power-on again
    GXOpenDisplay(nullptr, GX_FULLSCREEN);
    EXPECT_NE(GXBeginDraw(), nullptr) << "call 1 after power-on";
    GXEndDraw();
    EXPECT_EQ(GXBeginDraw(), nullptr) << "call 2 after power-on";
}

// Opening the open display again keeps what its memory holds.
TEST_F(Gapi, OpeningAgainKeepsTheMemory) {
    open(json::object());
    auto* base = static_cast<uint16_t*>(GXBeginDraw());
    ASSERT_NE(base, nullptr);
    base[0] = 0xABCD;
    GXEndDraw();
    GXOpenDisplay(nullptr, GX_FULLSCREEN);
    base = static_cast<uint16_t*>(GXBeginDraw());
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base[0], 0xABCD);
    GXEndDraw();
}

TEST_F(Gapi, ObserverHearsOfEachShownFrameByItsBeginCall) {
    sim::profile().load_json({{"begin_draw_fails", {2}}});
    sim::reset_display_access();
    GXOpenDisplay(nullptr, GX_FULLSCREEN);
    std::vector<int> heard;
    uint16_t shown_at_call_3 = 0;
    sim::set_frame_observer([&](int call) {
        heard.push_back(call);
        if (call == 3) shown_at_call_3 = screen(0, 0);
    });
    for (int pass = 1; pass <= 3; ++pass) {
        auto* base = static_cast<uint16_t*>(GXBeginDraw());
        if (!base) continue;
        base[0] = uint16_t(0x1000 * pass);
        GXEndDraw();
    }
    EXPECT_EQ(heard, (std::vector<int>{1, 3}));
    EXPECT_EQ(shown_at_call_3, 0x3000) << "the frame is on the panel when the observer hears of it";
}

TEST_F(Gapi, RandomRepeatsFromTheProfileSeed) {
    auto numbers = [](const json& profile) {
        sim::profile().load_json(profile);
        sim::reset_display_access();
        std::vector<DWORD> out;
        for (int i = 0; i < 5; ++i) out.push_back(Random());
        return out;
    };
    std::vector<DWORD> seeded = numbers({{"seed", 42}});
    EXPECT_EQ(numbers({{"seed", 42}}), seeded);
    EXPECT_NE(numbers({{"seed", 43}}), seeded);
    EXPECT_EQ(numbers(json::object()), numbers({{"seed", 1}})) << "the default seed is 1";
    std::vector<DWORD> zero = numbers({{"seed", 0}});
    EXPECT_NE(zero[0], 0u) << "a zero seed does not stick at zero";
}

// ------------------------------------------------------------ the profile's "display"

std::string load_profile_error(const std::string& text) {
    char path[] = "/tmp/gapi_profile_XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    if (fd >= 0) close(fd);
    std::ofstream(path) << text;
    sim::Profile p;
    std::string error;
    bool ok = sim::load_profile(&p, path, &error);
    std::remove(path);
    return ok ? "" : error.substr(error.find(':') + 1);
}

TEST(GapiProfile, DisplayFieldsAreCheckedAndNamed) {
    struct Case {
        const char* text;
        const char* error_part;  // "" : accepted
    };
    const Case cases[] = {
        {R"({"display": {"width": 240, "height": 320, "xpitch": -2, "ypitch": 480, "bpp": 16, "format": 128}})", ""},
        {R"({"display": {"bpp": 8, "format": 4294967295}})", ""},
        {R"({"display": {}, "begin_draw_fails": [1, 31], "seed": 7})", ""},
        {"{\n\"display\": {\"depth\": 16}}", "2: \"display\": unknown field \"depth\""},
        {R"({"display": {"width": 1025}})", "\"width\" must be a whole number from 0 to 1024"},
        {R"({"display": {"height": -1}})", "\"height\" must be a whole number from 0 to 1024"},
        {R"({"display": {"xpitch": 8193}})", "\"xpitch\" must be a whole number from -8192 to 8192"},
        {R"({"display": {"ypitch": "480"}})", "\"ypitch\" must be a whole number"},
        {R"({"display": {"bpp": 0}})", "\"bpp\" must be a whole number from 1 to 32"},
        {R"({"display": {"format": 4294967296}})", "\"format\" must be a whole number from 0 to 4294967295"},
        {R"({"display": {"width": 2.5}})", "\"width\" must be a whole number"},
        {R"({"display": [240, 320]})", "\"display\" must be an object"},
        {R"({"begin_draw_fails": [1.5]})", "\"begin_draw_fails\" must be a list of whole numbers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error = load_profile_error(c.text);
        if (!*c.error_part)
            EXPECT_EQ(error, "");
        else
            EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
    }
}

TEST(GapiScript, ScreenshotFrameNamesTheCallAndTheFile) {
    sim::Script s;
    std::string error;
    ASSERT_TRUE(sim::parse_script_text("screenshot-frame 62 bars.png\n", "t.txt", &s, &error)) << error;
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s.action(0).kind, sim::ScriptAction::ScreenshotFrame);
    EXPECT_EQ(s.action(0).draw_call, 62);
    EXPECT_EQ(s.action(0).file, "bars.png");

    const struct {
        const char* text;
        const char* error_part;
    } bad[] = {
        {"screenshot-frame 0 a.png", "CALL must be a whole number from 1 to 1000000"},
        {"screenshot-frame 5 a.bmp", "must be a name ending in .png"},
        {"screenshot-frame 5", "missing FILE.png"},
    };
    for (auto& b : bad) {
        SCOPED_TRACE(b.text);
        EXPECT_FALSE(sim::parse_script_text(b.text, "t.txt", &s, &error));
        EXPECT_NE(error.find(b.error_part), std::string::npos) << error;
    }
}

}  // namespace
