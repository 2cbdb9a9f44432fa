#include "base/text.h"

#include <algorithm>

namespace sim {

std::string to_utf8(const char16_t* s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string to_utf8(const std::u16string& s) { return to_utf8(s.data(), s.size()); }

std::string to_utf8(const char16_t* s) {
    if (!s) return {};
    size_t n = 0;
    while (s[n]) ++n;
    return to_utf8(s, n);
}

void append_u16(std::string_view in, std::u16string* out_string) {
    std::u16string& out = *out_string;
    size_t i = 0;
    while (i < in.size()) {
        unsigned char b = in[i];
        uint32_t c;
        int extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            c = 0xFFFD;
            extra = 0;
        }
        ++i;
        for (int k = 0; k < extra && i < in.size(); ++k, ++i) c = (c << 6) | (in[i] & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
}

std::u16string to_u16(const std::string& in) {
    std::u16string out;
    append_u16(in, &out);
    return out;
}

std::u16string lower(std::u16string s) {
    for (auto& c : s) c = lower_char(c);
    return s;
}

namespace {

// Edits from a to b: insertions, deletions, changes and swaps of two
// neighbours, each one.
size_t edits_between(const std::u16string& a, const std::u16string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::string nearest_word(const std::string& word, const std::vector<std::string>& known) {
    std::u16string w = lower(to_u16(word));
    const std::string* best = nullptr;
    size_t best_edits = 0;
    for (const std::string& k : known) {
        std::u16string c = lower(to_u16(k));
        size_t allowed = std::max<size_t>(1, c.size() / 4);
        // Each character more or fewer is an edit: no table to fill.
        if ((w.size() > c.size() ? w.size() - c.size() : c.size() - w.size()) > allowed) continue;
        size_t edits = edits_between(w, c);
        if (edits > allowed) continue;
        if (!best || edits < best_edits) {
            best = &k;
            best_edits = edits;
        }
    }
    return best ? *best : std::string();
}

std::string did_you_mean(const std::string& word, const std::vector<std::string>& known) {
    std::string n = nearest_word(word, known);
    return n.empty() ? n : "; did you mean \"" + n + "\"?";
}

}  // namespace sim
