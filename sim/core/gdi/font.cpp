#include "gdi/font.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#ifndef DRAVIK_FONT_DIR
#define DRAVIK_FONT_DIR "/usr/share/wine/fonts"
#endif

namespace sim {

namespace {

constexpr int kSystemFontCellHeight = 13;
constexpr int kBoldWeight = 600;
constexpr int kAntialiasedQuality = 4;  // ANTIALIASED_QUALITY
constexpr int kClearTypeQuality = 5;    // CLEARTYPE_QUALITY

// a * b / c rounded half away from zero, as Win32 MulDiv (c > 0).
long mul_div(long a, long b, long c) {
    long n = a * b;
    return (n >= 0 ? n + c / 2 : n - c / 2) / c;
}

struct Glyph {
    int advance = 0;
    int left = 0;  // bitmap's first column, right of the pen position
    int top = 0;   // bitmap's first row, above the baseline
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage;  // width * rows, top row first, 0..255
};

std::string freetype_error(FT_Error e) {
    const char* s = FT_Error_String(e);
    return s ? std::string(s) : "FreeType error " + std::to_string(int(e));
}

}  // namespace

struct Font::Impl {
    FT_Face face = nullptr;  // shared, owned by the cache
    FT_Size size = nullptr;  // this font's pixel size on the face
    bool antialiased = false;
    // Extra stem width (26.6 pixels) for a bold face whose outlines are not
    // bold (only its bitmaps are): smoothed glyphs are emboldened instead.
    FT_Pos embolden = 0;
    std::unordered_map<char16_t, Glyph> glyphs;

    // Caller holds the cache's lock.
    const Glyph& glyph(char16_t c);
};

// One FreeType library for the process, the faces it opened and every
// realized font.  Destroyed at exit: fonts (their sizes) first, then the
// faces, then the library.
struct FontCache {
    std::mutex mutex;
    FT_Library library = nullptr;
    std::map<std::string, FT_Face> faces;
    std::map<std::tuple<std::string, int, bool, int>, std::unique_ptr<Font>> fonts;

    ~FontCache() {
        fonts.clear();
        for (auto& f : faces) FT_Done_Face(f.second);
        if (library) FT_Done_FreeType(library);
    }

    FT_Face face(const std::string& path) {
        auto it = faces.find(path);
        if (it != faces.end()) return it->second;
        if (!library) {
            FT_Error e = FT_Init_FreeType(&library);
            if (e) throw std::runtime_error("cannot start FreeType: " + freetype_error(e));
        }
        if (access(path.c_str(), R_OK) != 0)
            throw std::runtime_error("font file not found: " + path +
                                     " (set DRAVIK_FONT_DIR to the folder holding tahoma.ttf and tahomabd.ttf)");
        FT_Face f = nullptr;
        FT_Error e = FT_New_Face(library, path.c_str(), 0, &f);
        if (e) throw std::runtime_error("cannot read font file " + path + ": " + freetype_error(e));
        faces.emplace(path, f);
        return f;
    }

    const Font& realize(const FontRequest& request);

    // Width in font units of the stem of "l": how heavy a face's outlines are.
    static long stem_width(FT_Face f) {
        FT_UInt index = FT_Get_Char_Index(f, 'l');
        if (!index || FT_Load_Glyph(f, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) ||
            f->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
            return 0;
        FT_BBox box;
        FT_Outline_Get_CBox(&f->glyph->outline, &box);
        return box.xMax - box.xMin;
    }

    // Whether a bold face's outlines are drawn no heavier than the regular
    // face's (true of the free Tahoma, which is bold only in its bitmaps).
    std::map<std::string, bool> light_outlines;
    bool has_light_outlines(const std::string& bold_path, FT_Face bold, const std::string& regular_path) {
        auto it = light_outlines.find(bold_path);
        if (it != light_outlines.end()) return it->second;
        bool light = false;
        try {
            long b = stem_width(bold), r = stem_width(face(regular_path));
            light = b > 0 && r > 0 && b * 100 < r * 115;
        } catch (const std::runtime_error&) {
        }
        light_outlines[bold_path] = light;
        return light;
    }
};

namespace {

FontCache& cache() {
    static FontCache c;
    return c;
}

}  // namespace

const Glyph& Font::Impl::glyph(char16_t c) {
    auto it = glyphs.find(c);
    if (it != glyphs.end()) return it->second;

    Glyph g;
    FT_Activate_Size(size);
    FT_UInt index = FT_Get_Char_Index(face, c);
    // Plain text uses the face's own bitmaps where it has them, as GDI does;
    // smoothed text always comes from the outlines.
    FT_Int32 flags = antialiased ? FT_LOAD_TARGET_NORMAL | FT_LOAD_NO_BITMAP : FT_LOAD_TARGET_MONO;
    if (FT_Load_Glyph(face, index, flags) == 0 &&
        (!embolden || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE ||
         FT_Outline_EmboldenXY(&face->glyph->outline, embolden, 0) == 0) &&
        FT_Render_Glyph(face->glyph, antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0) {
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        g.advance = int((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = int(bm.width);
        g.rows = int(bm.rows);
        g.coverage.assign(size_t(g.width) * size_t(g.rows), 0);
        const unsigned char* first = bm.pitch < 0 ? bm.buffer - bm.pitch * (g.rows - 1) : bm.buffer;
        for (int r = 0; r < g.rows; ++r) {
            const unsigned char* row = first + long(r) * bm.pitch;
            for (int x = 0; x < g.width; ++x) {
                uint8_t v;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                    v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                    v = uint8_t(bm.num_grays == 256 ? row[x] : row[x] * 255 / (bm.num_grays - 1));
                else
                    v = 0;
                if (!antialiased) v = v >= 128 ? 255 : 0;
                g.coverage[size_t(r) * size_t(g.width) + size_t(x)] = v;
            }
        }
    }
    return glyphs.emplace(c, std::move(g)).first->second;
}

std::string font_directory() {
    const char* env = std::getenv("DRAVIK_FONT_DIR");
    if (env && *env) return env;
    return DRAVIK_FONT_DIR;
}

const Font& FontCache::realize(const FontRequest& request) {
    std::lock_guard<std::mutex> lock(mutex);
    bool bold = request.weight >= kBoldWeight;
    std::string dir = font_directory();
    std::string path = dir + (bold ? "/tahomabd.ttf" : "/tahoma.ttf");
    bool antialiased = request.quality == kAntialiasedQuality || request.quality == kClearTypeQuality;
    int weight = request.weight > 0 ? request.weight : 400;

    FT_Face f = face(path);
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
    long upem = f->units_per_EM ? f->units_per_EM : 2048;
    // The cell: usWinAscent + usWinDescent, as GDI measures a TrueType face.
    long win_ascent = os2 ? os2->usWinAscent : f->ascender;
    long win_descent = os2 ? os2->usWinDescent : -f->descender;
    if (win_ascent + win_descent <= 0) {
        win_ascent = f->ascender;
        win_descent = -f->descender;
    }
    long cell_units = std::max(1L, win_ascent + win_descent);

    int height = request.height == 0 ? kSystemFontCellHeight : request.height;
    int em = height > 0 ? int(mul_div(upem, height, cell_units)) : -height;
    em = std::max(1, std::min(em, 1000));

    auto key = std::make_tuple(path, em, antialiased, weight);
    auto it = fonts.find(key);
    if (it != fonts.end()) return *it->second;

    std::unique_ptr<Font> font(new Font());
    font->impl_ = std::make_unique<Font::Impl>();
    Font::Impl& impl = *font->impl_;
    impl.face = f;
    impl.antialiased = antialiased;
    if (bold && antialiased && has_light_outlines(path, f, dir + "/tahoma.ttf"))
        impl.embolden = FT_Pos(em) * 64 / 12;  // about a pixel at the device's sizes
    FT_Error e = FT_New_Size(f, &impl.size);
    if (!e) e = FT_Activate_Size(impl.size);
    if (!e) e = FT_Set_Pixel_Sizes(f, 0, FT_UInt(em));
    if (e) throw std::runtime_error("cannot size font " + path + ": " + freetype_error(e));

    FontMetrics& m = font->metrics_;
    m.em = em;
    m.weight = weight;
    m.ascent = int(mul_div(win_ascent, em, upem));
    m.descent = int(mul_div(win_descent, em, upem));
    m.height = m.ascent + m.descent;
    m.internal_leading = m.height - em;
    if (hhea) {
        long typo_cell = long(hhea->Ascender) - long(hhea->Descender);
        long gap = long(hhea->Line_Gap) - (cell_units - typo_cell);
        m.external_leading = int(mul_div(std::max(0L, gap), em, upem));
    }
    m.ave_char_width = os2 ? std::max(1, int(mul_div(os2->xAvgCharWidth, em, upem))) : 0;
    m.max_char_width = int(mul_div(f->bbox.xMax - f->bbox.xMin, em, upem));
    font->antialiased_ = antialiased;
    font->file_ = path;

    int alphabet = 0;
    for (char16_t c = u'A'; c <= u'Z'; ++c) alphabet += impl.glyph(c).advance + impl.glyph(char16_t(c + 32)).advance;
    m.alphabet_char_width = (alphabet + 26) / 52;
    if (m.ave_char_width == 0) m.ave_char_width = m.alphabet_char_width;

    return *fonts.emplace(key, std::move(font)).first->second;
}

const Font& Font::realize(const FontRequest& request) { return cache().realize(request); }

Font::~Font() {
    if (impl_ && impl_->size) FT_Done_Size(impl_->size);
}

int Font::advance(char16_t c) const {
    std::lock_guard<std::mutex> lock(cache().mutex);
    return impl_->glyph(c).advance;
}

int Font::text_width(const char16_t* text, size_t count) const {
    std::lock_guard<std::mutex> lock(cache().mutex);
    int w = 0;
    for (size_t i = 0; i < count; ++i) w += impl_->glyph(text[i]).advance;
    return w;
}

int Font::draw(Canvas& canvas, int x, int top, const char16_t* text, size_t count, uint16_t colour) const {
    int baseline = top + metrics_.ascent;
    for (size_t i = 0; i < count; ++i) {
        const Glyph* g;
        {
            std::lock_guard<std::mutex> lock(cache().mutex);
            g = &impl_->glyph(text[i]);
        }
        int gx = x + g->left, gy = baseline - g->top;
        Rect on_screen = Rect{gx, gy, gx + g->width, gy + g->rows}.offset(canvas.origin_x, canvas.origin_y);
        if (!on_screen.intersect(canvas.clip).empty()) {
            for (int r = 0; r < g->rows; ++r) {
                const uint8_t* row = g->coverage.data() + size_t(r) * size_t(g->width);
                for (int c = 0; c < g->width; ++c) {
                    if (!row[c]) continue;
                    if (antialiased_)
                        canvas.blend(gx + c, gy + r, colour, row[c]);
                    else
                        canvas.put(gx + c, gy + r, colour);
                }
            }
        }
        x += g->advance;
    }
    return x;
}

}  // namespace sim
