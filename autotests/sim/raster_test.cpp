#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "device/png.h"
#include "gdi/font.h"
#include "gdi/raster.h"
#include "gdi/text_layout.h"

#include "surface.h"

namespace {

using simtest::kBlack;
using simtest::kWhite;
using simtest::Surface;

const sim::Pen kPen{false, 1, kBlack};
const sim::Pen kNullPen{true, 1, kBlack};

TEST(Line, EndPointIsNotDrawnAndEveryStepLightsOnePixel) {
    const struct {
        sim::Point from, to;
    } cases[] = {
        {{5, 10}, {40, 10}}, {{40, 10}, {5, 10}},  {{10, 5}, {10, 40}}, {{10, 40}, {10, 5}},
        {{5, 5}, {30, 30}},  {{30, 30}, {5, 5}},   {{5, 30}, {30, 5}},  {{3, 7}, {50, 19}},
        {{50, 19}, {3, 7}},  {{20, 3}, {27, 50}},  {{27, 50}, {20, 3}}, {{40, 2}, {2, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y);
        Surface s(64, 64);
        sim::draw_line(s.canvas, kPen, c.from, c.to);
        auto lit = s.pixels(kBlack);
        EXPECT_TRUE(lit.count({c.from.x, c.from.y}));
        EXPECT_FALSE(lit.count({c.to.x, c.to.y}));
        size_t steps = size_t(std::max(std::abs(c.to.x - c.from.x), std::abs(c.to.y - c.from.y)));
        EXPECT_EQ(lit.size(), steps);
        // Every pixel lies within half a pixel of the ideal line (with
        // GDI's tie-breaking exactly on the half).
        for (auto [x, y] : lit) {
            long dx = c.to.x - c.from.x, dy = c.to.y - c.from.y;
            long cross = std::labs((x - c.from.x) * dy - (y - c.from.y) * dx);
            EXPECT_LE(2 * cross, std::max(std::labs(dx), std::labs(dy))) << x << "," << y;
        }
    }
}

TEST(Line, ReversedLineLightsTheSamePixels) {
    // Ties fall the same way whichever end the line starts from.
    for (sim::Point a : {sim::Point{0, 0}, sim::Point{31, 31}})
        for (int ex = 0; ex < 64; ex += 3)
            for (int ey = 0; ey < 64; ey += 5) {
                sim::Point b{ex, ey};
                Surface forward(64, 64), backward(64, 64);
                sim::draw_line(forward.canvas, kPen, a, b);
                forward.canvas.put(b.x, b.y, kBlack);
                sim::draw_line(backward.canvas, kPen, b, a);
                backward.canvas.put(a.x, a.y, kBlack);
                ASSERT_EQ(forward.px, backward.px) << a.x << "," << a.y << " <-> " << b.x << "," << b.y;
            }
}

TEST(Line, PolylineDrawsEveryPointButTheLast) {
    Surface s(64, 64);
    sim::Point pts[] = {{5, 5}, {20, 5}, {20, 30}, {8, 30}};
    sim::draw_polyline(s.canvas, kPen, pts, 4);
    auto lit = s.pixels(kBlack);
    EXPECT_TRUE(lit.count({5, 5}));
    EXPECT_TRUE(lit.count({20, 5}));
    EXPECT_TRUE(lit.count({20, 30}));
    EXPECT_FALSE(lit.count({8, 30}));
    EXPECT_TRUE(lit.count({9, 30}));
    EXPECT_EQ(lit.size(), size_t(15 + 25 + 12));

    // The panel's separator: a two-point polyline across the client area.
    Surface panel(240, 60);
    sim::Point sep[] = {{0, 25}, {240, 25}};
    sim::draw_polyline(panel.canvas, kPen, sep, 2);
    EXPECT_EQ(panel.pixels(kBlack).size(), 240u);
}

TEST(Line, NullPenDrawsNothingAndWidePenIsSquare) {
    Surface s(64, 64);
    sim::Point pts[] = {{5, 5}, {40, 40}, {5, 40}};
    sim::draw_polyline(s.canvas, kNullPen, pts, 3);
    EXPECT_TRUE(s.pixels(kBlack).empty());

    sim::draw_line(s.canvas, {false, 3, kBlack}, {10, 20}, {30, 20});
    // Rows 19..21, columns 9..30 (the last square, centred on 29).
    EXPECT_EQ(s.pixels(kBlack).size(), size_t(3 * 22));
    EXPECT_EQ(s.at(9, 19), kBlack);
    EXPECT_EQ(s.at(30, 21), kBlack);
    EXPECT_EQ(s.at(31, 20), kWhite);
}

// The pixels of one colour are symmetric about the box's two axes.
void expect_symmetric(const Surface& s, const sim::Rect& box, uint16_t colour) {
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            int mx = box.left + box.right - 1 - x, my = box.top + box.bottom - 1 - y;
            bool here = s.at(x, y) == colour;
            ASSERT_EQ(here, s.at(mx, y) == colour) << "x mirror " << x << "," << y;
            ASSERT_EQ(here, s.at(x, my) == colour) << "y mirror " << x << "," << y;
        }
}

TEST(Ellipse, SymmetricInsideItsBoxAndTouchingEachSide) {
    const sim::Rect boxes[] = {{10, 10, 30, 30}, {5, 8, 26, 23}, {20, 2, 27, 60}, {2, 30, 62, 37},
                               {30, 30, 32, 32}, {40, 40, 41, 41}, {3, 3, 6, 13}};
    for (const sim::Rect& box : boxes) {
        SCOPED_TRACE(testing::Message() << box.left << "," << box.top << " " << box.right << "," << box.bottom);
        Surface s(64, 64);
        sim::draw_ellipse(s.canvas, kPen, {false, simtest::kRed}, box);
        sim::Rect drawn;
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x)
                if (s.at(x, y) != kWhite) drawn = drawn.unite({x, y, x + 1, y + 1});
        EXPECT_EQ(drawn, box);
        expect_symmetric(s, box, kBlack);
        expect_symmetric(s, box, simtest::kRed);
        // Each row of the figure is one run: outline, inside, outline.
        for (int y = box.top; y < box.bottom; ++y) {
            int runs = 0;
            for (int x = box.left; x < box.right; ++x)
                if (s.at(x, y) != kWhite && (x == box.left || s.at(x - 1, y) == kWhite)) ++runs;
            EXPECT_EQ(runs, 1) << "row " << y;
        }
    }
}

TEST(Ellipse, PenOutlinesBrushFillsNullLeavesAlone) {
    const sim::Rect box{10, 10, 30, 30};  // a circle of diameter 20
    Surface filled(64, 64);
    sim::draw_ellipse(filled.canvas, kPen, {false, simtest::kRed}, box);
    EXPECT_EQ(filled.at(20, 20), simtest::kRed);
    EXPECT_EQ(filled.at(10, 20), kBlack);  // left and top edges: outline
    EXPECT_EQ(filled.at(20, 10), kBlack);
    EXPECT_EQ(filled.at(29, 19), kBlack);  // right and bottom edges, mirrored
    EXPECT_EQ(filled.at(19, 29), kBlack);
    EXPECT_EQ(filled.at(10, 10), kWhite);  // corners stay outside
    EXPECT_EQ(filled.at(29, 29), kWhite);
    // The outline is thin: no outline pixel has outline on both sides in a row
    // and a column at once (a filled blob would).
    for (auto [x, y] : filled.pixels(kBlack)) {
        bool row = filled.at(x - 1, y) == kBlack && filled.at(x + 1, y) == kBlack;
        bool col = filled.at(x, y - 1) == kBlack && filled.at(x, y + 1) == kBlack;
        EXPECT_FALSE(row && col) << x << "," << y;
    }

    Surface hollow(64, 64, simtest::kBlue);
    sim::draw_ellipse(hollow.canvas, kPen, {true, simtest::kRed}, box);
    EXPECT_EQ(hollow.at(20, 20), simtest::kBlue);
    EXPECT_EQ(hollow.pixels(kBlack), filled.pixels(kBlack));
    EXPECT_TRUE(hollow.pixels(simtest::kRed).empty());

    Surface no_pen(64, 64);
    sim::draw_ellipse(no_pen.canvas, kNullPen, {false, simtest::kRed}, box);
    EXPECT_TRUE(no_pen.pixels(kBlack).empty());
    EXPECT_EQ(no_pen.at(20, 20), simtest::kRed);
    EXPECT_EQ(no_pen.at(29, 19), kWhite);  // one smaller at the right and bottom
    expect_symmetric(no_pen, {10, 10, 29, 29}, simtest::kRed);

    Surface wide(64, 64);
    sim::draw_ellipse(wide.canvas, {false, 3, kBlack}, {false, simtest::kRed}, box);
    EXPECT_EQ(wide.at(10, 20), kBlack);
    EXPECT_EQ(wide.at(12, 20), kBlack);
    EXPECT_EQ(wide.at(13, 20), simtest::kRed);
    expect_symmetric(wide, box, kBlack);
}

TEST(Rectangle, OutlineInsideTheBoxBrushWithin) {
    Surface s(64, 64);
    sim::draw_rectangle(s.canvas, kPen, {false, simtest::kRed}, {10, 10, 20, 16});
    EXPECT_EQ(s.pixels(kBlack).size(), size_t(2 * 10 + 2 * 4));
    EXPECT_EQ(s.pixels(simtest::kRed).size(), size_t(8 * 4));
    EXPECT_EQ(s.at(19, 15), kBlack);
    EXPECT_EQ(s.at(20, 15), kWhite);

    Surface hollow(64, 64);
    sim::draw_rectangle(hollow.canvas, kPen, {true, simtest::kRed}, {10, 10, 20, 16});
    EXPECT_EQ(hollow.pixels(kBlack).size(), size_t(2 * 10 + 2 * 4));
    EXPECT_TRUE(hollow.pixels(simtest::kRed).empty());

    Surface no_pen(64, 64);
    sim::draw_rectangle(no_pen.canvas, kNullPen, {false, simtest::kRed}, {10, 10, 20, 16});
    EXPECT_EQ(no_pen.pixels(simtest::kRed).size(), size_t(9 * 5));
    EXPECT_EQ(no_pen.at(10, 10), simtest::kRed);
}

TEST(Canvas, OriginClipAndOwnerMapDecideWhatIsWritten) {
    auto fb = std::make_unique<sim::Framebuffer>();
    for (int y = 0; y < sim::kScreenHeight; ++y)
        for (int x = 0; x < sim::kScreenWidth; ++x) fb->owner[y][x] = x < 100 ? 7 : 9;
    sim::Canvas c;
    c.fb = fb.get();
    c.origin_x = 50;
    c.origin_y = 40;
    c.clip = {0, 0, 240, 200};
    c.owner = 7;

    c.fill_rect({0, 0, 100, 300}, simtest::kRed);  // screen 50..150 x 40..340
    sim::draw_ellipse(c, kPen, {false, simtest::kGreen}, {20, 20, 80, 60});
    sim::Point line[] = {{-50, 100}, {190, 100}};
    sim::draw_polyline(c, kPen, line, 2);
    sim::FontRequest request;
    request.height = 13;
    sim::Rect r{0, 120, 200, 140};
    sim::draw_text(c, sim::Font::realize(request), u"Dravik Dravik Dravik Dravik", -1, r, DT_SINGLELINE, kBlack,
                   sim::TextBackground::Opaque, kWhite);

    for (int y = 0; y < sim::kScreenHeight; ++y)
        for (int x = 0; x < sim::kScreenWidth; ++x) {
            bool writable = x < 100 && y < 200;
            if (!writable) {
                ASSERT_EQ(fb->pixels[y][x], 0) << x << "," << y;
            }
        }
    EXPECT_EQ(fb->pixels[40][50], simtest::kRed);
    EXPECT_EQ(fb->pixels[199][99], simtest::kRed);
    EXPECT_EQ(fb->pixels[39][50], 0);
    EXPECT_EQ(fb->pixels[40][49], 0);
    EXPECT_EQ(fb->pixels[140][0], kBlack);  // the line, from its start
}

TEST(Canvas, BlendMixesByCoverage) {
    Surface s(4, 1);
    s.canvas.blend(0, 0, kBlack, 0);
    s.canvas.blend(1, 0, kBlack, 255);
    s.canvas.blend(2, 0, kBlack, 128);
    s.canvas.blend(3, 0, simtest::kRed, 64);
    EXPECT_EQ(s.at(0, 0), kWhite);
    EXPECT_EQ(s.at(1, 0), kBlack);
    uint8_t r, g, b;
    sim::rgb565_to_rgb(s.at(2, 0), r, g, b);
    EXPECT_NEAR(r, 127, 8);
    EXPECT_NEAR(g, 127, 8);
    EXPECT_NEAR(b, 127, 8);
    sim::rgb565_to_rgb(s.at(3, 0), r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_NEAR(g, 191, 8);
    s.canvas.clip = {0, 0, 0, 0};
    s.canvas.blend(0, 0, kBlack, 200);
    EXPECT_EQ(s.at(0, 0), kWhite);
}

TEST(Blit, CopiesStretchesAndSkipsTheTransparentColour) {
    // A 4 x 2 image: the key colour (green) on the left half.
    std::vector<uint16_t> pixels = {simtest::kGreen, simtest::kGreen, simtest::kRed, simtest::kBlue, simtest::kGreen, simtest::kGreen, simtest::kBlue, simtest::kRed};
    sim::Image565 img{pixels.data(), 4, 2};

    Surface copy(8, 4, kBlack);
    sim::blit(copy.canvas, {1, 1, 7, 3}, img, 0, 0);  // wider than the image: the rest untouched
    EXPECT_EQ(copy.at(1, 1), simtest::kGreen);
    EXPECT_EQ(copy.at(4, 1), simtest::kBlue);
    EXPECT_EQ(copy.at(3, 2), simtest::kBlue);
    EXPECT_EQ(copy.at(5, 1), kBlack);
    EXPECT_EQ(copy.at(0, 0), kBlack);

    Surface keyed(8, 4, kBlack);
    sim::transparent_blit(keyed.canvas, {0, 0, 8, 4}, img, {0, 0, 4, 2}, simtest::kGreen);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(keyed.at(x, y), kBlack) << x << "," << y;
    EXPECT_EQ(keyed.at(4, 0), simtest::kRed);
    EXPECT_EQ(keyed.at(5, 1), simtest::kRed);
    EXPECT_EQ(keyed.at(6, 0), simtest::kBlue);
    EXPECT_EQ(keyed.at(7, 3), simtest::kRed);
    EXPECT_EQ(keyed.at(4, 2), simtest::kBlue);
}

TEST(Blit, CanvasCopyHandlesOverlap) {
    Surface s(8, 1);
    for (int x = 0; x < 8; ++x) s.px[size_t(x)] = uint16_t(x + 1);
    sim::copy_canvas(s.canvas, {2, 0, 8, 1}, s.canvas, 0, 0);
    EXPECT_EQ(s.px, (std::vector<uint16_t>{1, 2, 1, 2, 3, 4, 5, 6}));
}

TEST(Png, RoundTripsTheScreenAtAScale) {
    auto fb = std::make_unique<sim::Framebuffer>();
    for (int y = 0; y < sim::kScreenHeight; ++y)
        for (int x = 0; x < sim::kScreenWidth; ++x) fb->pixels[y][x] = uint16_t(x * 273 + y * 31);
    std::string path = testing::TempDir() + "dravik_png_roundtrip.png";
    std::string error;
    ASSERT_TRUE(sim::write_png(*fb, path, 2, &error)) << error;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(sim::read_png(path, w, h, rgb, &error)) << error;
    ASSERT_EQ(w, 480);
    ASSERT_EQ(h, 640);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t r, g, b;
            sim::rgb565_to_rgb(fb->pixels[y / 2][x / 2], r, g, b);
            const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            ASSERT_TRUE(p[0] == r && p[1] == g && p[2] == b) << x << "," << y;
        }
    std::remove(path.c_str());

    EXPECT_FALSE(sim::write_png(*fb, "/nonexistent/dir/shot.png", 1, &error));
    EXPECT_NE(error.find("/nonexistent/dir/shot.png"), std::string::npos);
    EXPECT_FALSE(sim::write_png(*fb, path, 0, &error));
    EXPECT_FALSE(sim::read_png("/nonexistent/file.png", w, h, rgb, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
