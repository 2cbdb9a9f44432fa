// Draws Dravik's artwork and writes it in the Windows file formats that the
// resource compiler embeds:
//
//   key_picture.bmp  the handheld seen from the front, 170 x 270, 24 bits:
//                    the screen, the four application buttons in a row near
//                    the bottom and the five-way pad between the middle two
//   key_arrow.bmp    the red arrow on white, 10 x 18, 4 bits (16 colours),
//                    pointing down and to the right, its tip in the
//                    lower-right corner
//   dravik.ico       the program's icon, 32 x 32 and 16 x 16, 4 bits
//
//   make_art OUTPUT_FOLDER
//
// The key test draws the picture at (27, 0) of its dialog and the arrow with
// its top-left corner at the places of its walk table; the buttons below are
// placed so that the arrow's tip lands on the button it stands for.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

bool operator==(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// A picture in memory, top row first.
struct Picture {
    int width, height;
    std::vector<Rgb> pixels;

    Picture(int w, int h, Rgb fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    Rgb& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    Rgb at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    // Paints every pixel whose centre satisfies `shape` with `colour(x, y)`.
    template <class Shape, class Colour>
    void paint(Shape shape, Colour colour) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (shape(x + 0.5, y + 0.5)) at(x, y) = colour(x, y);
    }
    template <class Shape>
    void fill(Shape shape, Rgb c) {
        paint(shape, [c](int, int) { return c; });
    }
};

// ------------------------------------------------------------ shapes

auto rounded_rect(double l, double t, double r, double b, double radius) {
    return [=](double x, double y) {
        if (x < l || x >= r || y < t || y >= b) return false;
        double cx = x < l + radius ? l + radius : x > r - radius ? r - radius : x;
        double cy = y < t + radius ? t + radius : y > b - radius ? b - radius : y;
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    };
}

auto ellipse(double cx, double cy, double rx, double ry) {
    return [=](double x, double y) { return (x - cx) * (x - cx) / (rx * rx) + (y - cy) * (y - cy) / (ry * ry) <= 1.0; };
}

// Points within `half_width` of the segment from (x1, y1) to (x2, y2).
auto segment(double x1, double y1, double x2, double y2, double half_width) {
    return [=](double x, double y) {
        double dx = x2 - x1, dy = y2 - y1;
        double t = ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy);
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        double px = x1 + t * dx - x, py = y1 + t * dy - y;
        return px * px + py * py <= half_width * half_width;
    };
}

auto triangle(double ax, double ay, double bx, double by, double cx, double cy) {
    return [=](double x, double y) {
        auto side = [&](double x1, double y1, double x2, double y2) {
            return (x2 - x1) * (y - y1) - (y2 - y1) * (x - x1);
        };
        double d1 = side(ax, ay, bx, by), d2 = side(bx, by, cx, cy), d3 = side(cx, cy, ax, ay);
        bool negative = d1 < 0 || d2 < 0 || d3 < 0, positive = d1 > 0 || d2 > 0 || d3 > 0;
        return !(negative && positive);
    };
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * t)); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

// ------------------------------------------------------------ the device

const Rgb kWhite{255, 255, 255};
const Rgb kRim{158, 164, 176};
const Rgb kBodyTop{74, 80, 94};
const Rgb kBodyBottom{46, 50, 60};
const Rgb kBezel{18, 20, 26};
const Rgb kButtonFace{204, 209, 218};
const Rgb kButtonEdge{112, 118, 130};
const Rgb kPadFace{182, 190, 204};
const Rgb kPadCentre{222, 227, 236};
const Rgb kGroove{92, 98, 112};

// The application buttons, left to right (centres and half-axes), and the
// pad between the middle two, in picture pixels.
struct Oval {
    double cx, cy, rx, ry;
};
const Oval kApplicationButtons[4] = {{37, 223, 9.5, 7}, {53, 215, 9.5, 7}, {117, 215, 9.5, 7}, {133, 223, 9.5, 7}};
const double kPadX = 85, kPadY = 224, kPadRadius = 15.5, kPadCentreRadius = 5.5;

Picture draw_handheld() {
    Picture p(170, 270, kWhite);

    // The case: a silver rim around a dark face that darkens towards the bottom.
    p.fill(rounded_rect(5, 1, 165, 269, 20), kRim);
    p.paint(rounded_rect(8, 4, 162, 266, 17),
            [](int, int y) { return mix(kBodyTop, kBodyBottom, (y - 4) / 262.0); });

    // Earpiece and the two notification lights.
    p.fill(rounded_rect(68, 11, 102, 15, 2), kBezel);
    p.fill(ellipse(30, 13, 2.6, 2.6), Rgb{80, 210, 100});
    p.fill(ellipse(140, 13, 2.6, 2.6), Rgb{240, 170, 40});

    // The screen in its bezel: the shell's task bar, a light page with a few
    // lines of text and the menu bar.
    p.fill(rounded_rect(17, 24, 153, 192, 4), kBezel);
    p.fill(rounded_rect(23, 30, 147, 186, 1), Rgb{236, 241, 250});
    p.fill(rounded_rect(23, 30, 147, 40, 0), Rgb{0, 51, 153});
    p.fill(rounded_rect(26, 33, 33, 38, 0), Rgb{230, 60, 30});
    p.fill(rounded_rect(23, 176, 147, 186, 0), Rgb{214, 223, 247});
    const int line_ends[] = {120, 98, 132, 84, 110, 126, 92};
    for (int i = 0; i < 7; ++i) {
        double y = 50 + i * 16;
        p.fill(rounded_rect(32, y, 40, y + 8, 1), Rgb{40, 110, 230});
        p.fill(rounded_rect(46, y + 2, line_ends[i], y + 6, 1), Rgb{150, 156, 170});
    }

    // A slim stripe under the screen.
    p.fill(rounded_rect(62, 198, 108, 200, 1), Rgb{110, 116, 130});

    // The application buttons, each with a small mark.
    for (const Oval& b : kApplicationButtons) {
        p.fill(ellipse(b.cx, b.cy, b.rx + 1, b.ry + 1), kButtonEdge);
        p.fill(ellipse(b.cx, b.cy, b.rx, b.ry), kButtonFace);
        p.fill(ellipse(b.cx + 1, b.cy + 2, 2, 1.5), kButtonEdge);
    }

    // The five-way pad: a ring split by diagonal grooves into left, up,
    // right and down, around the action button.
    p.fill(ellipse(kPadX, kPadY, kPadRadius + 1, kPadRadius + 1), kButtonEdge);
    p.fill(ellipse(kPadX, kPadY, kPadRadius, kPadRadius), kPadFace);
    for (int dx : {-1, 1})
        for (int dy : {-1, 1}) {
            double r1 = kPadCentreRadius + 1, r2 = kPadRadius;
            p.fill(segment(kPadX + dx * r1 * 0.7071, kPadY + dy * r1 * 0.7071, kPadX + dx * r2 * 0.7071,
                           kPadY + dy * r2 * 0.7071, 0.6),
                   kGroove);
        }
    p.fill(ellipse(kPadX, kPadY, kPadCentreRadius + 1, kPadCentreRadius + 1), kGroove);
    p.fill(ellipse(kPadX, kPadY, kPadCentreRadius, kPadCentreRadius), kPadCentre);

    // The microphone.
    p.fill(ellipse(85, 256, 1.6, 1.6), kBezel);
    return p;
}

// ------------------------------------------------------------ 16 colours

// The standard 16-colour palette; the arrow and the icon use only these.
const Rgb kVga16[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
                        {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

int palette_index(Rgb c) {
    for (int i = 0; i < 16; ++i)
        if (kVga16[i] == c) return i;
    std::fprintf(stderr, "make_art: colour %d,%d,%d is not in the 16-colour palette\n", c.r, c.g, c.b);
    std::exit(1);
}

// The arrow: a shaft from the upper left and a head whose tip fills the
// lower-right pixel.
Picture draw_arrow() {
    const Rgb red{255, 0, 0};
    Picture p(10, 18, kWhite);
    double tip_x = 10.0, tip_y = 18.0;
    double dx = 9.0, dy = 17.0, length = std::sqrt(dx * dx + dy * dy);
    double ux = dx / length, uy = dy / length;  // along the arrow
    double nx = -uy, ny = ux;                   // across it
    double head = 8.5, half = 3.9;
    double bx = tip_x - ux * head, by = tip_y - uy * head;
    p.fill(triangle(tip_x, tip_y, bx + nx * half, by + ny * half, bx - nx * half, by - ny * half), red);
    p.fill(segment(1.0, 0.8, bx + ux, by + uy, 1.05), red);
    return p;
}

// A small handheld with a tick on its screen.
Picture draw_icon(int size) {
    Picture p(size, size, Rgb{0, 0, 0});
    double s = size / 32.0;
    p.fill(rounded_rect(7 * s, 1 * s, 25 * s, 31 * s, 3 * s), kVga16[8]);
    p.fill(rounded_rect(8 * s, 2 * s, 24 * s, 30 * s, 2.5 * s), kVga16[0]);
    p.fill(rounded_rect(10 * s, 5 * s, 22 * s, 21 * s, 0), kVga16[15]);
    p.fill(rounded_rect(10 * s, 5 * s, 22 * s, 7.5 * s, 0), kVga16[4]);
    double w = size >= 32 ? 1.4 : 1.0;
    p.fill(segment(12 * s, 14 * s, 15 * s, 17.5 * s, w * s * 1.2), kVga16[2]);
    p.fill(segment(15 * s, 17.5 * s, 20.5 * s, 10 * s, w * s * 1.2), kVga16[2]);
    for (double x : {11.5, 16.0, 20.5}) p.fill(ellipse(x * s, 26 * s, 1.8 * s, 1.6 * s), kVga16[7]);
    return p;
}

// Where the icon is see-through: outside the case.
std::vector<bool> icon_mask(int size) {
    double s = size / 32.0;
    auto body = rounded_rect(7 * s, 1 * s, 25 * s, 31 * s, 3 * s);
    std::vector<bool> clear(size_t(size) * size_t(size));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) clear[size_t(y) * size_t(size) + size_t(x)] = !body(x + 0.5, y + 0.5);
    return clear;
}

// ------------------------------------------------------------ file formats

struct Bytes {
    std::vector<uint8_t> data;
    void u8(unsigned v) { data.push_back(uint8_t(v)); }
    void u16(unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void pad_to(size_t n) {
        while (data.size() < n) u8(0);
    }
};

// BITMAPINFOHEADER; `stored_height` is doubled in icons.
void info_header(Bytes& out, int width, int stored_height, int bit_count, uint32_t image_size, int colours) {
    out.u32(40);
    out.u32(uint32_t(width));
    out.u32(uint32_t(stored_height));
    out.u16(1);
    out.u16(unsigned(bit_count));
    out.u32(0);  // BI_RGB
    out.u32(image_size);
    out.u32(2835);  // 72 dots per inch
    out.u32(2835);
    out.u32(uint32_t(colours));
    out.u32(0);
}

void vga_palette(Bytes& out) {
    for (const Rgb& c : kVga16) {
        out.u8(c.b);
        out.u8(c.g);
        out.u8(c.r);
        out.u8(0);
    }
}

int stride(int width, int bit_count) { return (width * bit_count + 31) / 32 * 4; }

// The pixel rows, bottom row first, each padded to whole 32-bit words.
std::vector<uint8_t> rows_24(const Picture& p) {
    Bytes out;
    for (int y = p.height - 1; y >= 0; --y) {
        size_t start = out.data.size();
        for (int x = 0; x < p.width; ++x) {
            Rgb c = p.at(x, y);
            out.u8(c.b);
            out.u8(c.g);
            out.u8(c.r);
        }
        out.pad_to(start + size_t(stride(p.width, 24)));
    }
    return out.data;
}

std::vector<uint8_t> rows_4(const Picture& p) {
    Bytes out;
    for (int y = p.height - 1; y >= 0; --y) {
        size_t start = out.data.size();
        for (int x = 0; x < p.width; x += 2) {
            int high = palette_index(p.at(x, y));
            int low = x + 1 < p.width ? palette_index(p.at(x + 1, y)) : 0;
            out.u8(unsigned(high << 4 | low));
        }
        out.pad_to(start + size_t(stride(p.width, 4)));
    }
    return out.data;
}

std::vector<uint8_t> rows_mask(const std::vector<bool>& clear, int size) {
    Bytes out;
    for (int y = size - 1; y >= 0; --y) {
        size_t start = out.data.size();
        for (int x = 0; x < size; x += 8) {
            unsigned byte = 0;
            for (int k = 0; k < 8 && x + k < size; ++k)
                if (clear[size_t(y) * size_t(size) + size_t(x + k)]) byte |= 0x80u >> k;
            out.u8(byte);
        }
        out.pad_to(start + size_t(stride(size, 1)));
    }
    return out.data;
}

std::vector<uint8_t> bmp_file(const Picture& p, int bit_count) {
    std::vector<uint8_t> bits = bit_count == 24 ? rows_24(p) : rows_4(p);
    int colours = bit_count == 4 ? 16 : 0;
    uint32_t offset = 14 + 40 + uint32_t(colours) * 4;
    Bytes out;
    out.u8('B');
    out.u8('M');
    out.u32(offset + uint32_t(bits.size()));
    out.u16(0);
    out.u16(0);
    out.u32(offset);
    info_header(out, p.width, p.height, bit_count, uint32_t(bits.size()), colours);
    if (colours) vga_palette(out);
    out.data.insert(out.data.end(), bits.begin(), bits.end());
    return out.data;
}

std::vector<uint8_t> ico_file(const std::vector<int>& sizes) {
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) {
        Picture p = draw_icon(size);
        std::vector<bool> clear = icon_mask(size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (clear[size_t(y) * size_t(size) + size_t(x)]) p.at(x, y) = kVga16[0];
        std::vector<uint8_t> xor_bits = rows_4(p), and_bits = rows_mask(clear, size);
        Bytes image;
        info_header(image, size, size * 2, 4, uint32_t(xor_bits.size() + and_bits.size()), 16);
        vga_palette(image);
        image.data.insert(image.data.end(), xor_bits.begin(), xor_bits.end());
        image.data.insert(image.data.end(), and_bits.begin(), and_bits.end());
        images.push_back(image.data);
    }
    Bytes out;
    out.u16(0);
    out.u16(1);  // an icon
    out.u16(unsigned(images.size()));
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.u8(unsigned(sizes[i]));
        out.u8(unsigned(sizes[i]));
        out.u8(16);
        out.u8(0);
        out.u16(1);
        out.u16(4);
        out.u32(uint32_t(images[i].size()));
        out.u32(offset);
        offset += uint32_t(images[i].size());
    }
    for (auto& image : images) out.data.insert(out.data.end(), image.begin(), image.end());
    return out.data;
}

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_art OUTPUT_FOLDER\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = write(dir + "/key_picture.bmp", bmp_file(draw_handheld(), 24));
    ok = write(dir + "/key_arrow.bmp", bmp_file(draw_arrow(), 4)) && ok;
    ok = write(dir + "/dravik.ico", ico_file({32, 16})) && ok;
    return ok ? 0 : 1;
}
