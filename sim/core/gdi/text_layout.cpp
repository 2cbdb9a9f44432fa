#include "gdi/text_layout.h"

#include <algorithm>
#include <vector>

#include <windows.h>

namespace sim {

namespace {

constexpr int kTabStopChars = 8;

// One character as shown: prefixes resolved.
struct Cell {
    char16_t c;
    bool underline;
};

struct Line {
    size_t begin, end;  // cells
    int width;
};

class Layout {
public:
    Layout(const Font& font, const char16_t* text, size_t n, unsigned format)
        : font_(font), format_(format) {
        const FontMetrics& m = font.metrics();
        tab_width_ = std::max(1, m.ave_char_width * kTabStopChars);
        resolve_prefixes(text, n);
    }

    const std::vector<Cell>& cells() const { return cells_; }

    // Width of cell i when it starts `x` pixels into its line.
    int cell_width(size_t i, int x) const {
        char16_t c = cells_[i].c;
        if (c == u'\t' && (format_ & DT_EXPANDTABS)) return (x / tab_width_ + 1) * tab_width_ - x;
        return font_.advance(c);
    }

    int width(size_t begin, size_t end) const {
        int x = 0;
        for (size_t i = begin; i < end; ++i) x += cell_width(i, x);
        return x;
    }

    std::vector<Line> lines(int wrap_width) const {
        std::vector<Line> out;
        bool single = format_ & DT_SINGLELINE;
        bool wrap = (format_ & DT_WORDBREAK) && !single;
        size_t n = cells_.size();
        size_t pos = 0;
        while (pos < n) {
            // The paragraph: up to the next CR or LF.
            size_t end = pos;
            if (single)
                end = n;
            else
                while (end < n && !is_break(end)) ++end;
            if (wrap)
                wrap_paragraph(pos, end, wrap_width, out);
            else
                out.push_back({pos, end, width(pos, end)});
            pos = end;
            // CR LF or LF CR is one break; a break at the very end starts no
            // further line.
            if (pos < n) {
                char16_t first = cells_[pos].c;
                ++pos;
                if (pos < n && is_break(pos) && cells_[pos].c != first) ++pos;
            }
        }
        return out;
    }

private:
    bool is_break(size_t i) const {
        char16_t c = cells_[i].c;
        return (c == u'\r' || c == u'\n') && !cells_[i].underline;
    }
    bool is_blank(size_t i) const { return cells_[i].c == u' ' || cells_[i].c == u'\t'; }

    void resolve_prefixes(const char16_t* text, size_t n) {
        cells_.reserve(n);
        bool prefixes = !(format_ & DT_NOPREFIX);
        for (size_t i = 0; i < n; ++i) {
            if (prefixes && text[i] == u'&' && i + 1 < n) {
                ++i;
                cells_.push_back({text[i], text[i] != u'&'});
            } else {
                cells_.push_back({text[i], false});
            }
        }
    }

    // Greedy word wrap: as many whole words as fit; blanks where a line
    // breaks are dropped; a word wider than the line stands alone.
    void wrap_paragraph(size_t begin, size_t end, int limit, std::vector<Line>& out) const {
        if (begin == end) {
            out.push_back({begin, end, 0});
            return;
        }
        size_t pos = begin;
        while (pos < end) {
            size_t fit = pos;
            int fit_width = 0;
            bool have_word = false;
            size_t i = pos;
            int x = 0;
            while (i < end) {
                size_t j = i;
                int xj = x;
                while (j < end && is_blank(j)) xj += cell_width(j, xj), ++j;
                if (j == end) {  // only blanks remain: keep them if they fit
                    if (xj <= limit || !have_word) fit = end, fit_width = xj;
                    break;
                }
                size_t k = j;
                int xk = xj;
                while (k < end && !is_blank(k)) xk += cell_width(k, xk), ++k;
                if (xk > limit && have_word) break;
                fit = k;
                fit_width = xk;
                have_word = true;
                i = k;
                x = xk;
                if (xk > limit) break;
            }
            out.push_back({pos, fit, fit_width});
            pos = fit;
            while (pos < end && is_blank(pos)) ++pos;
        }
    }

    const Font& font_;
    unsigned format_;
    int tab_width_;
    std::vector<Cell> cells_;
};

size_t text_length(const char16_t* text, int count) {
    if (!text) return 0;
    if (count >= 0) return size_t(count);
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace

int draw_text(Canvas& canvas, const Font& font, const char16_t* text, int count, Rect& rect, unsigned format,
              uint16_t text_colour, TextBackground background, uint16_t bk_colour) {
    const FontMetrics& m = font.metrics();
    const int line_height = m.height;
    size_t n = text_length(text, count);
    bool single = format & DT_SINGLELINE;
    if (n == 0) {
        if (format & DT_CALCRECT) {
            rect.right = rect.left;
            rect.bottom = rect.top + (single ? line_height : 0);
        }
        return line_height;
    }

    Layout layout(font, text, n, format);
    std::vector<Line> lines = layout.lines(rect.width());
    int total = int(lines.size()) * line_height;

    int y = rect.top;
    if (single && (format & DT_VCENTER))
        y = rect.top + (rect.height() - total) / 2;
    else if (single && (format & DT_BOTTOM))
        y = rect.bottom - total;
    int text_bottom = y + total;

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& l : lines) widest = std::max(widest, l.width);
        rect.right = rect.left + widest;
        rect.bottom = text_bottom;
        return text_bottom - rect.top;
    }

    Canvas target = (format & DT_NOCLIP) ? canvas : canvas.clipped_to(rect);
    const std::vector<Cell>& cells = layout.cells();
    for (const Line& line : lines) {
        int x = rect.left;
        if (format & DT_CENTER)
            x = rect.left + (rect.width() - line.width) / 2;
        else if (format & DT_RIGHT)
            x = rect.right - line.width;
        if (background == TextBackground::Opaque && line.width > 0)
            target.fill_rect({x, y, x + line.width, y + line_height}, bk_colour);
        int pen = 0;
        for (size_t i = line.begin; i < line.end; ++i) {
            int w = layout.cell_width(i, pen);
            char16_t c = cells[i].c;
            if (!(c == u'\t' && (format & DT_EXPANDTABS))) font.draw(target, x + pen, y, &c, 1, text_colour);
            if (cells[i].underline) {
                int uy = std::min(y + m.ascent + 1, y + line_height - 1);
                target.fill_rect({x + pen, uy, x + pen + w, uy + 1}, text_colour);
            }
            pen += w;
        }
        y += line_height;
    }
    return text_bottom - rect.top;
}

TextSize measure_text(const Font& font, const char16_t* text, int count, int width, unsigned format) {
    Rect r{0, 0, width, 0};
    Canvas none;
    unsigned f = (format & ~unsigned(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT;
    draw_text(none, font, text, count, r, f, 0, TextBackground::Transparent, 0);
    return {r.right, r.bottom};
}

}  // namespace sim
