// The device's fonts: TrueType faces rendered with FreeType.
//
// The device carries one typeface, Tahoma, in a normal and a bold file;
// every face name maps to it.  A font is realized from a LOGFONT-like
// description: the height picks the pixel size as GDI maps it, the weight
// picks the file, the quality picks antialiased or plain (hinted,
// one-bit) glyphs.  Realized fonts are cached and live until the process
// ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "gdi/canvas.h"

namespace sim {

// The folder holding tahoma.ttf and tahomabd.ttf: the environment variable
// DRAVIK_FONT_DIR when set, else the folder the simulator was built with.
std::string font_directory();

struct FontRequest {
    // As LOGFONT's lfHeight: > 0 the cell height (ascent + descent), < 0 the
    // character (em) height, 0 the system font's cell height of 13.
    int height = 0;
    int weight = 0;       // 0 (don't care) is normal; 600 and more is bold
    bool italic = false;  // the device has no italic face: ignored
    int quality = 0;      // ANTIALIASED_QUALITY (4) and CLEARTYPE_QUALITY (5) smooth the glyphs
    std::u16string face;  // any name gives Tahoma
};

// As TEXTMETRIC, in pixels.
struct FontMetrics {
    int height = 0;  // ascent + descent: the line height
    int ascent = 0;
    int descent = 0;
    int internal_leading = 0;  // height - em
    int external_leading = 0;
    int ave_char_width = 0;    // tmAveCharWidth
    int max_char_width = 0;
    int weight = 0;
    int em = 0;                // pixels per em
    // The average width of "A".."Z" and "a".."z", rounded: the horizontal
    // dialog base unit.
    int alphabet_char_width = 0;
};

class Font {
public:
    // The font for a description, realized once and then shared.  Throws
    // std::runtime_error when the font file is missing or unreadable.
    static const Font& realize(const FontRequest& request);

    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font();

    const FontMetrics& metrics() const { return metrics_; }
    bool antialiased() const { return antialiased_; }
    const std::string& file() const { return file_; }

    // Hinted advance of one character, whole pixels.
    int advance(char16_t c) const;
    // Sum of the advances (no kerning, as GDI).
    int text_width(const char16_t* text, size_t count) const;
    int text_width(const std::u16string& text) const { return text_width(text.data(), text.size()); }

    // Draws `text` with the top left corner of its first character cell at
    // logical (x, top) (TA_LEFT | TA_TOP; the baseline is top + ascent).
    // Plain glyphs write `colour`; antialiased glyphs blend it by coverage.
    // Draws only glyphs, never a background.  Returns the x after the text.
    int draw(Canvas& canvas, int x, int top, const char16_t* text, size_t count, uint16_t colour) const;

    struct Impl;

private:
    Font() = default;
    friend struct FontCache;

    std::unique_ptr<Impl> impl_;
    FontMetrics metrics_;
    bool antialiased_ = false;
    std::string file_;
};

}  // namespace sim
