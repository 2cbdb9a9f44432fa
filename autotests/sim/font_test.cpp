#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "gdi/font.h"

#include "surface.h"

namespace {

using simtest::kBlack;
using simtest::kWhite;
using simtest::Surface;

sim::FontRequest request(int height, int weight, int quality, const char16_t* face = u"Tahoma") {
    sim::FontRequest s;
    s.height = height;
    s.weight = weight;
    s.quality = quality;
    s.face = face;
    return s;
}

TEST(Font, MetricsOfTheProgramsFontsFollowGdiHeightMapping) {
    const struct {
        sim::FontRequest request;
        int em, height, ascent, descent;
    } cases[] = {
        // Cell height 13: the default-quality fonts.
        {request(13, 0, 0), 11, 13, 11, 2},
        {request(13, 700, 0), 11, 13, 11, 2},
        // Character height 11: the ClearType fonts.
        {request(-11, 0, 5), 11, 13, 11, 2},
        {request(-11, 700, 5), 11, 13, 11, 2},
        // Height 0: the system font's cell of 13.
        {request(0, 0, 0, u"System"), 11, 13, 11, 2},
        // Larger sizes keep the same mapping.
        {request(-20, 0, 0), 20, 24, 20, 4},
        {request(24, 0, 0), 20, 24, 20, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "height " << c.request.height << " weight " << c.request.weight);
        const sim::FontMetrics& m = sim::Font::realize(c.request).metrics();
        EXPECT_EQ(m.em, c.em);
        EXPECT_EQ(m.height, c.height);
        EXPECT_EQ(m.ascent, c.ascent);
        EXPECT_EQ(m.descent, c.descent);
        EXPECT_EQ(m.internal_leading, c.height - c.em);
        EXPECT_GT(m.ave_char_width, 0);
        EXPECT_GE(m.max_char_width, m.ave_char_width);
    }
}

TEST(Font, BoldIsTheBoldFileAndWider) {
    const sim::Font& normal = sim::Font::realize(request(-11, 400, 0));
    const sim::Font& bold = sim::Font::realize(request(-11, 700, 0));
    const sim::Font& semibold = sim::Font::realize(request(-11, 600, 0));
    EXPECT_NE(normal.file().find("/tahoma.ttf"), std::string::npos);
    EXPECT_NE(bold.file().find("/tahomabd.ttf"), std::string::npos);
    EXPECT_EQ(semibold.file(), bold.file());
    EXPECT_GT(bold.text_width(u"Dravik PASS FAIL"), normal.text_width(u"Dravik PASS FAIL"));
    EXPECT_GT(bold.metrics().alphabet_char_width, normal.metrics().alphabet_char_width);
    // Tahoma at 8 points gives the familiar dialog base unit of 6 pixels.
    EXPECT_EQ(normal.metrics().alphabet_char_width, 6);
}

// How much ink a text leaves, black on white, in grey levels.
long ink_weight(const sim::Font& f, const char16_t* text) {
    Surface s(160, 20);
    std::u16string t = text;
    f.draw(s.canvas, 2, 2, t.data(), t.size(), kBlack);
    long sum = 0;
    for (uint16_t p : s.px) {
        uint8_t r, g, b;
        sim::rgb565_to_rgb(p, r, g, b);
        sum += 255 - g;
    }
    return sum;
}

TEST(Font, BoldGlyphsCarryMoreInkPlainOrSmooth) {
    for (int quality : {0, 5}) {
        SCOPED_TRACE(quality);
        long normal = ink_weight(sim::Font::realize(request(-11, 400, quality)), u"Bold Finish Start");
        long bold = ink_weight(sim::Font::realize(request(-11, 700, quality)), u"Bold Finish Start");
        EXPECT_GT(bold * 10, normal * 13) << normal << " " << bold;
    }
}

TEST(Font, EveryFaceNameIsTahomaAndRealizedFontsAreShared) {
    const sim::Font& tahoma = sim::Font::realize(request(13, 0, 0));
    EXPECT_EQ(&sim::Font::realize(request(13, 0, 0)), &tahoma);
    EXPECT_EQ(&sim::Font::realize(request(13, 0, 0, u"MS Sans Serif")), &tahoma);
    EXPECT_EQ(&sim::Font::realize(request(13, 0, 0, u"")), &tahoma);
    // Same size but smoothed: a different font.
    EXPECT_NE(&sim::Font::realize(request(13, 0, 5)), &tahoma);
    EXPECT_TRUE(sim::Font::realize(request(13, 0, 5)).antialiased());
    EXPECT_TRUE(sim::Font::realize(request(13, 0, 4)).antialiased());
    EXPECT_FALSE(tahoma.antialiased());
    EXPECT_FALSE(sim::Font::realize(request(13, 0, 3)).antialiased());
}

TEST(Font, MissingFontFolderIsAClearError) {
    const char* old = std::getenv("DRAVIK_FONT_DIR");
    std::string saved = old ? old : "";
    setenv("DRAVIK_FONT_DIR", "/nonexistent/fonts", 1);
    try {
        sim::Font::realize(request(13, 0, 0));
        ADD_FAILURE() << "no error for a missing font file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/fonts/tahoma.ttf"), std::string::npos) << e.what();
    }
    if (old)
        setenv("DRAVIK_FONT_DIR", saved.c_str(), 1);
    else
        unsetenv("DRAVIK_FONT_DIR");
}

TEST(Font, TextWidthIsTheSumOfAdvancesAndDrawEndsThere) {
    const sim::Font& f = sim::Font::realize(request(13, 0, 0));
    std::u16string text = u"Sound test";
    int sum = 0;
    for (char16_t c : text) sum += f.advance(c);
    EXPECT_EQ(f.text_width(text), sum);
    EXPECT_GT(f.advance(u'W'), f.advance(u'i'));
    Surface s(120, 20);
    EXPECT_EQ(f.draw(s.canvas, 3, 2, text.data(), text.size(), kBlack), 3 + sum);
}

TEST(Font, GlyphsSitInTheCellBelowTheGivenTop) {
    for (int quality : {0, 5}) {
        SCOPED_TRACE(quality);
        const sim::Font& f = sim::Font::realize(request(13, 0, quality));
        const sim::FontMetrics& m = f.metrics();
        // Capitals stand on the baseline, top + ascent.
        Surface caps(60, 40);
        f.draw(caps.canvas, 10, 7, u"HE", 2, kBlack);
        sim::Rect box = caps.ink();
        EXPECT_EQ(box.bottom, 7 + m.ascent);
        EXPECT_GE(box.top, 7);
        EXPECT_GE(box.left, 10);
        EXPECT_LE(box.right, 10 + f.text_width(u"HE"));
        // Descenders stay inside the cell.
        Surface desc(60, 40);
        f.draw(desc.canvas, 10, 7, u"gjpq", 4, kBlack);
        EXPECT_GT(desc.ink().bottom, 7 + m.ascent);
        EXPECT_LE(desc.ink().bottom, 7 + m.height);
    }
}

TEST(Font, PlainGlyphsUseOnlyTheTextColourWhileSmoothOnesBlend) {
    const uint16_t blue = sim::rgb565(0, 0, 156);
    const struct {
        int quality;
        bool blended;
    } cases[] = {{0, false}, {3, false}, {4, true}, {5, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        const sim::Font& f = sim::Font::realize(request(-11, 700, c.quality));
        Surface s(100, 20);
        f.draw(s.canvas, 2, 2, u"Dravik", 6, blue);
        std::set<uint16_t> colours(s.px.begin(), s.px.end());
        EXPECT_TRUE(colours.count(blue));
        if (c.blended)
            EXPECT_GT(colours.size(), 2u);
        else
            EXPECT_EQ(colours, (std::set<uint16_t>{kWhite, blue}));
    }
}

TEST(Font, DrawingKeepsToTheCanvasClip) {
    const sim::Font& f = sim::Font::realize(request(13, 0, 0));
    Surface s(100, 20);
    s.canvas.clip = {20, 0, 40, 20};
    f.draw(s.canvas, 2, 2, u"WWWWWWWWWW", 10, kBlack);
    sim::Rect box = s.ink();
    EXPECT_FALSE(box.empty());
    EXPECT_GE(box.left, 20);
    EXPECT_LE(box.right, 40);
}

}  // namespace
