#include "base/text.h"

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

}  // namespace sim
