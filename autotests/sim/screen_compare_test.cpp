// The screen against a picture of it (expect-screen): pictures read beside
// the script, pixels compared at the screen's colour depth, the difference
// picture.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "device/png.h"
#include "scratch.h"
#include "people/screen_compare.h"
#include "people/script.h"

namespace {

using sim::Framebuffer;
using sim::kScreenHeight;
using sim::kScreenWidth;

// A picture of the screen, 8-bit RGB.
std::vector<uint8_t> picture_of(const Framebuffer& fb) {
    std::vector<uint8_t> rgb(size_t(kScreenWidth) * kScreenHeight * 3);
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kScreenWidth + size_t(x)) * 3];
            sim::rgb565_to_rgb(fb.pixels[y][x], p[0], p[1], p[2]);
        }
    return rgb;
}

void set(std::vector<uint8_t>& pic, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = &pic[(size_t(y) * kScreenWidth + size_t(x)) * 3];
    p[0] = r, p[1] = g, p[2] = b;
}

bool write_rgb_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), w * 3, nullptr) != 0;
}

// A screen with something on it: a gradient of every 5-6-5 colour channel.
std::unique_ptr<Framebuffer> busy_screen() {
    auto fb = std::make_unique<Framebuffer>();
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) fb->pixels[y][x] = uint16_t((x * 273 + y * 31) & 0xFFFF);
    return fb;
}

TEST(ScreenCompare, CountsThePixelsThatDifferAtTheScreensDepth) {
    auto fb = busy_screen();
    const std::vector<uint8_t> same = picture_of(*fb);
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
        int pixels;
        int first_x, first_y;
    };
    const Case cases[] = {
        {"the screenshot itself", [](std::vector<uint8_t>&) {}, 0, 0, 0},
        {"one pixel another colour", [](std::vector<uint8_t>& p) { set(p, 17, 200, 1, 2, 3); }, 1, 17, 200},
        {"two pixels: the first is the one higher up",
         [](std::vector<uint8_t>& p) {
             set(p, 3, 300, 255, 255, 255);
             set(p, 200, 4, 0, 0, 0);
         },
         2, 200, 4},
        {"the last pixel", [](std::vector<uint8_t>& p) { set(p, 239, 319, 9, 9, 9); }, 1, 239, 319},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> pic = same;
        c.change(pic);
        sim::ScreenDifference d = sim::compare_screen(*fb, pic);
        EXPECT_EQ(d.pixels, c.pixels);
        if (c.pixels == 0) continue;
        EXPECT_EQ(d.first.x, c.first_x);
        EXPECT_EQ(d.first.y, c.first_y);
        const uint8_t* want = &pic[(size_t(c.first_y) * kScreenWidth + size_t(c.first_x)) * 3];
        EXPECT_EQ(sim::colour_name(d.expected), sim::colour_name(want));
        uint8_t seen[3];
        sim::rgb565_to_rgb(fb->pixels[c.first_y][c.first_x], seen[0], seen[1], seen[2]);
        EXPECT_EQ(sim::colour_name(d.seen), sim::colour_name(seen));
    }
}

TEST(ScreenCompare, ColoursTheScreenCannotShowApartAreTheSame) {
    // 5-6-5 keeps the top 5, 6 and 5 bits: a picture edited with 8-bit
    // colours that round to the same screen colour matches.
    Framebuffer fb;
    fb.pixels[0][0] = sim::rgb565(0x80, 0x40, 0x20);
    std::vector<uint8_t> pic = picture_of(fb);
    const struct {
        uint8_t r, g, b;
        bool differs;
    } cases[] = {
        {0x80, 0x40, 0x20, false}, {0x87, 0x43, 0x27, false}, {0x88, 0x40, 0x20, true},
        {0x80, 0x44, 0x20, true},  {0x80, 0x40, 0x28, true},  {0x7F, 0x40, 0x20, true},
    };
    for (auto& c : cases) {
        set(pic, 0, 0, c.r, c.g, c.b);
        EXPECT_EQ(sim::compare_screen(fb, pic).pixels, c.differs ? 1 : 0)
            << int(c.r) << " " << int(c.g) << " " << int(c.b);
    }
}

TEST(ScreenCompare, DifferencePictureIsRedWhereTheScreenDiffersAndFadedElsewhere) {
    simtest::ScratchDir dir("compare");
    ASSERT_FALSE(dir.path().empty());
    auto fb = busy_screen();
    fb->pixels[10][20] = 0;  // black on the screen ...
    std::vector<uint8_t> pic = picture_of(*fb);
    set(pic, 20, 10, 255, 0, 0);  // ... red in the picture
    set(pic, 21, 10, 255, 255, 255);
    std::string path = dir.path() + "/d.png", error;
    ASSERT_TRUE(sim::write_difference_png(*fb, pic, path, &error)) << error;
    int w = 0, h = 0;
    std::vector<uint8_t> d;
    ASSERT_TRUE(sim::read_png(path, w, h, d, &error)) << error;
    ASSERT_EQ(w, kScreenWidth);
    ASSERT_EQ(h, kScreenHeight);
    int red_where_same = 0, red_where_different = 0, not_faded = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &d[(size_t(y) * size_t(w) + size_t(x)) * 3];
            bool is_red = p[0] == 255 && p[1] == 0 && p[2] == 0;
            bool differs = y == 10 && (x == 20 || x == 21);
            if (differs) {
                red_where_different += is_red;
                continue;
            }
            red_where_same += is_red;
            // Grey, and light: the screen faded.
            not_faded += !(p[0] == p[1] && p[1] == p[2] && p[0] >= 191);
        }
    EXPECT_EQ(red_where_different, 2);
    EXPECT_EQ(red_where_same, 0);
    EXPECT_EQ(not_faded, 0);
    // A darker pixel of the screen stays darker in the faded picture.
    auto grey_at = [&](int x, int y) { return d[(size_t(y) * size_t(w) + size_t(x)) * 3]; };
    fb->pixels[0][0] = 0;
    fb->pixels[0][1] = 0xFFFF;
    pic = picture_of(*fb);
    ASSERT_TRUE(sim::write_difference_png(*fb, pic, path, &error)) << error;
    ASSERT_TRUE(sim::read_png(path, w, h, d, &error)) << error;
    EXPECT_LT(grey_at(0, 0), grey_at(1, 0));
}

TEST(ScreenCompare, PicturesBesideTheExpectedOne) {
    const struct {
        const char* path;
        const char* seen;
    } cases[] = {
        {"panel.png", "panel.seen.png"},
        {"shots/Panel.PNG", "shots/Panel.seen.PNG"},
        {"/a.b/c.png", "/a.b/c.seen.png"},
        {"/a.b/c", "/a.b/c.seen.png"},
    };
    for (auto& c : cases) EXPECT_EQ(sim::picture_beside(c.path, "seen"), c.seen) << c.path;
}

// The bytes of an 8-bit RGB PNG made by hand, so that its header can say
// what its data does not: `w` x `h` pixels (x, y, x ^ y), pass by pass when
// `interlaced`, and `more` zero bytes after the rows in the same stream.
std::string hand_made_png(uint32_t w, uint32_t h, bool interlaced, size_t more) {
    auto chunk = [](const char* type, const std::string& data) {
        std::string c;
        for (int shift : {24, 16, 8, 0}) c += char(uint32_t(data.size()) >> shift);
        std::string body = type + data;
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
        c += body;
        for (int shift : {24, 16, 8, 0}) c += char(uint32_t(crc) >> shift);
        return c;
    };
    std::string ihdr;
    for (uint32_t v : {w, h})
        for (int shift : {24, 16, 8, 0}) ihdr += char(v >> shift);
    ihdr += std::string{8, 2, 0, 0, char(interlaced ? 1 : 0)};
    std::string raw;
    auto rows = [&](uint32_t x0, uint32_t dx, uint32_t y0, uint32_t dy) {
        if (x0 >= w || y0 >= h || w > 4096) return;
        for (uint32_t y = y0; y < h; y += dy) {
            raw += '\0';
            for (uint32_t x = x0; x < w; x += dx) raw += std::string{char(x), char(y), char(x ^ y)};
        }
    };
    if (!interlaced) rows(0, 1, 0, 1);
    const uint32_t passes[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                   {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
    if (interlaced)
        for (auto& p : passes) rows(p[0], p[1], p[2], p[3]);
    raw += std::string(more, '\0');
    std::string idat(compressBound(uLong(raw.size())), '\0');
    uLongf size = uLongf(idat.size());
    compress2(reinterpret_cast<Bytef*>(&idat[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
              9);
    idat.resize(size);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", ihdr) + chunk("IDAT", idat) + chunk("IEND", "");
}

// An expected picture is read whatever its layout, and refused in one line
// when its header is not the screen's or its data holds more than its
// header says, before that is decoded.
TEST(ScreenCompare, APictureHoldsWhatItsHeaderSaysOrIsRefused) {
    std::vector<uint8_t> pattern;
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x)
            pattern.insert(pattern.end(), {uint8_t(x), uint8_t(y), uint8_t(x ^ y)});
    const struct {
        const char* name;
        std::string bytes;
        std::string refusal;  // "" : read as the pattern
    } cases[] = {
        {"rows one after another", hand_made_png(240, 320, false, 0), ""},
        {"interlaced", hand_made_png(240, 320, true, 0), ""},
        {"16 MiB more behind the rows", hand_made_png(240, 320, false, size_t(16) << 20),
         "p.png holds more image data than its 240 x 320 pixels need"},
        {"interlaced, 1 MiB more", hand_made_png(240, 320, true, size_t(1) << 20),
         "p.png holds more image data than its 240 x 320 pixels need"},
        {"a header that claims 37837 x 37837", hand_made_png(37837, 37837, false, 0),
         "p.png is 37837 x 37837 pixels, not the screen's 240 x 320"},
        {"a row short", hand_made_png(240, 319, false, 0), "p.png is 240 x 319 pixels"},
        // A text chunk that says it holds 464 MB, in a file of a few hundred bytes.
        {"a chunk longer than the file", hand_made_png(240, 320, false, 0).insert(33, "\x1d\x00\x00\x00iTXtkey", 11),
         "p.png has a chunk that says it holds 486539264 bytes, more than the file holds"},
        {"cut short", hand_made_png(240, 320, false, 0).substr(0, 200), "more than the file holds"},
        {"cut short after a chunk's name",
         hand_made_png(240, 320, false, 0).substr(0, 33) + std::string("\x30\x00\x00\x00iTXtT", 9),
         "p.png has a chunk that says it holds 805306368 bytes"},
        {"not a PNG", "GIF89a", "cannot read p.png"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> rgb;
        std::string error;
        bool read = sim::read_screen_picture(c.bytes, "p.png", &rgb, &error);
        EXPECT_EQ(read, c.refusal.empty()) << error;
        if (read) EXPECT_TRUE(rgb == pattern);
        else EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
}

// expect-screen's pictures are read before the device powers on, from
// beside the script unless their path is absolute.
TEST(ScreenCompare, PicturesAreReadBesideTheScriptBeforeTheRun) {
    simtest::ScratchDir dir("pictures");
    ASSERT_FALSE(dir.path().empty());
    std::filesystem::create_directories(dir.path() + "/checks/pics");
    auto fb = busy_screen();
    std::vector<uint8_t> screen = picture_of(*fb);
    ASSERT_TRUE(write_rgb_png(dir.path() + "/checks/pics/good.png", kScreenWidth, kScreenHeight, screen));
    ASSERT_TRUE(write_rgb_png(dir.path() + "/good-absolute.png", kScreenWidth, kScreenHeight, screen));
    ASSERT_TRUE(write_rgb_png(dir.path() + "/checks/small.png", 240, 319, std::vector<uint8_t>(240 * 319 * 3)));
    std::ofstream(dir.path() + "/checks/broken.png") << "not a picture";
    std::string script_path = dir.path() + "/checks/run.txt";

    const struct {
        std::string line;
        bool ok;
        std::string where;   // the picture's path, or a part of the message
    } cases[] = {
        {"expect-screen pics/good.png", true, dir.path() + "/checks/pics/good.png"},
        {"expect-screen " + dir.path() + "/good-absolute.png 5", true, dir.path() + "/good-absolute.png"},
        {"expect-screen absent.png", false, "there is no picture " + dir.path() + "/checks/absent.png"},
        {"expect-screen small.png", false, "is 240 x 319 pixels, not the screen's 240 x 320"},
        {"expect-screen broken.png", false, "cannot read " + dir.path() + "/checks/broken.png"},
        {"expect-screen pics", false, "ending in .png"},  // refused when read
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.line);
        sim::Script s;
        std::string error;
        bool parsed = sim::parse_script_text("wait 1\n" + c.line + "\n", script_path, &s, &error);
        if (!parsed) {
            EXPECT_FALSE(c.ok);
            EXPECT_NE(error.find(c.where), std::string::npos) << error;
            continue;
        }
        bool loaded = sim::load_expected_pictures(&s, &error);
        EXPECT_EQ(loaded, c.ok) << error;
        if (c.ok) {
            EXPECT_EQ(s.action(1).picture_path, c.where);
            ASSERT_TRUE(s.action(1).picture);
            EXPECT_EQ(*s.action(1).picture, screen);
            EXPECT_EQ(sim::compare_screen(*fb, *s.action(1).picture).pixels, 0);
        } else {
            EXPECT_EQ(error.rfind(script_path + ":2: expect-screen: ", 0), 0u) << error;
            EXPECT_NE(error.find(c.where), std::string::npos) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos);
        }
    }
}

}  // namespace
