// The Screen Patterns test's drawing routines on the simulated display
// memory: every pixel they store, read back through the pitches, for the
// displays the profile can describe.
//
// The routines are the program's own objects, the same that make the
// program module.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/profile.h"
#include "drivers/gapi.h"
#include "gdi/screen.h"

#include "tests/pattern_drawing.h"

namespace {

using json = nlohmann::json;

const uint16_t kBars16[6] = {0xF800, 0x1FE0, 0x00FF, 0x0000, 0xFFFF, 0x38E7};
const uint8_t kBars8[6] = {0xE0, 0x18, 0x0F, 0xF8, 0xEF, 0xFF};

class PatternDrawing : public ::testing::Test {
protected:
    void TearDown() override {
        sim::profile().load_json(json::object());
        sim::reset_display_access();
    }

    // Powers on a device whose display is `display` (the profile's form),
    // opens it and copies its properties as the test does.
    void use_display(const json& display, const json& more = json::object()) {
        json profile = more;
        profile["display"] = display;
        sim::profile().load_json(profile);
        sim::reset_display_access();
        GXOpenDisplay(nullptr, GX_FULLSCREEN);
        DisplayRecord = GXGetDisplayProperties();
        // The memory's address, for reading back between passes.
        base_ = static_cast<uint8_t*>(GXBeginDraw());
        ASSERT_NE(base_, nullptr);
        GXEndDraw();
    }

    uint8_t* at(long x, long y) const {
        long xp = DisplayRecord.cbxPitch, yp = DisplayRecord.cbyPitch;
        if (DisplayRecord.cBPP == 16) {
            xp = (xp >> 1) * 2;
            yp = (yp >> 1) * 2;
        }
        return base_ + x * xp + y * yp;
    }
    uint16_t pixel16(long x, long y) const {
        uint16_t v;
        std::memcpy(&v, at(x, y), 2);
        return v;
    }
    uint8_t pixel8(long x, long y) const { return *at(x, y); }
    long width() const { return long(DisplayRecord.cxWidth); }
    long height() const { return long(DisplayRecord.cyHeight); }

    // Every pixel of the frame, through `expected(x, y)`; reports the first
    // few that differ.
    template <class Expected>
    ::testing::AssertionResult frame_is(Expected expected) const {
        int wrong = 0;
        std::string report;
        for (long y = 0; y < height(); ++y)
            for (long x = 0; x < width(); ++x) {
                unsigned got = DisplayRecord.cBPP == 16 ? pixel16(x, y) : pixel8(x, y);
                unsigned want = expected(x, y);
                if (got != want && wrong++ < 4)
                    report += " (" + std::to_string(x) + "," + std::to_string(y) + ") is " + std::to_string(got) +
                              " not " + std::to_string(want) + ";";
            }
        if (!wrong) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << wrong << " pixels differ:" << report;
    }

    uint8_t* base_ = nullptr;
};

// The value of a solid frame: the components as they stand, cut to the
// pixel's width, by depth and format.
TEST_F(PatternDrawing, SolidFramesHoldTheirValueInEveryPixel) {
    struct Case {
        const char* what;
        json display;
        DWORD red, green, blue;
        unsigned value;
    };
    const Case cases[] = {
        {"white, 5-6-5", json::object(), 255, 255, 255, 0xFFFF},
        {"blue, 5-6-5", json::object(), 0, 0, 255, 0x00FF},
        {"white, 5-5-5", {{"format", 0x40}}, 255, 255, 255, 0xFFFF},
        {"blue, 5-5-5", {{"format", 0x40}}, 0, 0, 255, 0x00FF},
        {"red spills, 5-5-5", {{"format", 0x40}}, 31, 0, 0, 0x7C00},
        {"both bits: 5-6-5", {{"format", 0xC0}}, 31, 0, 0, 0xF800},
        {"white, neither format", {{"format", 0x20}}, 255, 255, 255, 0},
        {"blue, neither format", {{"format", 0}}, 0, 0, 255, 0},
        {"white, 8 bits", {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}}, 255, 255, 255, 0xFF},
        {"blue, 8 bits", {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}}, 0, 0, 255, 0x0F},
        {"mixed, 8 bits", {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}}, 2, 3, 10, 0x5A},
        {"white, turned panel", {{"xpitch", -640}, {"ypitch", 2}}, 255, 255, 255, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        use_display(c.display);
        FillScreenSolid(0, 31, 0);  // something else first
        EXPECT_EQ(FillScreenSolid(c.red, c.green, c.blue), 1);
        EXPECT_TRUE(frame_is([&](long, long) { return c.value; }));
    }
}

// Rows padded past the frame, and the bytes of wide pixels past the first:
// no routine writes anything outside the frame's pixels.
TEST_F(PatternDrawing, NothingIsWrittenOutsideTheFrame) {
    struct Case {
        const char* what;
        json display;
        long pixel_bytes;  // bytes of a pixel the routines may write
        long row_bytes;    // bytes of a row the routines may write
    };
    const Case cases[] = {
        {"16 bits, padded rows", {{"ypitch", 512}}, 2, 480},
        {"8 bits, padded rows", {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 256}}, 1, 240},
        {"32 bits: one byte a pixel", {{"bpp", 32}, {"xpitch", 4}, {"ypitch", 960}}, 1, 960},
        {"24 bits: one byte a pixel", {{"bpp", 24}, {"xpitch", 3}, {"ypitch", 720}}, 1, 720},
    };
    int (*const routines[])() = {[] { return FillScreenSolid(255, 255, 255); }, [] { return DrawColourBars(0); },
                                 [] { return DrawColourBars(1); }, [] { return DrawRandomColumns(); }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        use_display(c.display);
        long ypitch = DisplayRecord.cbyPitch, xpitch = DisplayRecord.cbxPitch;
        for (auto routine : routines) EXPECT_EQ(routine(), 1);
        int written_outside = 0;
        for (long y = 0; y < 320; ++y)
            for (long b = 0; b < (y == 319 ? 240 * xpitch : ypitch); ++b) {
                bool inside = b < c.row_bytes && b % xpitch < c.pixel_bytes;
                if (!inside && base_[y * ypitch + b] != 0) ++written_outside;
            }
        EXPECT_EQ(written_outside, 0);
    }
}

TEST_F(PatternDrawing, VerticalBarsAreFortyColumnsEachOnTheDevicePanel) {
    use_display(json::object());
    EXPECT_EQ(DrawColourBars(0), 1);
    EXPECT_TRUE(frame_is([](long x, long) { return kBars16[x / 40]; }));
    // The Part's edges, spelled out.
    EXPECT_EQ(pixel16(39, 0), 0xF800);
    EXPECT_EQ(pixel16(40, 319), 0x1FE0);
    EXPECT_EQ(pixel16(119, 100), 0x00FF);
    EXPECT_EQ(pixel16(120, 100), 0x0000);
    EXPECT_EQ(pixel16(199, 5), 0xFFFF);
    EXPECT_EQ(pixel16(200, 5), 0x38E7);
    EXPECT_EQ(pixel16(239, 319), 0x38E7);
}

// 320 rows: five bars of 53 rows and a last one of 55 that reaches the
// bottom.
TEST_F(PatternDrawing, HorizontalBarsAreFiftyThreeRowsAndTheLastFiftyFive) {
    use_display(json::object());
    EXPECT_EQ(DrawColourBars(1), 1);
    const long first_rows[6] = {0, 53, 106, 159, 212, 265};
    EXPECT_TRUE(frame_is([&](long, long y) {
        int bar = 5;
        while (y < first_rows[bar]) --bar;
        return kBars16[bar];
    }));
    EXPECT_EQ(pixel16(0, 52), 0xF800);
    EXPECT_EQ(pixel16(0, 53), 0x1FE0);
    EXPECT_EQ(pixel16(239, 264), 0xFFFF);
    EXPECT_EQ(pixel16(239, 265), 0x38E7);
    EXPECT_EQ(pixel16(120, 319), 0x38E7);
}

// At 16 bits every bar paints the left-over lines, and the next paints over
// them; at 8 bits the left-over lines at the far edge keep the last frame.
TEST_F(PatternDrawing, LeftOverLinesByDepth) {
    struct Case {
        const char* what;
        json display;
        int mode;
        unsigned (*expected)(long x, long y);
    };
    const uint8_t kBefore = 0x5A;  // FillScreenSolid(2, 3, 10) at 8 bits
    const Case cases[] = {
        {"16 bits, 4 wide: n = 0, the last colour remains", {{"width", 4}, {"height", 10}, {"ypitch", 8}}, 0,
         [](long, long) { return unsigned(0x38E7); }},
        {"16 bits, 100 high: 16 rows a bar, the last 20", {{"width", 8}, {"height", 100}, {"ypitch", 16}}, 1,
         [](long, long y) { return unsigned(kBars16[y < 96 ? y / 16 : 5]); }},
        {"8 bits, 4 wide: n = 0, nothing painted", {{"width", 4}, {"height", 10}, {"bpp", 8}, {"xpitch", 1},
                                                    {"ypitch", 4}}, 0,
         [](long, long) { return unsigned(0x5A); }},
        {"8 bits, 100 high: the last 4 rows as they were",
         {{"width", 8}, {"height", 100}, {"bpp", 8}, {"xpitch", 1}, {"ypitch", 8}}, 1,
         [](long, long y) { return unsigned(y < 96 ? kBars8[y / 16] : 0x5A); }},
        {"8 bits, 100 wide: the last 4 columns as they were",
         {{"width", 100}, {"height", 8}, {"bpp", 8}, {"xpitch", 1}, {"ypitch", 100}}, 0,
         [](long x, long) { return unsigned(x < 96 ? kBars8[x / 16] : 0x5A); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        use_display(c.display);
        FillScreenSolid(2, 3, 10);
        if (DisplayRecord.cBPP == 8) {
            ASSERT_EQ(pixel8(0, 0), kBefore);
        }
        EXPECT_EQ(DrawColourBars(c.mode), 1);
        EXPECT_TRUE(frame_is(c.expected));
    }
}

// The 16-bit table serves whatever the format says; at other depths than 8
// and 16 bits nothing is drawn and the display memory is not even asked for.
TEST_F(PatternDrawing, BarsIgnoreTheFormatAndSkipOtherDepths) {
    for (int format : {0x80, 0x40, 0}) {
        SCOPED_TRACE(format);
        use_display({{"format", format}});
        EXPECT_EQ(DrawColourBars(0), 1);
        EXPECT_TRUE(frame_is([](long x, long) { return kBars16[x / 40]; }));
    }
    // GXBeginDraw call 2 (the first after use_display's own) fails: the
    // routines that skip the depth leave it to DrawRandomColumns.
    use_display({{"bpp", 24}, {"xpitch", 3}, {"ypitch", 720}}, {{"begin_draw_fails", {2}}});
    EXPECT_EQ(FillScreenSolid(255, 255, 255), 1);
    EXPECT_EQ(DrawColourBars(0), 1);
    EXPECT_EQ(DrawColourBars(1), 1);
    EXPECT_EQ(DrawRandomColumns(), 0);
}

// A mirrored panel gets the same picture through its pitches: in its
// memory it lies the other way round.
TEST_F(PatternDrawing, NegativePitchesDrawTheSamePictureMirrored) {
    struct Case {
        const char* what;
        json display;
        long (*memory_x)(long x);  // the column x lands in, counted in memory order
        long (*memory_y)(long y);
    };
    const Case cases[] = {
        {"mirrored across x", {{"xpitch", -2}}, [](long x) { return 239 - x; }, [](long y) { return y; }},
        {"upside down", {{"ypitch", -480}}, [](long x) { return x; }, [](long y) { return 319 - y; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int mode : {0, 1}) {
            use_display(c.display);
            EXPECT_EQ(DrawColourBars(mode), 1);
            const long first_rows[6] = {0, 53, 106, 159, 212, 265};
            auto expected = [&](long x, long y) {
                if (mode == 0) return unsigned(kBars16[x / 40]);
                int bar = 5;
                while (y < first_rows[bar]) --bar;
                return unsigned(kBars16[bar]);
            };
            EXPECT_TRUE(frame_is(expected)) << "mode " << mode;
            // The lowest address of the memory holds the far corner.
            uint8_t* low = base_ + std::min(0L, long(DisplayRecord.cbxPitch)) * 239 +
                           std::min(0L, long(DisplayRecord.cbyPitch)) * 319;
            for (long y : {0L, 52L, 53L, 300L})
                for (long x : {0L, 39L, 40L, 239L}) {
                    uint16_t v;
                    std::memcpy(&v, low + c.memory_x(x) * 2 + c.memory_y(y) * 480, 2);
                    EXPECT_EQ(v, expected(x, y)) << "mode " << mode << " at " << x << "," << y;
                }
        }
    }
}

// Each column takes three numbers, a, b and c in that order, even when it
// has no pixels; at 16 bits the value is (a << 11 | b << 5 | c) of their low
// bytes, at other depths the 8-bit rule of the solid frames.
TEST_F(PatternDrawing, RandomColumnsTakeThreeNumbersEachInOrder) {
    struct Case {
        const char* what;
        json display;
        unsigned (*value)(DWORD a, DWORD b, DWORD c);
    };
    auto v16 = [](DWORD a, DWORD b, DWORD c) { return unsigned(((a & 0xFF) << 11 | (b & 0xFF) << 5 | (c & 0xFF)) & 0xFFFF); };
    auto v8 = [](DWORD a, DWORD b, DWORD c) { return unsigned((a << 5 | (b & 3) << 3 | (c & 0x0F)) & 0xFF); };
    const Case cases[] = {
        {"16 bits", json::object(), v16},
        {"16 bits, neither format", {{"format", 0}}, v16},
        {"16 bits, mirrored", {{"xpitch", -2}, {"ypitch", -480}}, v16},
        {"8 bits", {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}}, v8},
        {"8 bits, turned", {{"bpp", 8}, {"xpitch", 320}, {"ypitch", -1}}, v8},
        {"32 bits", {{"bpp", 32}, {"xpitch", 4}, {"ypitch", 960}}, v8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        use_display(c.display, {{"seed", 1234}});
        std::vector<unsigned> columns;
        sim::reset_display_access();  // Random from the seed again; the display stays as it is
        GXOpenDisplay(nullptr, GX_FULLSCREEN);
        for (long x = 0; x < 240; ++x) {
            DWORD a = Random(), b = Random(), cc = Random();
            columns.push_back(c.value(a, b, cc));
        }
        DWORD next = Random();
        sim::reset_display_access();
        GXOpenDisplay(nullptr, GX_FULLSCREEN);
        base_ = static_cast<uint8_t*>(GXBeginDraw());
        GXEndDraw();
        EXPECT_EQ(DrawRandomColumns(), 1);
        EXPECT_TRUE(frame_is([&](long x, long) { return columns[size_t(x)]; }));
        EXPECT_EQ(Random(), next) << "exactly three numbers a column";
    }
}

TEST_F(PatternDrawing, RandomColumnsTakeTheirNumbersWhenTheFrameHasNoRows) {
    use_display({{"height", 0}}, {{"seed", 99}});
    sim::reset_display_access();
    GXOpenDisplay(nullptr, GX_FULLSCREEN);
    for (int i = 0; i < 3 * 240; ++i) Random();
    DWORD next = Random();
    sim::reset_display_access();
    GXOpenDisplay(nullptr, GX_FULLSCREEN);
    EXPECT_EQ(DrawRandomColumns(), 1);
    EXPECT_EQ(Random(), next);
}

// Without the display memory a pass draws nothing and reports 0.
TEST_F(PatternDrawing, PassWithoutDisplayMemoryReportsZero) {
    for (int bpp : {16, 8}) {
        SCOPED_TRACE(bpp);
        json display = bpp == 8 ? json{{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}} : json::object();
        use_display(display, {{"begin_draw_fails", {3, 4, 5, 6}}});
        EXPECT_EQ(FillScreenSolid(0, 0, 255), 1);  // call 2
        unsigned before = bpp == 16 ? pixel16(0, 0) : pixel8(0, 0);
        EXPECT_EQ(FillScreenSolid(255, 255, 255), 0);
        EXPECT_EQ(DrawColourBars(0), 0);
        EXPECT_EQ(DrawColourBars(1), 0);
        EXPECT_EQ(DrawRandomColumns(), 0);
        EXPECT_TRUE(frame_is([&](long, long) { return before; }));
        EXPECT_NE(GXBeginDraw(), nullptr) << "every failed pass left the display free";
        GXEndDraw();
    }
}

}  // namespace
