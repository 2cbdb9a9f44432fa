#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "gdi/text_layout.h"

#include "surface.h"

namespace {

using simtest::kBlack;
using simtest::kWhite;
using simtest::Surface;

const sim::Font& normal_font() {
    sim::FontRequest s;
    s.height = 13;
    s.face = u"Tahoma";
    return sim::Font::realize(s);
}

int draw(Surface& s, const char16_t* text, sim::Rect rect, unsigned format,
         sim::TextBackground background = sim::TextBackground::Transparent) {
    return sim::draw_text(s.canvas, normal_font(), text, -1, rect, format, kBlack, background, kWhite);
}

bool inside(const sim::Rect& inner, const sim::Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(TextLayout, SingleLineIsPlacedByTheAlignmentFlags) {
    const sim::Font& f = normal_font();
    const int lh = f.metrics().height;  // 13
    const char16_t* text = u"Dravik";
    const int w = f.text_width(text);
    const sim::Rect r{10, 20, 200, 50};  // 190 x 30
    const struct {
        const char* name;
        unsigned format;
        int cell_x, cell_y;  // where the text's cell must start
        int result;
    } cases[] = {
        {"top left", DT_SINGLELINE, 10, 20, lh},
        {"left vcenter", DT_SINGLELINE | DT_VCENTER, 10, 20 + (30 - lh) / 2, (30 - lh) / 2 + lh},
        {"centre vcenter", DT_SINGLELINE | DT_CENTER | DT_VCENTER, 10 + (190 - w) / 2, 20 + (30 - lh) / 2,
         (30 - lh) / 2 + lh},
        {"right bottom", DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, 200 - w, 50 - lh, 30},
        {"vcenter needs singleline", DT_VCENTER | DT_BOTTOM, 10, 20, lh},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface s(240, 120);
        EXPECT_EQ(draw(s, text, r, c.format), c.result);
        sim::Rect cell{c.cell_x, c.cell_y, c.cell_x + w, c.cell_y + lh};
        sim::Rect ink = s.ink();
        ASSERT_FALSE(ink.empty());
        EXPECT_TRUE(inside(ink, cell)) << "ink " << ink.left << "," << ink.top << " " << ink.right << ","
                                       << ink.bottom;
        // The ink fills its cell but for the side bearings and the leading.
        EXPECT_LE(ink.left - cell.left, 2);
        EXPECT_LE(cell.right - ink.right, 2);
        EXPECT_LE(ink.top - cell.top, f.metrics().internal_leading + 1);
    }
}

TEST(TextLayout, TitleRectangleCentresTheLineVertically) {
    // The panel's title: a 22-pixel band, DT_SINGLELINE | DT_VCENTER.
    Surface s(240, 120);
    EXPECT_EQ(draw(s, u"Dravik", {8, 0, 240, 22}, DT_SINGLELINE | DT_VCENTER), 4 + 13);
}

TEST(TextLayout, LineBreaksWordWrapAndSingleLine) {
    const sim::Font& f = normal_font();
    const int lh = f.metrics().height;
    const int two_words = f.text_width(u"aaaa aaaa");
    const struct {
        const char* name;
        const char16_t* text;
        int width;
        unsigned format;
        int lines;
    } cases[] = {
        {"newline", u"ab\ncd", 200, DT_LEFT, 2},
        {"cr lf", u"ab\r\ncd", 200, DT_LEFT, 2},
        {"lone cr", u"ab\rcd", 200, DT_LEFT, 2},
        {"empty line between", u"ab\n\ncd", 200, DT_LEFT, 3},
        {"trailing newline adds nothing", u"ab\n", 200, DT_LEFT, 1},
        {"single line ignores breaks", u"ab\ncd\r\nef", 200, DT_SINGLELINE, 1},
        {"no wrap without the flag", u"aaaa aaaa aaaa aaaa aaaa", two_words, DT_LEFT, 1},
        {"two words fit exactly", u"aaaa aaaa aaaa aaaa aaaa", two_words, DT_WORDBREAK, 3},
        {"one pixel short", u"aaaa aaaa aaaa aaaa aaaa", two_words - 1, DT_WORDBREAK, 5},
        {"blanks at a break vanish", u"aaaa     aaaa", f.text_width(u"aaaa "), DT_WORDBREAK, 2},
        {"wrap and newline", u"aaaa aaaa\naaaa", two_words, DT_WORDBREAK, 2},
        {"singleline beats wordbreak", u"aaaa aaaa aaaa", 10, DT_WORDBREAK | DT_SINGLELINE, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface s(240, 120);
        sim::Rect r{0, 0, c.width, 119};
        EXPECT_EQ(draw(s, c.text, r, c.format | DT_NOCLIP), c.lines * lh);
        sim::TextSize size = sim::measure_text(f, c.text, -1, c.width, c.format);
        EXPECT_EQ(size.height, c.lines * lh);
    }
}

TEST(TextLayout, WrappedSentenceDrawsOneBandPerLine) {
    Surface s(240, 120);
    const char16_t* text = u"Save all unsaved data and \nclose all tasks before running a test";
    sim::Rect r{12, 10, 12 + 132, 100};
    int height = draw(s, text, r, DT_WORDBREAK);
    EXPECT_EQ(height, 3 * 13);
    auto bands = s.ink_bands();
    ASSERT_EQ(bands.size(), 3u);
    for (size_t i = 0; i < bands.size(); ++i) {
        EXPECT_GE(bands[i].first, 10 + 13 * int(i));
        EXPECT_LE(bands[i].second, 10 + 13 * int(i + 1));
    }
    EXPECT_LE(s.ink().right, r.right);
}

TEST(TextLayout, WordWiderThanTheRectangleStandsAloneClipped) {
    const sim::Font& f = normal_font();
    Surface s(240, 120);
    sim::Rect r{10, 0, 10 + f.text_width(u"ab cd"), 100};
    int height = draw(s, u"ab Extraordinarily cd", r, DT_WORDBREAK);
    EXPECT_EQ(height, 3 * 13);
    EXPECT_EQ(s.ink_bands().size(), 3u);
    EXPECT_TRUE(inside(s.ink(), r));
    // Unclipped, the long word runs past the edge: it was not broken.
    Surface unclipped(240, 120);
    draw(unclipped, u"ab Extraordinarily cd", r, DT_WORDBREAK | DT_NOCLIP);
    EXPECT_EQ(unclipped.ink_bands().size(), 3u);
    EXPECT_GT(unclipped.ink().right, r.right);
}

TEST(TextLayout, CalcRectMeasuresWithoutDrawing) {
    const sim::Font& f = normal_font();
    const struct {
        const char* name;
        const char16_t* text;
        unsigned format;
        sim::Rect rect, expected;
        int result;
    } cases[] = {
        {"single line", u"Dravik", DT_SINGLELINE, {5, 7, 200, 8}, {5, 7, 5 + f.text_width(u"Dravik"), 20}, 13},
        {"two lines", u"PASS\nFinish", DT_LEFT, {0, 0, 1, 1}, {0, 0, f.text_width(u"Finish"), 26}, 26},
        {"wrapped", u"aaaa aaaa aaaa", DT_WORDBREAK, {0, 0, f.text_width(u"aaaa aaaa") + 3, 0},
         {0, 0, f.text_width(u"aaaa aaaa"), 26}, 26},
        {"empty single line", u"", DT_SINGLELINE, {3, 4, 50, 60}, {3, 4, 3, 17}, 13},
        {"empty", u"", DT_LEFT, {3, 4, 50, 60}, {3, 4, 3, 4}, 13},
        {"vcenter", u"Dravik", DT_SINGLELINE | DT_VCENTER, {0, 0, 0, 1}, {0, 0, f.text_width(u"Dravik"), 7}, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface s(240, 120);
        sim::Rect r = c.rect;
        EXPECT_EQ(sim::draw_text(s.canvas, f, c.text, -1, r, c.format | DT_CALCRECT, kBlack,
                                 sim::TextBackground::Opaque, 0x1234),
                  c.result);
        EXPECT_EQ(r, c.expected) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
        EXPECT_TRUE(s.ink().empty());
    }
}

TEST(TextLayout, DrawingIsClippedToTheRectangleUnlessNoClip) {
    const char16_t* text = u"Perform automatic 'Reset' before test";
    const sim::Rect r{10, 10, 60, 20};  // narrower and lower than the text
    Surface clipped(240, 120);
    draw(clipped, text, r, DT_SINGLELINE, sim::TextBackground::Opaque);
    EXPECT_TRUE(inside(clipped.ink(), r));
    EXPECT_FALSE(clipped.ink().empty());
    Surface free(240, 120);
    draw(free, text, r, DT_SINGLELINE | DT_NOCLIP, sim::TextBackground::Opaque);
    EXPECT_GT(free.ink().right, 60);
    EXPECT_GT(free.ink().bottom, 20);
}

TEST(TextLayout, OpaqueBlanksPaintOverAnOlderWord) {
    // A status cell: "FAIL" drawn, then "?" and 22 blanks over it.
    const sim::Rect cell{170, 62, 240, 82};
    std::u16string unknown = u"?" + std::u16string(22, u' ');
    Surface expected(240, 120);
    draw(expected, unknown.c_str(), cell, DT_SINGLELINE, sim::TextBackground::Opaque);

    Surface s(240, 120);
    draw(s, u"FAIL", cell, DT_SINGLELINE, sim::TextBackground::Opaque);
    sim::Rect fail_ink = s.ink();
    draw(s, unknown.c_str(), cell, DT_SINGLELINE, sim::TextBackground::Opaque);
    EXPECT_EQ(s.px, expected.px);
    EXPECT_FALSE(fail_ink == s.ink());

    // In transparent mode the old word shows through.
    Surface t(240, 120);
    draw(t, u"FAIL", cell, DT_SINGLELINE, sim::TextBackground::Transparent);
    draw(t, unknown.c_str(), cell, DT_SINGLELINE, sim::TextBackground::Transparent);
    EXPECT_NE(t.px, expected.px);
}

TEST(TextLayout, OpaqueFillCoversTheTextExtentOnly) {
    const sim::Font& f = normal_font();
    Surface s(240, 120);
    s.canvas.fill_rect({0, 0, 240, 120}, kBlack);
    sim::Rect r{20, 30, 200, 80};
    sim::draw_text(s.canvas, f, u"ab\ncdef", -1, r, DT_LEFT, kBlack, sim::TextBackground::Opaque, kWhite);
    // Black text on white boxes over black: the white is exactly the two
    // lines' extents.
    sim::Rect first{20, 30, 20 + f.text_width(u"ab"), 43};
    sim::Rect second{20, 43, 20 + f.text_width(u"cdef"), 56};
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            if (s.at(x, y) == kWhite) {
                ASSERT_TRUE(first.contains(x, y) || second.contains(x, y)) << x << "," << y;
            }
    EXPECT_EQ(s.ink(kBlack), first.unite(second));
}

TEST(TextLayout, PrefixesUnderlineAndDoubleAmpersandIsAmpersand) {
    const sim::Font& f = normal_font();
    const sim::FontMetrics& m = f.metrics();
    const sim::Rect r{10, 10, 200, 40};

    Surface plain(240, 120), doubled(240, 120);
    draw(plain, u"A&B", r, DT_SINGLELINE | DT_NOPREFIX);
    draw(doubled, u"A&&B", r, DT_SINGLELINE);
    EXPECT_EQ(plain.px, doubled.px);

    Surface prefixed(240, 120), bare(240, 120);
    draw(prefixed, u"&Next", r, DT_SINGLELINE);
    draw(bare, u"Next", r, DT_SINGLELINE);
    EXPECT_NE(prefixed.px, bare.px);
    // The underline: one row below the baseline, as wide as "N".
    int row = 10 + m.ascent + 1;
    int n = f.advance(u'N');
    for (int x = 10; x < 10 + n; ++x) EXPECT_EQ(prefixed.at(x, row), kBlack) << x;
    EXPECT_EQ(prefixed.at(10 + n, row), bare.at(10 + n, row));
    EXPECT_EQ(sim::measure_text(f, u"&Next", -1, 200, DT_SINGLELINE).width, f.text_width(u"Next"));
    EXPECT_EQ(sim::measure_text(f, u"&Next", -1, 200, DT_SINGLELINE | DT_NOPREFIX).width,
              f.text_width(u"&Next"));
}

TEST(TextLayout, TabsExpandToEightAverageCharacters) {
    const sim::Font& f = normal_font();
    int stop = 8 * f.metrics().ave_char_width;
    EXPECT_EQ(sim::measure_text(f, u"a\tb", -1, 240, DT_EXPANDTABS).width, stop + f.advance(u'b'));
    EXPECT_EQ(sim::measure_text(f, u"\t\tb", -1, 240, DT_EXPANDTABS).width, 2 * stop + f.advance(u'b'));
    Surface tabbed(240, 120), placed(240, 120);
    draw(tabbed, u"a\tb", {0, 0, 240, 20}, DT_EXPANDTABS);
    draw(placed, u"a", {0, 0, 240, 20}, DT_LEFT);
    draw(placed, u"b", {stop, 0, 240, 20}, DT_LEFT);
    EXPECT_EQ(tabbed.px, placed.px);
}

TEST(TextLayout, CountLimitsTheText) {
    Surface part(240, 120), whole(240, 120);
    draw(whole, u"PASS", {0, 0, 100, 20}, DT_SINGLELINE);
    sim::Rect r{0, 0, 100, 20};
    sim::draw_text(part.canvas, normal_font(), u"PASS and more", 4, r, DT_SINGLELINE, kBlack,
                   sim::TextBackground::Transparent, kWhite);
    EXPECT_EQ(part.px, whole.px);
}

}  // namespace
